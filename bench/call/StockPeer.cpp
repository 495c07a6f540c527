// A peer made of GStreamer's stock RTP elements, for comparison: the same
// test camera, H.263 encoder and test microphone as a Kestrel peer, sent with
// rtph263pay and G.711 (mulawenc, rtppcmupay) through udpsink, received with
// udpsrc, optionally rtpjitterbuffer at its default latency, the depayloaders
// and GStreamer's decoders, into the sinks a Kestrel peer ends in on this
// machine (BGRx frames read where they are shown, fakeaudiosink).
#include "bench/call/Peer.h"

#include "media/PluginLocator.h"

#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrel::bench {

namespace {

using platform::GstRef;

constexpr int kVideoPort = 6060;
constexpr int kAudioPort = 6058;

GstRef<GstElement> Launch(const std::string &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.c_str(), &error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", description.c_str(), error->message);
        g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return nullptr;
    }
    return GstRef<GstElement>(pipeline);
}

GstRef<GstElement> Child(GstElement *pipeline, const char *name)
{
    return GstRef<GstElement>(gst_bin_get_by_name(GST_BIN(pipeline), name));
}

GstRef<GstPad> Pad(GstElement *element, const char *name)
{
    return GstRef<GstPad>(element ? gst_element_get_static_pad(element, name) : nullptr);
}

std::string Receiver(const PeerSettings &settings, bool jitterBuffer)
{
    const std::string buffer = jitterBuffer ? "rtpjitterbuffer ! " : "";
    const std::string address = settings.bindAddress;
    return "udpsrc address=" + address + " port=" + std::to_string(kVideoPort) +
           " caps=\"application/x-rtp,media=video,clock-rate=90000,encoding-name=H263,payload=34\" ! " + buffer +
           "rtph263depay ! avdec_h263 name=decoder ! videoconvert ! video/x-raw,format=BGRx ! "
           "fakesink name=videosink sync=false async=false signal-handoffs=true "
           "udpsrc address=" + address + " port=" + std::to_string(kAudioPort) +
           " caps=\"application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,payload=0\" ! " + buffer +
           "rtppcmudepay ! mulawdec ! audioconvert ! audioresample ! fakeaudiosink name=audiosink";
}

std::string Sender(const PeerSettings &settings)
{
    const std::string to = " host=" + settings.peerAddress + " bind-address=" + settings.bindAddress +
                           " sync=false async=false";
    return "kestreltestcamerasrc ! video/x-raw,format=I420,width=176,height=144,framerate=30/1 ! "
           "kestrelh263enc name=encoder ! rtph263pay ! udpsink port=" + std::to_string(kVideoPort) + to +
           " kestreltestmicrophonesrc ! audioconvert ! audioresample ! "
           "audio/x-raw,format=S16LE,rate=48000,channels=1 ! audiobuffersplit output-buffer-size=4000 ! "
           "audioresample ! audio/x-raw,rate=8000 ! mulawenc ! rtppcmupay name=audiopay ! udpsink port=" +
           std::to_string(kAudioPort) + to;
}

} // namespace

int RunStockPeer(const PeerSettings &settings, bool jitterBuffer)
{
    gst_init(nullptr, nullptr);
    media::ScanOwnPlugins(); // the test devices and the encoder
    GstRef<GstElement> receive = Launch(Receiver(settings, jitterBuffer));
    GstRef<GstElement> send = Launch(Sender(settings));
    if (!receive || !send)
        return 2;
    PeerMeasures measures;
    GstRef<GstElement> videoSink = Child(receive.get(), "videosink");
    g_signal_connect(videoSink.get(), "handoff", G_CALLBACK(&ShownFrames::OnHandoff), &measures.frames);
    GstRef<GstElement> encoder = Child(send.get(), "encoder");
    GstRef<GstElement> decoder = Child(receive.get(), "decoder");
    GstRef<GstElement> audioPay = Child(send.get(), "audiopay");
    PadToPad encode(Pad(encoder.get(), "sink").get(), Pad(encoder.get(), "src").get(), measures.encodeUs);
    PadToPad decode(Pad(decoder.get(), "sink").get(), Pad(decoder.get(), "src").get(), measures.decodeUs);
    SinceCapture sentAudio(Pad(audioPay.get(), "sink").get(), measures.sendAudioUs);
    GstRef<GstElement> audioSink = Child(receive.get(), "audiosink");
    measures.audio = std::make_unique<HeardAudio>(audioSink.get(), settings.burstIntervalNs);

    PeerRun run(settings);
    if (!run.WaitForStart())
        return 2;
    SleepUntil(run.StartNs());
    measures.frames.SetCallStart(MonotonicNs());
    // As a call starts: the receiver first, so it listens when the first packets come.
    gst_element_set_state(receive.get(), GST_STATE_PLAYING);
    gst_element_set_state(send.get(), GST_STATE_PLAYING);
    run.RunCall();
    run.Report(measures);
    PeerRun::Note("audio_sink", "fakeaudiosink");
    std::fflush(stdout);
    measures.audio.reset();
    gst_element_set_state(send.get(), GST_STATE_NULL);
    gst_element_set_state(receive.get(), GST_STATE_NULL);
    return 0;
}

int RunDevicesPeer(const PeerSettings &settings)
{
    gst_init(nullptr, nullptr);
    media::ScanOwnPlugins();
    // What a peer's camera and microphone capture, taken by sinks that do nothing.
    GstRef<GstElement> devices = Launch(
        "kestreltestcamerasrc ! video/x-raw,format=I420,width=176,height=144,framerate=30/1 ! fakesink sync=false "
        "kestreltestmicrophonesrc blocksize=4000 ! audio/x-raw,format=S16LE,rate=48000,channels=1 ! "
        "fakesink sync=false");
    if (!devices)
        return 2;
    PeerRun run(settings);
    if (!run.WaitForStart())
        return 2;
    SleepUntil(run.StartNs());
    gst_element_set_state(devices.get(), GST_STATE_PLAYING);
    run.RunCall();
    run.Report(PeerMeasures{});
    gst_element_set_state(devices.get(), GST_STATE_NULL);
    return 0;
}

} // namespace kestrel::bench
