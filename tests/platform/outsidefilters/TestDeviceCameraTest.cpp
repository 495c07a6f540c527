#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/outsidefilters/testpattern/TestPatternReader.h"
#include "tests/platform/outsidefilters/TestDevicePipeline.h"

using kestrel::platform::GstRef;
using kestrel::testdevices::TestDevicePipeline;
using namespace kestrel::testpattern;

namespace {

struct Frame {
  std::optional<TestFrameReading> reading;
  GstClockTime pts = GST_CLOCK_TIME_NONE;
  int64_t pulledAtUs = 0;  // CLOCK_MONOTONIC when the test got it
  std::string caps;
};

class TestCamera : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

  // Plays `description` and reads the test stamp of the next `count` frames.
  std::vector<Frame> Frames(const std::string& description, int count) {
    TestDevicePipeline pipeline(description);
    EXPECT_EQ(pipeline.error(), "");
    if (!pipeline.error().empty() || !pipeline.play()) return {};
    baseTime_ = pipeline.sourceBaseTime();
    std::vector<Frame> frames;
    while (static_cast<int>(frames.size()) < count) {
      auto sample = pipeline.pull();
      if (!sample) {
        ADD_FAILURE() << "no frame within 10 s after " << frames.size();
        break;
      }
      frames.push_back(Read(sample.get()));
      baseTime_ = pipeline.sourceBaseTime();
    }
    return frames;
  }

  static Frame Read(GstSample* sample) {
    Frame frame;
    frame.pulledAtUs = g_get_monotonic_time();
    GstCaps* caps = gst_sample_get_caps(sample);
    kestrel::platform::GCharPtr text(gst_caps_to_string(caps));
    frame.caps = text.get();
    GstVideoInfo info;
    GstVideoFrame video;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    frame.pts = GST_BUFFER_PTS(buffer);
    if (!gst_video_info_from_caps(&info, caps) || !gst_video_frame_map(&video, &info, buffer, GST_MAP_READ)) {
      return frame;
    }
    const auto format = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx ? PixelFormat::BGRx : PixelFormat::I420;
    frame.reading = ReadTestFrame(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&video, 0)),
                                  GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                                  GST_VIDEO_FRAME_PLANE_STRIDE(&video, 0), format);
    gst_video_frame_unmap(&video);
    return frame;
  }

  // Every frame read back intact, numbered on from the first one's number.
  static void ExpectIntactAndConsecutive(const std::vector<Frame>& frames, uint32_t first = 0) {
    for (size_t i = 0; i < frames.size(); ++i) {
      ASSERT_TRUE(frames[i].reading) << "frame " << i << " carries no stamp";
      EXPECT_EQ(frames[i].reading->frameNumber, first + i);
      EXPECT_TRUE(frames[i].reading->checksumOk) << "frame " << i;
    }
  }

  GstClockTime baseTime_ = 0;  // of the camera in the last pipeline Frames() played
};

}  // namespace

TEST_F(TestCamera, DefaultsToQcifI420At30FramesAndStampsEachFrameWhenMade) {
  const int64_t startUs = g_get_monotonic_time();
  // The sink does not keep time: the camera must.
  const auto frames = Frames("kestreltestcamerasrc ! appsink name=sink sync=false", 16);
  ASSERT_EQ(frames.size(), 16U);
  EXPECT_NE(frames[0].caps.find("width=(int)176, height=(int)144"), std::string::npos) << frames[0].caps;
  EXPECT_NE(frames[0].caps.find("format=(string)I420"), std::string::npos) << frames[0].caps;
  EXPECT_NE(frames[0].caps.find("framerate=(fraction)30/1"), std::string::npos) << frames[0].caps;
  ExpectIntactAndConsecutive(frames);

  for (size_t i = 0; i < frames.size(); ++i) {
    const int64_t captured = frames[i].reading->captureTimeUs;
    EXPECT_GE(captured, startUs & ((int64_t{1} << 48) - 1)) << "frame " << i;
    EXPECT_LE(captured, frames[i].pulledAtUs) << "frame " << i << " was stamped after it arrived";
    // The pipeline runs on the system clock, which is CLOCK_MONOTONIC: a frame
    // is made when that clock reaches its time, not before (a late wake-up
    // on a busy machine is allowed for).
    const int64_t dueUs = static_cast<int64_t>((baseTime_ + frames[i].pts) / 1000);
    EXPECT_GE(captured, dueUs - 1000) << "frame " << i;
    EXPECT_LE(captured, dueUs + 100'000) << "frame " << i;
    if (i > 0) {
      EXPECT_GT(captured, frames[i - 1].reading->captureTimeUs);
      EXPECT_EQ(frames[i].pts - frames[i - 1].pts, (i * GST_SECOND) / 30 - ((i - 1) * GST_SECOND) / 30);
    }
  }
  // Real time: fifteen frame times, 500 ms, between the first and the last (generously).
  const int64_t spanUs = frames.back().reading->captureTimeUs - frames.front().reading->captureTimeUs;
  EXPECT_GT(spanUs, 350'000);
  EXPECT_LT(spanUs, 2'000'000);
}

TEST_F(TestCamera, GivesCifBgrxAtTheFrameRateAskedFor) {
  const auto frames = Frames(
      "kestreltestcamerasrc ! video/x-raw,format=BGRx,width=352,height=288,framerate=15/1 ! appsink name=sink", 6);
  ASSERT_EQ(frames.size(), 6U);
  EXPECT_NE(frames[0].caps.find("width=(int)352, height=(int)288"), std::string::npos) << frames[0].caps;
  ExpectIntactAndConsecutive(frames);
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].pts - frames[i - 1].pts, (i * GST_SECOND) / 15 - ((i - 1) * GST_SECOND) / 15);
  }
}

TEST_F(TestCamera, StampsSurviveH263CodingAtQcif) {
  // Three seconds through the call's video codec, at its default rate and at a low one.
  for (const char* bitrate : {"", " bitrate=48000"}) {
    SCOPED_TRACE(bitrate);
    const auto frames = Frames(std::string("kestreltestcamerasrc ! video/x-raw,width=176,height=144 ! avenc_h263") +
                                   bitrate + " ! avdec_h263 ! appsink name=sink",
                               90);
    ASSERT_EQ(frames.size(), 90U);
    ExpectIntactAndConsecutive(frames);
  }
}

TEST_F(TestCamera, NoPictureDamagedOnTheWayPassesTheChecksum) {
  // Every tenth coded frame loses its last 40 % (a lost packet). The decoder
  // conceals it (FFmpeg shows the previous picture again) and the frames
  // predicted from it are wrong until the next intra frame. Whatever passes
  // the checksum must be exactly the picture the camera made for its stamp,
  // and the damage must show.
  TestDevicePipeline pipeline(
      "kestreltestcamerasrc ! video/x-raw,width=176,height=144 ! avenc_h263 ! avdec_h263 name=decoder ! "
      "appsink name=sink sync=false");
  ASSERT_EQ(pipeline.error(), "");
  struct Cutter {
    std::atomic<uint32_t> frames{0};
  } cutter;
  GstRef<GstPad> coded(gst_element_get_static_pad(pipeline.element("decoder"), "sink"));
  gst_pad_add_probe(
      coded.get(), GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo* info, gpointer data) {
        // The encoder gives one buffer per frame, in order.
        if (static_cast<Cutter*>(data)->frames++ % 10 == 5) {
          GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
          gst_buffer_resize(buffer, 0, static_cast<gssize>(gst_buffer_get_size(buffer) * 6 / 10));
          GST_PAD_PROBE_INFO_DATA(info) = buffer;
        }
        return GST_PAD_PROBE_OK;
      },
      &cutter, nullptr);
  ASSERT_TRUE(pipeline.play());
  int failed = 0;
  for (int i = 0; i < 60; ++i) {
    auto sample = pipeline.pull();
    ASSERT_TRUE(sample);
    GstVideoFrame video;
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())));
    ASSERT_TRUE(gst_video_frame_map(&video, &info, gst_sample_get_buffer(sample.get()), GST_MAP_READ));
    const auto* luma = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&video, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&video, 0);
    const auto reading = ReadTestFrame(luma, 176, 144, stride, PixelFormat::I420);
    const auto classes = ReadCellClasses(luma, 176, 144, stride, PixelFormat::I420);
    gst_video_frame_unmap(&video);
    if (!reading || !reading->checksumOk) {
      ++failed;
      continue;
    }
    EXPECT_NE(reading->frameNumber % 10, 5U) << "a frame cut short passed as itself";
    const CellColours made = ComposeTestPattern({reading->frameNumber, reading->captureTimeUs});
    for (int cell = 0; cell < kCellCount; ++cell) {
      ASSERT_EQ((*classes)[cell], IsBright(made[cell])) << "frame " << reading->frameNumber << " passed with cell "
                                                        << cell << " wrong";
    }
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  EXPECT_GE(failed, 3) << "the damage went unseen";
}

TEST_F(TestCamera, StampsSurviveConversionToBgrxAfterDecoding) {
  const auto frames = Frames(
      "kestreltestcamerasrc ! video/x-raw,width=176,height=144 ! avenc_h263 ! avdec_h263 ! videoconvert ! "
      "video/x-raw,format=BGRx ! appsink name=sink",
      30);
  ASSERT_EQ(frames.size(), 30U);
  ExpectIntactAndConsecutive(frames);
}

TEST_F(TestCamera, StopsPromptlyWhileWaitingForTheNextFrame) {
  // The sink does not wait out the camera's latency (a frame, 10 s here).
  TestDevicePipeline pipeline("kestreltestcamerasrc ! video/x-raw,framerate=1/10 ! appsink name=sink sync=false");
  ASSERT_EQ(pipeline.error(), "");
  ASSERT_TRUE(pipeline.play());
  ASSERT_TRUE(pipeline.pull()) << "the first frame comes at once";
  // The next one is 10 s away; stopping must not wait for it.
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST_F(TestCamera, NumbersRunOnAfterAPause) {
  TestDevicePipeline pipeline("kestreltestcamerasrc ! appsink name=sink");
  ASSERT_EQ(pipeline.error(), "");
  ASSERT_TRUE(pipeline.play());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pipeline.pull());
  gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
  ASSERT_NE(gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND), GST_STATE_CHANGE_FAILURE);
  ASSERT_TRUE(pipeline.play());
  std::vector<Frame> frames;
  while (frames.size() < 3) {
    auto sample = pipeline.pull();
    ASSERT_TRUE(sample);
    frames.push_back(Read(sample.get()));
  }
  ASSERT_TRUE(frames[0].reading);
  // appsink may still hold frames made before the pause; none is lost or repeated.
  ExpectIntactAndConsecutive(frames, frames[0].reading->frameNumber);
  EXPECT_GE(frames[0].reading->frameNumber, 3U);
}
