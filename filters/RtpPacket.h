#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <netinet/in.h>
#include <sys/socket.h>

namespace kestrel::filters {

// Largest RTP datagram a channel accepts; anything longer is dropped rather
// than cut short (peers never send more than a 12-byte header and 1400 bytes).
inline constexpr std::size_t kMaxRtpDatagramBytes = 1480;
inline constexpr std::size_t kRtpHeaderBytes = 12;

// One received RTP data packet, pointing into the datagram it came in.
struct RtpPacketView {
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    uint8_t payloadType = 0;
    bool marker = false;
    std::span<const uint8_t> payload;
};

// Reads an RTP data packet (RFC 3550). Empty for anything that is not one:
// shorter than its header, not version 2, contributing sources or a header
// extension running past the end, padding that is zero or longer than the
// payload, or longer than kMaxRtpDatagramBytes. Padding is removed from the
// payload; the extension is skipped.
std::optional<RtpPacketView> ParseRtpPacket(std::span<const uint8_t> datagram);

// Which sender a receiving channel takes media from. Empty: anyone (as for
// gst-launch-1.0 use); otherwise one IPv4 address, whatever the source port
// (a peer behind NAT sends from a port it does not choose).
class CRtpPeerFilter {
public:
    // Dotted IPv4 ("192.0.2.7"), or empty for any sender. An address that
    // does not parse lets nothing through, so a typo never opens the stream
    // to everyone; Set returns false for it.
    bool Set(const std::string &peerAddress);
    bool AcceptsAnySender() const { return !restricted; }
    bool Accepts(const sockaddr *source, socklen_t length) const;

private:
    bool restricted = false;
    std::optional<in_addr> peer; // empty while restricted: nothing matches
};

// What happens to one datagram that reached a receiving socket.
enum class DatagramVerdict { Accepted, Foreign, Malformed };

// The checks every received RTP datagram passes before its payload is used:
// the sender first (a foreign datagram is not even parsed), then the packet.
// `datagramLength` is the real length, which may exceed bytes.size() when the
// datagram was cut to fit the receive buffer.
DatagramVerdict CheckRtpDatagram(std::span<const uint8_t> bytes, std::size_t datagramLength, const sockaddr *source,
                                 socklen_t sourceLength, const CRtpPeerFilter &filter, RtpPacketView &packet);

} // namespace kestrel::filters
