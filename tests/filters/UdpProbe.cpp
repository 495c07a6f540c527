#include "UdpProbe.h"

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::filters::test {

namespace {
sockaddr_in MakeAddress(const std::string &address, int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &result.sin_addr);
    return result;
}
} // namespace

UdpProbe::UdpProbe(const std::string &address, int port) : fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    const sockaddr_in local = MakeAddress(address, port);
    bound = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0;
}

UdpProbe::~UdpProbe()
{
    if (fd >= 0)
        close(fd);
}

std::optional<UdpProbe::Datagram> UdpProbe::Receive(std::chrono::milliseconds timeout)
{
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    Datagram datagram;
    datagram.bytes.resize(65536);
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t length = recvfrom(fd, datagram.bytes.data(), datagram.bytes.size(), 0,
                                    reinterpret_cast<sockaddr *>(&sender), &senderLength);
    if (length < 0)
        return std::nullopt;
    datagram.bytes.resize(static_cast<std::size_t>(length));
    datagram.sourcePort = ntohs(sender.sin_port);
    return datagram;
}

bool UdpProbe::SendTo(const std::string &address, int port, std::span<const uint8_t> bytes)
{
    const sockaddr_in destination = MakeAddress(address, port);
    return sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&destination),
                  sizeof destination)
        == static_cast<ssize_t>(bytes.size());
}

std::optional<RtpHeader> ParseRtpHeader(std::span<const uint8_t> d)
{
    if (d.size() < 12)
        return std::nullopt;
    RtpHeader header;
    header.version = d[0] >> 6;
    header.padding = (d[0] & 0x20) != 0;
    header.extension = (d[0] & 0x10) != 0;
    header.csrcCount = d[0] & 0x0f;
    header.marker = (d[1] & 0x80) != 0;
    header.payloadType = d[1] & 0x7f;
    header.sequence = static_cast<uint16_t>(d[2] << 8 | d[3]);
    header.timestamp = uint32_t(d[4]) << 24 | uint32_t(d[5]) << 16 | uint32_t(d[6]) << 8 | d[7];
    header.ssrc = uint32_t(d[8]) << 24 | uint32_t(d[9]) << 16 | uint32_t(d[10]) << 8 | d[11];
    header.payloadLength = d.size() - 12;
    return header;
}

std::vector<uint8_t> MakeRtpPacket(uint16_t sequence, uint32_t timestamp, uint32_t ssrc, bool marker,
                                   std::span<const uint8_t> payload)
{
    std::vector<uint8_t> packet(12 + payload.size());
    packet[0] = 0x80;
    packet[1] = marker ? 0x80 : 0x00;
    for (int i = 0; i < 2; ++i)
        packet[2 + i] = static_cast<uint8_t>(sequence >> (8 * (1 - i)));
    for (int i = 0; i < 4; ++i) {
        packet[4 + i] = static_cast<uint8_t>(timestamp >> (8 * (3 - i)));
        packet[8 + i] = static_cast<uint8_t>(ssrc >> (8 * (3 - i)));
    }
    std::copy(payload.begin(), payload.end(), packet.begin() + 12);
    return packet;
}

bool RtcpContainsBye(std::span<const uint8_t> d)
{
    std::size_t offset = 0;
    while (offset + 4 <= d.size()) {
        if ((d[offset] >> 6) != 2)
            return false;
        if (d[offset + 1] == 203)
            return true;
        const std::size_t words = static_cast<std::size_t>(d[offset + 2] << 8 | d[offset + 3]);
        offset += (words + 1) * 4;
    }
    return false;
}

} // namespace kestrel::filters::test
