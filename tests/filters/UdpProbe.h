#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrel::filters::test {

// A plain UDP socket for looking at the wire from outside the code under test.
class UdpProbe {
public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        uint16_t sourcePort = 0;
    };

    UdpProbe(const std::string &address, int port);
    ~UdpProbe();
    UdpProbe(const UdpProbe &) = delete;
    UdpProbe &operator=(const UdpProbe &) = delete;

    bool IsBound() const { return bound; }
    // The next datagram, or nothing when none arrives within `timeout`.
    std::optional<Datagram> Receive(std::chrono::milliseconds timeout = std::chrono::seconds(2));
    bool SendTo(const std::string &address, int port, std::span<const uint8_t> bytes);

private:
    int fd = -1;
    bool bound = false;
};

// Fields of an RTP header as they are on the wire.
struct RtpHeader {
    int version = 0;
    bool padding = false;
    bool extension = false;
    int csrcCount = 0;
    bool marker = false;
    int payloadType = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    std::size_t payloadLength = 0;
};
std::optional<RtpHeader> ParseRtpHeader(std::span<const uint8_t> datagram);
// An RTP data packet built by hand, as a foreign sender would send it.
std::vector<uint8_t> MakeRtpPacket(uint16_t sequence, uint32_t timestamp, uint32_t ssrc, bool marker,
                                   std::span<const uint8_t> payload);
// True when an RTCP compound packet contains a BYE (packet type 203).
bool RtcpContainsBye(std::span<const uint8_t> datagram);

} // namespace kestrel::filters::test
