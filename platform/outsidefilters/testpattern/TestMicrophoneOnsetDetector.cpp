#include "platform/outsidefilters/testpattern/TestMicrophoneOnsetDetector.h"

#include <algorithm>
#include <cmath>

namespace kestrel::testpattern {

namespace {

// Weight of one new sample in an exponential average with this time constant.
double SmoothingWeight(double timeConstantS, int sampleRate) { return 1.0 - std::exp(-1.0 / (timeConstantS * sampleRate)); }

}  // namespace

TestMicrophoneOnsetDetector::TestMicrophoneOnsetDetector(int sampleRate, OnsetDetectorOptions options)
    : sampleRate_(std::max(1, sampleRate)),
      options_(options),
      floorEnergy_(std::pow(32768.0 * std::pow(10.0, options.floorDbfs / 20.0), 2.0)),
      // The background follows a falling level within about 10 ms but rises
      // only slowly, so the start of a burst does not raise it much.
      riseWeight_(SmoothingWeight(0.2, sampleRate_)),
      fallWeight_(SmoothingWeight(0.01, sampleRate_)),
      window_(static_cast<size_t>(std::max<int64_t>(8, options.windowNs * sampleRate_ / 1'000'000'000))) {}

std::vector<int64_t> TestMicrophoneOnsetDetector::Feed(std::span<const int16_t> samples, int64_t firstSampleTimeNs) {
  std::vector<int64_t> onsets;
  for (size_t i = 0; i < samples.size(); ++i) {
    const int64_t timeNs = firstSampleTimeNs + static_cast<int64_t>(i * 1'000'000'000ULL / static_cast<uint64_t>(sampleRate_));
    Take(samples[i], timeNs, onsets);
  }
  return onsets;
}

double TestMicrophoneOnsetDetector::Threshold() const { return std::max(background_ * options_.riseRatio, floorEnergy_); }

void TestMicrophoneOnsetDetector::Take(int16_t value, int64_t timeNs, std::vector<int64_t>& onsets) {
  TimedSample& slot = window_[next_];
  if (filled_ == window_.size()) sumOfSquares_ -= static_cast<int64_t>(slot.value) * slot.value;
  slot = {value, timeNs};
  sumOfSquares_ += static_cast<int64_t>(value) * value;
  next_ = (next_ + 1) % window_.size();
  if (filled_ < window_.size()) {
    ++filled_;
    if (filled_ < window_.size()) return;
  }

  const double energy = static_cast<double>(sumOfSquares_) / static_cast<double>(window_.size());
  if (!haveBackground_) {
    background_ = energy;
    haveBackground_ = true;
    return;
  }
  const double threshold = Threshold();
  if (inBurst_) {
    if (energy < threshold / 2) inBurst_ = false;
    return;
  }
  if (energy >= threshold && (!haveOnset_ || timeNs - lastOnsetNs_ >= options_.minimumGapNs)) {
    // The first sample in the window as loud as the threshold's RMS marks the
    // onset; some sample is, since their mean square reached it.
    const double amplitude = std::sqrt(threshold);
    int64_t onsetNs = timeNs;
    for (size_t k = 0; k < window_.size(); ++k) {
      const TimedSample& s = window_[(next_ + k) % window_.size()];
      if (std::abs(static_cast<double>(s.value)) >= amplitude) {
        onsetNs = s.timeNs;
        break;
      }
    }
    onsets.push_back(onsetNs);
    lastOnsetNs_ = onsetNs;
    haveOnset_ = true;
    inBurst_ = true;
    return;
  }
  if (energy < threshold) background_ += (energy - background_) * (energy > background_ ? riseWeight_ : fallWeight_);
}

}  // namespace kestrel::testpattern
