#pragma once

#include <gst/audio/gstaudiosink.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kestrel::outsidefilters::test {

// What a PacedAudioSink played, silence written for an empty ring buffer
// included.
struct Recording {
  std::mutex lock;
  std::condition_variable grew;
  std::vector<int16_t> samples;  // guarded by lock

  // Waits until `count` samples were played; false at the deadline.
  bool WaitFor(size_t count, std::chrono::seconds deadline);
};

// A sound-card stand-in for S16LE mono: a GstAudioSink (so GStreamer's ring
// buffer and clock slaving run as with a real card) whose device takes each
// segment at the pace of the system clock. Its wait can be woken (reset).
// Registered as "kestreltestpacedsink"; the recording is set with
// SetRecording before it plays.
GType PacedAudioSinkGetType();
void RegisterPacedAudioSink();
void SetRecording(GstElement* sink, Recording* recording);

}  // namespace kestrel::outsidefilters::test
