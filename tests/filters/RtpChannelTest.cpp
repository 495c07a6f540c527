#include "UdpProbe.h"
#include "filters/RtpChannel.h"
#include "filters/RtpReceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <numeric>
#include <thread>
#include <vector>

using namespace kestrel::filters;
using namespace kestrel::filters::test;
using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> Pattern(std::size_t length, uint8_t start)
{
    std::vector<uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

// Polls GetFrame until a sample arrives or the deadline passes.
std::optional<std::vector<uint8_t>> NextFrame(CRtpReceiver &receiver, std::size_t capacity = 25344)
{
    std::vector<uint8_t> buffer(capacity);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < deadline) {
        int length = 0;
        uint32_t timestamp = 0;
        if (receiver.GetFrame(buffer, length, timestamp))
            return std::vector<uint8_t>(buffer.begin(), buffer.begin() + length);
        receiver.WaitForFrame(50ms);
    }
    return std::nullopt;
}

} // namespace

TEST(RtpChannelWire, SamplesLeaveAsVersion2PayloadType0PacketsWithConsecutiveSequenceAndMarkerOnLast)
{
    UdpProbe peer("127.1.1.2", 6060);
    ASSERT_TRUE(peer.IsBound());
    CRtpChannel channel;
    ASSERT_TRUE(channel.Open("127.1.1.2", 6060, 6080, "127.1.1.1"));

    std::optional<uint16_t> previousSequence;
    uint32_t timestamp = 1000;
    for (std::size_t length : {0u, 1400u, 2800u, 3000u}) {
        const auto sample = Pattern(length, static_cast<uint8_t>(length));
        ASSERT_TRUE(channel.SendSample(sample, timestamp));
        std::vector<std::size_t> expectedSlices;
        if (length == 0)
            expectedSlices = {0};
        for (std::size_t left = length; left > 0; left -= std::min<std::size_t>(left, 1400))
            expectedSlices.push_back(std::min<std::size_t>(left, 1400));

        std::vector<uint8_t> rebuilt;
        for (std::size_t i = 0; i < expectedSlices.size(); ++i) {
            const auto datagram = peer.Receive();
            ASSERT_TRUE(datagram) << "sample " << length << " packet " << i;
            EXPECT_EQ(datagram->sourcePort, 6080);
            const auto header = ParseRtpHeader(datagram->bytes);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->version, 2);
            EXPECT_FALSE(header->padding);
            EXPECT_FALSE(header->extension);
            EXPECT_EQ(header->csrcCount, 0);
            EXPECT_EQ(header->payloadType, 0);
            EXPECT_EQ(header->timestamp, timestamp);
            EXPECT_EQ(header->payloadLength, expectedSlices[i]);
            EXPECT_EQ(header->marker, i + 1 == expectedSlices.size()) << "sample " << length << " packet " << i;
            if (previousSequence) {
                EXPECT_EQ(header->sequence, static_cast<uint16_t>(*previousSequence + 1));
            }
            previousSequence = header->sequence;
            rebuilt.insert(rebuilt.end(), datagram->bytes.begin() + 12, datagram->bytes.end());
        }
        EXPECT_EQ(rebuilt, sample);
        timestamp += 3000;
    }
    EXPECT_FALSE(peer.Receive(50ms)) << "nothing beyond the sliced packets is sent";
}

TEST(RtpChannelWire, ByeReachesTheRtcpPortAboveTheDestination)
{
    UdpProbe peerRtcp("127.1.1.4", 6061);
    ASSERT_TRUE(peerRtcp.IsBound());
    CRtpChannel channel;
    ASSERT_TRUE(channel.Open("127.1.1.4", 6060, 6080, "127.1.1.3"));
    ASSERT_TRUE(channel.SendSample(Pattern(10, 0), 1));
    channel.SendBye();
    const auto datagram = peerRtcp.Receive();
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->sourcePort, 6081);
    EXPECT_TRUE(RtcpContainsBye(datagram->bytes));
}

TEST(RtpChannelOpen, OddPortsCreateNoSession)
{
    CRtpChannel channel;
    EXPECT_FALSE(channel.Open("127.1.1.5", 6061, 6080, "127.1.1.5"));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.Open("127.1.1.5", 6060, 6081, "127.1.1.5"));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.SendSample(Pattern(10, 0), 1));
}

TEST(RtpChannelOpen, PortInUseFailsOpenAndLeavesTheFirstSessionWorking)
{
    CRtpReceiver first;
    ASSERT_TRUE(first.Start(6060, "127.1.1.6"));
    CRtpReceiver second;
    EXPECT_FALSE(second.Start(6060, "127.1.1.6"));
    EXPECT_FALSE(second.IsOpen());

    CRtpChannel sender;
    ASSERT_TRUE(sender.Open("127.1.1.6", 6060, 6080, "127.1.1.7"));
    ASSERT_TRUE(sender.SendSample(Pattern(500, 3), 1));
    const auto frame = NextFrame(first);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, Pattern(500, 3));
}

TEST(RtpReceiverFlow, SamplesOfEverySizeArriveWholeOverLoopback)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.8"));
    CRtpChannel sender;
    ASSERT_TRUE(sender.Open("127.1.1.8", 6060, 6080, "127.1.1.9"));
    // Timestamps that go backwards, as a peer without media times sends them.
    uint32_t timestamp = 9000;
    for (std::size_t length : {1u, 1400u, 2800u, 3000u, 10239u}) {
        const auto sample = Pattern(length, static_cast<uint8_t>(length));
        // oRTP swallows header-only packets, so an empty sample never arrives;
        // it must not disturb the sample after it either.
        ASSERT_TRUE(sender.SendSample({}, timestamp));
        ASSERT_TRUE(sender.SendSample(sample, timestamp -= 1000));
        const auto frame = NextFrame(receiver);
        ASSERT_TRUE(frame) << length;
        EXPECT_EQ(*frame, sample) << length;
    }
}

TEST(RtpReceiverFlow, FirstPacketsOfANewSenderAreDelivered)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.10"));
    UdpProbe first("127.1.1.11", 6080);
    UdpProbe second("127.1.1.12", 6080);
    const auto one = Pattern(20, 1);
    const auto two = Pattern(30, 2);
    ASSERT_TRUE(first.SendTo("127.1.1.10", 6060, MakeRtpPacket(100, 1, 0x11111111, true, one)));
    auto frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, one);
    // A sender with another SSRC and an unrelated sequence number.
    ASSERT_TRUE(second.SendTo("127.1.1.10", 6060, MakeRtpPacket(40000, 9, 0x22222222, true, two)));
    frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, two);
}

TEST(RtpReceiverFlow, OversizeAndMalformedDatagramsAreDroppedWithoutHarm)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.13"));
    UdpProbe peer("127.1.1.14", 6080);
    const auto big = Pattern(1500, 1);
    ASSERT_TRUE(peer.SendTo("127.1.1.13", 6060, MakeRtpPacket(1, 1, 0x33, true, big)));
    const std::vector<uint8_t> garbage = {0x12, 0x34, 0x56};
    ASSERT_TRUE(peer.SendTo("127.1.1.13", 6060, garbage));
    std::vector<uint8_t> wrongVersion = MakeRtpPacket(2, 1, 0x33, true, Pattern(8, 0));
    wrongVersion[0] = 0x40;
    ASSERT_TRUE(peer.SendTo("127.1.1.13", 6060, wrongVersion));
    const auto good = Pattern(40, 9);
    ASSERT_TRUE(peer.SendTo("127.1.1.13", 6060, MakeRtpPacket(3, 1, 0x33, true, good)));
    const auto frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, good);
}

TEST(RtpReceiverLifecycle, StopWakesTheReceiveThreadAndFreesThePort)
{
    // A poll that would wait a minute: only the wake-up can end it in time.
    CRtpReceiver receiver(60 * 1000);
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.17"));
    CRtpChannel sender;
    ASSERT_TRUE(sender.Open("127.1.1.17", 6060, 6080, "127.1.1.16"));
    ASSERT_TRUE(sender.SendSample(Pattern(10, 1), 1));
    ASSERT_TRUE(NextFrame(receiver)) << "the thread polls"; // and is now back in a minute-long poll
    auto stopped = std::async(std::launch::async, [&] { receiver.Stop(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "Stop did not wake the receive thread";
    EXPECT_FALSE(receiver.IsRunning());
    EXPECT_FALSE(receiver.IsOpen());
    CRtpReceiver again;
    EXPECT_TRUE(again.Start(6060, "127.1.1.17")) << "the port is free again after Stop";
}

TEST(RtpReceiverLifecycle, RestartForgetsSamplesRebuiltBeforeTheStop)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.18"));
    CRtpChannel sender;
    ASSERT_TRUE(sender.Open("127.1.1.18", 6060, 6080, "127.1.1.19"));
    ASSERT_TRUE(sender.SendSample(Pattern(10, 1), 1));
    ASSERT_TRUE(receiver.WaitForFrame(3s));
    receiver.Stop();
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.18"));
    ASSERT_TRUE(sender.SendSample(Pattern(10, 2), 2));
    const auto frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, Pattern(10, 2));
}

TEST(RtpReceiverPeer, OtherAddressesAreDroppedAndCountedOnBothSocketsWhileThePeerIsHeard)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.20", "127.1.1.21"));
    UdpProbe peer("127.1.1.21", 6080);
    UdpProbe stranger("127.1.1.22", 6080);
    const auto foreign = Pattern(40, 7);
    for (uint16_t i = 0; i < 20; ++i)
        ASSERT_TRUE(stranger.SendTo("127.1.1.20", 6060, MakeRtpPacket(i, 1, 0x66, true, foreign)));
    ASSERT_TRUE(stranger.SendTo("127.1.1.20", 6061, std::vector<uint8_t>{0x81, 203, 0, 1, 0, 0, 0, 0x66}));
    // Datagrams of one socket are read in order: once the peer's sample is
    // out, everything the stranger sent before it has been looked at.
    ASSERT_TRUE(peer.SendTo("127.1.1.20", 6060, MakeRtpPacket(500, 1, 0x77, true, Pattern(30, 1))));
    auto frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, Pattern(30, 1));
    ASSERT_TRUE(peer.SendTo("127.1.1.20", 6060, MakeRtpPacket(501, 1, 0x77, true, Pattern(30, 2))));
    frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, Pattern(30, 2)) << "no stranger's packet got in between";
    EXPECT_EQ(receiver.ForeignPackets(), 21u);
    EXPECT_FALSE(stranger.Receive(0ms)) << "a receiver sends nothing to a stranger";

    // Not even the peer gets a malformed packet through.
    ASSERT_TRUE(peer.SendTo("127.1.1.20", 6060, std::vector<uint8_t>{0x80, 0x80, 0}));
    ASSERT_TRUE(peer.SendTo("127.1.1.20", 6060, MakeRtpPacket(502, 1, 0x77, true, Pattern(30, 3))));
    frame = NextFrame(receiver);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, Pattern(30, 3));
    EXPECT_EQ(receiver.MalformedPackets(), 1u);
}

TEST(RtpReceiverPeer, AnAddressThatDoesNotParseLetsNothingIn)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.1.23", "not-an-address"));
    CRtpChannel sender;
    ASSERT_TRUE(sender.Open("127.1.1.23", 6060, 6080, "127.1.1.24"));
    ASSERT_TRUE(sender.SendSample(Pattern(10, 1), 1));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (receiver.ForeignPackets() == 0 && std::chrono::steady_clock::now() < deadline)
        receiver.WaitForFrame(10ms);
    EXPECT_EQ(receiver.ForeignPackets(), 1u);
    EXPECT_FALSE(receiver.WaitForFrame(0ms));
}
