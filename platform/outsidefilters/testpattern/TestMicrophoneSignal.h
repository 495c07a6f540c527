#pragma once
// The test microphone's sound: a quiet steady tone, and at the start of every
// burst interval of the capture clock a short loud burst at another frequency.
// A burst begins at the first sample captured at or after a whole multiple of
// the interval, so a listener that knows the clock knows when each onset it
// hears was captured (TestMicrophoneOnsetDetector.h finds the onsets).
//
// Both frequencies lie well inside the 8 kHz telephone band and the burst is
// 24 dB above the tone, so the mark survives resampling and speech coding.

#include <cstddef>
#include <cstdint>

namespace kestrel::testpattern {

inline constexpr double kToneHz = 440.0;
inline constexpr double kToneAmplitude = 500.0;  // -36 dBFS
inline constexpr double kBurstHz = 1000.0;
// -12 dBFS: a speech coder overshoots at a burst's start, and must not clip.
inline constexpr double kBurstAmplitude = 8000.0;
inline constexpr int64_t kBurstLengthNs = 30'000'000;
inline constexpr int64_t kDefaultBurstIntervalNs = 500'000'000;

// The onset of the last burst that starts at or before `timeNs`.
int64_t BurstOnsetAtOrBefore(int64_t timeNs, int64_t burstIntervalNs);

class TestMicrophoneSignal {
 public:
  // `burstIntervalNs` must be longer than a burst.
  TestMicrophoneSignal(int sampleRate, int channels, int64_t burstIntervalNs = kDefaultBurstIntervalNs);

  // Fills `frames` interleaved frames (every channel alike), the first of them
  // captured at `firstFrameTimeNs`. The tone runs on without a break from one
  // call to the next, whatever the times given.
  void Generate(int16_t* out, size_t frames, int64_t firstFrameTimeNs);

 private:
  int sampleRate_;
  int channels_;
  int64_t burstIntervalNs_;
  uint64_t toneSamples_ = 0;  // samples of the tone played so far
};

}  // namespace kestrel::testpattern
