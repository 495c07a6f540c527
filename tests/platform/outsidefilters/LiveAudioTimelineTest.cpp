#include <gtest/gtest.h>

#include <vector>

#include "platform/outsidefilters/LiveAudioTimeline.h"

using kestrel::outsidefilters::LiveAudioTimeline;
using namespace std::chrono_literals;
using Nanoseconds = LiveAudioTimeline::Nanoseconds;

namespace {

constexpr uint64_t kFrame = 240;  // one TrueSpeech frame: 30 ms at 8 kHz

// Jitter of a network path, repeatable: -20..+20 ms.
Nanoseconds Jitter(int i) { return std::chrono::milliseconds(((i * 37) % 41) - 20); }

}  // namespace

TEST(LiveAudioTimeline, JitterBelowTheLatencyKeepsTheStreamContinuous) {
  LiveAudioTimeline timeline(8000, 60ms);
  std::optional<LiveAudioTimeline::Placement> previous;
  for (int i = 0; i < 1000; ++i) {
    const Nanoseconds arrival = 5s + i * 30ms + Jitter(i);
    const auto placed = timeline.Place(arrival, kFrame);
    ASSERT_TRUE(placed) << i;
    EXPECT_EQ(placed->duration, 30ms);
    EXPECT_EQ(placed->discontinuity, i == 0) << i;
    // Played at its place plus the latency, no buffer is ever late.
    EXPECT_GE(placed->time + 60ms, arrival) << i;
    if (previous) {
      EXPECT_EQ(placed->time, previous->time + previous->duration) << i;
    }
    previous = placed;
  }
}

TEST(LiveAudioTimeline, ABufferLaterThanTheLatencyStartsAgainAtItsArrival) {
  LiveAudioTimeline timeline(8000, 60ms);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(timeline.Place(i * 30ms, kFrame));
  // The next one was due at 300 ms; the network stalled for half a second.
  const auto late = timeline.Place(800ms, kFrame);
  ASSERT_TRUE(late);
  EXPECT_TRUE(late->discontinuity);
  EXPECT_EQ(late->time, 800ms);
  const auto next = timeline.Place(830ms, kFrame);
  EXPECT_FALSE(next->discontinuity);
  EXPECT_EQ(next->time, 830ms);
  // Just inside the latency: still in its place.
  const auto lateButInTime = timeline.Place(860ms + 60ms, kFrame);
  EXPECT_FALSE(lateButInTime->discontinuity);
  EXPECT_EQ(lateButInTime->time, 860ms);
}

TEST(LiveAudioTimeline, ASenderWhoseClockRunsFastHasBuffersDroppedSoTheDelayStaysBounded) {
  LiveAudioTimeline timeline(8000, 60ms);
  int dropped = 0;
  Nanoseconds lastEnd{0};
  for (int i = 0; i < 2000; ++i) {
    // 1 % fast: a frame every 29.7 ms.
    const Nanoseconds arrival = Nanoseconds(i * 29700000LL);
    const auto placed = timeline.Place(arrival, kFrame);
    if (!placed) {
      ++dropped;
      continue;
    }
    EXPECT_FALSE(placed->discontinuity && i != 0);
    EXPECT_LE(placed->time - arrival, 120ms + 30ms) << i;
    lastEnd = placed->time + placed->duration;
  }
  // 2000 frames came in 59.4 s, 0.6 s early: what the allowance of 120 ms
  // does not cover had to go.
  EXPECT_NEAR(dropped, 17, 2);
  EXPECT_GT(lastEnd, 59s);
}

TEST(LiveAudioTimeline, ABurstAfterAStallIsKept) {
  LiveAudioTimeline timeline(8000, 60ms);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(timeline.Place(i * 30ms, kFrame));
  // Three frames held up 50 ms arrive together.
  for (int i = 10; i < 13; ++i) {
    const auto placed = timeline.Place(350ms, kFrame);
    ASSERT_TRUE(placed);
    EXPECT_FALSE(placed->discontinuity);
    EXPECT_EQ(placed->time, i * 30ms);
  }
}

TEST(LiveAudioTimeline, WithoutAClockTheStreamRunsOnFromZero) {
  LiveAudioTimeline timeline(8000, 60ms);
  EXPECT_EQ(timeline.Place(std::nullopt, kFrame)->time, 0ms);
  EXPECT_EQ(timeline.Place(std::nullopt, 3 * kFrame)->time, 30ms);
  EXPECT_EQ(timeline.Place(std::nullopt, kFrame)->time, 120ms);
}

TEST(LiveAudioTimeline, OddBufferSizesAddUpWithoutDrift) {
  LiveAudioTimeline timeline(44100, 60ms);
  Nanoseconds end{0};
  uint64_t samples = 0;
  for (int i = 0; i < 100000; ++i) {
    const uint64_t size = 441 + (i % 7);
    const auto placed = timeline.Place(std::nullopt, size);
    EXPECT_EQ(placed->time, end);
    end = placed->time + placed->duration;
    samples += size;
  }
  EXPECT_EQ(end.count(), int64_t(samples / 44100) * 1000000000LL + int64_t(samples % 44100 * 1000000000ull / 44100));
}

TEST(LiveAudioTimeline, ResetStartsANewStream) {
  LiveAudioTimeline timeline(8000, 60ms);
  ASSERT_TRUE(timeline.Place(1s, kFrame));
  timeline.Reset(16000);
  const auto placed = timeline.Place(1s + 10ms, 160);
  EXPECT_TRUE(placed->discontinuity);
  EXPECT_EQ(placed->time, 1s + 10ms);
  EXPECT_EQ(placed->duration, 10ms);
}
