#include <gtest/gtest.h>

#include <random>

#include "platform/truespeech/TrueSpeechFrame.h"

using namespace kestrel::truespeech;

namespace {

TrueSpeechFrame randomFrame(std::mt19937& random) {
  auto bits = [&](int n) { return static_cast<uint32_t>(random() & ((1U << n) - 1)); };
  TrueSpeechFrame f;
  for (int i = 0; i < kOrder; ++i) f.reflection[i] = static_cast<uint8_t>(bits(kReflectionBits[i]));
  f.interpolate = bits(1) != 0;
  f.lagBase = {static_cast<uint8_t>(bits(8)), static_cast<uint8_t>(bits(8))};
  for (int q = 0; q < kSubframes; ++q) {
    f.pitchCode[q] = static_cast<uint8_t>(bits(7));
    f.pulseScale[q] = static_cast<uint8_t>(bits(4));
    f.pulsePositions[q] = bits(27);
    f.pulseValues[q] = static_cast<uint16_t>(bits(14));
  }
  return f;
}

}  // namespace

TEST(TrueSpeechFrame, NoFieldIsLostOrMovedInPacking) {
  std::mt19937 random(5);
  for (int i = 0; i < 2000; ++i) {
    const TrueSpeechFrame frame = randomFrame(random);
    const FrameBytes bytes = packFrame(frame);
    EXPECT_EQ(unpackFrame(bytes), frame);
    EXPECT_EQ(packFrame(unpackFrame(bytes)), bytes);
  }
}

TEST(TrueSpeechFrame, FirstBitsAreTheLastReflectionCoefficientAtTheTopOfTheFirstWord) {
  // The layout reads 32-bit little-endian words from their top bit down.
  TrueSpeechFrame frame;
  frame.reflection[7] = 0b101;
  frame.reflection[0] = 0b10001;
  frame.interpolate = true;
  const FrameBytes bytes = packFrame(frame);
  EXPECT_EQ(bytes[3], 0b10100000);
  // reflection[0] and the interpolation flag end the first word, in its lowest byte.
  EXPECT_EQ(bytes[0], 0b00100011);
}

TEST(TrueSpeechFrame, EveryPulsePlacementSurvivesItsPositionCode) {
  // All C(30,3) first-half and C(30,4) second-half placements.
  PulsePositions second = {0, 1, 2, 30, 31, 32, 33};
  for (int a = 0; a < 30; ++a)
    for (int b = a + 1; b < 30; ++b)
      for (int c = b + 1; c < 30; ++c) {
        PulsePositions p = second;
        p[0] = a, p[1] = b, p[2] = c;
        PulsePositions back{};
        const uint32_t code = encodePulsePositions(p);
        ASSERT_LT(code >> 15, 1U << 12);
        ASSERT_TRUE(decodePulsePositions(code, back));
        ASSERT_EQ(back, p);
      }
  for (int a = 30; a < 60; ++a)
    for (int b = a + 1; b < 60; ++b)
      for (int c = b + 1; c < 60; ++c)
        for (int d = c + 1; d < 60; ++d) {
          const PulsePositions p = {3, 17, 29, a, b, c, d};
          PulsePositions back{};
          const uint32_t code = encodePulsePositions(p);
          ASSERT_LT(code & 0x7FFF, 27405U);
          ASSERT_TRUE(decodePulsePositions(code, back));
          ASSERT_EQ(back, p);
        }
}
