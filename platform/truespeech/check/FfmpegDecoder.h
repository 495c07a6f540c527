#pragma once
// FFmpeg's TrueSpeech decoder behind a small interface: the decoder a peer
// (and GStreamer's avdec_truespeech) plays our frames with. Tests and the
// benchmark hold the encoder to it.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestrel::truespeech {

class FfmpegDecoder {
 public:
  FfmpegDecoder();
  ~FfmpegDecoder();
  FfmpegDecoder(const FfmpegDecoder&) = delete;
  FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

  // Decodes whole 32-byte frames; returns false (with error() set) if the decoder refuses any.
  bool decode(std::span<const uint8_t> frames, std::vector<int16_t>& out);
  const std::string& error() const { return error_; }

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  std::string error_;
};

}  // namespace kestrel::truespeech
