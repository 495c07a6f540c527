#include "MediaTestSupport.h"
#include "media/CaptureFilter.h"
#include "media/CaptureGraph.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

class CaptureGraph : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        ASSERT_TRUE(graph.Create());
        ConnectPolicy policy;
        policy.videoRendererName = kTestRendererName;
        policy.sinkOpens = [](GstElement *) { return false; };
        graph.Connector().SetPolicy(policy);
    }

    // A fake camera: videotestsrc behind the capture filter's "Capture" pad.
    GstElement *AddCamera()
    {
        GstElement *camera =
            WrapCaptureElement(gst_element_factory_make("videotestsrc", nullptr), DeviceCategory::Video, "camera");
        EXPECT_EQ(graph.AddFilter(camera), result::Ok);
        return camera;
    }

    GstElement *Add(const std::string &description, const char *name = "")
    {
        GstRef<GstElement> element = ParseElement(description);
        GstElement *borrowed = element.get();
        EXPECT_EQ(graph.AddFilter(element.release(), name), result::Ok);
        return borrowed;
    }

    GstElement *AddRenderer()
    {
        GstRef<GstElement> renderer;
        graph.AddRegisteredFilter(kTestRendererName, renderer);
        EXPECT_NE(renderer, nullptr);
        return renderer.get(); // the graph keeps it
    }

    static bool Linked(GstElement *element, const char *pad)
    {
        GstRef<GstPad> found(gst_element_get_static_pad(element, pad));
        return found && gst_pad_is_linked(found.get());
    }

    CCaptureGraph graph;
};

// A source with both pads, as a Smart Tee offers them.
GstElement *MakeTwoPadSource()
{
    GstElement *bin = gst_bin_new("two pads");
    GstElement *source = gst_element_factory_make("videotestsrc", nullptr);
    GstElement *tee = gst_element_factory_make("tee", nullptr);
    gst_bin_add_many(GST_BIN(bin), source, tee, nullptr);
    gst_element_link(source, tee);
    for (const char *name : {"Capture", "Preview"}) {
        GstRef<GstPad> branch(gst_element_request_pad_simple(tee, "src_%u"));
        gst_element_add_pad(bin, gst_ghost_pad_new(name, branch.get()));
    }
    return bin;
}

// A stand-in for "Smart Tee": "Input" to "Capture" and "Preview", either
// of which may stay unlinked.
GstElement *MakeSmartTee()
{
    GstElement *bin = gst_bin_new("Smart Tee");
    GstElement *tee = gst_element_factory_make("tee", nullptr);
    g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    gst_bin_add(GST_BIN(bin), tee);
    GstRef<GstPad> input(gst_element_get_static_pad(tee, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("Input", input.get()));
    for (const char *name : {"Capture", "Preview"}) {
        GstRef<GstPad> branch(gst_element_request_pad_simple(tee, "src_%u"));
        gst_element_add_pad(bin, gst_ghost_pad_new(name, branch.get()));
    }
    return bin;
}

} // namespace

TEST_F(CaptureGraph, APreviewThroughATeeLinkedByNameRunsWithTheTeesCaptureLeftOpen)
{
    GstElement *camera = AddCamera();
    GstElement *tee = MakeSmartTee();
    ASSERT_EQ(graph.AddFilter(tee), result::Ok);
    GstElement *renderer = AddRenderer();
    SetCaptureSize(camera, 176, 144);
    ASSERT_EQ(graph.ConnectPins(camera, "Capture", tee, "Input"), result::Ok);
    ASSERT_EQ(graph.ConnectPins(tee, "Preview", renderer, "Input"), result::Ok);
    EXPECT_FALSE(Linked(tee, "Capture"));

    ASSERT_TRUE(Succeeded(graph.Run()));
    EXPECT_TRUE(WaitFor(
        [&] {
            guint64 shown = 0;
            g_object_get(renderer, "frames-shown", &shown, nullptr);
            return shown > 0;
        },
        10s));
}

TEST_F(CaptureGraph, CaptureStreamGoesStraightToTheSinkAndRuns)
{
    GstElement *camera = AddCamera();
    GstElement *renderer = AddRenderer();
    SetCaptureSize(camera, 176, 144);
    ASSERT_EQ(graph.RenderStream(PinCategory::Capture, StreamType::Video, camera, nullptr, renderer), result::Ok);
    EXPECT_TRUE(Linked(camera, "Capture"));
    EXPECT_TRUE(Linked(renderer, "Input"));

    ASSERT_TRUE(Succeeded(graph.Run()));
    EXPECT_TRUE(WaitFor(
        [&] {
            guint64 shown = 0;
            g_object_get(renderer, "frames-shown", &shown, nullptr);
            return shown > 0;
        },
        10s));
}

TEST_F(CaptureGraph, ACameraHasNoPreviewPadSoThePreviewCategoryFindsNothing)
{
    GstElement *camera = AddCamera();
    GstElement *renderer = AddRenderer();
    const auto before = ChildNames(graph.Bin());
    EXPECT_EQ(graph.RenderStream(PinCategory::Preview, StreamType::Video, camera, nullptr, renderer),
              result::NotFound);
    EXPECT_EQ(ChildNames(graph.Bin()), before);
    EXPECT_FALSE(Linked(camera, "Capture"));
}

TEST_F(CaptureGraph, TheStreamTypeMustMatchThePad)
{
    GstElement *camera = AddCamera();
    GstElement *renderer = AddRenderer();
    EXPECT_EQ(graph.RenderStream(PinCategory::Capture, StreamType::Audio, camera, nullptr, renderer),
              result::NotFound);
    EXPECT_FALSE(Linked(camera, "Capture"));
}

TEST_F(CaptureGraph, ThePreviewCategoryTakesThePadNamedPreview)
{
    GstElement *source = MakeTwoPadSource();
    ASSERT_EQ(graph.AddFilter(source), result::Ok);
    GstElement *renderer = AddRenderer();
    ASSERT_TRUE(Succeeded(graph.RenderStream(PinCategory::Preview, StreamType::Video, source, nullptr, renderer)));
    EXPECT_TRUE(Linked(source, "Preview"));
    EXPECT_FALSE(Linked(source, "Capture"));
}

TEST_F(CaptureGraph, AnIntermediateSitsBetweenTheSourceAndTheSink)
{
    // The call's video: camera -> encoder -> the RTP sender's "Video Transport".
    GstElement *camera = AddCamera();
    SetCaptureSize(camera, 176, 144);
    GstElement *encoder = Add("avenc_h263", "encoder");
    GstRef<GstElement> sender;
    graph.AddRegisteredFilter("ORVA RTP Render Filter", sender);
    ASSERT_NE(sender, nullptr);

    ASSERT_EQ(graph.RenderStream(PinCategory::Capture, StreamType::Video, camera, encoder, sender.get()),
              result::Ok);
    EXPECT_TRUE(Linked(encoder, "sink"));
    EXPECT_EQ(UpstreamOf(sender.get()).get(), encoder) << "the encoder feeds the sender";
    EXPECT_TRUE(Linked(sender.get(), "Video Transport"));
    EXPECT_FALSE(Linked(sender.get(), "Audio Transport"));
}

TEST_F(CaptureGraph, WithoutASinkTheStreamIsRenderedToTheDefaultRenderer)
{
    GstElement *camera = AddCamera();
    GstElement *scaler = Add("videoscale", "scaler");
    ASSERT_EQ(graph.RenderStream(PinCategory::Capture, StreamType::Video, camera, scaler, nullptr), result::Ok);
    GstRef<GstElement> renderer = graph.FindFilterByName("Video Renderer");
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(Linked(scaler, "src"));
}

TEST_F(CaptureGraph, AStreamWithNoWayToTheSinkFails)
{
    GstElement *camera = AddCamera();
    GstRef<GstElement> sender;
    graph.AddRegisteredFilter("ORVA RTP Render Filter", sender);
    ASSERT_NE(sender, nullptr);
    // Raw video cannot reach the sender without an encoder, and encoders are
    // never inserted by intelligent connect.
    const auto before = ChildNames(graph.Bin());
    EXPECT_EQ(graph.RenderStream(PinCategory::Capture, StreamType::Video, camera, nullptr, sender.get()),
              result::CannotConnect);
    EXPECT_EQ(ChildNames(graph.Bin()), before);
}
