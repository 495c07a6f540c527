#pragma once

#include <chrono>
#include <optional>

namespace kestrel::outsidefilters {

// Decides which pictures of a video stream an encoder makes key frames, so
// that a receiver that joins late shows a picture soon: the first picture,
// then during the stream's first kStartupPeriod (the far end's receiver
// often starts a moment after the sender, by as long as the call's set-up
// takes to reach it) one as far from the last as that one was from the
// start, from kStartupSpacing up to kLongestStartupSpacing (0, 33, 67, 133,
// 267, 517, 767 ms at 30 pictures a second): a receiver that starts some
// time after the first picture waits about that long again at most. Then one
// at least every interval. There is no feedback channel to ask for a key
// frame, so the schedule alone bounds how long a lost picture stays visible.
//
// Times are the pictures' own (stream running time), in order; a time that
// goes backwards starts a new stream.
class KeyFrameSchedule {
 public:
  using Nanoseconds = std::chrono::nanoseconds;
  static constexpr std::chrono::milliseconds kStartupSpacing{30};
  static constexpr std::chrono::milliseconds kLongestStartupSpacing{250};
  static constexpr std::chrono::milliseconds kStartupPeriod{1000};

  explicit KeyFrameSchedule(std::chrono::milliseconds interval);

  // Takes effect from the next picture.
  void SetInterval(std::chrono::milliseconds interval) { interval_ = interval; }
  // The next picture starts a new stream, with the start-up key frames.
  void Restart();
  // True when the picture at `time` must be a key frame; records it as one.
  bool IsKeyFrameDue(Nanoseconds time);
  // A key frame the encoder made on its own at `time` (when it was reopened).
  void NoteKeyFrame(Nanoseconds time);

 private:
  std::chrono::milliseconds interval_;
  std::optional<Nanoseconds> streamStart_;
  Nanoseconds lastKeyFrame_{0};
};

}  // namespace kestrel::outsidefilters
