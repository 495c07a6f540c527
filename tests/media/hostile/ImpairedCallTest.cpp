// A call's real graphs, both ways, through relays that lose, delay,
// reorder and duplicate datagrams: the far end's renderer never shows a
// damaged picture, shows nearly every picture the loss leaves showable, and
// the picture and the sound come back after the link has been down.
#include "tests/media/hostile/HostileCall.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kestrel::media::hostile {
namespace {

using namespace std::chrono_literals;

struct ImpairedCall : ::testing::Test {
    static void SetUpTestSuite() { InitGstreamer(KESTREL_HOSTILE_REGISTRY); }
};

TEST_F(ImpairedCall, NoDamagedPictureIsShownAndNearlyEveryShowableOneIsThroughABadLink)
{
    Impairment impairment;
    impairment.lossRate = 0.1;
    impairment.delay = 100ms;
    impairment.jitter = 20ms;
    impairment.reorderRate = 0.25;
    impairment.duplicateRate = 0.05;
    impairment.seed = 7;
    CHostileCall call({"127.0.40.1", "127.0.40.2", "127.0.40.3", "127.0.40.4"}, impairment);
    ASSERT_TRUE(call.Start());
    const CallRun run = RunAndAssess(call, 150);
    EXPECT_TRUE(run.completed);
    for (const auto &[name, report, relay] : {std::tuple{"A to B", run.toB, run.relayToB},
                                              std::tuple{"B to A", run.toA, run.relayToA}}) {
        SCOPED_TRACE(name);
        std::printf("%s: %s\n", name, Describe(report).c_str());
        EXPECT_GT(relay.dropped, 0u);
        EXPECT_GT(relay.reordered, 0u);
        EXPECT_GT(relay.duplicated, 0u);
        EXPECT_TRUE(report.recordsAgree) << "the relay saw other packets than the pictures make";
        EXPECT_EQ(report.corrupt, 0u) << "damaged pictures were shown";
        EXPECT_GT(report.showable, 0u);
        EXPECT_GE(static_cast<double>(report.delivered), 0.9 * static_cast<double>(report.showable));
    }
}

TEST_F(ImpairedCall, PictureAndSoundComeBackIntactAfterTheLinkWasDown)
{
    CHostileCall call({"127.0.40.11", "127.0.40.12", "127.0.40.13", "127.0.40.14"}, Impairment{});
    ASSERT_TRUE(call.Start());
    ASSERT_TRUE(call.WaitForPictureBothWays(10s));

    Impairment down;
    down.lossRate = 1.0;
    call.link.SetImpairment(down);
    // Down for three seconds of pictures.
    ASSERT_TRUE(call.a.sent.WaitForCount(call.a.sent.Count() + 90, 10s));
    const auto newestAtB = call.b.host.NewestIntactNumber();
    const auto newestAtA = call.a.host.NewestIntactNumber();
    const auto audioAtB = call.b.decoders.Read().audio;
    const auto audioAtA = call.a.decoders.Read().audio;
    call.link.SetImpairment(Impairment{});
    const auto restored = Clock::now();

    EXPECT_TRUE(call.b.host.WaitForNewIntactFrame(restored, newestAtB, 10s)) << "no picture at B";
    EXPECT_TRUE(call.a.host.WaitForNewIntactFrame(restored, newestAtA, 10s)) << "no picture at A";
    EXPECT_TRUE(call.b.decoders.WaitForMore(CDecoderWatch::Kind::Audio, audioAtB, 10s)) << "no sound at B";
    EXPECT_TRUE(call.a.decoders.WaitForMore(CDecoderWatch::Kind::Audio, audioAtA, 10s)) << "no sound at A";
    call.Stop();
    EXPECT_EQ(call.a.host.CorruptCount() + call.b.host.CorruptCount(), 0u);
}

} // namespace
} // namespace kestrel::media::hostile
