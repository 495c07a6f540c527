#include "MediaTestSupport.h"
#include "media/CaptureGraph.h"
#include "media/MediaGraph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

class MediaGraph : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        ASSERT_TRUE(graph.Create());
    }

    GstElement *Add(const char *description, const char *name = "")
    {
        GstRef<GstElement> element = ParseElement(description);
        GstElement *borrowed = element.get();
        EXPECT_EQ(graph.AddFilter(element.release(), name), result::Ok);
        return borrowed;
    }

    CMediaGraph graph;
};

} // namespace

TEST(MediaGraphCreate, ReleaseAfterAFailedCreateLeavesEveryMemberEmpty)
{
    InitGstreamerForMediaTests();
    CMediaGraph nothing([]() -> GstElement * { return nullptr; });
    EXPECT_FALSE(nothing.Create());
    nothing.Release();
    EXPECT_EQ(nothing.Pipeline(), nullptr);
    EXPECT_EQ(nothing.Bus(), nullptr);

    // A bin that is not a pipeline has no bus: the graph was obtained, the
    // events were not.
    CMediaGraph noBus([] { return gst_bin_new(nullptr); });
    EXPECT_FALSE(noBus.Create());
    EXPECT_NE(noBus.Pipeline(), nullptr);
    EXPECT_EQ(noBus.Bus(), nullptr);
    noBus.Release();
    EXPECT_EQ(noBus.Pipeline(), nullptr);
    EXPECT_EQ(noBus.Bus(), nullptr);

    CCaptureGraph capture([] { return gst_bin_new(nullptr); });
    EXPECT_FALSE(capture.Create());
    EXPECT_EQ(capture.Builder(), nullptr) << "the builder is let go when the graph fails";
    capture.Release();
    EXPECT_EQ(capture.Pipeline(), nullptr);
    EXPECT_EQ(capture.RenderStream(PinCategory::Capture, StreamType::Video, nullptr, nullptr, nullptr),
              result::Unexpected);

    CCaptureGraph good;
    ASSERT_TRUE(good.Create());
    EXPECT_NE(good.Builder(), nullptr);
    EXPECT_NE(good.Bus(), nullptr);
    good.Release();
    EXPECT_EQ(good.Builder(), nullptr);
    EXPECT_EQ(good.Pipeline(), nullptr);
}

TEST_F(MediaGraph, ClearGraphOnAnEmptyGraphStopsItAndReturnsAtOnce)
{
    EXPECT_EQ(graph.ClearGraph(), result::Ok);
    CMediaGraph::State state = CMediaGraph::State::Running;
    EXPECT_EQ(graph.GetState(0ms, state), result::Ok);
    EXPECT_EQ(state, CMediaGraph::State::Stopped);
}

TEST_F(MediaGraph, ClearGraphRemovesElementsThatIntelligentConnectInserted)
{
    GstElement *source = Add("videotestsrc");
    GstElement *format = Add("capsfilter caps=video/x-raw,format=I420");
    GstElement *sink = Add("appsink caps=video/x-raw,format=BGRx");
    ASSERT_TRUE(gst_element_link(source, format));
    ASSERT_EQ(graph.ConnectPins(format, "src", sink, "sink"), result::Ok);
    ASSERT_GT(ChildNames(graph.Bin()).size(), 3u) << "a converter was inserted";

    EXPECT_EQ(graph.ClearGraph(), result::Ok);
    EXPECT_TRUE(ChildNames(graph.Bin()).empty());
}

TEST_F(MediaGraph, AddRegisteredFilterAddsOneElementNamedByItsLongNameOrNothing)
{
    GstRef<GstElement> slot;
    EXPECT_EQ(graph.AddRegisteredFilter("No Such Filter", slot), result::Ok);
    EXPECT_EQ(slot, nullptr);
    EXPECT_TRUE(ChildNames(graph.Bin()).empty());

    EXPECT_EQ(graph.AddRegisteredFilter("orva rtp source filter", slot), result::Ok);
    EXPECT_EQ(slot, nullptr) << "long names are compared case-sensitively";

    EXPECT_EQ(graph.AddRegisteredFilter("ORVA RTP Source Filter", slot), result::Ok);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(FactoryName(slot.get()), "tidelinertpsrc");
    EXPECT_EQ(ChildNames(graph.Bin()), std::vector<std::string>{"ORVA RTP Source Filter"});

    GstElement *first = slot.get();
    EXPECT_EQ(graph.FillRegisteredFilter("ORVA RTP Source Filter", slot), result::Ok);
    EXPECT_EQ(slot.get(), first) << "a filled slot is reused";
    EXPECT_EQ(ChildNames(graph.Bin()).size(), 1u);

    GstRef<GstElement> second;
    graph.AddRegisteredFilter("ORVA RTP Source Filter", second);
    EXPECT_EQ(ChildNames(graph.Bin()),
              (std::vector<std::string>{"ORVA RTP Source Filter", "ORVA RTP Source Filter 0001"}));
    EXPECT_EQ(graph.FindFilterByName("ORVA RTP Source Filter 0001").get(), second.get());
}

TEST_F(MediaGraph, FindPinComparesNamesExactlyAndReportsTheEnumerationNotTheFind)
{
    GstRef<GstElement> source;
    graph.AddRegisteredFilter("ORVA RTP Source Filter", source);
    ASSERT_NE(source, nullptr);

    GstRef<GstPad> pin;
    EXPECT_EQ(CMediaGraph::FindPin(source.get(), "Video Transport", pin), result::Ok);
    ASSERT_NE(pin, nullptr);
    EXPECT_STREQ(GST_OBJECT_NAME(pin.get()), "Video Transport");

    EXPECT_EQ(CMediaGraph::FindPin(source.get(), "video transport", pin), result::Ok);
    EXPECT_EQ(pin, nullptr);
    EXPECT_EQ(CMediaGraph::FindPin(source.get(), "Video", pin), result::Ok);
    EXPECT_EQ(pin, nullptr);

    EXPECT_EQ(CMediaGraph::FindPin(nullptr, "Video Transport", pin), result::Pointer);
    EXPECT_EQ(pin, nullptr);
}

TEST_F(MediaGraph, DisconnectPinOnAnUnlinkedPadOnlyLetsGoOfThePadItself)
{
    GstElement *source = Add("videotestsrc", "source");
    GstElement *sink = Add("fakesink", "sink");
    EXPECT_EQ(graph.DisconnectPin(source, "src"), result::False);
    EXPECT_EQ(graph.DisconnectPin(source, "Src"), result::Pointer) << "no such pad";

    ASSERT_TRUE(gst_element_link(source, sink));
    EXPECT_EQ(graph.DisconnectPin(sink, "sink"), result::Ok);
    GstRef<GstPad> out(gst_element_get_static_pad(source, "src"));
    GstRef<GstPad> in(gst_element_get_static_pad(sink, "sink"));
    EXPECT_FALSE(gst_pad_is_linked(out.get()));
    EXPECT_FALSE(gst_pad_is_linked(in.get()));
    EXPECT_EQ(graph.DisconnectPin(sink, "sink"), result::False);
}

TEST_F(MediaGraph, DisconnectPinGivesARequestedPeerPadBack)
{
    GstElement *tee = Add("tee", "tee");
    GstElement *sink = Add("fakesink", "sink");
    ASSERT_TRUE(gst_element_link(tee, sink));
    ASSERT_EQ(tee->numsrcpads, 1);
    EXPECT_EQ(graph.DisconnectPin(sink, "sink"), result::Ok);
    EXPECT_EQ(tee->numsrcpads, 0);
}

TEST_F(MediaGraph, ConnectAndRenderRefuseMissingAndLinkedPads)
{
    GstElement *source = Add("videotestsrc", "source");
    GstElement *sink = Add("fakesink", "sink");
    EXPECT_EQ(graph.ConnectPins(source, "source", sink, "sink"), result::Pointer);
    EXPECT_EQ(graph.RenderPin(source, "Src"), result::Pointer);
    ASSERT_EQ(graph.ConnectPins(source, "src", sink, "sink"), result::Ok);
    EXPECT_EQ(graph.RenderPin(source, "src"), result::AlreadyConnected);
}

TEST_F(MediaGraph, RunAndStopAreSeenByGetState)
{
    GstElement *source = Add("videotestsrc is-live=true");
    GstElement *sink = Add("fakesink");
    ASSERT_TRUE(gst_element_link(source, sink));
    EXPECT_TRUE(Succeeded(graph.Run()));
    CMediaGraph::State state = CMediaGraph::State::Stopped;
    EXPECT_TRUE(Succeeded(graph.GetState(0ms, state)));
    EXPECT_EQ(state, CMediaGraph::State::Running) << "running, or on its way there";
    EXPECT_EQ(graph.GetState(5s, state), result::Ok);
    EXPECT_EQ(state, CMediaGraph::State::Running);
    EXPECT_EQ(graph.Stop(), result::Ok);
    EXPECT_EQ(graph.GetState(0ms, state), result::Ok);
    EXPECT_EQ(state, CMediaGraph::State::Stopped);
}

TEST_F(MediaGraph, EventsAreNotifiedFromAnyThreadAndTakenWithoutBlocking)
{
    EXPECT_EQ(graph.TakeEvent(), nullptr);
    auto post = [this](const char *name) {
        std::thread poster([this, name] {
            gst_element_post_message(graph.Pipeline(), gst_message_new_application(GST_OBJECT(graph.Pipeline()),
                                                                                   gst_structure_new_empty(name)));
        });
        poster.join();
    };

    post("unwatched");
    EXPECT_EQ(graph.TakeEvent(), nullptr) << "without a notification nothing piles up";

    std::atomic<int> notified{0};
    graph.SetNotify([&notified] { ++notified; });
    post("watched");
    EXPECT_EQ(notified, 1);
    GstMiniRef<GstMessage> message = graph.TakeEvent();
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(gst_message_has_name(message.get(), "watched"));
    EXPECT_EQ(graph.TakeEvent(), nullptr);

    graph.SetNotify({});
    post("after");
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(graph.TakeEvent(), nullptr);
}
