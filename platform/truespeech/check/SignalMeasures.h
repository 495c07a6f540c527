#pragma once
// Objective measures of a decoded signal against its original (8 kHz mono).

#include <cstdint>
#include <span>

namespace kestrel::truespeech {

// Delay (in samples, 0..maxDelay) by which `decoded` best lines up with `original`.
int alignmentDelay(std::span<const int16_t> original, std::span<const int16_t> decoded, int maxDelay);

// Mean over 30 ms frames with speech in them (frames quieter than -50 dBFS are
// left out) of the frame's SNR, each limited to -10..35 dB.
double segmentalSnrDb(std::span<const int16_t> original, std::span<const int16_t> decoded);

// Mean over the same frames of the RMS difference of the two log power spectra
// (Hann window, 256-point FFT, each spectrum floored 60 dB under the
// original frame's peak so that inaudible detail does not dominate).
double logSpectralDistanceDb(std::span<const int16_t> original, std::span<const int16_t> decoded);

// Frequency in Hz of the strongest sinusoid, to a fraction of a hertz.
double dominantFrequencyHz(std::span<const int16_t> samples, double sampleRate);

// RMS level in dB relative to full scale.
double rmsDbfs(std::span<const int16_t> samples);

}  // namespace kestrel::truespeech
