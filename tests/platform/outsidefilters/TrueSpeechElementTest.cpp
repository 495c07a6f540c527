#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "platform/truespeech/TrueSpeechEncoder.h"
#include "platform/truespeech/check/FfmpegDecoder.h"
#include "platform/truespeech/check/SignalMeasures.h"

using namespace kestrel::truespeech;

namespace {

class TrueSpeechElement : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
  void TearDown() override {
    if (harness_ != nullptr) gst_harness_teardown(harness_);
  }

  GstHarness* harness(const char* factory, const char* inputCaps) {
    harness_ = gst_harness_new(factory);
    gst_harness_set_src_caps_str(harness_, inputCaps);
    return harness_;
  }

  // Pushes samples stamped with their place in the stream (at `rate` frames per second).
  void push(const int16_t* samples, size_t count, int rate = 8000, int channels = 1) {
    GstBuffer* b = gst_buffer_new_memdup(samples, count * sizeof(int16_t));
    GST_BUFFER_PTS(b) = gst_util_uint64_scale(pushedFrames_, GST_SECOND, rate);
    pushedFrames_ += count / channels;
    GST_BUFFER_DURATION(b) = gst_util_uint64_scale(pushedFrames_, GST_SECOND, rate) - GST_BUFFER_PTS(b);
    ASSERT_EQ(gst_harness_push(harness_, b), GST_FLOW_OK);
  }

  // Every byte the element put out, after the end of the stream.
  std::vector<uint8_t> finish(std::vector<GstClockTime>* timestamps = nullptr) {
    gst_harness_push_event(harness_, gst_event_new_eos());
    std::vector<uint8_t> bytes;
    while (GstBuffer* b = gst_harness_try_pull(harness_)) {
      GstMapInfo map;
      EXPECT_TRUE(gst_buffer_map(b, &map, GST_MAP_READ));
      EXPECT_EQ(map.size, size_t(kFrameBytes)) << "one frame per buffer";
      bytes.insert(bytes.end(), map.data, map.data + map.size);
      if (timestamps != nullptr) timestamps->push_back(GST_BUFFER_PTS(b));
      gst_buffer_unmap(b, &map);
      gst_buffer_unref(b);
    }
    return bytes;
  }

  GstHarness* harness_ = nullptr;
  uint64_t pushedFrames_ = 0;
};

constexpr const char* kMicrophone8k = "audio/x-raw,format=S16LE,rate=8000,channels=1,layout=interleaved";

std::vector<int16_t> vowelLikeSignal(size_t samples) {
  std::vector<int16_t> s(samples);
  for (size_t n = 0; n < samples; ++n) {
    const double t = n / 8000.0;
    s[n] = static_cast<int16_t>(6000 * std::sin(2 * std::numbers::pi * 140 * t) +
                                3000 * std::sin(2 * std::numbers::pi * 700 * t + 0.3) +
                                1500 * std::sin(2 * std::numbers::pi * 2300 * t + 1.1));
  }
  return s;
}

}  // namespace

TEST_F(TrueSpeechElement, OddBufferSizesNeitherLoseNorRepeatSamples) {
  const auto input = vowelLikeSignal(8000);
  harness("kestreltruespeechenc", kMicrophone8k);
  // Microphone-sized buffers (4000 bytes) and awkward ones, until the input runs out.
  const size_t sizes[] = {2000, 1, 239, 241, 997, 60, 2000, 13, 480};
  size_t at = 0;
  for (size_t i = 0; at < input.size(); ++i) {
    const size_t n = std::min(sizes[i % std::size(sizes)], input.size() - at);
    push(input.data() + at, n);
    at += n;
  }
  std::vector<GstClockTime> timestamps;
  const auto bytes = finish(&timestamps);

  // The same stream, encoded whole, with the last partial frame completed with silence.
  std::vector<int16_t> padded = input;
  padded.resize((input.size() + kFrameSamples - 1) / kFrameSamples * kFrameSamples, 0);
  TrueSpeechEncoder encoder;
  std::vector<uint8_t> expected;
  for (size_t f = 0; f < padded.size(); f += kFrameSamples) {
    const auto frame = encoder.encode(std::span<const int16_t, kFrameSamples>(padded.data() + f, kFrameSamples));
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(bytes, expected);
  for (size_t i = 0; i < timestamps.size(); ++i) EXPECT_EQ(timestamps[i], i * 30 * GST_MSECOND);
}

TEST_F(TrueSpeechElement, CompressorIsFoundByItsFriendlyNameWithRankNone) {
  GstElementFactory* found = nullptr;
  GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ANY, GST_RANK_NONE);
  for (GList* f = factories; f != nullptr; f = f->next) {
    auto* factory = GST_ELEMENT_FACTORY(f->data);
    const char* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    if (name != nullptr && std::string(name) == "DSP Group TrueSpeech(TM)") {
      ASSERT_EQ(found, nullptr) << "two elements carry the name";
      found = factory;
    }
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(found)), guint(GST_RANK_NONE));
  // It must be the plugin just built, not one installed on the machine.
  GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(found));
  ASSERT_NE(plugin, nullptr);
  EXPECT_STREQ(gst_plugin_get_filename(plugin), std::getenv("KESTREL_OUTSIDE_PLUGIN"));
  gst_object_unref(plugin);
  gst_plugin_feature_list_free(factories);
}

TEST_F(TrueSpeechElement, CompressorTakesAMicrophoneAtItsOwnRate) {
  // 48 kHz stereo in 4000-byte buffers: the bin converts before encoding.
  harness("kestreltruespeech", "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved");
  std::vector<int16_t> stereo(2 * 48000 * 2);
  for (size_t n = 0; n < stereo.size() / 2; ++n) {
    stereo[2 * n] = stereo[2 * n + 1] = static_cast<int16_t>(6000 * std::sin(2 * std::numbers::pi * 1000 * n / 48000.0));
  }
  for (size_t at = 0; at < stereo.size(); at += 2000) push(stereo.data() + at, std::min<size_t>(2000, stereo.size() - at), 48000, 2);
  const auto bytes = finish();

  // Two seconds at 8 kHz: 66 full frames and a partial one.
  ASSERT_NEAR(double(bytes.size() / kFrameBytes), 67.0, 1.0);
  FfmpegDecoder decoder;
  std::vector<int16_t> decoded;
  ASSERT_TRUE(decoder.decode(bytes, decoded)) << decoder.error();
  const auto tail = std::span<const int16_t>(decoded).subspan(decoded.size() - 8000);
  EXPECT_NEAR(dominantFrequencyHz(tail, 8000), 1000.0, 3.0);
}

TEST_F(TrueSpeechElement, AvdecTruespeechAcceptsTheCompressorsOutput) {
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(
      "audiotestsrc num-buffers=20 samplesperbuffer=2000 ! audio/x-raw,rate=44100 ! kestreltruespeech ! "
      "avdec_truespeech ! fakesink",
      &error);
  ASSERT_EQ(error, nullptr) << error->message;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message =
      gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  ASSERT_NE(message, nullptr) << "no end of stream within 30 s";
  EXPECT_EQ(GST_MESSAGE_TYPE(message), GST_MESSAGE_EOS);
  gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
}
