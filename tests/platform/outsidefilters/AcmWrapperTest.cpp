#include <gst/audio/audio.h>
#include <gst/check/gsttestclock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "PacedAudioSink.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/truespeech/TrueSpeechEncoder.h"
#include "platform/truespeech/check/SignalMeasures.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;
using kestrel::truespeech::kFrameBytes;
using kestrel::truespeech::kFrameSamples;

namespace {

// As the RTP source's "Audio Transport" pad announces it.
constexpr const char* kAudioTransport =
    "audio/x-truespeech, rate=(int)8000, channels=(int)1, block_align=(int)32, bitrate=(int)8536, "
    "codec_data=(buffer)0100f00000000000000000000000000000000000000000000000000000000000";
constexpr const char* kMono8k = "audio/x-raw, format=(string)S16LE, rate=(int)8000, channels=(int)1";

std::vector<int16_t> Tone(double hz, size_t samples, double amplitude = 8000) {
  std::vector<int16_t> pcm(samples);
  for (size_t n = 0; n < samples; ++n) {
    pcm[n] = int16_t(amplitude * std::sin(2 * std::numbers::pi * hz * double(n) / 8000.0));
  }
  return pcm;
}

// 32 bytes for each 240 samples.
std::vector<uint8_t> TrueSpeech(const std::vector<int16_t>& pcm) {
  kestrel::truespeech::TrueSpeechEncoder encoder;
  std::vector<uint8_t> bytes;
  for (size_t at = 0; at + kFrameSamples <= pcm.size(); at += kFrameSamples) {
    const auto frame = encoder.encode(std::span<const int16_t, kFrameSamples>(pcm.data() + at, kFrameSamples));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  return bytes;
}

// G.711 mu-law, as a telephone codec sends it.
uint8_t MuLaw(int16_t sample) {
  constexpr int kBias = 0x84;
  int value = sample;
  const int sign = value < 0 ? 0x80 : 0;
  if (value < 0) value = -value;
  value = std::min(value, 32635) + kBias;
  int exponent = 7;
  for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (value >> (exponent + 3)) & 0x0f;
  return uint8_t(~(sign | (exponent << 4) | mantissa));
}

class AcmWrapper : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_ = MakeHarness(kAcmWrapperFactory);
    ASSERT_TRUE(harness_);
    gst_harness_set_sink_caps_str(harness_.get(), kMono8k);
  }

  // Pushes untimed buffers of `perBuffer` bytes; returns the `expected`
  // samples they decode to (waiting for them: a queue hands them over).
  std::vector<int16_t> Play(const std::vector<uint8_t>& bytes, size_t perBuffer, size_t expected) {
    for (size_t at = 0; at < bytes.size(); at += perBuffer) {
      const std::vector<uint8_t> piece(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + perBuffer));
      EXPECT_EQ(gst_harness_push(harness_.get(), BufferOf(piece)), GST_FLOW_OK);
    }
    std::vector<int16_t> samples;
    while (samples.size() < expected) {
      GstMiniRef<GstBuffer> out(gst_harness_pull(harness_.get()));
      if (!out) break;
      const auto raw = BytesOf(out.get());
      const auto* s = reinterpret_cast<const int16_t*>(raw.data());
      samples.insert(samples.end(), s, s + raw.size() / 2);
    }
    return samples;
  }

  Harness harness_;
};

}  // namespace

TEST_F(AcmWrapper, TrueSpeechAsTheRtpSourceDeliversItPlaysTheTone) {
  const auto sent = Tone(1000, 8000 * 2);
  // One frame per buffer, and three.
  for (size_t perBuffer : {size_t(kFrameBytes), size_t(3 * kFrameBytes)}) {
    SetUp();
    gst_harness_set_live(harness_.get(), FALSE);  // pushed faster than it plays
    gst_harness_set_src_caps_str(harness_.get(), kAudioTransport);
    const size_t expected = sent.size() / kFrameSamples * kFrameSamples;
    const auto played = Play(TrueSpeech(sent), perBuffer, expected);
    ASSERT_EQ(played.size(), expected) << perBuffer;
    const auto tail = std::span<const int16_t>(played).subspan(played.size() / 2);
    EXPECT_NEAR(kestrel::truespeech::dominantFrequencyHz(tail, 8000), 1000.0, 3.0) << perBuffer;
  }
}

TEST_F(AcmWrapper, MuLawPlaysTheTone) {
  gst_harness_set_live(harness_.get(), FALSE);
  gst_harness_set_src_caps_str(harness_.get(), "audio/x-mulaw, rate=(int)8000, channels=(int)1");
  const auto sent = Tone(700, 8000);
  std::vector<uint8_t> bytes;
  for (int16_t s : sent) bytes.push_back(MuLaw(s));
  const auto played = Play(bytes, 240, sent.size());
  ASSERT_EQ(played.size(), sent.size());
  EXPECT_NEAR(kestrel::truespeech::dominantFrequencyHz(played, 8000), 700.0, 2.0);
  EXPECT_NEAR(kestrel::truespeech::rmsDbfs(played), kestrel::truespeech::rmsDbfs(sent), 0.5);
}

TEST_F(AcmWrapper, RawAudioAndOtherCodecsAreRefused) {
  GstRef<GstPad> sink(gst_element_get_static_pad(harness_->element, "sink"));
  for (const char* caps : {kMono8k, "audio/x-alaw, rate=8000, channels=1", "video/x-h263"}) {
    GstMiniRef<GstCaps> c(gst_caps_from_string(caps));
    EXPECT_FALSE(gst_pad_query_accept_caps(sink.get(), c.get())) << caps;
  }
  GstMiniRef<GstCaps> truespeech(gst_caps_from_string(kAudioTransport));
  EXPECT_TRUE(gst_pad_query_accept_caps(sink.get(), truespeech.get()));
}

// The untimed stream gets a timeline an audio sink plays without gaps: each
// buffer right after the one before, none later than the latency it reports.
TEST_F(AcmWrapper, UntimedLiveInputLeavesContinuousAndNeverLateForTheLatencyItReports) {
  gst_harness_use_testclock(harness_.get());
  gst_harness_set_src_caps_str(harness_.get(), kAudioTransport);
  GstMiniRef<GstQuery> latency(gst_query_new_latency());
  ASSERT_TRUE(gst_pad_peer_query(harness_->sinkpad, latency.get()));
  gboolean live = FALSE;
  GstClockTime min = 0;
  gst_query_parse_latency(latency.get(), &live, &min, nullptr);
  EXPECT_TRUE(live);
  EXPECT_GE(min, 20 * GST_MSECOND);

  const auto frames = TrueSpeech(Tone(440, 8000 * 4));
  GstClockTime expected = GST_CLOCK_TIME_NONE;
  int discontinuities = 0;
  size_t samples = 0;
  for (size_t f = 0; f * kFrameBytes < frames.size(); ++f) {
    // Frames every 30 ms with up to 20 ms of network jitter.
    const GstClockTime arrival = 2 * GST_SECOND + f * 30 * GST_MSECOND + ((f * 7) % 6) * 4 * GST_MSECOND;
    ASSERT_TRUE(gst_harness_set_time(harness_.get(), arrival));
    std::vector<uint8_t> frame(frames.begin() + f * kFrameBytes, frames.begin() + (f + 1) * kFrameBytes);
    ASSERT_EQ(gst_harness_push(harness_.get(), BufferOf(frame)), GST_FLOW_OK);
    if (GstBuffer* out = gst_harness_pull(harness_.get())) {
      if (GST_BUFFER_FLAG_IS_SET(out, GST_BUFFER_FLAG_DISCONT)) ++discontinuities;
      if (GST_CLOCK_TIME_IS_VALID(expected)) {
        EXPECT_EQ(GST_BUFFER_PTS(out), expected) << "gap or overlap at " << f;
      }
      EXPECT_GE(GST_BUFFER_PTS(out) + min, arrival) << "late at " << f;
      expected = GST_BUFFER_PTS(out) + GST_BUFFER_DURATION(out);
      samples += gst_buffer_get_size(out) / 2;
      gst_buffer_unref(out);
    }
  }
  EXPECT_EQ(discontinuities, 1);
  EXPECT_EQ(samples, frames.size() / kFrameBytes * kFrameSamples);

  // A stall of half a second: playing on would be too late, so it starts again.
  ASSERT_TRUE(gst_harness_set_time(harness_.get(), expected + 500 * GST_MSECOND));
  ASSERT_EQ(gst_harness_push(harness_.get(), BufferOf(std::vector<uint8_t>(frames.begin(), frames.begin() + 32))),
            GST_FLOW_OK);
  GstMiniRef<GstBuffer> resumed(gst_harness_pull(harness_.get()));
  ASSERT_TRUE(resumed);
  EXPECT_TRUE(GST_BUFFER_FLAG_IS_SET(resumed.get(), GST_BUFFER_FLAG_DISCONT));
  EXPECT_EQ(GST_BUFFER_PTS(resumed.get()), expected + 500 * GST_MSECOND);
}

TEST_F(AcmWrapper, TheLatencyIsAProperty) {
  g_object_set(harness_->element, kLatencyProperty, 150u, nullptr);
  guint latencyMs = 0;
  g_object_get(harness_->element, kLatencyProperty, &latencyMs, nullptr);
  EXPECT_EQ(latencyMs, 150u);
  gst_harness_set_src_caps_str(harness_.get(), kAudioTransport);
  GstMiniRef<GstQuery> latency(gst_query_new_latency());
  ASSERT_TRUE(gst_pad_peer_query(harness_->sinkpad, latency.get()));
  GstClockTime min = 0;
  gst_query_parse_latency(latency.get(), nullptr, &min, nullptr);
  EXPECT_GE(min, 150 * GST_MSECOND);
}

// Heard through a sound card: TrueSpeech from a live source, sent through a
// network with up to 50 ms of jitter (buffers held until a jittered time by
// GStreamer's clock) that delivers it without timestamps, plays as one
// unbroken tone, given a latency that covers the jitter. Were the sink's wait for each buffer's turn on the network's
// thread, every arrival would be late and restart the timeline: gaps.
TEST(AcmWrapperPlayback, JitteredUntimedLiveAudioPlaysWithoutGapsThroughARingBufferSink) {
  InitGstreamer();
  RegisterPacedAudioSink();
  ScopedPipeline pipeline(
      "audiotestsrc is-live=true freq=440 volume=0.3 samplesperbuffer=240 "
      "! audio/x-raw, format=S16LE, rate=8000, channels=1 ! kestreltruespeechenc ! identity name=jitter "
      "! identity sync=true name=network ! kestrelacmwrapper latency=60 ! audio/x-raw, format=S16LE, rate=8000, channels=1 "
      "! kestreltestpacedsink name=speaker");
  ASSERT_TRUE(pipeline.Get());
  struct Counter {
    int buffers = 0;
  } counter;
  GstRef<GstPad> jitter(gst_element_get_static_pad(pipeline.Element("jitter"), "src"));
  gst_pad_add_probe(
      jitter.get(), GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo* info, gpointer data) {
        const int i = static_cast<Counter*>(data)->buffers++;
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_BUFFER_PTS(buffer) += GST_MSECOND * (40 + 10 * ((i * 37) % 6));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        return GST_PAD_PROBE_OK;
      },
      &counter, nullptr);
  GstRef<GstPad> network(gst_element_get_static_pad(pipeline.Element("network"), "src"));
  gst_pad_add_probe(
      network.get(), GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo* info, gpointer) {
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        return GST_PAD_PROBE_OK;
      },
      nullptr, nullptr);
  Recording recording;
  SetRecording(pipeline.Element("speaker"), &recording);
  ASSERT_NE(gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  ASSERT_TRUE(recording.WaitFor(8000 * 3, std::chrono::seconds(30))) << "the sink did not play 3 s";
  gst_element_set_state(pipeline.Get(), GST_STATE_NULL);

  std::vector<int16_t> played;
  {
    std::lock_guard hold(recording.lock);
    played = recording.samples;
  }
  size_t start = 0;
  while (start < played.size() && std::abs(played[start]) < 500) ++start;
  ASSERT_LT(start, size_t(8000)) << "no tone within the first second";
  // Silence anywhere after the tone began is a gap (the ring buffer ran dry).
  int gaps = 0;
  size_t quiet = 0;
  for (size_t n = start; n < played.size(); ++n) {
    quiet = std::abs(played[n]) < 30 ? quiet + 1 : 0;
    if (quiet == 24) ++gaps;
  }
  EXPECT_EQ(gaps, 0);
  const auto tail = std::span<const int16_t>(played).subspan(start);
  EXPECT_NEAR(kestrel::truespeech::dominantFrequencyHz(tail, 8000), 440.0, 2.0);
}
