#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/outsidefilters/testpattern/TestPatternReader.h"
#include "tests/platform/outsidefilters/TestDevicePipeline.h"

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
    std::vector<Frame> frames;
    while (static_cast<int>(frames.size()) < count) {
      auto sample = pipeline.pull();
      if (!sample) {
        ADD_FAILURE() << "no frame within 10 s after " << frames.size();
        break;
      }
      frames.push_back(Read(sample.get()));
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
};

}  // namespace

TEST_F(TestCamera, DefaultsToQcifI420At30FramesAndStampsEachFrameWhenMade) {
  const int64_t startUs = g_get_monotonic_time();
  const auto frames = Frames("kestreltestcamerasrc ! appsink name=sink", 16);
  ASSERT_EQ(frames.size(), 16U);
  EXPECT_NE(frames[0].caps.find("width=(int)176, height=(int)144"), std::string::npos) << frames[0].caps;
  EXPECT_NE(frames[0].caps.find("format=(string)I420"), std::string::npos) << frames[0].caps;
  EXPECT_NE(frames[0].caps.find("framerate=(fraction)30/1"), std::string::npos) << frames[0].caps;
  ExpectIntactAndConsecutive(frames);

  for (size_t i = 0; i < frames.size(); ++i) {
    const int64_t captured = frames[i].reading->captureTimeUs;
    EXPECT_GE(captured, startUs & ((int64_t{1} << 48) - 1)) << "frame " << i;
    EXPECT_LE(captured, frames[i].pulledAtUs) << "frame " << i << " was stamped after it arrived";
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
