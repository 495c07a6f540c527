#include <gtest/gtest.h>

#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

// What the RTP source's "Video Transport" pad announces.
constexpr const char* kVideoTransport =
    "video/x-h263, variant=(string)itu, width=(int)176, height=(int)144, framerate=(fraction)0/1";

class H263DecodeFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_ = MakeHarness(kH263DecodeFactory);
    ASSERT_TRUE(harness_);
    bus_.reset(gst_bus_new());
    gst_element_set_bus(harness_->element, bus_.get());
    gst_harness_set_src_caps_str(harness_.get(), kVideoTransport);
  }
  void TearDown() override {
    if (!bus_) return;
    GstMiniRef<GstMessage> error(gst_bus_pop_filtered(bus_.get(), GST_MESSAGE_ERROR));
    EXPECT_FALSE(error) << "the decoder posted an error";
  }

  // Pushes one untimed buffer (marked DISCONT, as the RTP source marks what
  // follows a lost picture, when `afterLoss`); how many pictures came out for it.
  int Push(const std::vector<uint8_t>& bytes, bool afterLoss = false) {
    GstBuffer* buffer = BufferOf(bytes);
    if (afterLoss) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    EXPECT_EQ(gst_harness_push(harness_.get(), buffer), GST_FLOW_OK);
    int pictures = 0;
    while (GstBuffer* out = gst_harness_try_pull(harness_.get())) {
      EXPECT_EQ(gst_buffer_get_size(out), 176u * 144u * 3u / 2u);
      gst_buffer_unref(out);
      ++pictures;
    }
    return pictures;
  }

  GstRef<GstBus> bus_;
  Harness harness_;
};

std::vector<uint8_t> Garbage(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = uint8_t(seed >> 23);
  }
  return bytes;
}

}  // namespace

TEST_F(H263DecodeFilter, EveryPictureAsTheRtpSourceDeliversItComesOutAsQcif) {
  const auto pictures = EncodedQcif(20, 10);
  int shown = 0;
  for (const auto& picture : pictures) shown += Push(picture);
  EXPECT_EQ(shown, 20);
  GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(harness_->sinkpad));
  ASSERT_TRUE(caps);
  GstStructure* s = gst_caps_get_structure(caps.get(), 0);
  EXPECT_STREQ(gst_structure_get_name(s), "video/x-raw");
  int width = 0, height = 0;
  EXPECT_TRUE(gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height));
  EXPECT_EQ(width, 176);
  EXPECT_EQ(height, 144);
}

TEST_F(H263DecodeFilter, GarbageAndCutPicturesAreDroppedAndTheNextKeyFrameShows) {
  const auto pictures = EncodedQcif(21, 10);
  ASSERT_EQ(Push(pictures[0]), 1);
  // Noise of many sizes, up to the largest sample the RTP source delivers.
  for (size_t size : {1u, 2u, 31u, 32u, 500u, 1400u, 10239u, 25344u}) {
    EXPECT_EQ(Push(Garbage(size, uint32_t(size))), 0) << size << " bytes of noise were shown";
  }
  // Pictures cut short, as when the last RTP packets of a sample are lost.
  for (int i = 1; i < 10; ++i) {
    auto cut = pictures[i];
    cut.resize(cut.size() / 3);
    Push(cut);
  }
  auto cutKey = pictures[10];
  cutKey.resize(cutKey.size() / 2);
  Push(cutKey);
  // A start code followed by noise.
  auto fakeStart = Garbage(2000, 7);
  fakeStart[0] = 0x00;
  fakeStart[1] = 0x00;
  fakeStart[2] = 0x80;
  Push(fakeStart);

  EXPECT_EQ(Push(pictures[20]), 1) << "the key frame after the damage was not shown";
}

// A lost picture leaves every picture predicted from it wrong (libavcodec
// would build them on the older picture and show them as if whole): after a
// discontinuity nothing is shown until the next key frame; before the first
// key frame neither.
TEST_F(H263DecodeFilter, PicturesAfterALossWaitForTheNextKeyFrame) {
  const auto pictures = EncodedQcif(21, 10);
  EXPECT_EQ(Push(pictures[3]), 0) << "an inter picture before any key frame";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Push(pictures[i]), 1) << i;
  EXPECT_EQ(Push(pictures[5], true), 0) << "picture 4 was lost";
  for (int i = 6; i < 10; ++i) EXPECT_EQ(Push(pictures[i]), 0) << i;
  EXPECT_EQ(Push(pictures[10]), 1) << "the key frame after the loss";
  EXPECT_EQ(Push(pictures[11]), 1);
  EXPECT_EQ(Push(pictures[20], true), 1) << "a key frame right after a loss";
}
