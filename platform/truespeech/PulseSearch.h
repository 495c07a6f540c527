#pragma once
// Search of a subframe's seven pulses: positions (three in each first half,
// four in the second), one amplitude scale and a {+1, +3, -1, -3} step each,
// minimising the weighted error left after the long-term predictor.

#include <array>
#include <cstdint>

#include "platform/truespeech/TrueSpeechFrame.h"
#include "platform/truespeech/WeightedSynthesis.h"

namespace kestrel::truespeech {

struct PulseChoice {
  uint8_t scale = 0;
  uint32_t positionCode = 0;
  uint16_t valueCode = 0;
};

// Correlations of the impulse response with itself, phi[i][j] = sum_n h[n-i] h[n-j]:
// the same for every target searched in a subframe.
using ImpulseCorrelation = std::array<std::array<float, kSubframeSamples>, kSubframeSamples>;
void correlateImpulseResponse(const Block& impulseResponse, ImpulseCorrelation& phi);

class PulseSearch {
 public:
  PulseSearch(const Block& target, const Block& impulseResponse, const ImpulseCorrelation& phi);
  PulseChoice search();

 private:
  using Steps = std::array<int, kPulses>;  // index into a scale's four amplitudes
  void selectPositions();
  void optimalAmplitudes(std::array<float, kPulses>& gains) const;
  float errorOf(const std::array<float, kPulses>& amplitudes) const;
  float quantise(int scale, const std::array<float, kPulses>& gains, Steps& steps) const;
  void refinePositions(int scale, Steps& steps);
  void place(int pulse, int position);

  std::array<float, kSubframeSamples> backward_{};  // target correlated with the impulse response
  const ImpulseCorrelation& phi_;
  PulsePositions positions_{};
  std::array<bool, kSubframeSamples> taken_{};
};

}  // namespace kestrel::truespeech
