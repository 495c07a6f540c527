#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace kestrel::outsidefilters {

// Gives the buffers of a live audio stream that arrives without timestamps
// (from the network, a few 30 ms frames at a time) a timeline an audio sink
// plays without gaps or stalls.
//
// Untimed buffers are written by an audio sink the moment they come, with
// nothing in hand: every bit of network jitter empties its ring buffer and is
// heard as a gap. Here the first buffer is placed at its arrival (in running
// time) and each next one right after the one before, so the samples are
// continuous; the element reports `latency` so the sink plays each buffer
// that much after its place, which absorbs jitter up to that amount. A buffer
// later than that (a stall, or a sender whose clock runs slow) starts a new
// timeline at its arrival, marked as a discontinuity: the timeline settles on
// the latest of the sender's arrivals, so the delay is what the sender's
// capture and the network need, plus `latency`.
//
// Senders hand over audio as their microphone delivers it: a buffer of about
// 42 ms gives one or two frames at once, the original program's 250 ms
// buffers eight; the frames that come together are early for their place by
// up to that much, and all of them are kept. Only when every buffer for
// `kDriftWindow` came at least a buffer ahead of its place (a sender whose
// clock runs fast, or a delay left from a stall) is one dropped, the next
// marked as a discontinuity, so the delay stays bounded.
class LiveAudioTimeline {
 public:
  using Nanoseconds = std::chrono::nanoseconds;
  struct Placement {
    Nanoseconds time;
    Nanoseconds duration;
    bool discontinuity;
  };

  // How long the stream must run ahead before a buffer is dropped.
  static constexpr Nanoseconds kDriftWindow = std::chrono::seconds(2);

  LiveAudioTimeline(int rate, Nanoseconds latency);

  void SetLatency(Nanoseconds latency) { latency_ = latency; }
  Nanoseconds Latency() const { return latency_; }
  // A new stream: the next buffer is placed at its arrival.
  void Reset(int rate);
  // Where a buffer of `samples` that arrived at `arrival` (running time)
  // plays; nothing when it must be dropped. Without an arrival time (no
  // clock yet) the stream simply runs on.
  std::optional<Placement> Place(std::optional<Nanoseconds> arrival, uint64_t samples);

 private:
  Nanoseconds TimeOf(uint64_t samples) const;
  void StartAt(Nanoseconds arrival);

  int rate_;
  Nanoseconds latency_;
  std::optional<Nanoseconds> anchor_;
  uint64_t samplesSinceAnchor_ = 0;
  bool pendingDiscontinuity_ = false;  // a buffer was dropped before the next
  // The least lead (place less arrival) since the drift window began.
  Nanoseconds windowStart_{0};
  Nanoseconds leastLead_{0};
};

}  // namespace kestrel::outsidefilters
