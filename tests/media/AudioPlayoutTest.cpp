#include "media/AudioPlayout.h"

#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kFrame = 30 * kMs;

CAudioPlayout::HandOver Synced(std::int64_t handedNs, std::int64_t playNs, bool discontinuous = false)
{
    return {handedNs, playNs, kFrame, discontinuous};
}

CAudioPlayout::HandOver OnArrival(std::int64_t handedNs)
{
    return {handedNs, std::nullopt, kFrame, false};
}

TEST(AudioPlayout, AStreamOnItsTimelineHandedOverInTimePlaysWithoutAGap)
{
    CAudioPlayout playout;
    for (int i = 0; i < 1000; ++i) {
        // Handed over anywhere from 25 ms to a moment before it plays.
        const std::int64_t play = 1000 * kMs + i * kFrame;
        EXPECT_FALSE(playout.Take(Synced(play - ((i * 7) % 25) * kMs, play))) << i;
    }
    // A sink that plays on arrival, fed faster than it plays: all queued.
    CAudioPlayout onArrival;
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(onArrival.Take(OnArrival(i * 20 * kMs))) << i;
    EXPECT_EQ(playout.Gaps() + onArrival.Gaps(), 0u);
}

TEST(AudioPlayout, EachWayTheSoundBreaksIsOneGap)
{
    CAudioPlayout playout;
    std::int64_t play = 1000 * kMs;
    auto next = [&](std::int64_t handedBefore, std::int64_t shift = 0, bool discontinuous = false) {
        play += shift;
        const bool gap = playout.Take(Synced(play - handedBefore, play, discontinuous));
        play += kFrame;
        return gap;
    };
    EXPECT_FALSE(next(10 * kMs)) << "the first buffer starts the sound";
    EXPECT_FALSE(next(10 * kMs));
    EXPECT_TRUE(next(-5 * kMs)) << "handed over 5 ms after it was due: the card ran dry";
    EXPECT_FALSE(next(10 * kMs)) << "playing on from the late buffer";
    EXPECT_FALSE(next(30 * kMs, 20 * kMs)) << "20 ms ahead, in time to follow on: the sink plays on";
    EXPECT_TRUE(next(10 * kMs, 50 * kMs)) << "the timeline jumps 50 ms ahead: silence";
    EXPECT_FALSE(next(10 * kMs, -10 * kMs)) << "10 ms back: the sink plays on";
    EXPECT_TRUE(next(60 * kMs, -50 * kMs)) << "50 ms back: audio skipped";
    EXPECT_TRUE(next(10 * kMs, 0, true)) << "the stream says audio is missing";
    EXPECT_FALSE(next(10 * kMs, 0, false));
    EXPECT_EQ(playout.Gaps(), 4u);

    playout.Restart();
    EXPECT_FALSE(next(10 * kMs, 5000 * kMs, true)) << "a new stream starts afresh";
    EXPECT_EQ(playout.Gaps(), 4u);

    CAudioPlayout onArrival;
    EXPECT_FALSE(onArrival.Take(OnArrival(0)));
    EXPECT_FALSE(onArrival.Take(OnArrival(29 * kMs)));
    EXPECT_TRUE(onArrival.Take(OnArrival(80 * kMs))) << "the card ran dry at 60 ms";
    EXPECT_EQ(onArrival.Gaps(), 1u);
}

} // namespace
} // namespace kestrel::media
