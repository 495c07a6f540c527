// A call's real graphs while hosts outside the call send to its media
// ports: a third host's well-formed and malformed RTP, and a flood.
#include "tests/SanitizerBuild.h"
#include "tests/filters/UdpFlooder.h"
#include "tests/media/hostile/HostileCall.h"
#include "tests/media/hostile/ThirdHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace kestrel::media::hostile {
namespace {

using namespace std::chrono_literals;
using kestrel::testing::ResidentKiB;

struct StrangerCall : ::testing::Test {
    static void SetUpTestSuite() { InitGstreamer(KESTREL_HOSTILE_REGISTRY); }
};

std::size_t SentBetween(const std::vector<SentFrame> &frames, Clock::time_point from, Clock::time_point to)
{
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [&](const SentFrame &f) {
        return f.at >= from && f.at < to;
    }));
}

std::size_t ShownBetween(const std::vector<ShownFrame> &frames, Clock::time_point from, Clock::time_point to)
{
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [&](const ShownFrame &f) {
        return f.intact && f.at >= from && f.at < to;
    }));
}

TEST_F(StrangerCall, AThirdHostsPacketsReachNoDecoderAndGetNoAnswerDuringAndBetweenCalls)
{
    CHostileCall call({"127.0.40.21", "127.0.40.22", "127.0.40.23", "127.0.40.24"}, Impairment{});
    CThirdHost stranger("127.0.40.25", {6058, 6059, 6060, 6061}, 1);
    ASSERT_TRUE(stranger.IsReady());
    ASSERT_TRUE(call.Start());
    ASSERT_TRUE(call.WaitForPictureBothWays(10s));

    // A third of a second behind A's sending, B shows what it showed before.
    const auto from = Clock::now();
    const std::size_t sentDuring = stranger.Send(call.b.address, 1000, 1000, 4000ms);
    const auto to = Clock::now();
    EXPECT_EQ(sentDuring, 4u * 2000u);
    ASSERT_TRUE(call.a.sent.WaitForCount(call.a.sent.Count() + 15, 5s)); // the last pictures cross the relay
    const std::size_t sent = SentBetween(call.a.sent.Frames(), from - 300ms, to - 300ms);
    const std::size_t shown = ShownBetween(call.b.host.Frames(), from, to);
    std::printf("during the third host's packets A sent %zu pictures and B showed %zu; B refused %llu datagrams\n",
                sent, shown, static_cast<unsigned long long>(call.b.ForeignPackets()));
    EXPECT_GE(static_cast<double>(shown), 0.95 * static_cast<double>(sent)) << "B's picture rate dropped";
    const auto refused = call.b.ForeignPackets();
    EXPECT_GT(refused, 0u);
    call.Stop();

    // Between calls nothing listens; the next call starts as if nothing had come.
    EXPECT_EQ(stranger.Send(call.b.address, 1000, 1000, 1000ms), 4u * 2000u);
    ASSERT_TRUE(call.Start());
    EXPECT_TRUE(call.WaitForPictureBothWays(10s));
    call.Stop();

    EXPECT_EQ(call.b.decoders.Read().stranger, 0u) << "a stranger's packet reached a decoder";
    EXPECT_EQ(call.a.decoders.Read().stranger, 0u);
    EXPECT_GT(call.b.decoders.Read().video, 0u);
    EXPECT_GT(call.b.decoders.Read().audio, 0u);
    EXPECT_EQ(stranger.Received(), 0u) << "something was sent to the third host";
    EXPECT_EQ(call.a.host.CorruptCount() + call.b.host.CorruptCount(), 0u);
    std::printf("RESULT stranger sent=%zu picturesSent=%zu picturesShown=%zu refused=%llu atDecoders=%llu "
                "answered=%zu\n",
                sentDuring, sent, shown, static_cast<unsigned long long>(refused),
                static_cast<unsigned long long>(call.b.decoders.Read().stranger + call.a.decoders.Read().stranger),
                stranger.Received());
}

// KESTREL_HOSTILE_FLOOD_S sets how long the flood lasts (3 s here, 60 s in
// the bench).
TEST_F(StrangerCall, AFloodOfTheVideoPortCostsNoMemoryAndTheCallGoesOnAfterIt)
{
    CHostileCall call({"127.0.40.31", "127.0.40.32", "127.0.40.33", "127.0.40.34"}, Impairment{});
    ASSERT_TRUE(call.Start());
    ASSERT_TRUE(call.WaitForPictureBothWays(10s));

    const double floodSeconds = std::max(2.0, EnvNumber("KESTREL_HOSTILE_FLOOD_S", 3));
    kestrel::testing::UdpFlooder flood("127.0.40.35", call.b.address, 6060, 100000);
    ASSERT_TRUE(flood.Start());
    // A second's worth into the flood (its own buffers made), then the rest
    // of it, counted in datagrams: a slower machine floods for longer.
    const auto started = Clock::now();
    ASSERT_TRUE(flood.WaitForSent(100000, 10s)) << "the flood was not a flood";
    const std::size_t residentBefore = ResidentKiB();
    const auto all = static_cast<std::uint64_t>(100000 * floodSeconds);
    ASSERT_TRUE(flood.WaitForSent(all, std::chrono::milliseconds(static_cast<long>(floodSeconds * 5000 + 10000))))
        << "the flood was not a flood";
    const std::size_t residentAfter = ResidentKiB();
    const auto flooded = std::chrono::duration<double>(Clock::now() - started).count();
    const auto newestAtB = call.b.host.NewestIntactNumber();
    const auto audio = call.b.decoders.Read().audio;
    const auto refused = call.b.ForeignPackets();
    flood.Stop();
    const auto stopped = Clock::now();
    std::printf("flood: %llu datagrams in %.1f s; B refused %llu; resident memory %zu KiB, then %zu KiB\n",
                static_cast<unsigned long long>(flood.Sent()), flooded,
                static_cast<unsigned long long>(refused), residentBefore, residentAfter);
    if (!kestrel::testing::kSanitizedBuild) {
        EXPECT_LT(residentAfter, residentBefore + 5 * 1024) << "the flood cost memory";
    }

    const auto picture = call.b.host.WaitForNewIntactFrame(stopped, newestAtB, 10s);
    ASSERT_TRUE(picture) << "no picture after the flood";
    EXPECT_TRUE(call.b.decoders.WaitForMore(CDecoderWatch::Kind::Audio, audio, 10s)) << "no sound after the flood";
    call.Stop();
    const auto back = std::chrono::duration_cast<std::chrono::milliseconds>(*picture - stopped);
    std::printf("RESULT flood seconds=%.0f datagrams=%llu refused=%llu residentGrowth_KiB=%lld pictureBack_ms=%lld\n",
                floodSeconds, static_cast<unsigned long long>(flood.Sent()),
                static_cast<unsigned long long>(refused),
                static_cast<long long>(residentAfter) - static_cast<long long>(residentBefore),
                static_cast<long long>(back.count()));
    EXPECT_LE(back, 1s) << "media took too long to resume";
    EXPECT_EQ(call.b.host.CorruptCount(), 0u);
}

} // namespace
} // namespace kestrel::media::hostile
