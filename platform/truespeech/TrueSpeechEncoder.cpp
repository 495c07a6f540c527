#include "platform/truespeech/TrueSpeechEncoder.h"

#include <algorithm>

#include "platform/truespeech/PitchSearch.h"
#include "platform/truespeech/PulseSearch.h"

namespace kestrel::truespeech {
namespace {

// Energy of the prediction residual of `samples` (which carry kOrder samples of
// history in front) under a Q12 predictor.
float residualEnergy(const float* samples, int count, const Predictor& p) {
  float energy = 0;
  for (int n = 0; n < count; ++n) {
    float e = samples[kOrder + n];
    for (int k = 0; k < kOrder; ++k) e -= p[k] / 4096.0F * samples[kOrder + n - 1 - k];
    energy += e * e;
  }
  return energy;
}

struct Excitation {
  const PitchChoice* pitch;
  PulseChoice pulses;
};

// The pulses make up for part of what the long-term predictor misses, so each
// of the best few predictor choices gets its pulses, and the pair that ends
// closest to the target wins.
Excitation chooseExcitation(const Block& target, const Block& h, const std::vector<PitchChoice>& pitchChoices) {
  ImpulseCorrelation phi;
  correlateImpulseResponse(h, phi);
  Excitation best{nullptr, {}};
  float bestError = 0;
  for (const PitchChoice& candidate : pitchChoices) {
    Block remaining{};
    for (int i = 0; i < kSubframeSamples; ++i) remaining[i] = target[i] - candidate.filtered[i];
    const PulseChoice pulses = PulseSearch(remaining, h, phi).search();
    Subframe excitation;
    TrueSpeechSynthesis::pulseVector(pulses.positionCode, pulses.valueCode, pulses.scale, excitation);
    Block filtered{};
    convolve(h, toBlock(excitation).data(), filtered.data());
    const float error = squaredError(remaining, filtered);
    if (best.pitch == nullptr || error < bestError) {
      bestError = error;
      best = {&candidate, pulses};
    }
  }
  return best;
}

}  // namespace

bool TrueSpeechEncoder::chooseInterpolation(const std::array<uint8_t, kOrder>& reflection) const {
  // Subframes 0 and 1 either keep the last frame's predictor or blend it with
  // this one's; take whichever predicts the first half of the frame better.
  const float* firstHalf = input_.data() + kHistorySamples - kOrder;
  float energy[2] = {0, 0};
  for (int interpolate = 0; interpolate < 2; ++interpolate) {
    const FrameFilters f = decoder_.filtersFor(reflection, interpolate != 0);
    energy[interpolate] = residualEnergy(firstHalf, kSubframeSamples, f.subframe[0]) +
                          residualEnergy(firstHalf + kSubframeSamples, kSubframeSamples, f.subframe[1]);
  }
  return energy[1] <= energy[0];
}

void TrueSpeechEncoder::encodeSubframe(int q, const FrameFilters& filters, TrueSpeechFrame& frame) {
  const Predictor& predictor = filters.subframe[q];
  const WeightingCoefficients weighting = PerceptualWeighting::coefficientsFor(predictor);

  Block weightedInput{};
  inputWeighting_.run(weighting, input_.data() + kHistorySamples + q * kSubframeSamples, weightedInput.data(),
                      kSubframeSamples);
  const WeightedSynthesis synthesis(predictor, filters.firstReflection, weighting, decoder_, outputWeighting_);
  const Block ringing = synthesis.zeroInputResponse();
  const Block h = synthesis.impulseResponse();
  Block target{};
  for (int i = 0; i < kSubframeSamples; ++i) target[i] = weightedInput[i] - ringing[i];

  PitchSearch pitchSearch(target, h, decoder_);
  const auto pitchChoices =
      q % 2 == 0 ? pitchSearch.searchAnyLag() : pitchSearch.searchFromBase(frame.lagBase[q / 2]);
  const Excitation excitation = chooseExcitation(target, h, pitchChoices);
  const PitchChoice& pitch = *excitation.pitch;
  const PulseChoice& pulses = excitation.pulses;
  if (q % 2 == 0) frame.lagBase[q / 2] = static_cast<uint8_t>(pitch.lagBase);
  frame.pitchCode[q] = static_cast<uint8_t>(pitch.code);
  frame.pulseScale[q] = pulses.scale;
  frame.pulsePositions[q] = pulses.positionCode;
  frame.pulseValues[q] = pulses.valueCode;

  // Play the subframe as the decoder will, which moves the search's state on.
  Subframe samples;
  TrueSpeechSynthesis::pulseVector(pulses.positionCode, pulses.valueCode, pulses.scale, samples);
  decoder_.synthesise(predictor, filters.firstReflection, pitch.vector, samples);
  const Block played = toBlock(samples);
  Block ignored{};
  outputWeighting_.run(weighting, played.data(), ignored.data(), kSubframeSamples);
  std::copy(samples.begin(), samples.end(), decoded_.begin() + q * kSubframeSamples);
}

FrameBytes TrueSpeechEncoder::encode(std::span<const int16_t, kFrameSamples> pcm) {
  std::copy(input_.end() - kHistorySamples, input_.end(), input_.begin());
  std::copy(pcm.begin(), pcm.end(), input_.begin() + kHistorySamples);

  TrueSpeechFrame frame;
  frame.reflection = LpcAnalysis::quantise(analysis_.analyse(input_));
  frame.interpolate = chooseInterpolation(frame.reflection);
  const FrameFilters filters = decoder_.filtersFor(frame.reflection, frame.interpolate);
  for (int q = 0; q < kSubframes; ++q) encodeSubframe(q, filters, frame);
  decoder_.endFrame(filters.current);
  return packFrame(frame);
}

}  // namespace kestrel::truespeech
