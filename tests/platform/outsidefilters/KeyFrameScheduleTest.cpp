#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/outsidefilters/KeyFrameSchedule.h"

using kestrel::outsidefilters::KeyFrameSchedule;
using namespace std::chrono_literals;

namespace {

// Times (ms) of the key frames among pictures every `periodMs` up to `untilMs`.
std::vector<int> KeyTimes(KeyFrameSchedule& schedule, int fromMs, int untilMs, int periodMs) {
  std::vector<int> times;
  for (int t = fromMs; t < untilMs; t += periodMs) {
    if (schedule.IsKeyFrameDue(std::chrono::milliseconds(t))) times.push_back(t);
  }
  return times;
}

}  // namespace

TEST(KeyFrameSchedule, StartsWithAKeyFrameAddsSomeInTheFirstSecondThenKeepsTheInterval) {
  KeyFrameSchedule schedule(2000ms);
  EXPECT_EQ(KeyTimes(schedule, 5000, 12000, 50),
            (std::vector<int>{5000, 5050, 5100, 5200, 5400, 5650, 5900, 7900, 9900, 11900}));
}

// A receiver that starts listening some time after the sender's first
// picture gets a key frame within about that time again, and within 250 ms,
// while the first second lasts (give or take a picture).
TEST(KeyFrameSchedule, AReceiverThatStartsLateWaitsAboutAsLongAgainAtMost) {
  KeyFrameSchedule schedule(1000ms);
  const std::vector<int> keys = KeyTimes(schedule, 0, 2000, 33);
  for (int late = 10; late < 750; late += 10) {
    const auto next = std::find_if(keys.begin(), keys.end(), [late](int key) { return key >= late; });
    ASSERT_NE(next, keys.end());
    EXPECT_LE(*next - late, std::min(std::max(late, 33), 250) + 33) << "starting " << late << " ms late";
  }
}

TEST(KeyFrameSchedule, AnIntervalShorterThanTheStartUpSpacingWinsFromTheStart) {
  KeyFrameSchedule schedule(100ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 500, 50), (std::vector<int>{0, 50, 100, 200, 300, 400}));
}

TEST(KeyFrameSchedule, ANewIntervalCountsFromTheLastKeyFrame) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 2500, 100), (std::vector<int>{0, 100, 200, 400, 700, 1700}));
  schedule.SetInterval(3000ms);
  EXPECT_EQ(KeyTimes(schedule, 2500, 6000, 100), (std::vector<int>{4700}));
}

TEST(KeyFrameSchedule, TimeGoingBackwardsOrARestartStartsANewStream) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 3000, 100), (std::vector<int>{0, 100, 200, 400, 700, 1700, 2700}));
  EXPECT_EQ(KeyTimes(schedule, 100, 1000, 100), (std::vector<int>{100, 200, 300, 500, 800}));
  schedule.Restart();
  EXPECT_EQ(KeyTimes(schedule, 1000, 1600, 100), (std::vector<int>{1000, 1100, 1200, 1400}));
}

TEST(KeyFrameSchedule, AKeyFrameTheEncoderMadeOnItsOwnPostponesTheNext) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 1500, 100), (std::vector<int>{0, 100, 200, 400, 700}));
  schedule.NoteKeyFrame(1500ms);
  EXPECT_EQ(KeyTimes(schedule, 1600, 3000, 100), (std::vector<int>{2500}));
}
