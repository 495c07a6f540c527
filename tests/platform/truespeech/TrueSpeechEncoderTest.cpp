#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/truespeech/TrueSpeechEncoder.h"
#include "platform/truespeech/check/FfmpegDecoder.h"
#include "platform/truespeech/check/SignalMeasures.h"
#include "platform/truespeech/check/SpokenText.h"

using namespace kestrel::truespeech;

namespace {

struct RoundTrip {
  std::vector<uint8_t> frames;
  std::vector<int16_t> decoded;        // by FFmpeg
  std::vector<int16_t> encoderPlayed;  // what the encoder believed the decoder played
};

// Encodes whole frames (the tail is dropped) and decodes them with FFmpeg.
RoundTrip roundTrip(const std::vector<int16_t>& pcm) {
  RoundTrip r;
  TrueSpeechEncoder encoder;
  for (size_t at = 0; at + kFrameSamples <= pcm.size(); at += kFrameSamples) {
    const FrameBytes frame = encoder.encode(std::span<const int16_t, kFrameSamples>(pcm.data() + at, kFrameSamples));
    r.frames.insert(r.frames.end(), frame.begin(), frame.end());
    r.encoderPlayed.insert(r.encoderPlayed.end(), encoder.decoded().begin(), encoder.decoded().end());
  }
  FfmpegDecoder decoder;
  EXPECT_TRUE(decoder.decode(r.frames, r.decoded)) << decoder.error();
  EXPECT_EQ(r.decoded.size(), r.frames.size() / kFrameBytes * kFrameSamples);
  return r;
}

std::vector<int16_t> sine(double frequency, double amplitude, double seconds) {
  std::vector<int16_t> s(static_cast<size_t>(seconds * 8000));
  for (size_t n = 0; n < s.size(); ++n) {
    s[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * n / 8000)));
  }
  return s;
}

std::span<const int16_t> lastSecond(const std::vector<int16_t>& s) {
  return std::span<const int16_t>(s).subspan(s.size() - 8000);
}

const std::vector<int16_t>& speech() {
  static const std::vector<int16_t> samples =
      speak("Hello, can you hear me? The game starts in five minutes, so meet me at the north gate.");
  return samples;
}

}  // namespace

TEST(TrueSpeechEncoder, HardSignalsProduceFramesTheDecoderAccepts) {
  std::mt19937 random(3);
  std::vector<int16_t> square(8000), noise(8000), clipped(8000);
  for (size_t n = 0; n < 8000; ++n) {
    square[n] = (n / 20) % 2 ? 32767 : -32768;
    noise[n] = static_cast<int16_t>(random());
    clipped[n] = static_cast<int16_t>(std::clamp(3 * 32768.0 * std::sin(n * 0.05), -32768.0, 32767.0));
  }
  for (const auto* signal : {&square, &noise, &clipped}) {
    const RoundTrip r = roundTrip(*signal);
    ASSERT_EQ(r.decoded.size(), 33U * kFrameSamples);
    // The encoder's mirror of the decoder must not lose step even when the decoder saturates.
    EXPECT_EQ(r.decoded, r.encoderPlayed);
  }
}

TEST(TrueSpeechEncoder, SilenceDecodesToNearSilence) {
  const RoundTrip r = roundTrip(std::vector<int16_t>(8000, 0));
  for (int16_t s : r.decoded) ASSERT_LE(std::abs(s), 4);
}

TEST(TrueSpeechEncoder, SineKeepsItsFrequencyAndLevel) {
  for (double frequency : {200.0, 440.0, 1000.0, 2500.0}) {
    SCOPED_TRACE(frequency);
    const auto input = sine(frequency, 6000, 2.0);
    const RoundTrip r = roundTrip(input);
    EXPECT_NEAR(dominantFrequencyHz(lastSecond(r.decoded), 8000), frequency, 3.0);
    EXPECT_NEAR(rmsDbfs(lastSecond(r.decoded)), rmsDbfs(lastSecond(input)), 3.0);
  }
}

TEST(TrueSpeechEncoder, SpeechNeitherSaturatesTheDecoderNorLosesItsShape) {
  const auto& input = speech();
  ASSERT_GT(input.size(), 16000U) << "espeak-ng and sox are needed for this test";
  // Speak at a healthy microphone level, peaks near -3 dBFS.
  int peak = 1;
  for (int16_t s : input) peak = std::max(peak, std::abs(int(s)));
  std::vector<int16_t> loud(input.size());
  for (size_t i = 0; i < input.size(); ++i) loud[i] = static_cast<int16_t>(input[i] * 23000 / peak);

  const RoundTrip r = roundTrip(loud);
  EXPECT_EQ(r.decoded, r.encoderPlayed);
  for (size_t i = 0; i < r.decoded.size(); ++i) {
    ASSERT_LT(std::abs(int(r.decoded[i])), 0x7FFE) << "decoder saturated at sample " << i;
  }
  // Well clear of what this encoder reaches (about 11 dB and 10.5 dB), but a
  // search that loses the decoder's state or the waveform's shape falls far below.
  EXPECT_GT(segmentalSnrDb(loud, r.decoded), 8.0);
  EXPECT_LT(logSpectralDistanceDb(loud, r.decoded), 12.0);
}
