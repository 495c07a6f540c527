#include "media/GraphBuilder.h"
#include "tests/SanitizerBuild.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/platform/outsidefilters/PacedAudioSink.h"
#include "tideline/rtpconfig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrel::media {
namespace {

using namespace filter_names;
using namespace std::chrono_literals;
using test::FactoryNames;
using test::InitGstreamerForMediaTests;

// The pages, choosing the first device of a device list.
class FakePages final : public ICapturePages {
public:
    explicit FakePages(IDeviceList &list) : devices(list) {}
    bool VideoEnabled() const override { return video; }
    bool AudioEnabled() const override { return audio; }
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
    std::shared_ptr<ICaptureDevice> ChosenCamera() const override { return camera; }
    int ChooseDefaultVideoDevice() override
    {
        if (camera)
            return 1;
        camera = FirstDevice(devices, DeviceCategory::Video);
        return camera ? 0 : 1;
    }
    std::shared_ptr<ICaptureDevice> ChosenMicrophone() const override { return microphone; }
    int ChooseDefaultAudioDevice() override
    {
        if (microphone)
            return 1;
        microphone = FirstDevice(devices, DeviceCategory::Audio);
        return microphone ? 0 : 1;
    }

    IDeviceList &devices;
    std::shared_ptr<ICaptureDevice> camera;
    std::shared_ptr<ICaptureDevice> microphone;
    bool video = true;
    bool audio = true;
    int width = 176;
    int height = 144;
};

class RecordingHost final : public IVideoHost {
public:
    void AttachRenderer(GstElement *element) override { renderer = element; }
    void SetVideoVisible(bool isVisible) override { visible = isVisible; }
    void SetVideoRect(int, int, int, int) override {}
    GstElement *renderer = nullptr;
    bool visible = false;
};

// Every factory of the registry with that long name.
std::vector<GstRef<GstPluginFeature>> FactoriesByLongName(const std::string &longName)
{
    GList *features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
    std::vector<GstRef<GstPluginFeature>> found;
    for (GList *i = features; i; i = i->next) {
        if (longName == gst_element_factory_get_metadata(GST_ELEMENT_FACTORY(i->data), GST_ELEMENT_METADATA_LONGNAME))
            found.push_back(platform::RefObject(GST_PLUGIN_FEATURE(i->data)));
    }
    gst_plugin_feature_list_free(features);
    return found;
}

// Live stand-ins for a camera and a microphone.
CFakeDeviceList StandInDevices()
{
    CFakeDeviceList devices;
    devices.Add(DeviceCategory::Video, "Stand-in Camera", "videotestsrc is-live=true");
    devices.Add(DeviceCategory::Audio, "Stand-in Microphone", "audiotestsrc is-live=true");
    return devices;
}

struct Builder : ::testing::Test {
    static void SetUpTestSuite() { InitGstreamerForMediaTests(); }

    Builder()
    {
        CGraphBuilder::Parts parts{pages, host, {}, {}, "127.0.9.2"};
        parts.showPages = [this](GstElement *filter, const std::string &caption, int limit) {
            pagesShown.push_back(FactoryLongName(filter) + " " + caption + " " + std::to_string(limit));
        };
        parts.updateViews = [this] { ++viewUpdates; };
        builder = std::make_unique<CGraphBuilder>(std::move(parts));
        EXPECT_EQ(builder->Create(), CGraphBuilder::Creation::Created);
    }

    static std::string FactoryLongName(GstElement *element)
    {
        GstElementFactory *factory = gst_element_get_factory(element);
        return factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME) : "";
    }
    // How many elements of the graph have the factory long name `name`.
    static int CountByLongName(CMediaGraph &graph, const std::string &name)
    {
        int count = 0;
        GstIterator *children = gst_bin_iterate_elements(graph.Bin());
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
            count += FactoryLongName(GST_ELEMENT(g_value_get_object(&item))) == name;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(children);
        return count;
    }
    static bool PadLinked(GstElement *element, const char *pad)
    {
        GstRef<GstPad> found(element ? gst_element_get_static_pad(element, pad) : nullptr);
        return found && gst_pad_is_linked(found.get());
    }
    static bool Running(CMediaGraph &graph)
    {
        return test::WaitFor(
            [&] {
                CMediaGraph::State state;
                graph.GetState(0ms, state);
                return state == CMediaGraph::State::Running;
            },
            10s);
    }

    CFakeDeviceList devices = StandInDevices();
    FakePages pages{devices};
    RecordingHost host;
    std::vector<std::string> pagesShown;
    int viewUpdates = 0;
    std::unique_ptr<CGraphBuilder> builder;
};

TEST_F(Builder, EachPeerMaskRendersItsStreamsThroughOneSourceAndOneSender)
{
    struct Case {
        int peerMask;
        bool video;
        bool audio;
    };
    for (const Case c : {Case{0, false, false}, Case{1, true, false}, Case{2, false, true}, Case{3, true, true}}) {
        SCOPED_TRACE(c.peerMask);
        ASSERT_TRUE(builder->StartCallMedia("127.0.9.3", c.peerMask));
        CMediaGraph &render = builder->RenderGraph();
        EXPECT_EQ(CountByLongName(render, kRtpSource), c.video || c.audio ? 1 : 0);
        GstElement *source = builder->Slots().rtpSource.get();
        EXPECT_EQ(PadLinked(source, "Video Transport"), c.video);
        EXPECT_EQ(PadLinked(source, "Audio Transport"), c.audio);
        EXPECT_EQ(CountByLongName(render, kOverlayRenderer), c.video ? 1 : 0);
        if (source) {
            gint port = 0;
            EXPECT_TRUE(tideline_rtp_source_config_get_port(source, &port));
            EXPECT_EQ(port, kMediaPort);
            gchar *peer = nullptr;
            g_object_get(source, "peer-address", &peer, nullptr);
            EXPECT_STREQ(peer, "127.0.9.3") << "media only from the peer";
            g_free(peer);
        }
        EXPECT_TRUE(Running(render)) << "the render graph runs, empty or not";

        // This side sends both: one sender carries the two streams.
        CMediaGraph &capture = builder->CaptureGraph();
        EXPECT_EQ(CountByLongName(capture, kRtpRender), 1);
        GstElement *sender = builder->Slots().captureSink.get();
        EXPECT_TRUE(PadLinked(sender, "Video Transport"));
        EXPECT_TRUE(PadLinked(sender, "Audio Transport"));
        gchar *address = nullptr;
        gint port = 0;
        ASSERT_TRUE(tideline_rtp_render_config_get_destination(sender, &address, &port));
        EXPECT_STREQ(address, "127.0.9.3");
        EXPECT_EQ(port, kMediaPort);
        g_free(address);
        EXPECT_EQ(CountByLongName(capture, kVideoRenderer), 0) << "the default renderer is removed";
        EXPECT_TRUE(Running(capture));
        EXPECT_TRUE(builder->IsCaptureRunning()) << "Local Play/Stop during a call sees it running";

        builder->StopMedia();
        EXPECT_EQ(FactoryNames(builder->CaptureGraph().Bin()).size(), 0u);
        EXPECT_EQ(FactoryNames(builder->RenderGraph().Bin()).size(), 0u);
        EXPECT_FALSE(builder->Slots().captureSink);
        EXPECT_FALSE(builder->Slots().rtpSource);
        EXPECT_EQ(host.renderer, nullptr) << "the empty capture graph shows no video";
    }
}

TEST_F(Builder, WhatThisSideSendsFollowsThePages)
{
    pages.video = false;
    ASSERT_TRUE(builder->StartCallMedia("127.0.9.3", 3));
    GstElement *sender = builder->Slots().captureSink.get();
    EXPECT_FALSE(PadLinked(sender, "Video Transport"));
    EXPECT_TRUE(PadLinked(sender, "Audio Transport"));
    EXPECT_FALSE(builder->Slots().videoCapture);
    builder->ShowEncoderSettings();
    EXPECT_TRUE(pagesShown.empty()) << "no encoder in an audio-only call";
    builder->StopMedia();

    pages.video = true;
    pages.audio = false;
    ASSERT_TRUE(builder->StartCallMedia("127.0.9.3", 3));
    EXPECT_TRUE(PadLinked(builder->Slots().captureSink.get(), "Video Transport"));
    EXPECT_FALSE(PadLinked(builder->Slots().captureSink.get(), "Audio Transport"));
    builder->ShowEncoderSettings();
    EXPECT_EQ(pagesShown, std::vector<std::string>{std::string(kVideoEncoder) + " Encoder 1"});
}

TEST_F(Builder, ACallSendsQcifAndLeavesThePageThere)
{
    pages.width = 352;
    pages.height = 288;
    ASSERT_TRUE(builder->StartCallMedia("127.0.9.3", 1));
    int width = 0, height = 0;
    builder->GetCaptureSize(width, height);
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
    EXPECT_EQ(viewUpdates, 1);
    builder->StopMedia();
    builder->GetCaptureSize(width, height);
    EXPECT_EQ(width, 176) << "the next preview uses 176 x 144 too";
}

TEST_F(Builder, WithoutACameraNothingIsSentAndTheReceivedMediaGoOn)
{
    devices = CFakeDeviceList(); // no camera, no microphone
    EXPECT_FALSE(builder->StartCallMedia("127.0.9.3", 3));
    EXPECT_TRUE(Running(builder->RenderGraph()));
    EXPECT_EQ(CountByLongName(builder->CaptureGraph(), kRtpRender), 0) << "no sender is configured";
    EXPECT_FALSE(builder->StartPreview());
    EXPECT_EQ(FactoryNames(builder->CaptureGraph().Bin()).size(), 0u);
}

TEST_F(Builder, EncoderCommandWithoutACallDoesNothing)
{
    builder->ShowEncoderSettings();
    EXPECT_TRUE(pagesShown.empty());
}

TEST_F(Builder, PreviewStartsStopsAndStartsAgainFromFreshElements)
{
    ASSERT_TRUE(builder->StartPreview());
    EXPECT_TRUE(Running(builder->CaptureGraph()));
    EXPECT_TRUE(builder->IsCaptureRunning());
    EXPECT_EQ(FactoryLongName(host.renderer), kOverlayRenderer);
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(CountByLongName(builder->CaptureGraph(), kSmartTee), 1) << "a camera without a preview pad";
    EXPECT_TRUE(PadLinked(builder->Slots().tee.get(), "Input"));
    EXPECT_TRUE(PadLinked(builder->Slots().tee.get(), "Preview"));
    EXPECT_FALSE(PadLinked(builder->Slots().tee.get(), "Capture"));

    GWeakRef first;
    g_weak_ref_init(&first, builder->Slots().videoCapture.get());

    builder->StopPreview();
    EXPECT_FALSE(builder->IsCaptureRunning());
    EXPECT_EQ(FactoryNames(builder->CaptureGraph().Bin()).size(), 0u);
    GObject *stillThere = static_cast<GObject *>(g_weak_ref_get(&first));
    EXPECT_EQ(stillThere, nullptr) << "the stopped preview's camera element is gone";
    if (stillThere)
        g_object_unref(stillThere);
    g_weak_ref_clear(&first);

    ASSERT_TRUE(builder->StartPreview());
    EXPECT_TRUE(Running(builder->CaptureGraph()));
    builder->StopPreview();
}

TEST_F(Builder, AMissingFilterLeavesItsSlotEmptyAndTheRestRuns)
{
    GstRegistry *registry = gst_registry_get();
    const auto acm = FactoriesByLongName(kAudioDecoder);
    ASSERT_FALSE(acm.empty());
    for (const auto &factory : acm) {
        // Load the plugin first: loading it later would register the factory again.
        GstRef<GstPluginFeature> loaded(gst_plugin_feature_load(factory.get()));
        gst_registry_remove_feature(registry, factory.get());
    }

    const bool started = builder->StartCallMedia("127.0.9.3", 3);
    for (const auto &factory : acm)
        gst_registry_add_feature(registry, GST_PLUGIN_FEATURE(gst_object_ref(factory.get())));
    ASSERT_TRUE(started);
    EXPECT_FALSE(builder->Slots().audioDecoder);
    EXPECT_TRUE(PadLinked(builder->Slots().rtpSource.get(), "Video Transport"));
    EXPECT_TRUE(Running(builder->RenderGraph()));
}

// Two peers call each other on loopback with the test camera and microphone.
// Once the call has settled (the first second, in which the timeline finds
// the pace of the sender's microphone), the peer's audio plays on without a
// gap: no buffer reaches the sink late, the timeline neither jumps nor loses
// audio.
TEST(BuilderCall, ThePeersAudioPlaysWithoutGapsOnceTheCallHasSettled)
{
    InitGstreamerForMediaTests();
    CFakeDeviceList devices;
    devices.Add(DeviceCategory::Video, "Test Camera", "kestreltestcamerasrc");
    devices.Add(DeviceCategory::Audio, "Test Microphone", "kestreltestmicrophonesrc");
    FakePages pagesA{devices}, pagesB{devices};
    RecordingHost hostA, hostB;
    CGraphBuilder a({pagesA, hostA, {}, {}, "127.0.21.2"});
    CGraphBuilder b({pagesB, hostB, {}, {}, "127.0.21.3"});
    ASSERT_EQ(a.Create(), CGraphBuilder::Creation::Created);
    ASSERT_EQ(b.Create(), CGraphBuilder::Creation::Created);
    ASSERT_TRUE(a.StartCallMedia("127.0.21.3", 3));
    ASSERT_TRUE(b.StartCallMedia("127.0.21.2", 3));

    auto heardAtLeast = [&](std::uint64_t frames) {
        return test::WaitFor(
            [&] { return a.Statistics().Read().audioIn >= frames && b.Statistics().Read().audioIn >= frames; }, 20s);
    };
    ASSERT_TRUE(heardAtLeast(34)) << "no second of audio both ways";
    const std::uint64_t settledA = a.Statistics().Read().audioGaps;
    const std::uint64_t settledB = b.Statistics().Read().audioGaps;
    ASSERT_TRUE(heardAtLeast(134)) << "no four seconds of audio both ways";
    const auto countsA = a.Statistics().Read();
    const auto countsB = b.Statistics().Read();
    // Under a sanitizer the sound still has to flow; its pace is not ours to judge.
    if (!kestrel::testing::kSanitizedBuild) {
        EXPECT_LE(settledA + settledB, 4u) << "settling takes a gap or two at most";
        EXPECT_EQ(countsA.audioGaps, settledA) << CCallStatistics::Format(countsA);
        EXPECT_EQ(countsB.audioGaps, settledB) << CCallStatistics::Format(countsB);
    }
    a.StopMedia();
    b.StopMedia();
}

// Audio sinks keep 200 ms in their ring buffer by default, and report it as
// latency: a call's sink is given a short one, so the peer's voice plays soon
// after it arrives; through a ring-buffer sink it plays without a gap too.
TEST(BuilderCall, TheVoiceIsPlayedThroughAShortRingBufferSoonAfterItArrives)
{
    InitGstreamerForMediaTests();
    outsidefilters::test::RegisterPacedAudioSink();
    GstRef<GstPluginFeature> paced(GST_PLUGIN_FEATURE(gst_element_factory_find("kestreltestpacedsink")));
    ASSERT_TRUE(paced);
    gst_plugin_feature_set_rank(paced.get(), GST_RANK_PRIMARY + 200); // the first sound card tried
    CFakeDeviceList devices;
    devices.Add(DeviceCategory::Video, "Test Camera", "kestreltestcamerasrc");
    devices.Add(DeviceCategory::Audio, "Test Microphone", "kestreltestmicrophonesrc");
    FakePages pages{devices};
    pages.video = false;
    RecordingHost host;
    CGraphBuilder builder({pages, host, {}, {}, "127.0.21.4"});
    ASSERT_EQ(builder.Create(), CGraphBuilder::Creation::Created);
    ASSERT_TRUE(builder.StartCallMedia("127.0.21.4", 2)); // its own voice comes back to it

    GstRef<GstPad> decoded(gst_element_get_static_pad(builder.Slots().audioDecoder.get(), "src"));
    ASSERT_TRUE(decoded);
    GstRef<GstPad> sinkPad(gst_pad_get_peer(decoded.get()));
    ASSERT_TRUE(sinkPad);
    GstRef<GstElement> sink(gst_pad_get_parent_element(sinkPad.get()));
    ASSERT_EQ(test::FactoryName(sink.get()), "kestreltestpacedsink");
    gint64 bufferUs = 0, periodUs = 0;
    guint64 deadlineNs = 0;
    g_object_get(sink.get(), "buffer-time", &bufferUs, "latency-time", &periodUs, "processing-deadline", &deadlineNs,
                 nullptr);
    EXPECT_LE(bufferUs, 40000);
    EXPECT_LE(periodUs, bufferUs / 2) << "at least two periods";
    EXPECT_LE(deadlineNs, 5 * GST_MSECOND);

    auto heardAtLeast = [&](std::uint64_t frames) {
        return test::WaitFor([&] { return builder.Statistics().Read().audioIn >= frames; }, 20s);
    };
    ASSERT_TRUE(heardAtLeast(34));
    GstMiniRef<GstQuery> latency(gst_query_new_latency());
    ASSERT_TRUE(gst_element_query(GST_ELEMENT(builder.RenderGraph().Bin()), latency.get()));
    GstClockTime minimum = 0;
    gst_query_parse_latency(latency.get(), nullptr, &minimum, nullptr);
    EXPECT_LT(minimum, 80 * GST_MSECOND) << "the render graph holds the voice back that long";
    // The graph learns its latency only once the first buffer reached the
    // sink, which plays that one early; then the timeline settles on the
    // sender's pace: a gap for each at most.
    // (Under a sanitizer the graph runs slower than its clock: only the flow counts.)
    const std::uint64_t settled = builder.Statistics().Read().audioGaps;
    ASSERT_TRUE(heardAtLeast(100));
    if (!kestrel::testing::kSanitizedBuild) {
        EXPECT_LE(settled, 2u);
        EXPECT_EQ(builder.Statistics().Read().audioGaps, settled);
    }
    builder.StopMedia();
}

} // namespace
} // namespace kestrel::media
