#include <gtest/gtest.h>

#include <random>

#include "platform/truespeech/TrueSpeechSynthesis.h"
#include "platform/truespeech/check/FfmpegDecoder.h"

using namespace kestrel::truespeech;

// The encoder searches against this mirror; if it drifts from FFmpeg's
// decoder by one bit, the encoder's idea of the far end's state goes wrong.
TEST(TrueSpeechSynthesis, MirrorDecodesRandomFramesExactlyAsFfmpeg) {
  std::mt19937 random(11);
  std::vector<uint8_t> stream(400 * kFrameBytes);
  for (auto& byte : stream) byte = static_cast<uint8_t>(random());

  FfmpegDecoder ffmpeg;
  std::vector<int16_t> expected;
  ASSERT_TRUE(ffmpeg.decode(stream, expected)) << ffmpeg.error();
  ASSERT_EQ(expected.size(), 400U * kFrameSamples);

  TrueSpeechSynthesis mirror;
  std::vector<int16_t> actual(expected.size());
  for (size_t i = 0; i < 400; ++i) {
    mirror.decode(std::span<const uint8_t, kFrameBytes>(stream.data() + i * kFrameBytes, kFrameBytes),
                  std::span<int16_t, kFrameSamples>(actual.data() + i * kFrameSamples, kFrameSamples));
  }
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "sample " << i;
}
