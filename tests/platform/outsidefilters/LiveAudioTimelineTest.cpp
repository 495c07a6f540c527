#include <gtest/gtest.h>

#include <cmath>
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
  bool afterDrop = false;
  Nanoseconds lastEnd{0};
  for (int i = 0; i < 2000; ++i) {
    // 1 % fast: a frame every 29.7 ms.
    const Nanoseconds arrival = Nanoseconds(i * 29700000LL);
    const auto placed = timeline.Place(arrival, kFrame);
    if (!placed) {
      ++dropped;
      afterDrop = true;
      continue;
    }
    // What follows a dropped buffer says so; nothing else breaks the stream.
    EXPECT_EQ(placed->discontinuity, i == 0 || afterDrop) << i;
    afterDrop = false;
    // Ahead by at most a buffer plus what the drift adds in two windows.
    EXPECT_LE(placed->time - arrival, 30ms + 2 * 20ms) << i;
    EXPECT_GE(placed->time + 60ms, arrival) << i;
    lastEnd = placed->time + placed->duration;
  }
  // 2000 frames came in 59.4 s, 0.6 s early: about that much had to go.
  EXPECT_NEAR(dropped, 18, 2);
  EXPECT_GT(lastEnd, 59s);
}

// The original program captures 4000 bytes at 8 kHz, 250 ms, at a time: its
// frames come eight together, most of them far ahead of their place.
TEST(LiveAudioTimeline, FramesThatComeTogetherFromALongCaptureBufferAreAllKept) {
  LiveAudioTimeline timeline(8000, 60ms);
  std::optional<LiveAudioTimeline::Placement> previous;
  for (int i = 0; i < 400; ++i) {
    // Frame i ends at 30 ms (i + 1); it leaves when the 250 ms buffer holding its end is full.
    const int64_t endMs = 30 * (i + 1);
    const Nanoseconds arrival = std::chrono::milliseconds((endMs + 249) / 250 * 250) + 3ms;
    const auto placed = timeline.Place(arrival, kFrame);
    ASSERT_TRUE(placed) << "frame " << i << " dropped";
    if (previous) {
      EXPECT_FALSE(placed->discontinuity) << i;
      EXPECT_EQ(placed->time, previous->time + previous->duration) << i;
    }
    previous = placed;
  }
}

// This program's own microphone gives a buffer every 41.7 ms, so one or two
// frames leave at once, each up to a buffer after its end. The timeline
// settles within a second on the latest of them and then plays on without a
// break, each frame `latency` after its arrival at most.
TEST(LiveAudioTimeline, FramesOfAShortCaptureBufferSettleOnTheLatestAndPlayOn) {
  for (const auto phase : {0ms, 7ms, 19ms, 33ms}) {
    SCOPED_TRACE(phase.count());
    LiveAudioTimeline timeline(8000, 20ms);
    const double bufferMs = 2000.0 / 48.0;
    for (int i = 0; i < 1000; ++i) {
      const double endMs = 30.0 * (i + 1) + double(phase.count());
      const double leftMs = std::ceil(endMs / bufferMs) * bufferMs;
      const Nanoseconds arrival = 1s + Nanoseconds(int64_t(leftMs * 1e6)) + Jitter(i) / 10;
      const auto placed = timeline.Place(arrival, kFrame);
      ASSERT_TRUE(placed) << i;
      EXPECT_GE(placed->time + 20ms, arrival) << i;
      if (arrival > 2s) {
        EXPECT_FALSE(placed->discontinuity) << i;
        EXPECT_LE(placed->time - arrival, std::chrono::milliseconds(int64_t(bufferMs)) + 20ms) << i;
      }
    }
  }
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
