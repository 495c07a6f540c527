#pragma once
// Finds the onsets of the test microphone's bursts (TestMicrophoneSignal.h) in
// mono audio, for example at the far end of a call, after coding and
// decoding. A burst is where the short-time energy rises both well above the
// recent background and above an absolute floor, so neither the quiet tone
// nor silence, nor the tone coming back after silence, counts.
//
// A speech coder smears a burst's start: TrueSpeech lets it begin up to a
// 7.5 ms subframe early and overshoots, but keeps its end sharp. So the
// onset is taken from the burst's end, the last sample at half the burst's
// typical level, less the burst's known length; a loud stretch whose length
// (from its first to its last sample at that level) is not a burst's, within
// 10 ms, is no burst. Onsets are reported once their burst has ended.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"

namespace kestrel::testpattern {

struct OnsetDetectorOptions {
  int64_t windowNs = 4'000'000;        // short-time energy window
  double riseRatio = 10.0;             // 10 dB over the background
  double floorDbfs = -30.0;            // and at least this loud (RMS): 9 dB over the tone
  int64_t burstLengthNs = kBurstLengthNs;
  int64_t lengthToleranceNs = 10'000'000;
  int64_t minimumGapNs = 100'000'000;  // between two onsets
};

class TestMicrophoneOnsetDetector {
 public:
  explicit TestMicrophoneOnsetDetector(int sampleRate, OnsetDetectorOptions options = {});

  // Takes the next samples, the first of them at `firstSampleTimeNs` (on any
  // clock the caller likes), and gives the onsets of the bursts that ended in
  // them, in the caller's time. A burst still going on at the end is given
  // by a later call. Times must run on; a jump (a gap in the sound) starts
  // the analysis afresh, and a burst it cuts is not reported.
  std::vector<int64_t> Feed(std::span<const int16_t> samples, int64_t firstSampleTimeNs);

 private:
  struct TimedSample {
    int16_t value;
    int64_t timeNs;
  };

  void Take(int16_t value, int64_t timeNs, std::vector<int64_t>& onsets);
  void FinishBurst(std::vector<int64_t>& onsets);
  double Threshold() const;

  int sampleRate_;
  OnsetDetectorOptions options_;
  double floorEnergy_;
  double riseWeight_;  // background smoothing while the energy rises
  double fallWeight_;  // and while it falls
  size_t longestBurst_;  // in samples, beyond which a loud stretch is no burst

  std::vector<TimedSample> window_;  // the last samples, a ring
  size_t next_ = 0;                  // the ring's oldest entry once it is full
  size_t filled_ = 0;
  int64_t sumOfSquares_ = 0;
  int64_t lastTimeNs_ = 0;  // of the last sample taken

  bool haveBackground_ = false;
  double background_ = 0.0;  // mean square

  bool inBurst_ = false;
  bool burstTooLong_ = false;
  std::vector<TimedSample> burst_;  // the loud stretch under way, from the window before it

  bool haveOnset_ = false;
  int64_t lastOnsetNs_ = 0;
};

}  // namespace kestrel::testpattern
