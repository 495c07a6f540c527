#include "platform/outsidefilters/LiveAudioTimeline.h"

#include <algorithm>
#include <utility>

namespace kestrel::outsidefilters {

LiveAudioTimeline::LiveAudioTimeline(int rate, Nanoseconds latency) : rate_(rate > 0 ? rate : 1), latency_(latency) {}

void LiveAudioTimeline::Reset(int rate) {
  rate_ = rate > 0 ? rate : 1;
  anchor_.reset();
  samplesSinceAnchor_ = 0;
  pendingDiscontinuity_ = false;
}

LiveAudioTimeline::Nanoseconds LiveAudioTimeline::TimeOf(uint64_t samples) const {
  // Whole seconds apart so that long streams neither overflow nor drift.
  const uint64_t seconds = samples / uint64_t(rate_);
  const uint64_t rest = samples % uint64_t(rate_);
  return std::chrono::seconds(seconds) + Nanoseconds(rest * 1000000000ull / uint64_t(rate_));
}

void LiveAudioTimeline::StartAt(Nanoseconds arrival) {
  anchor_ = arrival;
  samplesSinceAnchor_ = 0;
  windowStart_ = arrival;
  leastLead_ = Nanoseconds(0);
}

std::optional<LiveAudioTimeline::Placement> LiveAudioTimeline::Place(std::optional<Nanoseconds> arrival,
                                                                     uint64_t samples) {
  bool discontinuity = std::exchange(pendingDiscontinuity_, false);
  if (!anchor_) {
    StartAt(arrival.value_or(Nanoseconds(0)));
    discontinuity = true;
  } else if (arrival) {
    const Nanoseconds lead = *anchor_ + TimeOf(samplesSinceAnchor_) - *arrival;
    if (-lead > latency_) {
      StartAt(*arrival);
      discontinuity = true;
    } else {
      leastLead_ = std::min(leastLead_, lead);
      if (*arrival - windowStart_ >= kDriftWindow) {
        const bool runsAhead = leastLead_ >= TimeOf(samples);
        windowStart_ = *arrival;
        leastLead_ = lead;
        if (runsAhead) {
          pendingDiscontinuity_ = true;
          return std::nullopt;
        }
      }
    }
  }
  const Nanoseconds start = TimeOf(samplesSinceAnchor_);
  samplesSinceAnchor_ += samples;
  return Placement{*anchor_ + start, TimeOf(samplesSinceAnchor_) - start, discontinuity};
}

}  // namespace kestrel::outsidefilters
