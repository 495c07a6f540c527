#include "platform/truespeech/TrueSpeechSynthesis.h"

#include <algorithm>
#include <cstring>

namespace kestrel::truespeech {
namespace {

int clip16(int v) { return std::clamp(v, -0x7FFE, 0x7FFE); }

// Pushes a value into a memory whose element 0 is the newest.
void push(std::array<int16_t, kOrder>& memory, int16_t value) {
  std::memmove(memory.data() + 1, memory.data(), (kOrder - 1) * sizeof(int16_t));
  memory[0] = value;
}

}  // namespace

Predictor TrueSpeechSynthesis::predictorFor(const std::array<uint8_t, kOrder>& reflection) {
  std::array<int16_t, kOrder> k{};
  for (int i = 0; i < kOrder; ++i) k[i] = kReflectionCodebooks[i][reflection[i]];
  // Step-up recursion from reflection coefficients to the predictor, in Q12.
  Predictor p{};
  for (int i = 0; i < kOrder; ++i) {
    if (i > 0) {
      const Predictor before = p;
      for (int j = 0; j < i; ++j) p[j] = static_cast<int16_t>(p[j] + ((before[i - j - 1] * k[i] + 0x4000) >> 15));
    }
    p[i] = static_cast<int16_t>((8 - k[i]) >> 3);
  }
  for (int i = 0; i < kOrder; ++i) p[i] = static_cast<int16_t>((p[i] * kBandwidthExpansion[i]) >> 15);
  return p;
}

FrameFilters TrueSpeechSynthesis::filtersFor(const std::array<uint8_t, kOrder>& reflection, bool interpolate) const {
  FrameFilters f;
  f.current = predictorFor(reflection);
  f.firstReflection = kReflectionCodebooks[0][reflection[0]];
  for (int i = 0; i < kOrder; ++i) {
    if (interpolate) {
      f.subframe[0][i] = static_cast<int16_t>((f.current[i] * 21846 + previous_[i] * 10923 + 16384) >> 15);
      f.subframe[1][i] = static_cast<int16_t>((f.current[i] * 10923 + previous_[i] * 21846 + 16384) >> 15);
    } else {
      f.subframe[0][i] = previous_[i];
      f.subframe[1][i] = previous_[i];
    }
    f.subframe[2][i] = f.current[i];
    f.subframe[3][i] = f.current[i];
  }
  return f;
}

void TrueSpeechSynthesis::longTermVector(int lagBase, int pitchCode, Subframe& out) const {
  if (pitchCode == kPitchCodeOff) {
    out.fill(0);
    return;
  }
  // The history followed by the vector being built: short lags repeat it.
  std::array<int16_t, kHistory + kSubframeSamples> buffer{};
  for (int i = 0; i < kHistory; ++i) buffer[i] = static_cast<int16_t>(history_[i]);
  const int offset = std::clamp(pitchCode / kPitchFilters + lagBase + kMinLag, 0, kMaxLag);
  const auto& taps = kPitchFilterTaps[pitchCode % kPitchFilters];
  const int16_t* source = buffer.data() + kMaxLag - offset;
  for (int i = 0; i < kSubframeSamples; ++i) {
    const int v = (source[i] * taps[0] + source[i + 1] * taps[1] + 0x2000) >> 14;
    out[i] = static_cast<int16_t>(v);
    buffer[kHistory + i] = static_cast<int16_t>(v);
  }
}

void TrueSpeechSynthesis::pulseVector(uint32_t positions, uint16_t values, uint8_t scale, Subframe& out) {
  out.fill(0);
  std::array<int16_t, kPulses> amplitude{};
  for (int i = 0; i < kPulses; ++i) amplitude[kPulses - 1 - i] = kPulseAmplitudes[scale & 0xF][(values >> (2 * i)) & 3];
  // A code that places fewer pulses leaves the rest out, as a decoder does.
  PulsePositions at{};
  at.fill(-1);
  decodePulsePositions(positions, at);
  // Amplitudes are taken in order by the pulses actually placed.
  int next = 0;
  for (int i = 0; i < kPulses; ++i) {
    if (at[i] >= 0) out[at[i]] = amplitude[next++];
  }
}

void TrueSpeechSynthesis::synthesise(const Predictor& p, int firstReflection, const Subframe& longTerm, Subframe& s) {
  std::memmove(history_.data(), history_.data() + kSubframeSamples, (kHistory - kSubframeSamples) * sizeof(int));
  for (int i = 0; i < kSubframeSamples; ++i) {
    history_[kHistory - kSubframeSamples + i] = s[i] + longTerm[i] - (longTerm[i] >> 3);
    s[i] = static_cast<int16_t>(s[i] + longTerm[i]);
  }

  for (int i = 0; i < kSubframeSamples; ++i) {
    uint32_t sum = 0;
    for (int k = 0; k < kOrder; ++k) sum += static_cast<uint32_t>(synthesisMemory_[k]) * static_cast<uint32_t>(p[k]);
    const int v = clip16(s[i] + (static_cast<int>(sum + 0x800U) >> 12));
    s[i] = static_cast<int16_t>(v);
    push(synthesisMemory_, s[i]);
  }

  std::array<int, kOrder> zeros{};
  std::array<int, kOrder> poles{};
  for (int k = 0; k < kOrder; ++k) {
    zeros[k] = (kPostNumeratorWeights[k] * p[k]) >> 15;
    poles[k] = (kPostDenominatorWeights[k] * p[k]) >> 15;
  }
  for (int i = 0; i < kSubframeSamples; ++i) {
    int sum = 0;
    for (int k = 0; k < kOrder; ++k) sum += postZeroMemory_[k] * zeros[k];
    push(postZeroMemory_, s[i]);
    s[i] = static_cast<int16_t>(s[i] + ((-sum) >> 12));
  }
  const int tilt = firstReflection - (firstReflection >> 2);
  for (int i = 0; i < kSubframeSamples; ++i) {
    int sum = s[i] * (1 << 12);
    for (int k = 0; k < kOrder; ++k) sum += postPoleMemory_[k] * poles[k];
    push(postPoleMemory_, static_cast<int16_t>(clip16((sum + 0x800) >> 12)));
    sum = ((postPoleMemory_[1] * tilt) >> 4) + sum;
    sum = sum - (sum >> 3);
    s[i] = static_cast<int16_t>(clip16((sum + 0x800) >> 12));
  }
}

void TrueSpeechSynthesis::decode(std::span<const uint8_t, kFrameBytes> bytes, std::span<int16_t, kFrameSamples> out) {
  const TrueSpeechFrame frame = unpackFrame(bytes);
  const FrameFilters filters = filtersFor(frame.reflection, frame.interpolate);
  for (int q = 0; q < kSubframes; ++q) {
    Subframe longTerm;
    Subframe samples;
    longTermVector(frame.lagBase[q / 2], frame.pitchCode[q], longTerm);
    pulseVector(frame.pulsePositions[q], frame.pulseValues[q], frame.pulseScale[q], samples);
    synthesise(filters.subframe[q], filters.firstReflection, longTerm, samples);
    std::copy(samples.begin(), samples.end(), out.begin() + q * kSubframeSamples);
  }
  endFrame(filters.current);
}

}  // namespace kestrel::truespeech
