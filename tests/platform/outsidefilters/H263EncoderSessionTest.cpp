#include <gtest/gtest.h>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/H263EncoderSession.h"

using kestrel::outsidefilters::H263EncoderSession;
using kestrel::outsidefilters::test::MovingI420;

namespace {

// Bits per second over `seconds` of pictures at `fps` (the first second
// left out: it holds the first key frame).
double MeasuredRate(unsigned bitrate, int fps, int seconds) {
  H263EncoderSession session;
  H263EncoderSession::Format format;
  format.fpsNumerator = fps;
  EXPECT_TRUE(session.Open(format, bitrate)) << session.Error();
  size_t bytes = 0;
  for (int i = 0; i < fps * (seconds + 1); ++i) {
    const auto picture = MovingI420(176, 144, i, 4);
    H263EncoderSession::Picture planes;
    planes.planes[0] = picture.data();
    planes.planes[1] = picture.data() + 176 * 144;
    planes.planes[2] = picture.data() + 176 * 144 * 5 / 4;
    planes.strides[0] = 176;
    planes.strides[1] = planes.strides[2] = 88;
    const auto encoded = session.Encode(planes, i == 0);
    EXPECT_TRUE(encoded) << session.Error();
    if (encoded && i >= fps) bytes += encoded->bytes.size();
  }
  return bytes * 8.0 / seconds;
}

}  // namespace

// The rate control must follow the bit rate asked for (with a nanosecond
// time base it stays at one rate whatever is asked).
TEST(H263EncoderSession, TheRateFollowsTheBitRateAskedFor) {
  const double low = MeasuredRate(64000, 15, 4);
  const double high = MeasuredRate(256000, 15, 4);
  EXPECT_NEAR(low, 64000, 20000);
  EXPECT_NEAR(high, 256000, 60000);
}

TEST(H263EncoderSession, AtLowFrameRatesTheRateIsCappedSoPicturesFitTheReceiver) {
  H263EncoderSession::Format slow;
  slow.fpsNumerator = 5;
  EXPECT_EQ(H263EncoderSession::BitrateCeiling(slow), 200000u);
  H263EncoderSession session;
  ASSERT_TRUE(session.Open(slow, 1000000));
  EXPECT_EQ(session.EffectiveBitrate(), 200000u);
  H263EncoderSession::Format usual;  // 15 pictures per second
  ASSERT_TRUE(session.Open(usual, 128000));
  EXPECT_EQ(session.EffectiveBitrate(), 128000u);
}

TEST(H263EncoderSession, UnknownFrameRatesAndUnopenedSessionsAreHandled) {
  H263EncoderSession session;
  EXPECT_FALSE(session.Encode({}, false));
  EXPECT_FALSE(session.Error().empty());
  H263EncoderSession::Format unknown;
  unknown.fpsNumerator = 0;
  unknown.fpsDenominator = 1;
  EXPECT_TRUE(session.Open(unknown, 128000)) << session.Error();
  H263EncoderSession::Format cif;
  cif.width = 177;  // not an H.263 picture size
  EXPECT_FALSE(session.Open(cif, 128000));
  EXPECT_FALSE(session.IsOpen());
}
