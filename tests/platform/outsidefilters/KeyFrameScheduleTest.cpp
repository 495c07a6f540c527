#include <gtest/gtest.h>

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
  EXPECT_EQ(KeyTimes(schedule, 5000, 12000, 50), (std::vector<int>{5000, 5250, 5500, 5750, 7750, 9750, 11750}));
}

TEST(KeyFrameSchedule, AnIntervalShorterThanTheStartUpSpacingWinsFromTheStart) {
  KeyFrameSchedule schedule(100ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 500, 50), (std::vector<int>{0, 100, 200, 300, 400}));
}

TEST(KeyFrameSchedule, ANewIntervalCountsFromTheLastKeyFrame) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 2500, 100), (std::vector<int>{0, 300, 600, 900, 1900}));
  schedule.SetInterval(3000ms);
  EXPECT_EQ(KeyTimes(schedule, 2500, 6000, 100), (std::vector<int>{4900}));
}

TEST(KeyFrameSchedule, TimeGoingBackwardsOrARestartStartsANewStream) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 3000, 100), (std::vector<int>{0, 300, 600, 900, 1900, 2900}));
  EXPECT_EQ(KeyTimes(schedule, 100, 1000, 100), (std::vector<int>{100, 400, 700}));
  schedule.Restart();
  EXPECT_EQ(KeyTimes(schedule, 1000, 1600, 100), (std::vector<int>{1000, 1300}));
}

TEST(KeyFrameSchedule, AKeyFrameTheEncoderMadeOnItsOwnPostponesTheNext) {
  KeyFrameSchedule schedule(1000ms);
  EXPECT_EQ(KeyTimes(schedule, 0, 1500, 100), (std::vector<int>{0, 300, 600, 900}));
  schedule.NoteKeyFrame(1500ms);
  EXPECT_EQ(KeyTimes(schedule, 1600, 3000, 100), (std::vector<int>{2500}));
}
