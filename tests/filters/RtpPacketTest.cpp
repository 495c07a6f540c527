#include "UdpProbe.h"
#include "filters/RtpPacket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace kestrel::filters;
using kestrel::filters::test::MakeRtpPacket;

namespace {

std::vector<uint8_t> Packet(std::size_t payload = 20)
{
    return MakeRtpPacket(0x1234, 0xA0B0C0D0, 0x01020304, true, std::vector<uint8_t>(payload, 0x5a));
}

sockaddr_in From(const char *address)
{
    sockaddr_in source{};
    source.sin_family = AF_INET;
    inet_pton(AF_INET, address, &source.sin_addr);
    source.sin_port = htons(40000);
    return source;
}

} // namespace

TEST(RtpPacketParse, HeaderFieldsAndPayloadOfAPlainPacket)
{
    const auto bytes = Packet();
    const auto packet = ParseRtpPacket(bytes);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->sequence, 0x1234);
    EXPECT_EQ(packet->timestamp, 0xA0B0C0D0u);
    EXPECT_EQ(packet->ssrc, 0x01020304u);
    EXPECT_TRUE(packet->marker);
    EXPECT_EQ(packet->payloadType, 0);
    EXPECT_EQ(packet->payload.size(), 20u);
    EXPECT_EQ(packet->payload.data(), bytes.data() + 12);
}

TEST(RtpPacketParse, ContributingSourcesExtensionAndPaddingAreSkippedOnlyWhenTheyFit)
{
    auto bytes = Packet(20);
    bytes[0] = 0x82; // two contributing sources: 8 of the 20 bytes
    auto packet = ParseRtpPacket(bytes);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->payload.size(), 12u);
    bytes[0] = 0x86; // six would need 24 bytes
    EXPECT_FALSE(ParseRtpPacket(bytes));

    bytes = Packet(20);
    bytes[0] = 0x90; // extension header of one word
    bytes[12 + 2] = 0;
    bytes[12 + 3] = 1;
    packet = ParseRtpPacket(bytes);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->payload.size(), 12u);
    bytes[12 + 3] = 5; // 4 + 20 bytes do not fit in 20
    EXPECT_FALSE(ParseRtpPacket(bytes));

    bytes = Packet(20);
    bytes[0] = 0xA0;
    bytes.back() = 4;
    packet = ParseRtpPacket(bytes);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->payload.size(), 16u);
    bytes.back() = 0;
    EXPECT_FALSE(ParseRtpPacket(bytes)) << "padding of zero bytes";
    bytes.back() = 21;
    EXPECT_FALSE(ParseRtpPacket(bytes)) << "padding longer than the payload";
}

TEST(RtpPacketParse, ShortWrongVersionAndOversizeDatagramsAreRefused)
{
    EXPECT_FALSE(ParseRtpPacket(std::vector<uint8_t>(11, 0x80)));
    auto bytes = Packet();
    bytes[0] = 0x40;
    EXPECT_FALSE(ParseRtpPacket(bytes));
    EXPECT_TRUE(ParseRtpPacket(Packet(kMaxRtpDatagramBytes - 12)));
    EXPECT_FALSE(ParseRtpPacket(Packet(kMaxRtpDatagramBytes - 11)));
    EXPECT_TRUE(ParseRtpPacket(Packet(0))) << "a header-only packet ends an empty sample";
}

TEST(RtpPeerFilter, OnlyThePeersAddressPassesFromAnyPortAndAnEmptyPeerMeansAnyone)
{
    CRtpPeerFilter filter;
    const sockaddr_in peer = From("192.0.2.7");
    const sockaddr_in other = From("192.0.2.8");
    auto accepts = [&](const sockaddr_in &source) {
        return filter.Accepts(reinterpret_cast<const sockaddr *>(&source), sizeof source);
    };
    EXPECT_TRUE(accepts(other));
    ASSERT_TRUE(filter.Set("192.0.2.7"));
    EXPECT_TRUE(accepts(peer));
    sockaddr_in otherPort = peer;
    otherPort.sin_port = htons(1);
    EXPECT_TRUE(accepts(otherPort)) << "a peer behind NAT sends from a port it does not choose";
    EXPECT_FALSE(accepts(other));

    sockaddr_in6 mapped{};
    mapped.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "::ffff:192.0.2.7", &mapped.sin6_addr);
    EXPECT_TRUE(filter.Accepts(reinterpret_cast<const sockaddr *>(&mapped), sizeof mapped));
    inet_pton(AF_INET6, "::ffff:192.0.2.8", &mapped.sin6_addr);
    EXPECT_FALSE(filter.Accepts(reinterpret_cast<const sockaddr *>(&mapped), sizeof mapped));

    EXPECT_FALSE(filter.Set("192.0.2"));
    EXPECT_FALSE(accepts(peer)) << "an address that does not parse lets nothing through";
    EXPECT_TRUE(filter.Set(""));
    EXPECT_TRUE(accepts(other));
}

TEST(RtpDatagramCheck, ForeignDatagramsAreNotParsedAndCutOnesAreMalformed)
{
    CRtpPeerFilter filter;
    ASSERT_TRUE(filter.Set("192.0.2.7"));
    const sockaddr_in peer = From("192.0.2.7");
    const sockaddr_in other = From("192.0.2.8");
    const auto bytes = Packet();
    RtpPacketView packet;
    EXPECT_EQ(CheckRtpDatagram(bytes, bytes.size(), reinterpret_cast<const sockaddr *>(&other), sizeof other, filter,
                               packet),
              DatagramVerdict::Foreign);
    EXPECT_EQ(CheckRtpDatagram(bytes, bytes.size() + 100, reinterpret_cast<const sockaddr *>(&peer), sizeof peer,
                               filter, packet),
              DatagramVerdict::Malformed);
    EXPECT_EQ(CheckRtpDatagram(bytes, bytes.size(), reinterpret_cast<const sockaddr *>(&peer), sizeof peer, filter,
                               packet),
              DatagramVerdict::Accepted);
    EXPECT_EQ(packet.sequence, 0x1234);
}
