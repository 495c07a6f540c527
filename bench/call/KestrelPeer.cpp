// A peer made of the program's own media code: a media::CGraphBuilder with
// the test camera and microphone from GStreamer's device monitor (as
// `kestrel --test-devices` has them), a headless video host that reads the
// picture the renderer shows, and the call's statistics.
#include "bench/call/Peer.h"

#include "media/CaptureFilter.h"
#include "media/DeviceList.h"
#include "media/GraphBuilder.h"
#include "media/PluginLocator.h"

#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>

namespace kestrel::bench {

namespace {

using media::DeviceCategory;
using platform::GstRef;

// The pages as the options sheet keeps them: both media sent, the first
// camera and microphone listed chosen.
class BenchPages final : public media::ICapturePages {
public:
    explicit BenchPages(media::IDeviceList &list) : devices(list) {}
    bool VideoEnabled() const override { return true; }
    bool AudioEnabled() const override { return true; }
    void GetVideoSize(int &w, int &h) const override
    {
        w = width;
        h = height;
    }
    void SetVideoSize(int w, int h) override
    {
        width = w;
        height = h;
    }
    std::shared_ptr<media::ICaptureDevice> ChosenCamera() const override { return camera; }
    int ChooseDefaultVideoDevice() override
    {
        if (camera)
            return 1;
        camera = media::FirstDevice(devices, DeviceCategory::Video);
        return camera ? 0 : 1;
    }
    std::shared_ptr<media::ICaptureDevice> ChosenMicrophone() const override { return microphone; }
    int ChooseDefaultAudioDevice() override
    {
        if (microphone)
            return 1;
        microphone = media::FirstDevice(devices, DeviceCategory::Audio);
        return microphone ? 0 : 1;
    }

private:
    media::IDeviceList &devices;
    std::shared_ptr<media::ICaptureDevice> camera;
    std::shared_ptr<media::ICaptureDevice> microphone;
    int width = 176;
    int height = 144;
};

// The view's video control without a window: reads every frame shown.
class HeadlessHost final : public media::IVideoHost {
public:
    explicit HeadlessHost(ShownFrames &shown) : frames(shown) {}
    ~HeadlessHost() override { AttachRenderer(nullptr); }
    HeadlessHost(const HeadlessHost &) = delete;
    HeadlessHost &operator=(const HeadlessHost &) = delete;

    void AttachRenderer(GstElement *element) override
    {
        if (renderer && handler)
            g_signal_handler_disconnect(renderer.get(), handler);
        handler = 0;
        renderer = platform::RefObject(element);
        if (renderer)
            handler = g_signal_connect(renderer.get(), media::kFrameShownSignal, G_CALLBACK(&ShownFrames::OnFrameShown),
                                       &frames);
    }
    void SetVideoVisible(bool) override {}
    void SetVideoRect(int, int, int, int) override {}

private:
    ShownFrames &frames;
    GstRef<GstElement> renderer;
    gulong handler = 0;
};

GstRef<GstPad> Pad(GstElement *element, const char *name)
{
    return GstRef<GstPad>(element ? gst_element_get_static_pad(element, name) : nullptr);
}

// The audio sink intelligent connect put behind the audio decoder.
GstRef<GstElement> AudioSinkBehind(GstElement *decoder)
{
    GstRef<GstPad> out = Pad(decoder, "src");
    GstRef<GstPad> peer(out ? gst_pad_get_peer(out.get()) : nullptr);
    return GstRef<GstElement>(peer ? gst_pad_get_parent_element(peer.get()) : nullptr);
}

std::string FactoryName(GstElement *element)
{
    GstElementFactory *factory = element ? gst_element_get_factory(element) : nullptr;
    return factory ? GST_OBJECT_NAME(factory) : "none";
}

} // namespace

int RunKestrelPeer(const PeerSettings &settings)
{
    setenv("KESTREL_TEST_DEVICES", "1", 1);
    gst_init(nullptr, nullptr);
    media::ScanOwnPlugins();

    const int64_t listingStart = MonotonicNs();
    media::CGstDeviceList devices;
    BenchPages pages(devices);
    // The pages list the devices once, when the first call or preview needs
    // them; here before the call, so the first frame is the call's own.
    if (pages.ChooseDefaultVideoDevice() != 0 || pages.ChooseDefaultAudioDevice() != 0) {
        std::fprintf(stderr, "the test camera or microphone is not listed\n");
        return 2;
    }
    const int64_t listingUs = (MonotonicNs() - listingStart) / 1000;

    PeerMeasures measures;
    HeadlessHost host(measures.frames);
    {
        media::CGraphBuilder builder({pages, host, {}, {}, settings.bindAddress});
        if (builder.Create() != media::CGraphBuilder::Creation::Created) {
            std::fprintf(stderr, "the graphs could not be created\n");
            return 2;
        }
        PeerRun run(settings);
        if (!run.WaitForStart())
            return 2;
        SleepUntil(run.StartNs());
        measures.frames.SetCallStart(MonotonicNs());
        const int64_t callStart = MonotonicNs();
        const bool started = builder.StartCallMedia(settings.peerAddress, 3);
        const int64_t startUs = (MonotonicNs() - callStart) / 1000;

        const media::FilterSlots &slots = builder.Slots();
        PadToPad encode(Pad(slots.videoEncoder.get(), "sink").get(), Pad(slots.videoEncoder.get(), "src").get(),
                        measures.encodeUs);
        PadToPad decode(Pad(slots.videoDecoder.get(), "sink").get(), Pad(slots.videoDecoder.get(), "src").get(),
                        measures.decodeUs);
        SinceCapture sentAudio(Pad(slots.captureSink.get(), "Audio Transport").get(), measures.sendAudioUs);
        FirstBuffer firstSent(Pad(slots.captureSink.get(), "Video Transport").get());
        const GstRef<GstElement> audioSink = AudioSinkBehind(slots.audioDecoder.get());
        measures.audio = std::make_unique<HeardAudio>(audioSink.get(), settings.burstIntervalNs);

        run.RunCall();
        const std::string statistics = media::CCallStatistics::Format(builder.Statistics().Read());
        run.Report(measures);
        PeerRun::Note("started", started ? "yes" : "no");
        PeerRun::Note("start_call_media_us", std::to_string(startUs));
        if (const auto sent = firstSent.AtNs())
            PeerRun::Note("first_frame_sent_us", std::to_string((*sent - callStart) / 1000));
        PeerRun::Note("device_listing_us", std::to_string(listingUs));
        PeerRun::Note("audio_sink", FactoryName(audioSink.get()));
        PeerRun::Note("statistics", statistics);
        std::fflush(stdout);
        measures.audio.reset(); // its probe goes before the pads do
        builder.StopMedia();
    }
    return 0;
}

} // namespace kestrel::bench
