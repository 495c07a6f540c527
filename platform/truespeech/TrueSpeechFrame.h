#pragma once
// The parameters of one 32-byte TrueSpeech frame and their bit layout.

#include <array>
#include <cstdint>
#include <span>

#include "platform/truespeech/TrueSpeechTables.h"

namespace kestrel::truespeech {

using FrameBytes = std::array<uint8_t, kFrameBytes>;

struct TrueSpeechFrame {
  // Index of each reflection coefficient in its codebook.
  std::array<uint8_t, kOrder> reflection{};
  // Subframes 0 and 1 blend the previous and the new predictor (true) or keep the previous one.
  bool interpolate = false;
  // Long-term predictor: a lag base per half frame (8 bits) and a code per subframe
  // (7 bits: lag offset * 25 + two-tap filter, or kPitchCodeOff).
  std::array<uint8_t, 2> lagBase{};
  std::array<uint8_t, kSubframes> pitchCode{};
  // Pulses: amplitude scale (4 bits), position code (27 bits), 2-bit amplitude of each pulse (14 bits).
  std::array<uint8_t, kSubframes> pulseScale{};
  std::array<uint32_t, kSubframes> pulsePositions{};
  std::array<uint16_t, kSubframes> pulseValues{};

  bool operator==(const TrueSpeechFrame&) const = default;
};

// The layout: fields are written most significant bit first into 32-bit words
// that are stored little-endian.
FrameBytes packFrame(const TrueSpeechFrame& frame);
TrueSpeechFrame unpackFrame(std::span<const uint8_t, kFrameBytes> bytes);

// Pulse positions within a subframe, ascending: three in 0..29, then four in 30..59.
using PulsePositions = std::array<int, kPulses>;

// Combinatorial code of the positions, 12 bits for the first half and 15 for
// the second. Positions must be ascending and distinct within each half.
uint32_t encodePulsePositions(const PulsePositions& positions);
// The positions a decoder places for a code. Returns false when the code places
// fewer than seven pulses (which no encoder produces).
bool decodePulsePositions(uint32_t code, PulsePositions& positions);

}  // namespace kestrel::truespeech
