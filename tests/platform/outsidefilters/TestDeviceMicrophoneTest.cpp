#include <gst/audio/audio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/outsidefilters/testpattern/TestMicrophoneOnsetDetector.h"
#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"
#include "tests/SanitizerBuild.h"
#include "tests/platform/outsidefilters/TestDevicePipeline.h"

using kestrel::testdevices::TestDevicePipeline;
using namespace kestrel::testpattern;

namespace {

struct Buffer {
  GstClockTime pts = GST_CLOCK_TIME_NONE;
  GstClockTime duration = GST_CLOCK_TIME_NONE;
  GstClockTime pulledAt = GST_CLOCK_TIME_NONE;  // pipeline clock
  std::vector<int16_t> samples;
  int rate = 0;
  int channels = 0;
};

class TestMicrophone : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

  // Plays `description` and takes buffers until they hold `seconds` of sound.
  std::vector<Buffer> Buffers(const std::string& description, double seconds) {
    TestDevicePipeline pipeline(description);
    EXPECT_EQ(pipeline.error(), "");
    if (!pipeline.error().empty() || !pipeline.play()) return {};
    baseTime_ = pipeline.sourceBaseTime();
    std::vector<Buffer> buffers;
    GstClockTime held = 0;
    while (held < seconds * GST_SECOND) {
      auto sample = pipeline.pull();
      if (!sample) {
        ADD_FAILURE() << "no sound within 10 s after " << buffers.size() << " buffers";
        break;
      }
      Buffer b;
      b.pulledAt = pipeline.clockTime();
      baseTime_ = pipeline.sourceBaseTime();
      GstAudioInfo info;
      EXPECT_TRUE(gst_audio_info_from_caps(&info, gst_sample_get_caps(sample.get())));
      b.rate = GST_AUDIO_INFO_RATE(&info);
      b.channels = GST_AUDIO_INFO_CHANNELS(&info);
      GstBuffer* buffer = gst_sample_get_buffer(sample.get());
      b.pts = GST_BUFFER_PTS(buffer);
      b.duration = GST_BUFFER_DURATION(buffer);
      GstMapInfo map;
      EXPECT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
      b.samples.assign(reinterpret_cast<const int16_t*>(map.data), reinterpret_cast<const int16_t*>(map.data + map.size));
      gst_buffer_unmap(buffer, &map);
      held += gst_util_uint64_scale_int(b.samples.size() / std::max(1, b.channels), GST_SECOND, std::max(1, b.rate));
      buffers.push_back(std::move(b));
    }
    return buffers;
  }

  // The onsets in the first channel, as pipeline clock times of their capture.
  std::vector<int64_t> Onsets(const std::vector<Buffer>& buffers) const {
    std::vector<int64_t> onsets;
    if (buffers.empty()) return onsets;
    TestMicrophoneOnsetDetector detector(buffers[0].rate);
    for (const Buffer& b : buffers) {
      std::vector<int16_t> mono;
      for (size_t i = 0; i < b.samples.size(); i += b.channels) mono.push_back(b.samples[i]);
      for (int64_t onset : detector.Feed(mono, static_cast<int64_t>(baseTime_ + b.pts))) onsets.push_back(onset);
    }
    return onsets;
  }

  // Every onset within `toleranceNs` of a whole multiple of the interval, and
  // one in every interval (the first and the last may fall outside the sound).
  static void ExpectOnsetsOnTheClockGrid(const std::vector<int64_t>& onsets, double seconds, int64_t toleranceNs,
                                         int64_t intervalNs = kDefaultBurstIntervalNs) {
    EXPECT_GE(onsets.size(), static_cast<size_t>(seconds * 1e9 / intervalNs) - 1);
    for (size_t i = 0; i < onsets.size(); ++i) {
      const int64_t nearest = BurstOnsetAtOrBefore(onsets[i] + intervalNs / 2, intervalNs);
      // A sanitized source falls behind the clock and resynchronises: its onsets stray.
      if (!kestrel::testing::kSanitizedBuild) {
        EXPECT_NEAR(onsets[i], nearest, toleranceNs) << "onset " << i;
      }
      if (i > 0) {
        EXPECT_EQ(nearest - BurstOnsetAtOrBefore(onsets[i - 1] + intervalNs / 2, intervalNs), intervalNs);
      }
    }
  }

  GstClockTime baseTime_ = 0;
};

}  // namespace

TEST_F(TestMicrophone, GivesTheAskedBlockSizeAt48kMonoInRealTime) {
  // The sink does not keep time: the microphone must.
  const auto buffers = Buffers("kestreltestmicrophonesrc blocksize=4000 ! appsink name=sink sync=false", 1.0);
  ASSERT_GE(buffers.size(), 20U);
  for (size_t i = 0; i < buffers.size(); ++i) {
    const Buffer& b = buffers[i];
    EXPECT_EQ(b.rate, 48000);
    EXPECT_EQ(b.channels, 1);
    EXPECT_EQ(b.samples.size() * sizeof(int16_t), 4000U) << "buffer " << i;
    EXPECT_EQ(b.duration, gst_util_uint64_scale_int((i + 1) * 2000, GST_SECOND, 48000) -
                              gst_util_uint64_scale_int(i * 2000, GST_SECOND, 48000));
    if (i > 0) {
      EXPECT_EQ(b.pts, buffers[i - 1].pts + buffers[i - 1].duration) << "a gap or an overlap";
    }
    // Never handed out before its last sample was captured; never a second late.
    EXPECT_GE(b.pulledAt + GST_MSECOND, baseTime_ + b.pts + b.duration) << "buffer " << i;
    EXPECT_LT(b.pulledAt, baseTime_ + b.pts + b.duration + GST_SECOND) << "buffer " << i;
  }
}

TEST_F(TestMicrophone, BurstsStartOnTheClockGrid) {
  const auto buffers = Buffers("kestreltestmicrophonesrc blocksize=4000 ! appsink name=sink", 2.0);
  ExpectOnsetsOnTheClockGrid(Onsets(buffers), 2.0, 200'000);
}

TEST_F(TestMicrophone, BurstIntervalCanBeChanged) {
  const auto buffers =
      Buffers("kestreltestmicrophonesrc blocksize=1600 burst-interval-ms=200 ! appsink name=sink", 1.2);
  ExpectOnsetsOnTheClockGrid(Onsets(buffers), 1.2, 200'000, 200'000'000);
}

TEST_F(TestMicrophone, OffersLowRatesAndStereo) {
  const auto buffers = Buffers(
      "kestreltestmicrophonesrc blocksize=4000 ! audio/x-raw,rate=8000,channels=2 ! appsink name=sink", 1.5);
  ASSERT_FALSE(buffers.empty());
  EXPECT_EQ(buffers[0].rate, 8000);
  EXPECT_EQ(buffers[0].channels, 2);
  EXPECT_EQ(buffers[0].samples.size(), 2000U) << "4000 bytes: 1000 stereo frames";
  ExpectOnsetsOnTheClockGrid(Onsets(buffers), 1.5, 500'000);
}

TEST_F(TestMicrophone, BurstsSurviveTrueSpeechCoding) {
  // The call's audio path: the microphone's 4000-byte buffers into the
  // TrueSpeech compressor, and FFmpeg's decoder at the far end.
  const auto buffers = Buffers(
      "kestreltestmicrophonesrc blocksize=4000 ! kestreltruespeech ! avdec_truespeech ! appsink name=sink", 3.0);
  ASSERT_FALSE(buffers.empty());
  EXPECT_EQ(buffers[0].rate, 8000);
  ExpectOnsetsOnTheClockGrid(Onsets(buffers), 3.0, 2'000'000);
}

TEST_F(TestMicrophone, StopsPromptlyWhileABufferIsBeingCaptured) {
  // A ten-second buffer: stopping must not wait for it to fill.
  TestDevicePipeline pipeline("kestreltestmicrophonesrc name=microphone blocksize=960000 ! appsink name=sink");
  ASSERT_EQ(pipeline.error(), "");
  // The sink completes its change to playing only with the first buffer; the source plays at once.
  ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  GstState state = GST_STATE_NULL;
  gst_element_get_state(pipeline.element("microphone"), &state, nullptr, 10 * GST_SECOND);
  ASSERT_EQ(state, GST_STATE_PLAYING);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}
