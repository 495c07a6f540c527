#include "platform/outsidefilters/testpattern/TestMicrophoneOnsetDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestrel::testpattern {

namespace {

// Weight of one new sample in an exponential average with this time constant.
double SmoothingWeight(double timeConstantS, int sampleRate) { return 1.0 - std::exp(-1.0 / (timeConstantS * sampleRate)); }

int64_t SamplesIn(int64_t ns, int sampleRate) { return ns * sampleRate / 1'000'000'000; }

}  // namespace

TestMicrophoneOnsetDetector::TestMicrophoneOnsetDetector(int sampleRate, OnsetDetectorOptions options)
    : sampleRate_(std::max(1, sampleRate)),
      options_(options),
      floorEnergy_(std::pow(32768.0 * std::pow(10.0, options.floorDbfs / 20.0), 2.0)),
      // The background follows a falling level within about 10 ms but rises
      // only slowly, so the start of a burst does not raise it much.
      riseWeight_(SmoothingWeight(0.2, sampleRate_)),
      fallWeight_(SmoothingWeight(0.01, sampleRate_)),
      longestBurst_(static_cast<size_t>(
          SamplesIn(2 * (options.burstLengthNs + options.lengthToleranceNs + options.windowNs), sampleRate_))),
      window_(static_cast<size_t>(std::max<int64_t>(8, SamplesIn(options.windowNs, sampleRate_)))) {}

std::vector<int64_t> TestMicrophoneOnsetDetector::Feed(std::span<const int16_t> samples, int64_t firstSampleTimeNs) {
  std::vector<int64_t> onsets;
  for (size_t i = 0; i < samples.size(); ++i) {
    const int64_t timeNs = firstSampleTimeNs + static_cast<int64_t>(i * 1'000'000'000ULL / static_cast<uint64_t>(sampleRate_));
    Take(samples[i], timeNs, onsets);
  }
  return onsets;
}

double TestMicrophoneOnsetDetector::Threshold() const { return std::max(background_ * options_.riseRatio, floorEnergy_); }

void TestMicrophoneOnsetDetector::FinishBurst(std::vector<int64_t>& onsets) {
  inBurst_ = false;
  if (burstTooLong_ || burst_.empty()) return;

  // The burst's typical level: the median of its peaks over 1 ms stretches,
  // which the loud part, most of the stretch, decides.
  const size_t stretch = static_cast<size_t>(std::max<int64_t>(1, SamplesIn(1'000'000, sampleRate_)));
  std::vector<int> peaks;
  for (size_t at = 0; at < burst_.size(); at += stretch) {
    int peak = 0;
    for (size_t i = at; i < std::min(burst_.size(), at + stretch); ++i) peak = std::max(peak, std::abs(int{burst_[i].value}));
    peaks.push_back(peak);
  }
  std::nth_element(peaks.begin(), peaks.begin() + peaks.size() / 2, peaks.end());
  const int half = std::max(1, peaks[peaks.size() / 2] / 2);

  const auto loud = [half](const TimedSample& s) { return std::abs(int{s.value}) >= half; };
  const auto first = std::find_if(burst_.begin(), burst_.end(), loud);
  const auto last = std::find_if(burst_.rbegin(), burst_.rend(), loud);
  if (first == burst_.end()) return;
  const int64_t samplePeriodNs = 1'000'000'000 / sampleRate_;
  const int64_t endNs = last->timeNs + samplePeriodNs;
  if (std::llabs(endNs - first->timeNs - options_.burstLengthNs) > options_.lengthToleranceNs) return;

  const int64_t onsetNs = endNs - options_.burstLengthNs;
  if (haveOnset_ && onsetNs - lastOnsetNs_ < options_.minimumGapNs) return;
  onsets.push_back(onsetNs);
  lastOnsetNs_ = onsetNs;
  haveOnset_ = true;
}

void TestMicrophoneOnsetDetector::Take(int16_t value, int64_t timeNs, std::vector<int64_t>& onsets) {
  if (filled_ > 0 && (timeNs < lastTimeNs_ || timeNs - lastTimeNs_ > options_.windowNs)) {
    // A gap in the sound (lost packets, a restart): start the window afresh
    // and drop a burst it cut; the background stays.
    filled_ = next_ = 0;
    sumOfSquares_ = 0;
    inBurst_ = false;
  }
  lastTimeNs_ = timeNs;

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
    if (burst_.size() < longestBurst_) {
      burst_.push_back(slot);
    } else {
      burstTooLong_ = true;  // something else: wait for its end, report nothing
    }
    if (energy < threshold / 2) FinishBurst(onsets);
    return;
  }
  if (energy >= threshold) {
    // The burst began somewhere in the window: keep all of it.
    inBurst_ = true;
    burstTooLong_ = false;
    burst_.clear();
    for (size_t k = 0; k < window_.size(); ++k) burst_.push_back(window_[(next_ + k) % window_.size()]);
    return;
  }
  background_ += (energy - background_) * (energy > background_ ? riseWeight_ : fallWeight_);
}

}  // namespace kestrel::testpattern
