#pragma once
// The decoder's side of TrueSpeech, with its integer arithmetic reproduced
// exactly. The encoder runs one of these alongside its search so that its idea
// of the decoder's filters and history never drifts from a real decoder's.

#include <array>
#include <cstdint>
#include <span>

#include "platform/truespeech/TrueSpeechFrame.h"

namespace kestrel::truespeech {

using Subframe = std::array<int16_t, kSubframeSamples>;
using Predictor = std::array<int16_t, kOrder>;  // Q12, x[n] ~ sum p[k] x[n-1-k]

// The predictors and tilt a frame's parameters give the synthesis of each subframe.
struct FrameFilters {
  std::array<Predictor, kSubframes> subframe{};
  Predictor current{};  // the frame's own predictor, before interpolation
  int firstReflection = 0;  // Q15, steers the post-filter's tilt
};

class TrueSpeechSynthesis {
 public:
  // The predictor a set of reflection coefficient indices decodes to.
  static Predictor predictorFor(const std::array<uint8_t, kOrder>& reflection);
  // The subframe filters of a frame, given the previous frame's predictor.
  FrameFilters filtersFor(const std::array<uint8_t, kOrder>& reflection, bool interpolate) const;

  // The long-term predictor's contribution for a subframe (reads the history only).
  void longTermVector(int lagBase, int pitchCode, Subframe& out) const;
  // The pulse excitation a subframe's pulse parameters decode to.
  static void pulseVector(uint32_t positions, uint16_t values, uint8_t scale, Subframe& out);

  // Runs one subframe: updates the excitation history and the synthesis and
  // post-filter states; `excitation` holds the pulses on entry, the output on return.
  void synthesise(const Predictor& predictor, int firstReflection, const Subframe& longTerm, Subframe& samples);
  // Completes a frame: its predictor becomes the one later frames interpolate from.
  void endFrame(const Predictor& current) { previous_ = current; }

  // Decodes a whole frame; the reference the encoder's state is held to.
  void decode(std::span<const uint8_t, kFrameBytes> bytes, std::span<int16_t, kFrameSamples> out);

  // State the encoder's search starts its filters from.
  const std::array<int, kHistory>& history() const { return history_; }
  const std::array<int16_t, kOrder>& synthesisMemory() const { return synthesisMemory_; }
  const std::array<int16_t, kOrder>& postMemory() const { return postPoleMemory_; }

 private:
  std::array<int, kHistory> history_{};  // excitation history of the long-term predictor
  Predictor previous_{};
  std::array<int16_t, kOrder> synthesisMemory_{};
  std::array<int16_t, kOrder> postZeroMemory_{};
  std::array<int16_t, kOrder> postPoleMemory_{};
};

}  // namespace kestrel::truespeech
