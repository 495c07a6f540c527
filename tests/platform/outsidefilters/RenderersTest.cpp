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
