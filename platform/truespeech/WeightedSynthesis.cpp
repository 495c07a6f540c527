#include "platform/truespeech/WeightedSynthesis.h"

#include <algorithm>

namespace kestrel::truespeech {
namespace {

// Weighting factors of W(z): zeros at 0.94, poles at 0.6 of the predictor's
// radius. Stronger shaping (zeros nearer 1, poles nearer 0) lowers the
// log-spectral distance a little more but costs segmental SNR quickly.
constexpr float kZeroFactor = 0.94F;
constexpr float kPoleFactor = 0.6F;

template <typename T>
void push(std::array<T, kOrder>& memory, T value) {
  std::copy_backward(memory.begin(), memory.end() - 1, memory.end());
  memory[0] = value;
}

float dot(const std::array<float, kOrder>& a, const std::array<float, kOrder>& b) {
  float sum = 0;
  for (int k = 0; k < kOrder; ++k) sum += a[k] * b[k];
  return sum;
}

}  // namespace

WeightingCoefficients PerceptualWeighting::coefficientsFor(const Predictor& p) {
  WeightingCoefficients c;
  float zero = 1;
  float pole = 1;
  for (int k = 0; k < kOrder; ++k) {
    zero *= kZeroFactor;
    pole *= kPoleFactor;
    c.zeros[k] = p[k] / 4096.0F * zero;
    c.poles[k] = p[k] / 4096.0F * pole;
  }
  return c;
}

void PerceptualWeighting::run(const WeightingCoefficients& c, const float* in, float* out, int n) {
  for (int i = 0; i < n; ++i) {
    const float u = in[i] - dot(c.zeros, in_);
    push(in_, in[i]);
    const float w = u + dot(c.poles, out_);
    push(out_, w);
    out[i] = w;
  }
}

WeightedSynthesis::WeightedSynthesis(const Predictor& p, int firstReflection, const WeightingCoefficients& weighting,
                                     const TrueSpeechSynthesis& decoder, const PerceptualWeighting& outputWeighting)
    : weighting_(weighting) {
  for (int k = 0; k < kOrder; ++k) {
    predictor_[k] = p[k] / 4096.0F;
    postZeros_[k] = static_cast<float>((kPostNumeratorWeights[k] * p[k]) >> 15) / 4096.0F;
    postPoles_[k] = static_cast<float>((kPostDenominatorWeights[k] * p[k]) >> 15) / 4096.0F;
    start_.synthesis[k] = decoder.synthesisMemory()[k];
    start_.postPoles[k] = decoder.postMemory()[k];
  }
  tilt_ = static_cast<float>(firstReflection - (firstReflection >> 2)) / 65536.0F;
  start_.weighting = outputWeighting;
}

Block WeightedSynthesis::run(State s, const Block& excitation) const {
  Block out{};
  for (int i = 0; i < kSubframeSamples; ++i) {
    const float synthesised = excitation[i] + dot(predictor_, s.synthesis);
    const float sharpened = synthesised - dot(postZeros_, s.synthesis);
    push(s.synthesis, synthesised);
    const float z = sharpened + dot(postPoles_, s.postPoles);
    const float previous = s.postPoles[0];
    push(s.postPoles, z);
    const float decoded = 0.875F * (z + tilt_ * previous);
    s.weighting.run(weighting_, &decoded, &out[i], 1);
  }
  return out;
}

Block WeightedSynthesis::zeroInputResponse() const { return run(start_, Block{}); }

Block WeightedSynthesis::impulseResponse() const {
  Block pulse{};
  pulse[0] = 1;
  return run(State{}, pulse);
}

void convolve(const Block& h, const float* x, float* y) {
  // Accumulating one tap at a time keeps the inner loop contiguous, which the compiler vectorises.
  std::fill(y, y + kSubframeSamples, 0.0F);
  for (int k = 0; k < kSubframeSamples; ++k) {
    const float tap = h[k];
    for (int n = k; n < kSubframeSamples; ++n) y[n] += tap * x[n - k];
  }
}

float squaredError(const Block& a, const Block& b) {
  float sum = 0;
  for (int i = 0; i < kSubframeSamples; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return sum;
}

Block toBlock(const Subframe& samples) {
  Block block{};
  std::copy(samples.begin(), samples.end(), block.begin());
  return block;
}

}  // namespace kestrel::truespeech
