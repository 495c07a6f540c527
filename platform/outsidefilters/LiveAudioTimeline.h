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
// timeline at its arrival, marked as a discontinuity. A stream running more
// than twice `latency` ahead of its arrivals (a sender whose clock runs fast)
// has a buffer dropped, so the delay stays bounded.
class LiveAudioTimeline {
 public:
  using Nanoseconds = std::chrono::nanoseconds;
  struct Placement {
    Nanoseconds time;
    Nanoseconds duration;
    bool discontinuity;
  };

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

  int rate_;
  Nanoseconds latency_;
  std::optional<Nanoseconds> anchor_;
  uint64_t samplesSinceAnchor_ = 0;
};

}  // namespace kestrel::outsidefilters
