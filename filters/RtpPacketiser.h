#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace kestrel::filters {

// Payload bytes per RTP packet; with the 12-byte header every packet stays
// well below a 1500-byte Ethernet frame.
inline constexpr std::size_t kRtpSliceBytes = 1400;

// Cuts one compressed sample into RTP payload slices of kRtpSliceBytes.
// The marker closes the sample: it is set on the last slice only. A sample of
// 0 bytes still becomes one (empty) slice with the marker, so the receiver
// sees every sample end.
class CRtpPacketiser {
public:
    using SliceSink = std::function<void(std::span<const uint8_t> slice, bool marker)>;

    static void Slice(std::span<const uint8_t> sample, const SliceSink &sink);
};

} // namespace kestrel::filters
