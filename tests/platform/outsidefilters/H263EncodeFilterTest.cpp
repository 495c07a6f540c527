#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/testpattern/TestPatternReader.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

constexpr const char* kQcif25 = "video/x-raw, format=I420, width=176, height=144, framerate=25/1";
constexpr const char* kQcif15 = "video/x-raw, format=I420, width=176, height=144, framerate=15/1";

struct Picture {
  std::vector<uint8_t> bytes;
  bool keyFrame;
};

class H263EncodeFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_ = MakeHarness(kH263EncodeFactory);
    ASSERT_TRUE(harness_);
  }
  GstElement* Encoder() const { return harness_->element; }

  // Pushes picture `index` stamped at `fps` and takes what came out for it.
  Picture Encode(int index, int fps, int noise = 4) {
    const GstClockTime period = GST_SECOND / fps;
    EXPECT_EQ(gst_harness_push(harness_.get(), BufferOf(MovingI420(176, 144, index, noise), index * period, period)),
              GST_FLOW_OK);
    GstMiniRef<GstBuffer> out(gst_harness_try_pull(harness_.get()));
    EXPECT_TRUE(out) << "picture " << index << " was held back";
    if (!out) return {};
    EXPECT_EQ(gst_harness_try_pull(harness_.get()), nullptr) << "one picture in, one out";
    return {BytesOf(out.get()), !GST_BUFFER_FLAG_IS_SET(out.get(), GST_BUFFER_FLAG_DELTA_UNIT)};
  }

  static size_t Bytes(const std::vector<Picture>& pictures, size_t from, size_t to) {
    size_t total = 0;
    for (size_t i = from; i < to; ++i) total += pictures[i].bytes.size();
    return total;
  }

  Harness harness_;
};

std::vector<int> KeyFrameIndices(const std::vector<Picture>& pictures) {
  std::vector<int> indices;
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (pictures[i].keyFrame) indices.push_back(int(i));
  }
  return indices;
}

}  // namespace

TEST_F(H263EncodeFilter, KeyFramesAtTheStartSeveralInTheFirstSecondThenAtTheInterval) {
  gst_harness_set_src_caps_str(harness_.get(), kQcif25);
  std::vector<Picture> pictures;
  for (int i = 0; i < 125; ++i) pictures.push_back(Encode(i, 25));  // 5 s at 40 ms
  // 0 ms, then in the first second pictures ever further apart (each as far
  // from the last as that one from the start, up to 250 ms), then at least
  // 1000 ms apart.
  EXPECT_EQ(KeyFrameIndices(pictures), (std::vector<int>{0, 1, 2, 4, 8, 15, 22, 47, 72, 97, 122}));
}

TEST_F(H263EncodeFilter, AReceiverStartingAtAKeyFrameShowsThatPicture) {
  gst_harness_set_src_caps_str(harness_.get(), kQcif25);
  std::vector<Picture> pictures;
  for (int i = 0; i < 30; ++i) pictures.push_back(Encode(i, 25));
  ASSERT_TRUE(pictures[8].keyFrame);

  Harness decoder = MakeHarness("avdec_h263");
  gst_harness_set_src_caps_str(decoder.get(), "video/x-h263, variant=itu, width=176, height=144");
  // It joins late: the first picture it gets is a later key frame.
  ASSERT_EQ(gst_harness_push(decoder.get(), BufferOf(pictures[8].bytes)), GST_FLOW_OK);
  GstMiniRef<GstBuffer> shown(gst_harness_try_pull(decoder.get()));
  ASSERT_TRUE(shown) << "the key frame alone did not decode";
  EXPECT_EQ(gst_buffer_get_size(shown.get()), 176u * 144u * 3u / 2u);
}

TEST_F(H263EncodeFilter, KeyFrameIntervalChangedWhileStreamingAppliesFromTheNextPicture) {
  gst_harness_set_src_caps_str(harness_.get(), kQcif25);
  std::vector<Picture> pictures;
  for (int i = 0; i < 50; ++i) pictures.push_back(Encode(i, 25));  // keys at 22 and 47
  g_object_set(Encoder(), kKeyFrameIntervalProperty, 200u, nullptr);
  for (int i = 50; i < 60; ++i) pictures.push_back(Encode(i, 25));
  const auto keys = KeyFrameIndices(pictures);
  ASSERT_GE(keys.size(), 3u);
  // 47 at 1880 ms under the old interval, then every 200 ms.
  EXPECT_EQ(std::vector<int>(keys.end() - 3, keys.end()), (std::vector<int>{47, 52, 57}));
}

TEST_F(H263EncodeFilter, BitRateChangedWhileStreamingStartsAKeyFrameAndChangesTheRate) {
  gst_harness_set_src_caps_str(harness_.get(), kQcif15);
  g_object_set(Encoder(), kBitrateProperty, 64000u, kKeyFrameIntervalProperty, 60000u, nullptr);
  guint bitrate = 0;
  g_object_get(Encoder(), kBitrateProperty, &bitrate, nullptr);
  EXPECT_EQ(bitrate, 64000u);
  std::vector<Picture> pictures;
  for (int i = 0; i < 60; ++i) pictures.push_back(Encode(i, 15));
  g_object_set(Encoder(), kBitrateProperty, 192000u, nullptr);
  for (int i = 60; i < 120; ++i) pictures.push_back(Encode(i, 15));

  EXPECT_EQ(KeyFrameIndices(pictures), (std::vector<int>{0, 1, 2, 4, 8, 12, 60}));
  // The last two seconds at each rate, in bit/s.
  const double slow = Bytes(pictures, 30, 60) * 8.0 / 2.0;
  const double fast = Bytes(pictures, 90, 120) * 8.0 / 2.0;
  EXPECT_NEAR(slow, 64000, 20000);
  EXPECT_NEAR(fast, 192000, 50000);
}

TEST_F(H263EncodeFilter, NoPictureOutgrowsWhatTheReceiverTakes) {
  // Pure noise at the highest rate, at a camera's usual and at a low frame rate.
  for (const char* caps : {kQcif15, "video/x-raw, format=I420, width=176, height=144, framerate=5/1"}) {
    SetUp();
    gst_harness_set_src_caps_str(harness_.get(), caps);
    g_object_set(Encoder(), kBitrateProperty, 1000000u, nullptr);
    size_t largest = 0;
    for (int i = 0; i < 40; ++i) largest = std::max(largest, Encode(i, 15, 256).bytes.size());
    EXPECT_LT(largest, 10240u) << caps;
  }
}

TEST_F(H263EncodeFilter, AnUpstreamKeyFrameRequestIsHonouredAtTheNextPicture) {
  gst_harness_set_src_caps_str(harness_.get(), kQcif25);
  g_object_set(Encoder(), kKeyFrameIntervalProperty, 60000u, nullptr);
  for (int i = 0; i < 40; ++i) Encode(i, 25);
  ASSERT_FALSE(Encode(40, 25).keyFrame);
  ASSERT_TRUE(gst_harness_push_upstream_event(
      harness_.get(), gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 1)));
  EXPECT_TRUE(Encode(41, 25).keyFrame);
}

TEST_F(H263EncodeFilter, UntimedPicturesAreEncodedAsWell) {
  gst_harness_set_src_caps_str(harness_.get(), "video/x-raw, format=I420, width=176, height=144, framerate=0/1");
  // Key frames follow the pictures' arrival then: the first, and a few
  // more the longer the pushes take, but not every picture.
  int deltas = 0;
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(gst_harness_push(harness_.get(), BufferOf(MovingI420(176, 144, i))), GST_FLOW_OK);
    GstMiniRef<GstBuffer> out(gst_harness_try_pull(harness_.get()));
    ASSERT_TRUE(out);
    const bool delta = GST_BUFFER_FLAG_IS_SET(out.get(), GST_BUFFER_FLAG_DELTA_UNIT);
    if (i == 0) {
      EXPECT_FALSE(delta);
    }
    deltas += delta;
  }
  EXPECT_GT(deltas, 0);
}

// Cameras deliver other sizes and formats: what comes out is QCIF that
// avdec_h263 (what the far end runs) decodes, one picture per picture.
TEST(H263EncodeFilterPipeline, OtherSizesAndFormatsComeOutAsQcifThatAvdecH263Decodes) {
  for (const char* format : {"format=YUY2, width=640, height=480", "format=RGB, width=320, height=240",
                             "format=NV12, width=352, height=288", "format=GRAY8, width=100, height=80"}) {
    ScopedPipeline pipeline(std::string("videotestsrc num-buffers=12 ! video/x-raw, framerate=15/1, ") + format +
                            " ! kestrelh263enc ! video/x-h263, variant=itu, width=176, height=144 "
                            "! avdec_h263 ! fakesink name=out");
    ASSERT_TRUE(pipeline.Get());
    struct Seen {
      int pictures = 0;
      int width = 0;
      int height = 0;
    } seen;
    GstRef<GstPad> pad(gst_element_get_static_pad(pipeline.Element("out"), "sink"));
    gst_pad_add_probe(
        pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* p, GstPadProbeInfo*, gpointer data) {
          auto* s = static_cast<Seen*>(data);
          GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(p));
          GstVideoInfo info;
          if (caps && gst_video_info_from_caps(&info, caps.get())) {
            s->width = GST_VIDEO_INFO_WIDTH(&info);
            s->height = GST_VIDEO_INFO_HEIGHT(&info);
          }
          ++s->pictures;
          return GST_PAD_PROBE_OK;
        },
        &seen, nullptr);
    EXPECT_EQ(pipeline.RunToEnd(), "") << format;
    EXPECT_EQ(seen.pictures, 12) << format;
    EXPECT_EQ(seen.width, 176) << format;
    EXPECT_EQ(seen.height, 144) << format;
  }
}

// The test camera turns whole blocks from dark to bright between pictures,
// as a light switched on or a sharp edge moving does. Baseline H.263 cannot
// code such a change as a difference at the small quantisers a generous bit
// rate gives (no coefficient beyond +-127); coded clipped, the far end showed
// those blocks 150 levels off until the next key frame. At every bit rate
// each decoded picture must read back intact.
TEST(H263EncodeFilterPipeline, BlocksTurningFromDarkToBrightDecodeIntactAtEveryBitRate) {
  for (const char* bitrate : {"128000", "1000000"}) {
    ScopedPipeline pipeline(std::string("kestreltestcamerasrc num-buffers=40 ! kestrelh263enc bitrate=") + bitrate +
                            " ! avdec_h263 ! video/x-raw, format=I420 ! fakesink name=out");
    ASSERT_TRUE(pipeline.Get());
    struct Seen {
      int pictures = 0;
      std::vector<int> damaged;  // picture indices whose stamp does not read back
    } seen;
    GstRef<GstPad> pad(gst_element_get_static_pad(pipeline.Element("out"), "sink"));
    gst_pad_add_probe(
        pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
          auto* s = static_cast<Seen*>(data);
          GstMapInfo map;
          if (gst_buffer_map(GST_PAD_PROBE_INFO_BUFFER(info), &map, GST_MAP_READ)) {
            const auto reading = kestrel::testpattern::ReadTestFrame(map.data, 176, 144, 176,
                                                                     kestrel::testpattern::PixelFormat::I420);
            if (!reading || !reading->checksumOk) s->damaged.push_back(s->pictures);
            gst_buffer_unmap(GST_PAD_PROBE_INFO_BUFFER(info), &map);
          }
          ++s->pictures;
          return GST_PAD_PROBE_OK;
        },
        &seen, nullptr);
    EXPECT_EQ(pipeline.RunToEnd(), "") << bitrate;
    EXPECT_EQ(seen.pictures, 40) << bitrate;
    EXPECT_EQ(seen.damaged, std::vector<int>{}) << "damaged pictures at " << bitrate << " bit/s";
  }
}
