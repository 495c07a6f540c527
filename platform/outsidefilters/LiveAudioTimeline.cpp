#include "platform/outsidefilters/LiveAudioTimeline.h"

namespace kestrel::outsidefilters {

LiveAudioTimeline::LiveAudioTimeline(int rate, Nanoseconds latency) : rate_(rate > 0 ? rate : 1), latency_(latency) {}

void LiveAudioTimeline::Reset(int rate) {
  rate_ = rate > 0 ? rate : 1;
  anchor_.reset();
  samplesSinceAnchor_ = 0;
}

LiveAudioTimeline::Nanoseconds LiveAudioTimeline::TimeOf(uint64_t samples) const {
  // Whole seconds apart so that long streams neither overflow nor drift.
  const uint64_t seconds = samples / uint64_t(rate_);
  const uint64_t rest = samples % uint64_t(rate_);
  return std::chrono::seconds(seconds) + Nanoseconds(rest * 1000000000ull / uint64_t(rate_));
}

std::optional<LiveAudioTimeline::Placement> LiveAudioTimeline::Place(std::optional<Nanoseconds> arrival,
                                                                     uint64_t samples) {
  bool discontinuity = false;
  if (!anchor_) {
    anchor_ = arrival.value_or(Nanoseconds(0));
    samplesSinceAnchor_ = 0;
    discontinuity = true;
  } else if (arrival) {
    const Nanoseconds next = *anchor_ + TimeOf(samplesSinceAnchor_);
    if (*arrival - next > latency_) {
      anchor_ = *arrival;
      samplesSinceAnchor_ = 0;
      discontinuity = true;
    } else if (next - *arrival > 2 * latency_) {
      return std::nullopt;
    }
  }
  const Nanoseconds start = TimeOf(samplesSinceAnchor_);
  samplesSinceAnchor_ += samples;
  return Placement{*anchor_ + start, TimeOf(samplesSinceAnchor_) - start, discontinuity};
}

}  // namespace kestrel::outsidefilters
