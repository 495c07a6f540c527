#pragma once

#include <cstdint>

namespace kestrel::filters {

// Largest sample the receiver rebuilds; a sample that reaches this size is
// dropped and collection restarts (see CRtpFrameAssembler).
inline constexpr int kRtpFrameCapacity = 10240;

// One rebuilt media sample: a fixed record so the receive path never
// allocates per packet.
struct RtpFrame {
    uint32_t timestamp = 0; // RTP timestamp of the last packet appended
    int32_t length = 0;     // valid bytes in data
    uint8_t data[kRtpFrameCapacity] = {};
};

} // namespace kestrel::filters
