#include "filters/RtpPacketiser.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using kestrel::filters::CRtpPacketiser;

namespace {

struct Slice {
    std::vector<uint8_t> bytes;
    bool marker;
};

std::vector<Slice> SliceOf(const std::vector<uint8_t> &sample)
{
    std::vector<Slice> slices;
    CRtpPacketiser::Slice(sample, [&](std::span<const uint8_t> s, bool marker) {
        slices.push_back({{s.begin(), s.end()}, marker});
    });
    return slices;
}

} // namespace

TEST(RtpPacketiser, SlicesRebuildTheSampleInOrderWithTheMarkerOnlyOnTheLast)
{
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{1399}, std::size_t{1400},
                               std::size_t{1401}, std::size_t{2800}, std::size_t{3000}, std::size_t{10239}}) {
        std::vector<uint8_t> sample(length);
        std::iota(sample.begin(), sample.end(), uint8_t{7});
        const auto slices = SliceOf(sample);
        // Full slices only, plus one for a remainder; an empty sample is one empty slice.
        const std::size_t expectedSlices = length == 0 ? 1 : (length + 1399) / 1400;
        ASSERT_EQ(slices.size(), expectedSlices) << length;
        std::vector<uint8_t> rebuilt;
        for (std::size_t i = 0; i < slices.size(); ++i) {
            EXPECT_LE(slices[i].bytes.size(), 1400u);
            EXPECT_EQ(slices[i].marker, i + 1 == slices.size()) << length << " slice " << i;
            rebuilt.insert(rebuilt.end(), slices[i].bytes.begin(), slices[i].bytes.end());
        }
        EXPECT_EQ(rebuilt, sample) << length;
    }
}
