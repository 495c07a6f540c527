#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrel::testpattern {

int64_t BurstOnsetAtOrBefore(int64_t timeNs, int64_t burstIntervalNs) {
  int64_t whole = timeNs / burstIntervalNs;
  if (timeNs % burstIntervalNs < 0) --whole;
  return whole * burstIntervalNs;
}

TestMicrophoneSignal::TestMicrophoneSignal(int sampleRate, int channels, int64_t burstIntervalNs)
    : sampleRate_(std::max(1, sampleRate)),
      channels_(std::max(1, channels)),
      burstIntervalNs_(std::max(burstIntervalNs, 2 * kBurstLengthNs)) {}

void TestMicrophoneSignal::Generate(int16_t* out, size_t frames, int64_t firstFrameTimeNs) {
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  const int64_t firstPhaseNs = firstFrameTimeNs - BurstOnsetAtOrBefore(firstFrameTimeNs, burstIntervalNs_);
  for (size_t i = 0; i < frames; ++i) {
    // Time since the last onset, exact to the nanosecond for every sample.
    const int64_t sinceStartNs = static_cast<int64_t>(i * 1'000'000'000ULL / static_cast<uint64_t>(sampleRate_));
    const int64_t sinceOnsetNs = (firstPhaseNs + sinceStartNs) % burstIntervalNs_;
    const double tonePhase = std::fmod(static_cast<double>(toneSamples_++) * kToneHz / sampleRate_, 1.0);
    double value = kToneAmplitude * std::sin(kTwoPi * tonePhase);
    if (sinceOnsetNs < kBurstLengthNs) {
      value += kBurstAmplitude * std::sin(kTwoPi * kBurstHz * static_cast<double>(sinceOnsetNs) * 1e-9);
    }
    const auto sample = static_cast<int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
    std::fill_n(out + i * static_cast<size_t>(channels_), channels_, sample);
  }
}

}  // namespace kestrel::testpattern
