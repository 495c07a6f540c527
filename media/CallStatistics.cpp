#include "media/CallStatistics.h"

#include <gst/audio/audio.h>

namespace kestrel::media {

void CCallStatistics::Reset()
{
    videoOut = 0;
    videoIn = 0;
    audioOutBytes = 0;
    audioInMicroseconds = 0;
}

CCallStatistics::Counts CCallStatistics::Read() const
{
    Counts counts;
    counts.videoOut = videoOut.load();
    counts.videoIn = videoIn.load();
    counts.audioOut = audioOutBytes.load() / kTrueSpeechFrameBytes;
    counts.audioIn = audioInMicroseconds.load() / (kAudioFrameMs * 1000);
    return counts;
}

std::string CCallStatistics::Format(const Counts &counts)
{
    return "stats video-out=" + std::to_string(counts.videoOut) + " video-in=" + std::to_string(counts.videoIn) +
           " audio-out=" + std::to_string(counts.audioOut) + " audio-in=" + std::to_string(counts.audioIn);
}

void CCallStatistics::WatchSender(GstPad *videoTransport, GstPad *audioTransport)
{
    if (videoTransport)
        gst_pad_add_probe(videoTransport, GST_PAD_PROBE_TYPE_BUFFER, &CCallStatistics::CountVideoOut, this, nullptr);
    if (audioTransport)
        gst_pad_add_probe(audioTransport, GST_PAD_PROBE_TYPE_BUFFER, &CCallStatistics::CountAudioOut, this, nullptr);
}

void CCallStatistics::WatchRenderer(GstElement *renderer)
{
    if (renderer)
        g_signal_connect(renderer, "frame-shown", G_CALLBACK(&CCallStatistics::CountVideoIn), this);
}

void CCallStatistics::WatchDecodedAudio(GstPad *decodedAudio)
{
    if (decodedAudio)
        gst_pad_add_probe(decodedAudio, GST_PAD_PROBE_TYPE_BUFFER, &CCallStatistics::CountAudioIn, this, nullptr);
}

GstPadProbeReturn CCallStatistics::CountVideoOut(GstPad *, GstPadProbeInfo *, gpointer self)
{
    ++static_cast<CCallStatistics *>(self)->videoOut;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CCallStatistics::CountAudioOut(GstPad *, GstPadProbeInfo *info, gpointer self)
{
    static_cast<CCallStatistics *>(self)->audioOutBytes += gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CCallStatistics::CountAudioIn(GstPad *pad, GstPadProbeInfo *info, gpointer self)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    GstAudioInfo format;
    if (caps && gst_audio_info_from_caps(&format, caps) && format.bpf > 0 && format.rate > 0) {
        const guint64 samples = gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info)) / format.bpf;
        static_cast<CCallStatistics *>(self)->audioInMicroseconds += samples * 1000000 / format.rate;
    }
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

void CCallStatistics::CountVideoIn(GstElement *, GstSample *, gpointer self)
{
    ++static_cast<CCallStatistics *>(self)->videoIn;
}

} // namespace kestrel::media
