#include "platform/truespeech/check/FfmpegDecoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

#include "platform/truespeech/TrueSpeechTables.h"

namespace kestrel::truespeech {

struct FfmpegDecoder::Context {
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  ~Context() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
  }
};

namespace {
std::string describe(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string(what) + ": " + text;
}
}  // namespace

FfmpegDecoder::FfmpegDecoder() : context_(std::make_unique<Context>()) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_TRUESPEECH);
  if (codec == nullptr) {
    error_ = "FFmpeg has no TrueSpeech decoder";
    return;
  }
  context_->codec = avcodec_alloc_context3(codec);
  context_->packet = av_packet_alloc();
  context_->frame = av_frame_alloc();
  context_->codec->sample_rate = 8000;
  context_->codec->block_align = kFrameBytes;
  av_channel_layout_default(&context_->codec->ch_layout, 1);
  if (const int rc = avcodec_open2(context_->codec, codec, nullptr); rc < 0) {
    error_ = describe("avcodec_open2", rc);
    avcodec_free_context(&context_->codec);
  }
}

FfmpegDecoder::~FfmpegDecoder() = default;

bool FfmpegDecoder::decode(std::span<const uint8_t> frames, std::vector<int16_t>& out) {
  if (context_->codec == nullptr) return false;
  for (size_t at = 0; at + kFrameBytes <= frames.size(); at += kFrameBytes) {
    if (const int rc = av_new_packet(context_->packet, kFrameBytes); rc < 0) {
      error_ = describe("av_new_packet", rc);
      return false;
    }
    std::memcpy(context_->packet->data, frames.data() + at, kFrameBytes);
    const int sent = avcodec_send_packet(context_->codec, context_->packet);
    av_packet_unref(context_->packet);
    if (sent < 0) {
      error_ = describe("avcodec_send_packet", sent);
      return false;
    }
    int received;
    while ((received = avcodec_receive_frame(context_->codec, context_->frame)) == 0) {
      if (context_->frame->format != AV_SAMPLE_FMT_S16) {
        error_ = "unexpected sample format from the decoder";
        return false;
      }
      const auto* samples = reinterpret_cast<const int16_t*>(context_->frame->data[0]);
      out.insert(out.end(), samples, samples + context_->frame->nb_samples);
      av_frame_unref(context_->frame);
    }
    if (received != AVERROR(EAGAIN)) {
      error_ = describe("avcodec_receive_frame", received);
      return false;
    }
  }
  return true;
}

}  // namespace kestrel::truespeech
