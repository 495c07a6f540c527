#include "platform/outsidefilters/KeyFrameSchedule.h"

#include <algorithm>

namespace kestrel::outsidefilters {

KeyFrameSchedule::KeyFrameSchedule(std::chrono::milliseconds interval) : interval_(interval) {}

void KeyFrameSchedule::Restart() { streamStart_.reset(); }

bool KeyFrameSchedule::IsKeyFrameDue(Nanoseconds time) {
  if (!streamStart_ || time < lastKeyFrame_) {
    streamStart_ = time;
    lastKeyFrame_ = time;
    return true;
  }
  const bool startingUp = time - *streamStart_ < kStartupPeriod;
  const Nanoseconds startupSpacing =
      std::clamp<Nanoseconds>(lastKeyFrame_ - *streamStart_, kStartupSpacing, kLongestStartupSpacing);
  const Nanoseconds spacing = startingUp ? std::min<Nanoseconds>(startupSpacing, interval_) : interval_;
  if (time - lastKeyFrame_ < spacing) return false;
  lastKeyFrame_ = time;
  return true;
}

void KeyFrameSchedule::NoteKeyFrame(Nanoseconds time) {
  if (!streamStart_) streamStart_ = time;
  lastKeyFrame_ = time;
}

}  // namespace kestrel::outsidefilters
