#pragma once
// Finds the onsets of the test microphone's bursts (TestMicrophoneSignal.h) in
// mono audio, for example at the far end of a call, after coding and
// decoding. An onset is where the short-time energy rises both well above
// the recent background and above an absolute floor, so neither the quiet
// tone nor silence, nor the tone coming back after silence, counts; the
// onset's time is that of the first sample that stands out.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel::testpattern {

struct OnsetDetectorOptions {
  int64_t windowNs = 4'000'000;       // short-time energy window
  double riseRatio = 10.0;            // 10 dB over the background
  double floorDbfs = -26.0;           // and at least this loud (RMS): 7 dB over the tone
  int64_t minimumGapNs = 100'000'000;  // between two onsets
};

class TestMicrophoneOnsetDetector {
 public:
  explicit TestMicrophoneOnsetDetector(int sampleRate, OnsetDetectorOptions options = {});

  // Takes the next samples, the first of them at `firstSampleTimeNs` (on any
  // clock the caller likes), and gives the times of the onsets found so far
  // that it has not given before. Onsets may be found a window after they
  // happen, so the last samples of one call can yield an onset in the next.
  std::vector<int64_t> Feed(std::span<const int16_t> samples, int64_t firstSampleTimeNs);

 private:
  struct TimedSample {
    int16_t value;
    int64_t timeNs;
  };

  void Take(int16_t value, int64_t timeNs, std::vector<int64_t>& onsets);
  double Threshold() const;

  int sampleRate_;
  OnsetDetectorOptions options_;
  double floorEnergy_;
  double riseWeight_;  // background smoothing while the energy rises
  double fallWeight_;  // and while it falls

  std::vector<TimedSample> window_;  // the last samples, a ring
  size_t next_ = 0;                  // the ring's oldest entry
  size_t filled_ = 0;
  int64_t sumOfSquares_ = 0;

  bool haveBackground_ = false;
  double background_ = 0.0;  // mean square
  bool inBurst_ = false;
  bool haveOnset_ = false;
  int64_t lastOnsetNs_ = 0;
};

}  // namespace kestrel::testpattern
