#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "platform/outsidefilters/testpattern/TestMicrophoneOnsetDetector.h"
#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"

using namespace kestrel::testpattern;

namespace {

constexpr int64_t kMs = 1'000'000;

int64_t TimeOfSample(int64_t firstNs, uint64_t sample, int rate) {
  return firstNs + static_cast<int64_t>(sample * 1'000'000'000ULL / static_cast<uint64_t>(rate));
}

// `seconds` of the test signal from `startNs` on, made and analysed in
// microphone-sized buffers; the onsets found.
std::vector<int64_t> OnsetsOfSignal(int rate, int64_t startNs, double seconds, double gain = 1.0) {
  TestMicrophoneSignal signal(rate, 1);
  TestMicrophoneOnsetDetector detector(rate);
  std::vector<int64_t> onsets;
  const uint64_t total = static_cast<uint64_t>(seconds * rate);
  std::vector<int16_t> buffer(2000);
  for (uint64_t at = 0; at < total; at += buffer.size()) {
    const int64_t timeNs = TimeOfSample(startNs, at, rate);
    signal.Generate(buffer.data(), buffer.size(), timeNs);
    for (auto& s : buffer) s = static_cast<int16_t>(std::lround(s * gain));
    for (int64_t onset : detector.Feed(buffer, timeNs)) onsets.push_back(onset);
  }
  return onsets;
}

// The multiples of the interval after `startNs` whose burst has ended (and
// the detector's window passed) before the end.
std::vector<int64_t> ExpectedOnsets(int64_t startNs, double seconds) {
  std::vector<int64_t> expected;
  const int64_t endNs = startNs + static_cast<int64_t>(seconds * 1e9);
  for (int64_t t = BurstOnsetAtOrBefore(startNs, kDefaultBurstIntervalNs) + kDefaultBurstIntervalNs;
       t + kBurstLengthNs + 10 * kMs <= endNs; t += kDefaultBurstIntervalNs) {
    expected.push_back(t);
  }
  return expected;
}

void ExpectOnsetsNear(const std::vector<int64_t>& found, const std::vector<int64_t>& expected, int64_t toleranceNs) {
  ASSERT_EQ(found.size(), expected.size());
  for (size_t i = 0; i < found.size(); ++i) EXPECT_NEAR(found[i], expected[i], toleranceNs) << "onset " << i;
}

std::vector<int16_t> Tone(double hz, double amplitude, int rate, size_t samples) {
  std::vector<int16_t> tone(samples);
  for (size_t n = 0; n < samples; ++n) tone[n] = static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * n / rate));
  return tone;
}

}  // namespace

TEST(TestPatternSound, BurstsStartOnWholeMultiplesOfTheCaptureClock) {
  // An hour after boot, 123 ms after a multiple, at the two ends of the rates.
  const int64_t start = 3'600'123 * kMs + 456;
  for (int rate : {48000, 8000}) {
    SCOPED_TRACE(rate);
    ExpectOnsetsNear(OnsetsOfSignal(rate, start, 3.0), ExpectedOnsets(start, 3.0), 100'000);
  }
}

TEST(TestPatternSound, StreamStartingInsideABurstReportsOnlyTheNextOnsets) {
  const int64_t start = 3'600'010 * kMs;  // 10 ms into a burst
  ExpectOnsetsNear(OnsetsOfSignal(48000, start, 2.0), ExpectedOnsets(start, 2.0), 100'000);
}

TEST(TestPatternSound, QuieterFarEndStillShowsTheBursts) {
  const int64_t start = 7'777 * kMs;
  ExpectOnsetsNear(OnsetsOfSignal(8000, start, 2.0, 0.25), ExpectedOnsets(start, 2.0), kMs);
}

TEST(TestPatternSound, ToneRunsOnAcrossBuffersAndEveryChannelIsAlike) {
  const int rate = 44100;
  TestMicrophoneSignal whole(rate, 1), pieces(rate, 2);
  std::vector<int16_t> expected(rate);
  whole.Generate(expected.data(), expected.size(), 250 * kMs);
  std::vector<int16_t> stereo;
  size_t at = 0;
  for (size_t piece : {1, 999, 4000, 13, 20000}) {
    std::vector<int16_t> buffer(2 * piece);
    pieces.Generate(buffer.data(), piece, TimeOfSample(250 * kMs, at, rate));
    stereo.insert(stereo.end(), buffer.begin(), buffer.end());
    at += piece;
  }
  std::vector<int16_t> rest(2 * (expected.size() - at));
  pieces.Generate(rest.data(), expected.size() - at, TimeOfSample(250 * kMs, at, rate));
  stereo.insert(stereo.end(), rest.begin(), rest.end());
  // Times rounded to the nanosecond differently may move a burst sample by one step.
  for (size_t n = 0; n < expected.size(); ++n) {
    ASSERT_NEAR(stereo[2 * n], expected[n], 1) << "sample " << n;
    ASSERT_EQ(stereo[2 * n + 1], stereo[2 * n]) << "sample " << n;
  }
}

TEST(TestPatternSound, DetectorIgnoresTheToneSilenceAndTheToneComingBack) {
  const int rate = 8000;
  TestMicrophoneOnsetDetector detector(rate);
  std::vector<int16_t> audio = Tone(kToneHz, kToneAmplitude, rate, rate);
  audio.insert(audio.end(), rate / 2, 0);
  const auto tone = Tone(kToneHz, kToneAmplitude, rate, rate);
  audio.insert(audio.end(), tone.begin(), tone.end());
  EXPECT_TRUE(detector.Feed(audio, 0).empty());

  // A burst after all that is found once it has ended, to the sample.
  std::vector<int16_t> burst = Tone(kBurstHz, kBurstAmplitude, rate, kBurstLengthNs * rate / 1'000'000'000);
  EXPECT_TRUE(detector.Feed(burst, 2'500 * kMs).empty());
  auto onsets = detector.Feed(std::vector<int16_t>(rate / 10, 0), 2'500 * kMs + kBurstLengthNs);
  ASSERT_EQ(onsets.size(), 1U);
  EXPECT_NEAR(onsets[0], 2'500 * kMs, 125'000);

  // After a gap in the sound (times jump ahead), the next burst is timed right.
  EXPECT_TRUE(detector.Feed(tone, 9'000 * kMs).empty());
  EXPECT_TRUE(detector.Feed(burst, 10'000 * kMs).empty());
  onsets = detector.Feed(tone, 10'000 * kMs + kBurstLengthNs);
  ASSERT_EQ(onsets.size(), 1U);
  EXPECT_NEAR(onsets[0], 10'000 * kMs, 125'000);
}

TEST(TestPatternSound, DetectorTimesABurstWhoseStartACoderSmeared) {
  // As TrueSpeech does: the burst starts 6 ms early at half strength and
  // overshoots for 5 ms after its true onset; its end stays sharp.
  const int rate = 8000;
  const size_t ms = rate / 1000;
  std::vector<int16_t> audio = Tone(kToneHz, kToneAmplitude, rate, 200 * ms);
  const auto loud = Tone(kBurstHz, kBurstAmplitude, rate, 36 * ms);
  for (size_t n = 0; n < loud.size(); ++n) {
    const double gain = n < 6 * ms ? 0.5 : n < 11 * ms ? 1.8 : 1.0;
    audio[100 * ms - 6 * ms + n] = static_cast<int16_t>(gain * loud[n]);
  }
  TestMicrophoneOnsetDetector detector(rate);
  const auto onsets = detector.Feed(audio, 0);
  ASSERT_EQ(onsets.size(), 1U);
  EXPECT_NEAR(onsets[0], 100 * kMs, 250'000);
}

TEST(TestPatternSound, LoudSoundsOfAnotherLengthAreNoBursts) {
  const int rate = 8000;
  for (size_t loudMs : {10, 60, 500}) {
    SCOPED_TRACE(loudMs);
    std::vector<int16_t> audio = Tone(kToneHz, kToneAmplitude, rate, rate / 5);
    const auto loud = Tone(kBurstHz, kBurstAmplitude, rate, loudMs * rate / 1000);
    audio.insert(audio.end(), loud.begin(), loud.end());
    const auto tail = Tone(kToneHz, kToneAmplitude, rate, rate / 5);
    audio.insert(audio.end(), tail.begin(), tail.end());
    TestMicrophoneOnsetDetector detector(rate);
    EXPECT_TRUE(detector.Feed(audio, 0).empty());
  }
}

TEST(TestPatternSound, DetectorFindsTheSameOnsetsHoweverTheSamplesArrive) {
  const int rate = 16000;
  TestMicrophoneSignal signal(rate, 1);
  std::vector<int16_t> audio(2 * rate);
  signal.Generate(audio.data(), audio.size(), 90 * kMs);

  TestMicrophoneOnsetDetector all(rate), one(rate);
  const auto together = all.Feed(audio, 90 * kMs);
  std::vector<int64_t> singly;
  for (size_t n = 0; n < audio.size(); ++n) {
    for (int64_t onset : one.Feed(std::span(audio).subspan(n, 1), TimeOfSample(90 * kMs, n, rate))) singly.push_back(onset);
  }
  ASSERT_EQ(together.size(), 4U);
  EXPECT_EQ(singly, together);
}
