#pragma once

#include <atomic>
#include <cstdint>
#include <span>

namespace kestrel::outsidefilters {

// The picture type an H.263 picture header announces, baseline (PTYPE) or
// H.263 version 2 (PLUSPTYPE).
enum class H263PictureType { Intra, Inter, Unknown };
H263PictureType ReadH263PictureType(std::span<const uint8_t> picture);

// Keeps the decoder from showing a picture predicted from one it never got.
// The RTP source drops a picture with a hole and marks the next buffer
// discontinuous; every inter picture after that refers to something the
// decoder lacks, and libavcodec would show it built on the older picture
// (a wrong picture that no bitstream check notices). So after a
// discontinuity, and before the first picture, only a key frame passes;
// everything up to it is dropped. The sender has no feedback channel to be
// asked for one: its key-frame interval bounds the wait.
//
// Threads: Take on the streaming thread; Restart from whichever thread
// flushes or starts a stream.
class H263KeyFrameGate {
 public:
  // Whether the decoder may take `picture`; `discontinuity` says that
  // something was lost just before it.
  bool Take(std::span<const uint8_t> picture, bool discontinuity);
  // A flush or a new stream: wait for a key frame again.
  void Restart() { waiting_ = true; }
  bool Waiting() const { return waiting_; }

 private:
  std::atomic<bool> waiting_{true};
};

}  // namespace kestrel::outsidefilters
