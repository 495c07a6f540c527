#pragma once

#include <chrono>
#include <optional>

namespace kestrel::outsidefilters {

// Decides which pictures of a video stream an encoder makes key frames, so
// that a receiver that joins late shows a picture soon: the first picture,
// then one every kStartupSpacing during the stream's first kStartupPeriod
// (the far end's receiver often starts a moment after the sender), then one
// at least every interval. There is no feedback channel to ask for a key
// frame, so the schedule alone bounds how long a lost picture stays visible.
//
// Times are the pictures' own (stream running time), in order; a time that
// goes backwards starts a new stream.
class KeyFrameSchedule {
 public:
  using Nanoseconds = std::chrono::nanoseconds;
  static constexpr std::chrono::milliseconds kStartupSpacing{250};
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
