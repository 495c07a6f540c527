#include "filters/RtpPacketiser.h"

namespace kestrel::filters {

void CRtpPacketiser::Slice(std::span<const uint8_t> sample, const SliceSink &sink)
{
    const std::size_t fullSlices = sample.size() / kRtpSliceBytes;
    const std::size_t remainder = sample.size() % kRtpSliceBytes;
    for (std::size_t i = 0; i < fullSlices; ++i) {
        const bool last = (i + 1 == fullSlices) && remainder == 0;
        sink(sample.subspan(i * kRtpSliceBytes, kRtpSliceBytes), last);
    }
    if (remainder != 0 || fullSlices == 0)
        sink(sample.subspan(fullSlices * kRtpSliceBytes, remainder), true);
}

} // namespace kestrel::filters
