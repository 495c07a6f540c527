#pragma once
// TrueSpeech encoder: 240 samples of 16-bit PCM at 8 kHz in, one 32-byte frame
// out. Analysis by synthesis: the frame's predictor comes from LPC analysis,
// then each 60-sample subframe picks its long-term predictor and its pulses by
// comparing what a decoder would play with the input, through a perceptual
// weighting filter. A mirrored decoder keeps the search in step with the
// decoder at the far end, bit for bit.

#include <array>
#include <cstdint>
#include <span>

#include "platform/truespeech/LpcAnalysis.h"
#include "platform/truespeech/TrueSpeechSynthesis.h"
#include "platform/truespeech/WeightedSynthesis.h"

namespace kestrel::truespeech {

class TrueSpeechEncoder {
 public:
  FrameBytes encode(std::span<const int16_t, kFrameSamples> pcm);
  // What the far end's decoder plays for the frame encoded last.
  const std::array<int16_t, kFrameSamples>& decoded() const { return decoded_; }
  void reset() { *this = TrueSpeechEncoder(); }

 private:
  static constexpr int kHistorySamples = LpcAnalysis::kWindowSamples - kFrameSamples;

  bool chooseInterpolation(const std::array<uint8_t, kOrder>& reflection) const;
  void encodeSubframe(int q, const FrameFilters& filters, TrueSpeechFrame& frame);

  LpcAnalysis analysis_;
  TrueSpeechSynthesis decoder_;
  PerceptualWeighting inputWeighting_;
  PerceptualWeighting outputWeighting_;
  std::array<float, kHistorySamples + kFrameSamples> input_{};  // last frame's tail, then this frame
  std::array<int16_t, kFrameSamples> decoded_{};
};

}  // namespace kestrel::truespeech
