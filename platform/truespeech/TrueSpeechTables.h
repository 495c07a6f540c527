#pragma once
// Constants of the TrueSpeech bitstream, as the decoders in the field use them.
// Every value here is part of the format: encoder and decoder must agree on
// each bit of them, so they are kept as the integers they are.

#include <array>
#include <cstdint>

namespace kestrel::truespeech {

constexpr int kFrameSamples = 240;
constexpr int kFrameBytes = 32;
constexpr int kSubframes = 4;
constexpr int kSubframeSamples = 60;
constexpr int kOrder = 8;

// Reflection coefficient codebooks (Q15), one per coefficient; 5/5/4/4/4/3/3/3 bits.
constexpr std::array<int, kOrder> kReflectionBits = {5, 5, 4, 4, 4, 3, 3, 3};
constexpr std::array<std::array<int16_t, 32>, kOrder> kReflectionCodebooks = {{
    {-32192, -31900, -31538, -31139, -30715, -30242, -29737, -29196,
     -28591, -27934, -27170, -26353, -25471, -24455, -23220, -21806,
     -20086, -18166, -16092, -13876, -11463, -8749, -5674, -1901,
     2415, 6858, 10732, 14367, 17913, 21610, 25539, 29621},
    {-24731, -19093, -14973, -11407, -8168, -5196, -2532, -167,
     2139, 4358, 6482, 8522, 10441, 12280, 14054, 15762,
     17375, 18875, 20294, 21607, 22832, 23971, 25068, 26105,
     27092, 27994, 28830, 29613, 30315, 30960, 31578, 32165},
    {-26888, -23628, -20667, -17837, -15183, -12596, -10129, -7650,
     -5133, -2496, 247, 3104, 6273, 9882, 14187, 19808},
    {-14764, -8462, -4182, -620, 2410, 5183, 7803, 10284,
     12662, 14985, 17311, 19618, 21887, 24144, 26392, 28557},
    {-21529, -17496, -14308, -11482, -8946, -6700, -4574, -2536,
     -472, 1615, 3767, 6072, 8618, 11659, 15266, 19961},
    {-10981, -3794, 1070, 5063, 8800, 12571, 16606, 21381},
    {-19120, -14299, -9856, -5737, -1917, 1874, 6161, 11800},
    {-12560, -6919, -2373, 1606, 5365, 9215, 13679, 19085},
}};

// Bandwidth expansion of the decoded predictor, 0.994^(k+1) in Q15.
constexpr std::array<int16_t, kOrder> kBandwidthExpansion = {
    32571, 32376, 32182, 31989, 31797, 31606, 31416, 31228};

// Post-filter weights 0.55^(k+1) (numerator) and 0.75^(k+1) (denominator), Q15.
constexpr std::array<int16_t, kOrder> kPostNumeratorWeights = {
    18022, 9912, 5452, 2998, 1649, 907, 499, 274};
constexpr std::array<int16_t, kOrder> kPostDenominatorWeights = {
    24576, 18432, 13824, 10368, 7776, 5832, 4374, 3281};

// Two-tap long-term predictor filters (Q14): {tap at lag+1, tap at lag}.
constexpr int kPitchFilters = 25;
constexpr std::array<std::array<int16_t, 2>, kPitchFilters> kPitchFilterTaps = {{
    {-4817, 21049}, {21745, -6999}, {9760, -4546}, {2518, 11328}, {-4171, 11232},
    {16353, 13113}, {17455, -6402}, {17496, -1569}, {-3535, 17371}, {15792, -2299},
    {20347, -261}, {9901, 3292}, {13250, 1849}, {4798, 17314}, {7135, 7998},
    {529, 1942}, {10987, 5695}, {1293, 14904}, {3358, 3448}, {5391, 13126},
    {14500, 2941}, {11613, 8159}, {6583, 10274}, {3481, 7954}, {6476, 3302},
}};
// Pitch code 127 switches the long-term predictor off for a subframe.
constexpr int kPitchCodeOff = 127;
// The decoder's lag: code / 25 + half-frame base + 18, limited to 145.
constexpr int kMinLag = 18;
constexpr int kMaxLag = 145;
constexpr int kHistory = 146;

// Pulse amplitudes: 16 scales, each {+a, +3a, -a, -3a}.
constexpr std::array<std::array<int16_t, 4>, 16> kPulseAmplitudes = {{
    {2, 6, -2, -6}, {4, 12, -4, -12}, {6, 18, -6, -18}, {10, 30, -10, -30},
    {16, 48, -16, -48}, {25, 75, -25, -75}, {40, 120, -40, -120}, {64, 192, -64, -192},
    {101, 303, -101, -303}, {161, 483, -161, -483}, {256, 768, -256, -768},
    {406, 1218, -406, -1218}, {645, 1935, -645, -1935}, {1024, 3072, -1024, -3072},
    {1625, 4875, -1625, -4875}, {2580, 7740, -2580, -7740},
}};

// Seven pulses per subframe: three in samples 0..29, four in 30..59.
constexpr int kPulses = 7;
constexpr int kFirstHalfPulses = 3;
constexpr int kHalfSamples = 30;

}  // namespace kestrel::truespeech
