#pragma once

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <cstdint>
#include <optional>

namespace kestrel::media {

// Follows what a sound card fed by an audio sink plays, to count the gaps a
// listener hears: the card plays without a break from the first sample on,
// so a buffer that is handed over after what was in hand ran out (an
// underrun), a timeline that jumps ahead or back by more than GStreamer's
// audio sinks smooth over (silence in between, or audio skipped), or a
// stream that says data is missing before a buffer, each is one gap. A sink
// that syncs plays each buffer at its own time; one that does not, on
// arrival.
//
// Plain arithmetic on clock times in nanoseconds; not thread-safe.
class CAudioPlayout {
public:
    // Within this much a buffer continues the one before: a sample or two of
    // rounding, or the moment a sink takes to write.
    static constexpr std::int64_t kToleranceNs = 1'000'000;
    // How far a timeline may step and still be played on without a break;
    // GStreamer's audio sinks realign beyond this (their default alignment
    // threshold).
    static constexpr std::int64_t kAlignmentNs = 40'000'000;

    struct HandOver {
        std::int64_t handedNs = 0;            // when the sink is given the buffer
        std::optional<std::int64_t> playNs;   // when it is due, for a sink that syncs
        std::int64_t durationNs = 0;
        bool discontinuous = false;           // the stream says data is missing before it
    };

    // True when a gap comes before this buffer.
    bool Take(const HandOver &buffer);
    // A new stream: the next buffer starts playing afresh, without a gap.
    void Restart() { playedUntilNs.reset(); }
    std::uint64_t Gaps() const { return gaps; }

private:
    std::optional<std::int64_t> playedUntilNs;
    std::uint64_t gaps = 0;
};

// What `buffer` (audio of `format`), about to leave `pad` for the audio sink
// linked to it (the pad's peer, or a sink inside the peer's bin), means to
// that sink: when it is handed over and, when the sink syncs to its clock,
// when it plays (its running time, on the sink's base time, plus the latency
// the pipeline gave the sink). Nothing when there is no sink or no clock yet.
// Called on the streaming thread.
std::optional<CAudioPlayout::HandOver> DescribeHandOver(GstPad *pad, GstBuffer *buffer, const GstAudioInfo &format);

} // namespace kestrel::media
