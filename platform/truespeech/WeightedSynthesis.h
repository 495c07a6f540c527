#pragma once
// The filter the encoder's search sees an excitation through: the decoder's
// synthesis and post-filter (in floating point, from the decoder's own
// coefficients), followed by the perceptual weighting W(z) = A(z/g1) / A(z/g2)
// that shapes the coding noise under the speech spectrum.

#include <array>

#include "platform/truespeech/TrueSpeechSynthesis.h"

namespace kestrel::truespeech {

using Block = std::array<float, kSubframeSamples>;

struct WeightingCoefficients {
  std::array<float, kOrder> zeros{};
  std::array<float, kOrder> poles{};
};

// W(z) alone, with its state; applied to the input and to the decoded output.
class PerceptualWeighting {
 public:
  static WeightingCoefficients coefficientsFor(const Predictor& predictor);
  void run(const WeightingCoefficients& c, const float* in, float* out, int n);

 private:
  friend class WeightedSynthesis;
  std::array<float, kOrder> in_{};
  std::array<float, kOrder> out_{};
};

class WeightedSynthesis {
 public:
  // Coefficients for a subframe, and the decoder's and weighting's state at its start.
  WeightedSynthesis(const Predictor& predictor, int firstReflection, const WeightingCoefficients& weighting,
                    const TrueSpeechSynthesis& decoder, const PerceptualWeighting& outputWeighting);
  // What the filters put out from their state alone, with no new excitation.
  Block zeroInputResponse() const;
  // The filters' response to a unit pulse from rest.
  Block impulseResponse() const;

 private:
  struct State {
    std::array<float, kOrder> synthesis{};
    std::array<float, kOrder> postPoles{};
    PerceptualWeighting weighting;
  };
  Block run(State state, const Block& excitation) const;

  std::array<float, kOrder> predictor_{};
  std::array<float, kOrder> postZeros_{};
  std::array<float, kOrder> postPoles_{};
  float tilt_ = 0;
  WeightingCoefficients weighting_;
  State start_;
};

// y = h * x over one subframe (causal, truncated).
void convolve(const Block& h, const float* x, float* y);
// Sum of squared differences of two blocks: the search's measure of error.
float squaredError(const Block& a, const Block& b);
// A decoder's integer subframe as the search's floating-point block.
Block toBlock(const Subframe& samples);

}  // namespace kestrel::truespeech
