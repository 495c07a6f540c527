#pragma once
// Short-term (formant) analysis of one frame: windowed autocorrelation,
// Levinson-Durbin recursion, and the choice of codebook entries.

#include <array>
#include <cstdint>
#include <span>

#include "platform/truespeech/TrueSpeechTables.h"

namespace kestrel::truespeech {

using Reflection = std::array<double, kOrder>;

class LpcAnalysis {
 public:
  LpcAnalysis();
  // Reflection coefficients (the decoder's sign: k1 is negative for low-pass
  // sounds) of the window that ends with this frame and reaches back into the last.
  Reflection analyse(std::span<const float> previousAndCurrent);
  // Nearest codebook entry of each coefficient, compared on the arcsine scale,
  // where equal steps cost roughly equal spectral error.
  static std::array<uint8_t, kOrder> quantise(const Reflection& k);

  static constexpr int kWindowSamples = 300;

 private:
  std::array<float, kWindowSamples> window_{};
  std::array<double, kOrder + 1> lagWindow_{};
};

}  // namespace kestrel::truespeech
