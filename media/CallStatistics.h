#pragma once

#include <gst/gst.h>

#include "media/AudioPlayout.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace kestrel::media {

// What a call's media did, counted from 0 when the call's media start:
// H.263 frames handed to the RTP sender, video frames decoded and shown by
// the remote renderer, 30 ms TrueSpeech frames (32 bytes) handed to the
// sender, 30 ms of the peer's decoded audio handed on to the audio sink, and
// the gaps a listener hears in it (CAudioPlayout: the sound card ran dry, or
// the stream jumped or lost audio).
//
// Threads: the counters are bumped on the graphs' streaming threads through
// pad probes and the renderer's signal, and read from any thread.
class CCallStatistics {
public:
    struct Counts {
        std::uint64_t videoOut = 0;
        std::uint64_t videoIn = 0;
        std::uint64_t audioOut = 0;
        std::uint64_t audioIn = 0;
        std::uint64_t audioGaps = 0;
    };

    static constexpr int kTrueSpeechFrameBytes = 32;
    static constexpr int kAudioFrameMs = 30;

    CCallStatistics() = default;
    CCallStatistics(const CCallStatistics &) = delete;
    CCallStatistics &operator=(const CCallStatistics &) = delete;

    void Reset();
    Counts Read() const;
    // "stats video-out=N video-in=N audio-out=N audio-in=N audio-gaps=N"
    static std::string Format(const Counts &counts);

    // Probes on the sender's pads: every buffer on `videoTransport` is one
    // H.263 frame, every 32 bytes on `audioTransport` one TrueSpeech frame.
    void WatchSender(GstPad *videoTransport, GstPad *audioTransport);
    // The remote renderer's shown frames.
    void WatchRenderer(GstElement *renderer);
    // Raw audio leaving the decoder for the audio sink, in 30 ms frames, and
    // how the sink will play it.
    void WatchDecodedAudio(GstPad *decodedAudio);

private:
    static GstPadProbeReturn CountVideoOut(GstPad *, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn CountAudioOut(GstPad *, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn CountAudioIn(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn RestartPlayout(GstPad *, GstPadProbeInfo *info, gpointer self);
    static void CountVideoIn(GstElement *, GstSample *, gpointer self);

    std::atomic<std::uint64_t> videoOut{0};
    std::atomic<std::uint64_t> videoIn{0};
    std::atomic<std::uint64_t> audioOutBytes{0};
    std::atomic<std::uint64_t> audioInMicroseconds{0};
    std::atomic<std::uint64_t> audioGaps{0};
    std::mutex playoutLock; // guards playout (the call's start resets it while a stream may still end)
    CAudioPlayout playout;
};

} // namespace kestrel::media
