#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

std::string ChosenSink(ScopedPipeline& pipeline) {
  GstElement* renderer = pipeline.Element("renderer");
  GstRef<GstElement> sink(gst_bin_get_by_name(GST_BIN(renderer), "sink"));
  if (!sink) return {};
  return GST_OBJECT_NAME(gst_element_get_factory(sink.get()));
}

}  // namespace

TEST(VideoRenderer, PlaysWithoutADisplay) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ScopedPipeline pipeline("videotestsrc num-buffers=15 ! video/x-raw, format=NV12 ! kestrelvideorenderer name=renderer");
  ASSERT_TRUE(pipeline.Get());
  EXPECT_EQ(pipeline.RunToEnd(), "");
  EXPECT_EQ(ChosenSink(pipeline), "fakesink");
}

TEST(VideoRenderer, PlaysWhenTheNamedDisplaysAreNotThere) {
  setenv("DISPLAY", ":97", 1);
  setenv("WAYLAND_DISPLAY", "kestrel-test-no-such-display", 1);
  ScopedPipeline pipeline("videotestsrc num-buffers=15 ! kestrelvideorenderer name=renderer");
  ASSERT_TRUE(pipeline.Get());
  EXPECT_EQ(pipeline.RunToEnd(), "") << "a sink that failed to open let its error out";
  EXPECT_EQ(ChosenSink(pipeline), "fakesink");
}

TEST(VideoRenderer, ALivePipelineReachesPlaying) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ScopedPipeline pipeline("videotestsrc is-live=true ! kestrelvideorenderer name=renderer");
  ASSERT_NE(gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  GstState state = GST_STATE_NULL;
  EXPECT_EQ(gst_element_get_state(pipeline.Get(), &state, nullptr, 10 * GST_SECOND), GST_STATE_CHANGE_SUCCESS);
  EXPECT_EQ(state, GST_STATE_PLAYING);
}

namespace {

// A host of the renderer, as a video widget or the call statistics are: it
// subscribes to frame-shown and keeps what it learns.
class FrameSubscriber {
 public:
  explicit FrameSubscriber(GstElement* renderer) : renderer_(renderer) {
    handler_ = g_signal_connect(renderer, kFrameShownSignal, G_CALLBACK(OnFrame), this);
  }
  ~FrameSubscriber() { g_signal_handler_disconnect(renderer_, handler_); }
  FrameSubscriber(const FrameSubscriber&) = delete;
  FrameSubscriber& operator=(const FrameSubscriber&) = delete;

  int frames = 0;
  int badFrames = 0;  // not BGRx, or a buffer that does not hold the picture
  int width = 0;
  int height = 0;
  guint64 countSeenInHandler = 0;

 private:
  static void OnFrame(GstElement* renderer, GstSample* sample, gpointer data) {
    auto* self = static_cast<FrameSubscriber*>(data);
    GstVideoInfo info;
    const bool bgrx = gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
                      GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx;
    if (bgrx) {
      self->width = GST_VIDEO_INFO_WIDTH(&info);
      self->height = GST_VIDEO_INFO_HEIGHT(&info);
    }
    if (!bgrx || gst_buffer_get_size(gst_sample_get_buffer(sample)) < gsize(self->width) * self->height * 4) {
      ++self->badFrames;
    }
    ++self->frames;
    g_object_get(renderer, kFramesShownProperty, &self->countSeenInHandler, nullptr);
  }

  GstElement* renderer_;
  gulong handler_ = 0;
};

guint64 FramesShown(GstElement* renderer) {
  guint64 frames = 0;
  g_object_get(renderer, kFramesShownProperty, &frames, nullptr);
  return frames;
}

}  // namespace

TEST(Video3DRenderer, EverySubscriberGetsEveryFrameAsBgrxAtItsOwnSize) {
  ScopedPipeline pipeline(
      "videotestsrc num-buffers=20 ! video/x-raw, format=I420, width=320, height=240 ! kestrelvideo3d name=renderer");
  ASSERT_TRUE(pipeline.Get());
  GstElement* renderer = pipeline.Element("renderer");
  FrameSubscriber widget(renderer);
  FrameSubscriber statistics(renderer);
  EXPECT_EQ(pipeline.RunToEnd(), "");
  for (const FrameSubscriber* s : {&widget, &statistics}) {
    EXPECT_EQ(s->frames, 20);
    EXPECT_EQ(s->badFrames, 0);
    EXPECT_EQ(s->width, 320);
    EXPECT_EQ(s->height, 240);
  }
  EXPECT_EQ(widget.countSeenInHandler, 20u) << "a frame is counted before its handlers run";
  EXPECT_EQ(FramesShown(renderer), 20u);
}

TEST(Video3DRenderer, WithoutAHostItCountsAndTheCountStartsAgainOnRestart) {
  ScopedPipeline pipeline("videotestsrc num-buffers=12 ! video/x-raw, format=YUY2 ! kestrelvideo3d name=renderer");
  GstElement* renderer = pipeline.Element("renderer");
  EXPECT_EQ(pipeline.RunToEnd(), "");
  EXPECT_EQ(FramesShown(renderer), 12u);
  ASSERT_EQ(gst_element_set_state(pipeline.Get(), GST_STATE_READY), GST_STATE_CHANGE_SUCCESS);
  EXPECT_EQ(FramesShown(renderer), 12u) << "kept until it streams again";
  EXPECT_EQ(pipeline.RunToEnd(), "");
  EXPECT_EQ(FramesShown(renderer), 12u);
}

TEST(Video3DRenderer, UntimedOrFutureFramesAreShownAtOnce) {
  Harness harness = MakeHarness(kVideo3DRendererFactory, kRendererInputPad, nullptr);
  ASSERT_TRUE(harness);
  FrameSubscriber host(harness->element);
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw, format=I420, width=176, height=144, framerate=0/1");
  for (int i = 0; i < 5; ++i) {
    // As the decoder delivers the network's pictures, and one stamped an hour ahead.
    const GstClockTime pts = i == 4 ? GST_SECOND * 3600 : GST_CLOCK_TIME_NONE;
    ASSERT_EQ(gst_harness_push(harness.get(), BufferOf(MovingI420(176, 144, i), pts)), GST_FLOW_OK);
    EXPECT_EQ(host.frames, i + 1) << "the frame waited";
  }
  EXPECT_EQ(host.badFrames, 0);
}

TEST(Video3DRenderer, ALiveGraphWithNoVideoYetIsPlayingAtOnce) {
  ScopedPipeline pipeline("appsrc is-live=true caps=video/x-raw,format=I420,width=176,height=144 ! kestrelvideo3d");
  ASSERT_NE(gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  GstState state = GST_STATE_NULL;
  // No frame will come: the renderer must not keep the graph waiting for one.
  EXPECT_EQ(gst_element_get_state(pipeline.Get(), &state, nullptr, 5 * GST_SECOND), GST_STATE_CHANGE_SUCCESS);
  EXPECT_EQ(state, GST_STATE_PLAYING);
}
