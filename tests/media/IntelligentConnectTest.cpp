#include "MediaTestSupport.h"
#include "media/MediaGraph.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

class IntelligentConnect : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        ASSERT_TRUE(graph.Create());
        ConnectPolicy policy;
        policy.videoRendererName = kTestRendererName;
        policy.sinkOpens = [this](GstElement *sink) {
            probed.push_back(FactoryName(sink));
            return soundDevice;
        };
        graph.Connector().SetPolicy(policy);
    }

    GstElement *Add(const std::string &description, const char *name = "")
    {
        GstRef<GstElement> element = ParseElement(description);
        GstElement *borrowed = element.get();
        EXPECT_EQ(graph.AddFilter(element.release(), name), result::Ok);
        return borrowed;
    }

    static GstRef<GstPad> Pad(GstElement *element, const char *name)
    {
        return GstRef<GstPad>(gst_element_get_static_pad(element, name));
    }

    GstElement *Child(const char *factory)
    {
        GstElement *found = nullptr;
        GST_OBJECT_LOCK(graph.Bin());
        for (GList *item = GST_BIN_CHILDREN(graph.Bin()); item; item = item->next)
            if (FactoryName(GST_ELEMENT(item->data)) == factory)
                found = GST_ELEMENT(item->data);
        GST_OBJECT_UNLOCK(graph.Bin());
        return found;
    }

    int Count(const std::string &factory)
    {
        const auto names = FactoryNames(graph.Bin());
        return static_cast<int>(std::count(names.begin(), names.end(), factory));
    }

    // Runs the graph and waits for `sink` (an appsink) to deliver a sample.
    GstMiniRef<GstSample> FirstSample(GstElement *sink)
    {
        EXPECT_TRUE(Succeeded(graph.Run()));
        return GstMiniRef<GstSample>(gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 10 * GST_SECOND));
    }

    CMediaGraph graph;
    bool soundDevice = false;
    std::vector<std::string> probed;
};

} // namespace

TEST_F(IntelligentConnect, RenderTakesACompatibleSinkAlreadyInTheGraphBeforeAnyRenderer)
{
    GstElement *source = Add("videotestsrc");
    GstElement *inGraph = Add("appsink", "in graph");
    ASSERT_EQ(graph.RenderPin(source, "src"), result::Ok);
    EXPECT_EQ(UpstreamOf(inGraph).get(), source);
    EXPECT_EQ(ChildNames(graph.Bin()).size(), 2u) << "no renderer was added";
}

TEST_F(IntelligentConnect, AnIncompatibleSinkInTheGraphIsPassedOverForTheRenderer)
{
    GstElement *source = Add("audiotestsrc");
    Add("appsink caps=video/x-raw", "video only");
    soundDevice = true;
    ASSERT_EQ(graph.RenderPin(source, "src"), result::Ok);
    GstRef<GstPad> out = Pad(source, "src");
    GstRef<GstPad> peer(gst_pad_get_peer(out.get()));
    ASSERT_NE(peer, nullptr);
    GstRef<GstElement> renderer(gst_pad_get_parent_element(peer.get()));
    EXPECT_NE(FactoryName(renderer.get()), "appsink");
}

TEST_F(IntelligentConnect, AnElementInTheGraphIsUsedAsTheDecoderAndItsOutputRendered)
{
    // As the receive graph's audio: the RTP source's "Audio Transport" goes
    // into the decoder already in the graph, not into a second one.
    GstRef<GstElement> rtpSource;
    graph.AddRegisteredFilter("ORVA RTP Source Filter", rtpSource);
    ASSERT_NE(rtpSource, nullptr);
    GstElement *decoder = Add("avdec_truespeech", "decoder");

    ASSERT_EQ(graph.RenderPin(rtpSource.get(), "Audio Transport"), result::Ok);
    EXPECT_EQ(UpstreamOf(decoder).get(), rtpSource.get());
    EXPECT_EQ(Count("avdec_truespeech"), 1);
    GstRef<GstPad> decoded = Pad(decoder, "src");
    EXPECT_TRUE(gst_pad_is_linked(decoded.get())) << "the decoder's output was rendered too";
}

TEST_F(IntelligentConnect, InsertsAConverterForASinkThatNeedsAnotherFormatAndTheChainRuns)
{
    GstElement *source = Add("videotestsrc");
    GstElement *format = Add("capsfilter caps=video/x-raw,format=I420,width=64,height=48");
    GstElement *sink = Add("appsink caps=video/x-raw,format=BGRx");
    ASSERT_TRUE(gst_element_link(source, format));
    ASSERT_EQ(graph.ConnectPins(format, "src", sink, "sink"), result::Ok);

    GstRef<GstElement> converter = UpstreamOf(sink);
    ASSERT_NE(converter, nullptr);
    EXPECT_NE(converter.get(), format);
    EXPECT_EQ(UpstreamOf(converter.get()).get(), format) << "one element between";

    GstMiniRef<GstSample> sample = FirstSample(sink);
    ASSERT_NE(sample, nullptr);
    GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
    EXPECT_STREQ(gst_structure_get_string(caps, "format"), "BGRx");
}

TEST_F(IntelligentConnect, TheSameRegistryGivesTheSameChain)
{
    auto chain = [this] {
        graph.ClearGraph();
        GstElement *format = Add("capsfilter caps=video/x-raw,format=I420");
        GstElement *sink = Add("appsink caps=video/x-raw,format=BGRx");
        EXPECT_EQ(graph.ConnectPins(format, "src", sink, "sink"), result::Ok);
        return FactoryNames(graph.Bin());
    };
    const auto first = chain();
    EXPECT_EQ(first.size(), 3u);
    EXPECT_EQ(chain(), first);
}

TEST_F(IntelligentConnect, RendersH263ThroughADecoderFromTheRegistryToTheVideoRenderer)
{
    GstElement *source = Add("videotestsrc num-buffers=30");
    GstElement *format = Add("capsfilter caps=video/x-raw,format=I420,width=176,height=144");
    GstElement *encoder = Add("avenc_h263");
    ASSERT_TRUE(gst_element_link_many(source, format, encoder, nullptr));

    ASSERT_EQ(graph.RenderPin(encoder, "src"), result::Ok);
    EXPECT_EQ(Count("avdec_h263"), 1);
    GstRef<GstElement> renderer = graph.FindFilterByName("Video Renderer");
    ASSERT_NE(renderer, nullptr) << "the default renderer is named for its role";
    EXPECT_EQ(FactoryName(renderer.get()), kTestRendererFactory);

    ASSERT_TRUE(Succeeded(graph.Run()));
    EXPECT_TRUE(WaitFor(
        [&] {
            guint64 shown = 0;
            g_object_get(renderer.get(), "frames-shown", &shown, nullptr);
            return shown > 0;
        },
        10s));
}

TEST_F(IntelligentConnect, AudioWithoutASoundDeviceEndsInASinkThatOnlyConsumes)
{
    GstElement *source = Add("audiotestsrc is-live=true");
    ASSERT_EQ(graph.RenderPin(source, "src"), result::Ok);

    const auto names = FactoryNames(graph.Bin());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names[1] == "fakeaudiosink" || names[1] == "fakesink") << names[1];
    EXPECT_EQ(std::count(probed.begin(), probed.end(), "fakeaudiosink"), 0) << "the fallback is not probed";
    for (const auto &sink : probed)
        EXPECT_EQ(std::count(names.begin(), names.end(), sink), 0) << sink << " could not open and was not kept";

    ASSERT_TRUE(Succeeded(graph.Run()));
    CMediaGraph::State state = CMediaGraph::State::Stopped;
    EXPECT_EQ(graph.GetState(10s, state), result::Ok);
    EXPECT_EQ(state, CMediaGraph::State::Running);
}

TEST_F(IntelligentConnect, TheFirstAudioSinkThatOpensIsTaken)
{
    soundDevice = true;
    GstElement *source = Add("audiotestsrc");
    ASSERT_EQ(graph.RenderPin(source, "src"), result::Ok);
    if (probed.empty())
        GTEST_SKIP() << "no ranked audio sink is installed";
    EXPECT_EQ(probed.size(), 1u) << "the first that opens ends the probing";
    EXPECT_EQ(FactoryNames(graph.Bin())[1], probed.front());
}

TEST_F(IntelligentConnect, RankNoneElementsAreNeverInserted)
{
    GstElement *source = Add(std::string("capsfilter caps=") + kTestCaps);
    GstElement *sink = Add("appsink caps=video/x-raw,format=BGRx");
    EXPECT_EQ(graph.ConnectPins(source, "src", sink, "sink"), result::CannotConnect);
    EXPECT_EQ(ChildNames(graph.Bin()).size(), 2u) << "a failed search leaves nothing behind";

    // The same search succeeds once the element may be chosen: the rank alone
    // kept it out.
    GstRef<GstElementFactory> converter(gst_element_factory_find(kTestConverterFactory));
    gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(converter.get()), GST_RANK_MARGINAL);
    const HResult ranked = graph.ConnectPins(source, "src", sink, "sink");
    gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(converter.get()), GST_RANK_NONE);
    EXPECT_EQ(ranked, result::Ok);
    EXPECT_EQ(FactoryName(UpstreamOf(sink).get()), kTestConverterFactory);
}

TEST_F(IntelligentConnect, AFailedSearchUnlinksAndRemovesEverythingItTried)
{
    GstElement *source = Add("audiotestsrc");
    GstElement *sink = Add("appsink caps=video/x-raw", "video sink");
    const auto before = ChildNames(graph.Bin());
    EXPECT_EQ(graph.ConnectPins(source, "src", sink, "sink"), result::CannotConnect);
    EXPECT_EQ(ChildNames(graph.Bin()), before);
    GstRef<GstPad> out = Pad(source, "src");
    EXPECT_FALSE(gst_pad_is_linked(out.get()));
}

TEST_F(IntelligentConnect, NeverLinksBackIntoAnElementUpstream)
{
    // source -> compositor -> identity: the compositor still offers free
    // request sink pads, but feeding identity's output back into it would
    // make a loop.
    GstElement *source = Add("videotestsrc");
    GstElement *compositor = Add("compositor");
    GstElement *identity = Add("identity");
    ASSERT_TRUE(gst_element_link_many(source, compositor, identity, nullptr));
    ASSERT_EQ(graph.RenderPin(identity, "src"), result::Ok);
    EXPECT_EQ(compositor->numsinkpads, 1) << "no pad was requested from the upstream compositor";
    GstRef<GstElement> renderer = graph.FindFilterByName("Video Renderer");
    ASSERT_NE(renderer, nullptr);
}

TEST_F(IntelligentConnect, RequestPadsOfAnElementInTheGraphAreUsed)
{
    GstElement *first = Add("audiotestsrc");
    GstElement *second = Add("audiotestsrc");
    GstElement *mixer = Add("audiomixer");
    GstElement *sink = Add("fakesink");
    ASSERT_TRUE(gst_element_link(mixer, sink));
    ASSERT_EQ(graph.RenderPin(first, "src"), result::Ok);
    ASSERT_EQ(graph.RenderPin(second, "src"), result::Ok);
    EXPECT_EQ(mixer->numsinkpads, 2);
    EXPECT_EQ(ChildNames(graph.Bin()).size(), 4u);
}
