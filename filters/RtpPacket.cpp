#include "filters/RtpPacket.h"

#include <arpa/inet.h>
#include <cstring>

namespace kestrel::filters {

namespace {

uint16_t Read16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t Read32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

std::optional<RtpPacketView> ParseRtpPacket(std::span<const uint8_t> d)
{
    if (d.size() < kRtpHeaderBytes || d.size() > kMaxRtpDatagramBytes)
        return std::nullopt;
    if ((d[0] >> 6) != 2)
        return std::nullopt;
    const bool padding = (d[0] & 0x20) != 0;
    const bool extension = (d[0] & 0x10) != 0;
    const std::size_t csrcCount = d[0] & 0x0f;
    std::size_t offset = kRtpHeaderBytes + 4 * csrcCount;
    if (offset > d.size())
        return std::nullopt;
    if (extension) {
        if (offset + 4 > d.size())
            return std::nullopt;
        offset += 4 + 4 * std::size_t(Read16(&d[offset + 2]));
        if (offset > d.size())
            return std::nullopt;
    }
    std::size_t end = d.size();
    if (padding) {
        const std::size_t padBytes = d[d.size() - 1];
        if (padBytes == 0 || padBytes > end - offset)
            return std::nullopt;
        end -= padBytes;
    }
    RtpPacketView packet;
    packet.marker = (d[1] & 0x80) != 0;
    packet.payloadType = d[1] & 0x7f;
    packet.sequence = Read16(&d[2]);
    packet.timestamp = Read32(&d[4]);
    packet.ssrc = Read32(&d[8]);
    packet.payload = d.subspan(offset, end - offset);
    return packet;
}

bool CRtpPeerFilter::Set(const std::string &peerAddress)
{
    peer.reset();
    restricted = !peerAddress.empty();
    if (!restricted)
        return true;
    in_addr parsed{};
    if (inet_pton(AF_INET, peerAddress.c_str(), &parsed) != 1)
        return false;
    peer = parsed;
    return true;
}

bool CRtpPeerFilter::Accepts(const sockaddr *source, socklen_t length) const
{
    if (!restricted)
        return true;
    if (!peer || !source)
        return false;
    if (source->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(source);
        return v4->sin_addr.s_addr == peer->s_addr;
    }
    if (source->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
        // An IPv4 peer seen through a dual-stack socket.
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(source);
        return IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr) && std::memcmp(&v6->sin6_addr.s6_addr[12], &peer->s_addr, 4) == 0;
    }
    return false;
}

DatagramVerdict CheckRtpDatagram(std::span<const uint8_t> bytes, std::size_t datagramLength, const sockaddr *source,
                                 socklen_t sourceLength, const CRtpPeerFilter &filter, RtpPacketView &packet)
{
    if (!filter.Accepts(source, sourceLength))
        return DatagramVerdict::Foreign;
    if (datagramLength != bytes.size())
        return DatagramVerdict::Malformed; // cut short by the receive buffer: too long to be ours
    const auto parsed = ParseRtpPacket(bytes);
    if (!parsed)
        return DatagramVerdict::Malformed;
    packet = *parsed;
    return DatagramVerdict::Accepted;
}

} // namespace kestrel::filters
