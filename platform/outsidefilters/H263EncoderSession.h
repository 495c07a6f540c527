#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::outsidefilters {

// One H.263 (baseline, ITU) encoding session over libavcodec, for pictures
// that arrive one at a time and must leave at once: no B-frames, no lookahead,
// one thread, and each picture comes out of Encode() before it returns.
//
// libavcodec's rate control only follows the bit rate when its time base is
// the picture period and presentation times count pictures, so the session
// numbers the pictures itself (a nanosecond time base, as gst-libav's
// avenc_h263 gives it, leaves every bit rate at the same near-worst quantiser).
//
// The far end rebuilds each picture into a buffer of kReceiverPictureLimit
// bytes and drops any picture that fills it, so the rate control buffer is
// kept below that size and the bit rate below what it can carry.
class H263EncoderSession {
 public:
  static constexpr int kReceiverPictureLimit = 10240;
  static constexpr int kRateBufferBits = 80000;
  // libavcodec's H.263 encoder adds a key frame on its own after this many
  // pictures at most.
  static constexpr int kLongestGop = 600;

  struct Format {
    int width = 176;
    int height = 144;
    int fpsNumerator = 15;  // 0 when the source does not say: 15 is assumed
    int fpsDenominator = 1;
  };
  // Planar 4:2:0 (I420), borrowed for the call.
  struct Picture {
    const uint8_t* planes[3] = {};
    int strides[3] = {};
  };
  struct Encoded {
    std::vector<uint8_t> bytes;
    bool keyFrame = false;
  };

  H263EncoderSession();
  ~H263EncoderSession();
  H263EncoderSession(const H263EncoderSession&) = delete;
  H263EncoderSession& operator=(const H263EncoderSession&) = delete;

  // Opens a new session (closing any open one); false with Error() set.
  bool Open(const Format& format, unsigned bitrateBps);
  void Close();
  bool IsOpen() const;
  // The bit rate the open session aims at: the one asked for, or less when
  // the pictures per second could not carry it under the receiver's limit.
  unsigned EffectiveBitrate() const { return effectiveBitrate_; }
  static unsigned BitrateCeiling(const Format& format);

  // Encodes one picture, as a key frame when asked (or when the encoder
  // decides to); nothing on failure, with Error() set.
  std::optional<Encoded> Encode(const Picture& picture, bool forceKeyFrame);
  const std::string& Error() const { return error_; }

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
  unsigned effectiveBitrate_ = 0;
  int64_t nextPts_ = 0;
  std::string error_;
};

}  // namespace kestrel::outsidefilters
