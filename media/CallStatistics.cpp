#include "media/CallStatistics.h"

#include <gst/audio/audio.h>

namespace kestrel::media {

void CCallStatistics::Reset()
{
    videoOut = 0;
    videoIn = 0;
    audioOutBytes = 0;
    audioInMicroseconds = 0;
    audioGaps = 0;
    std::lock_guard lock(playoutLock);
    playout = CAudioPlayout();
}

CCallStatistics::Counts CCallStatistics::Read() const
{
    Counts counts;
    counts.videoOut = videoOut.load();
    counts.videoIn = videoIn.load();
    counts.audioOut = audioOutBytes.load() / kTrueSpeechFrameBytes;
    counts.audioIn = audioInMicroseconds.load() / (kAudioFrameMs * 1000);
    counts.audioGaps = audioGaps.load();
    return counts;
}

std::string CCallStatistics::Format(const Counts &counts)
{
    return "stats video-out=" + std::to_string(counts.videoOut) + " video-in=" + std::to_string(counts.videoIn) +
           " audio-out=" + std::to_string(counts.audioOut) + " audio-in=" + std::to_string(counts.audioIn) +
           " audio-gaps=" + std::to_string(counts.audioGaps);
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
    if (!decodedAudio)
        return;
    gst_pad_add_probe(decodedAudio, GST_PAD_PROBE_TYPE_BUFFER, &CCallStatistics::CountAudioIn, this, nullptr);
    gst_pad_add_probe(decodedAudio, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &CCallStatistics::RestartPlayout, this,
                      nullptr);
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

GstPadProbeReturn CCallStatistics::CountAudioIn(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<CCallStatistics *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    GstAudioInfo format;
    if (caps && gst_audio_info_from_caps(&format, caps) && format.bpf > 0 && format.rate > 0) {
        const guint64 samples = gst_buffer_get_size(buffer) / format.bpf;
        self->audioInMicroseconds += samples * 1000000 / format.rate;
        if (const auto handOver = DescribeHandOver(pad, buffer, format)) {
            std::lock_guard lock(self->playoutLock);
            if (self->playout.Take(*handOver))
                ++self->audioGaps;
        }
    }
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

// A new stream (or a flushed one) starts playing afresh: what came before it
// is no gap.
GstPadProbeReturn CCallStatistics::RestartPlayout(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<CCallStatistics *>(data);
    const GstEventType type = GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info));
    if (type == GST_EVENT_STREAM_START || type == GST_EVENT_FLUSH_STOP) {
        std::lock_guard lock(self->playoutLock);
        self->playout.Restart();
    }
    return GST_PAD_PROBE_OK;
}

void CCallStatistics::CountVideoIn(GstElement *, GstSample *, gpointer self)
{
    ++static_cast<CCallStatistics *>(self)->videoIn;
}

} // namespace kestrel::media
