#include "platform/outsidefilters/H263EncoderSession.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace kestrel::outsidefilters {

struct H263EncoderSession::Codec {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  Codec() = default;
  Codec(const Codec&) = delete;
  Codec& operator=(const Codec&) = delete;
  ~Codec() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
  }
};

namespace {

std::string Describe(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

AVRational PicturePeriod(const H263EncoderSession::Format& format) {
  if (format.fpsNumerator <= 0 || format.fpsDenominator <= 0) return AVRational{1, 15};
  return AVRational{format.fpsDenominator, format.fpsNumerator};
}

}  // namespace

H263EncoderSession::H263EncoderSession() = default;
H263EncoderSession::~H263EncoderSession() = default;

unsigned H263EncoderSession::BitrateCeiling(const Format& format) {
  // An average picture may use at most half the rate control buffer.
  const AVRational period = PicturePeriod(format);
  return static_cast<unsigned>(int64_t{kRateBufferBits} / 2 * period.den / period.num);
}

bool H263EncoderSession::Open(const Format& format, unsigned bitrateBps) {
  Close();
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_H263);
  if (encoder == nullptr) {
    error_ = "libavcodec has no H.263 encoder";
    return false;
  }
  auto codec = std::make_unique<Codec>();
  codec->context = avcodec_alloc_context3(encoder);
  codec->frame = av_frame_alloc();
  codec->packet = av_packet_alloc();
  if (codec->context == nullptr || codec->frame == nullptr || codec->packet == nullptr) {
    error_ = "out of memory for the H.263 encoder";
    return false;
  }
  effectiveBitrate_ = std::min(bitrateBps, BitrateCeiling(format));
  AVCodecContext* c = codec->context;
  c->width = format.width;
  c->height = format.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = PicturePeriod(format);
  c->framerate = av_inv_q(c->time_base);
  c->bit_rate = effectiveBitrate_;
  c->rc_max_rate = effectiveBitrate_;
  c->rc_buffer_size = kRateBufferBits;
  c->gop_size = kLongestGop;
  c->max_b_frames = 0;
  // Baseline H.263 codes no coefficient beyond +-127, so at the small
  // quantisers a generous bit rate allows, a block that changes a lot
  // (dark to bright) cannot be coded as a difference: libavcodec's default
  // choice codes it anyway, clipped, and the far end shows a block 150
  // levels off until the next key frame. Choosing each macroblock's mode by
  // its real distortion codes such blocks intra instead.
  c->mb_decision = FF_MB_DECISION_RD;
  c->thread_count = 1;
  if (const int result = avcodec_open2(c, encoder, nullptr); result < 0) {
    error_ = Describe("cannot open the H.263 encoder", result);
    return false;
  }
  codec_ = std::move(codec);
  nextPts_ = 0;
  error_.clear();
  return true;
}

void H263EncoderSession::Close() { codec_.reset(); }

bool H263EncoderSession::IsOpen() const { return codec_ != nullptr; }

std::optional<H263EncoderSession::Encoded> H263EncoderSession::Encode(const Picture& picture, bool forceKeyFrame) {
  if (!codec_) {
    error_ = "the H.263 encoder is not open";
    return std::nullopt;
  }
  AVFrame* frame = codec_->frame;
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = codec_->context->width;
  frame->height = codec_->context->height;
  for (int plane = 0; plane < 3; ++plane) {
    // The encoder copies a frame it does not hold a reference to.
    frame->data[plane] = const_cast<uint8_t*>(picture.planes[plane]);
    frame->linesize[plane] = picture.strides[plane];
  }
  frame->pts = nextPts_++;
  frame->pict_type = forceKeyFrame ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  const int sent = avcodec_send_frame(codec_->context, frame);
  av_frame_unref(frame);
  if (sent < 0) {
    error_ = Describe("cannot encode a picture", sent);
    return std::nullopt;
  }
  Encoded encoded;
  while (true) {
    const int received = avcodec_receive_packet(codec_->context, codec_->packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
    if (received < 0) {
      error_ = Describe("cannot take an encoded picture", received);
      return std::nullopt;
    }
    encoded.bytes.insert(encoded.bytes.end(), codec_->packet->data, codec_->packet->data + codec_->packet->size);
    encoded.keyFrame = encoded.keyFrame || (codec_->packet->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(codec_->packet);
  }
  return encoded;
}

}  // namespace kestrel::outsidefilters
