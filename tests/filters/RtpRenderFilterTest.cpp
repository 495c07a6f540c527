#include "UdpProbe.h"
#include "filters/RtpRenderFilter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace kestrel::filters;
using namespace kestrel::filters::test;
using namespace std::chrono_literals;
using ReceiveResult = CRtpRenderFilter::ReceiveResult;

namespace {

const std::vector<uint8_t> kSample(700, 0x5a);

// A render filter sending from `bind` to `peer` on the default media port.
struct RenderFixture {
    explicit RenderFixture(const std::string &bind, const std::string &peer)
    {
        filter.SetBindAddress(bind);
        filter.SetDestination(peer, kDefaultMediaPort);
    }
    ~RenderFixture() { filter.Stop(); }
    CRtpRenderFilter filter;
};

} // namespace

TEST(RtpRenderFilter, SecondPauseDoesNotReopenTheChannels)
{
    RenderFixture render("127.1.2.1", "127.1.2.2");
    UdpProbe first("127.1.2.2", 6060);
    UdpProbe second("127.1.2.3", 6060);
    render.filter.Pause();
    render.filter.SetDestination("127.1.2.3", 6060);
    render.filter.Pause();
    ASSERT_EQ(render.filter.Receive(StreamKind::Video, kSample, 1), ReceiveResult::Sent);
    const auto datagram = first.Receive();
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->sourcePort, 6080);
    EXPECT_FALSE(second.Receive(100ms));
}

TEST(RtpRenderFilter, NewDestinationTakesEffectOnlyAfterStopAndPause)
{
    RenderFixture render("127.1.2.4", "127.1.2.5");
    UdpProbe oldPeerAudio("127.1.2.5", 6058);
    UdpProbe newPeerAudio("127.1.2.6", 6058);
    render.filter.Run();
    render.filter.SetDestination("127.1.2.6", 6060);
    ASSERT_EQ(render.filter.Receive(StreamKind::Audio, kSample, 1), ReceiveResult::Sent);
    const auto before = oldPeerAudio.Receive();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->sourcePort, 6078);
    render.filter.Stop();
    render.filter.Pause();
    ASSERT_EQ(render.filter.Receive(StreamKind::Audio, kSample, 1), ReceiveResult::Sent);
    EXPECT_TRUE(newPeerAudio.Receive());
    EXPECT_FALSE(oldPeerAudio.Receive(50ms));
}

TEST(RtpRenderFilter, StopSendsByeToBothRtcpPortsAndRefusesLaterSamples)
{
    RenderFixture render("127.1.2.7", "127.1.2.8");
    UdpProbe videoRtcp("127.1.2.8", 6061);
    UdpProbe audioRtcp("127.1.2.8", 6059);
    render.filter.Pause();
    render.filter.Stop();
    for (UdpProbe *probe : {&videoRtcp, &audioRtcp}) {
        const auto datagram = probe->Receive();
        ASSERT_TRUE(datagram);
        EXPECT_TRUE(RtcpContainsBye(datagram->bytes));
    }
    EXPECT_EQ(render.filter.Receive(StreamKind::Video, kSample, 1), ReceiveResult::NotStreaming);
    EXPECT_FALSE(render.filter.IsChannelOpen(StreamKind::Video));
}

TEST(RtpRenderFilter, StopOfANeverPausedFilterSendsNothing)
{
    RenderFixture render("127.1.2.9", "127.1.2.10");
    UdpProbe videoRtcp("127.1.2.10", 6061);
    render.filter.Stop();
    EXPECT_FALSE(videoRtcp.Receive(100ms));
}

TEST(RtpRenderFilter, AudioPortInUseSilencesOnlyTheAudioStream)
{
    RenderFixture render("127.1.2.11", "127.1.2.12");
    UdpProbe occupant("127.1.2.11", 6078); // the audio stream's local port
    ASSERT_TRUE(occupant.IsBound());
    UdpProbe peerVideo("127.1.2.12", 6060);
    UdpProbe peerAudio("127.1.2.12", 6058);
    render.filter.Pause();
    EXPECT_TRUE(render.filter.IsChannelOpen(StreamKind::Video));
    EXPECT_FALSE(render.filter.IsChannelOpen(StreamKind::Audio));
    EXPECT_EQ(render.filter.Receive(StreamKind::Audio, kSample, 1), ReceiveResult::ChannelClosed);
    EXPECT_EQ(render.filter.Receive(StreamKind::Video, kSample, 1), ReceiveResult::Sent);
    EXPECT_TRUE(peerVideo.Receive());
    EXPECT_FALSE(peerAudio.Receive(50ms));
}

TEST(RtpRenderFilter, OddPortOpensNoChannelAndSendsNothing)
{
    RenderFixture render("127.1.2.13", "127.1.2.14");
    render.filter.SetDestination("127.1.2.14", 6061);
    render.filter.Pause();
    EXPECT_FALSE(render.filter.IsChannelOpen(StreamKind::Video));
    EXPECT_FALSE(render.filter.IsChannelOpen(StreamKind::Audio));
    EXPECT_EQ(render.filter.Receive(StreamKind::Video, kSample, 1), ReceiveResult::ChannelClosed);
}

TEST(RtpRenderFilter, TimestampIsEndMinusStartInThirtyTwoBitsAndZeroWithoutMediaTimes)
{
    EXPECT_EQ(CRtpRenderFilter::RtpTimestamp(10, 11), 1u);
    // Only the low 32 bits take part, wrapping as unsigned arithmetic does.
    EXPECT_EQ(CRtpRenderFilter::RtpTimestamp(0x1FFFFFFFFull, 0x200000003ull), 4u);
    EXPECT_EQ(CRtpRenderFilter::RtpTimestamp(std::nullopt, 5), 0u);
    EXPECT_EQ(CRtpRenderFilter::RtpTimestamp(5, std::nullopt), 0u);
}
