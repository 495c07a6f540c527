#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

// A downstream pad whose chain function holds every buffer until opened,
// and records what it got.
class GatedSink {
 public:
  GatedSink() : pad_(gst_pad_new("gated", GST_PAD_SINK)) {
    gst_pad_set_element_private(pad_.get(), this);
    gst_pad_set_chain_function(pad_.get(), Chain);
    gst_pad_set_active(pad_.get(), TRUE);
  }
  ~GatedSink() {
    Open();
    gst_pad_set_active(pad_.get(), FALSE);
  }
  GstPad* Pad() const { return pad_.get(); }
  void Open() {
    std::lock_guard hold(lock_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until `count` buffers came in (or one with `lastIndex`); false at the deadline.
  bool WaitFor(size_t count, std::chrono::seconds deadline) {
    std::unique_lock hold(lock_);
    return changed_.wait_for(hold, deadline, [&] { return indices_.size() >= count; });
  }
  bool WaitForIndex(uint8_t index, std::chrono::seconds deadline) {
    std::unique_lock hold(lock_);
    return changed_.wait_for(hold, deadline, [&] { return !indices_.empty() && indices_.back() == index; });
  }
  std::vector<uint8_t> Indices() {
    std::lock_guard hold(lock_);
    return indices_;
  }
  bool AllUntimed() {
    std::lock_guard hold(lock_);
    return allUntimed_;
  }

 private:
  static GstFlowReturn Chain(GstPad* pad, GstObject*, GstBuffer* buffer) {
    auto* self = static_cast<GatedSink*>(gst_pad_get_element_private(pad));
    uint8_t index = 0;
    gst_buffer_extract(buffer, 0, &index, 1);
    std::unique_lock hold(self->lock_);
    self->allUntimed_ = self->allUntimed_ && !GST_BUFFER_PTS_IS_VALID(buffer);
    self->indices_.push_back(index);
    self->changed_.notify_all();
    self->changed_.wait(hold, [self] { return self->open_; });
    gst_buffer_unref(buffer);
    return GST_FLOW_OK;
  }

  GstRef<GstPad> pad_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;                 // guarded by lock_
  std::vector<uint8_t> indices_;      // guarded by lock_
  bool allUntimed_ = true;            // guarded by lock_
};

GstBuffer* Numbered(uint8_t index) {
  return BufferOf(std::vector<uint8_t>(64, index), index * 40 * GST_MSECOND, 40 * GST_MSECOND);
}

GstPad* Output(GstHarness* harness, const char* name) {
  GstPad* pad = gst_element_get_static_pad(harness->element, name);
  gst_object_unref(pad);  // the element keeps it
  return pad;
}

}  // namespace

TEST(SmartTee, ABlockedPreviewNeitherHoldsUpNorThinsCapture) {
  Harness harness = MakeHarness(kSmartTeeFactory, kSmartTeeInputPad, kSmartTeeCapturePad);
  ASSERT_TRUE(harness);
  GatedSink preview;
  ASSERT_EQ(gst_pad_link(Output(harness.get(), kSmartTeePreviewPad), preview.Pad()), GST_PAD_LINK_OK);
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw, format=I420, width=176, height=144");

  for (uint8_t i = 0; i < 50; ++i) {
    ASSERT_EQ(gst_harness_push(harness.get(), Numbered(i)), GST_FLOW_OK);
    GstMiniRef<GstBuffer> captured(gst_harness_try_pull(harness.get()));
    ASSERT_TRUE(captured) << "capture held up at " << int(i);
    EXPECT_EQ(BytesOf(captured.get())[0], i);
    EXPECT_EQ(GST_BUFFER_PTS(captured.get()), i * 40 * GST_MSECOND) << "capture keeps its timestamps";
  }
  ASSERT_TRUE(preview.WaitFor(1, std::chrono::seconds(10)));
  preview.Open();
  // The preview skipped what it had no time for and ends with the newest.
  ASSERT_TRUE(preview.WaitForIndex(49, std::chrono::seconds(10)));
  EXPECT_LE(preview.Indices().size(), 3u);
  EXPECT_TRUE(preview.AllUntimed());
}

TEST(SmartTee, AnUnlinkedPreviewDoesNotStopCapture) {
  Harness harness = MakeHarness(kSmartTeeFactory, kSmartTeeInputPad, kSmartTeeCapturePad);
  GstRef<GstBus> bus(gst_bus_new());
  gst_element_set_bus(harness->element, bus.get());
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw");
  for (uint8_t i = 0; i < 20; ++i) {
    ASSERT_EQ(gst_harness_push(harness.get(), Numbered(i)), GST_FLOW_OK);
    GstMiniRef<GstBuffer> captured(gst_harness_try_pull(harness.get()));
    ASSERT_TRUE(captured);
  }
  // Linked later, the preview starts receiving.
  GatedSink preview;
  preview.Open();
  ASSERT_EQ(gst_pad_link(Output(harness.get(), kSmartTeePreviewPad), preview.Pad()), GST_PAD_LINK_OK);
  ASSERT_EQ(gst_harness_push(harness.get(), Numbered(20)), GST_FLOW_OK);
  EXPECT_TRUE(preview.WaitForIndex(20, std::chrono::seconds(10)));
  GstMiniRef<GstMessage> error(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
  EXPECT_FALSE(error);
}

TEST(SmartTee, AnUnlinkedCaptureDoesNotStopPreview) {
  Harness harness = MakeHarness(kSmartTeeFactory, kSmartTeeInputPad, kSmartTeePreviewPad);
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw");
  for (uint8_t i = 0; i < 10; ++i) {
    ASSERT_EQ(gst_harness_push(harness.get(), Numbered(i)), GST_FLOW_OK) << int(i);
    GstMiniRef<GstBuffer> previewed(gst_harness_pull(harness.get()));  // waits for the preview's thread
    ASSERT_TRUE(previewed);
    EXPECT_EQ(BytesOf(previewed.get())[0], i);
    EXPECT_FALSE(GST_BUFFER_PTS_IS_VALID(previewed.get()));
  }
}

TEST(SmartTee, APreviewThatFailsStopsNeitherCaptureNorTheNextPreview) {
  Harness harness = MakeHarness(kSmartTeeFactory, kSmartTeeInputPad, kSmartTeeCapturePad);
  GstRef<GstPad> failing(gst_pad_new("failing", GST_PAD_SINK));
  gst_pad_set_chain_function(failing.get(), [](GstPad*, GstObject*, GstBuffer* buffer) {
    gst_buffer_unref(buffer);
    return GST_FLOW_ERROR;
  });
  gst_pad_set_active(failing.get(), TRUE);
  ASSERT_EQ(gst_pad_link(Output(harness.get(), kSmartTeePreviewPad), failing.get()), GST_PAD_LINK_OK);
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw");
  for (uint8_t i = 0; i < 20; ++i) {
    ASSERT_EQ(gst_harness_push(harness.get(), Numbered(i)), GST_FLOW_OK) << int(i);
    GstMiniRef<GstBuffer> captured(gst_harness_try_pull(harness.get()));
    ASSERT_TRUE(captured);
  }
  // A renderer that works takes over the preview.
  GstPad* previewPad = Output(harness.get(), kSmartTeePreviewPad);
  gst_pad_unlink(previewPad, failing.get());
  gst_pad_set_active(failing.get(), FALSE);
  GatedSink working;
  working.Open();
  ASSERT_EQ(gst_pad_link(previewPad, working.Pad()), GST_PAD_LINK_OK);
  ASSERT_EQ(gst_harness_push(harness.get(), Numbered(20)), GST_FLOW_OK);
  EXPECT_TRUE(working.WaitForIndex(20, std::chrono::seconds(10)));
}
