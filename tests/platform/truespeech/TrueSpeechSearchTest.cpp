#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/truespeech/LpcAnalysis.h"
#include "platform/truespeech/PitchSearch.h"
#include "platform/truespeech/PulseSearch.h"

using namespace kestrel::truespeech;

namespace {

Block unitImpulse() {
  Block h{};
  h[0] = 1;
  return h;
}

}  // namespace

TEST(TrueSpeechSearch, ReflectionSignFollowsTheDecoder) {
  // A strongly low-pass signal: the decoder's first reflection coefficient is
  // negative for it (a predictor sign slip would pick a positive entry).
  std::mt19937 random(2);
  std::normal_distribution<float> noise(0, 1000);
  std::vector<float> x(LpcAnalysis::kWindowSamples);
  float previous = 0;
  for (auto& s : x) s = previous = 0.9F * previous + noise(random);
  LpcAnalysis analysis;
  const auto index = LpcAnalysis::quantise(analysis.analyse(x));
  EXPECT_NEAR(kReflectionCodebooks[0][index[0]] / 32768.0, -0.9, 0.05);
}

TEST(TrueSpeechSearch, PulsesThatFitTheCodebookAreFoundExactly) {
  // Through a unit impulse response the target is the excitation itself.
  const int positions[kPulses] = {3, 11, 26, 30, 41, 47, 59};
  const int steps[kPulses] = {0, 3, 1, 2, 1, 0, 3};
  const int scale = 10;
  Block target{};
  for (int i = 0; i < kPulses; ++i) target[positions[i]] = kPulseAmplitudes[scale][steps[i]];
  const Block h = unitImpulse();
  ImpulseCorrelation phi;
  correlateImpulseResponse(h, phi);

  const PulseChoice choice = PulseSearch(target, h, phi).search();
  Subframe excitation;
  TrueSpeechSynthesis::pulseVector(choice.positionCode, choice.valueCode, choice.scale, excitation);
  for (int n = 0; n < kSubframeSamples; ++n) EXPECT_EQ(excitation[n], target[n]) << "sample " << n;
}

TEST(TrueSpeechSearch, PitchSearchFindsAnExactlyRepeatingExcitation) {
  // Give the decoder some history, then ask for a vector the decoder itself can make.
  std::mt19937 random(4);
  TrueSpeechSynthesis decoder;
  for (int frame = 0; frame < 3; ++frame) {
    FrameBytes bytes;
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    std::array<int16_t, kFrameSamples> out;
    decoder.decode(bytes, out);
  }
  for (const auto& [base, code] : {std::pair{40, 2 * kPitchFilters + 5}, std::pair{3, 1 * kPitchFilters + 13}}) {
    Subframe wanted;
    decoder.longTermVector(base, code, wanted);
    const Block target = toBlock(wanted);
    const Block h = unitImpulse();
    PitchSearch search(target, h, decoder);
    const auto choices = search.searchAnyLag();
    ASSERT_FALSE(choices.empty());
    EXPECT_EQ(choices[0].vector, wanted) << "base " << base << " code " << code;
  }
}
