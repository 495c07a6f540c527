#pragma once
// What a peer of the call benchmark measures, on the streaming threads of its
// graphs, with CLOCK_MONOTONIC times (the clock the test camera paints and the
// test microphone's bursts fall on, and GStreamer's system clock).

#include "media/AudioPlayout.h"
#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/testpattern/TestMicrophoneOnsetDetector.h"

#include <gst/gst.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::bench {

int64_t MonotonicNs();

// Events with the time they belong to, kept from the start and filtered by
// that time afterwards, so what arrives after the window still counts for
// what was sent inside it.
struct TimedValue {
    int64_t atNs;  // when the thing measured was made (captured, sent)
    int64_t value; // in microseconds unless said otherwise
};

class EventLog {
public:
    void Add(int64_t atNs, int64_t value);
    // The values whose time lies in [fromNs, toNs).
    std::vector<int64_t> Between(int64_t fromNs, int64_t toNs) const;
    std::size_t CountBetween(int64_t fromNs, int64_t toNs) const;

private:
    mutable std::mutex eventsLock; // guards events
    std::vector<TimedValue> events;
};

// Frames read back from the test camera's picture where they are shown:
// glass-to-glass delay by capture time, frame numbers for losses, the first
// intact frame after the call's start.
class ShownFrames {
public:
    void SetCallStart(int64_t startNs) { callStartNs = startNs; }
    // One BGRx frame as a renderer shows it.
    void Show(const uint8_t *pixels, int width, int height, int stride);
    // Handlers for the renderer's "frame-shown" and a fakesink's "handoff".
    static void OnFrameShown(GstElement *, GstSample *sample, gpointer self);
    static void OnHandoff(GstElement *, GstBuffer *buffer, GstPad *pad, gpointer self);

    struct Window {
        std::vector<int64_t> delaysUs;
        std::size_t intact = 0;
        std::size_t corrupt = 0;
        std::size_t lost = 0; // frame numbers captured in the window never shown intact
    };
    Window Summarise(int64_t fromNs, int64_t toNs) const;
    std::optional<int64_t> FirstFrameUs() const;

private:
    struct Frame {
        int64_t capturedNs;
        int64_t delayUs;
        uint32_t number;
        bool intact;
    };
    mutable std::mutex framesLock; // guards the fields below
    std::vector<Frame> frames;
    std::optional<int64_t> firstIntactNs;
    int64_t callStartNs = 0;
};

// Time a buffer takes from one pad to another on the same thread: the input
// of an element whose output leaves before its chain function returns.
class PadToPad {
public:
    PadToPad(GstPad *in, GstPad *out, EventLog &log);
    ~PadToPad();
    PadToPad(const PadToPad &) = delete;
    PadToPad &operator=(const PadToPad &) = delete;

private:
    static GstPadProbeReturn In(GstPad *, GstPadProbeInfo *, gpointer self);
    static GstPadProbeReturn Out(GstPad *, GstPadProbeInfo *, gpointer self);
    platform::GstRef<GstPad> inPad, outPad;
    gulong inProbe = 0, outProbe = 0;
    EventLog &log;
    int64_t enteredNs = 0; // on the streaming thread only
};

// How long after its capture a buffer passes a pad: the clock's time then
// less the buffer's capture time (base time + running time of its PTS).
class SinceCapture {
public:
    SinceCapture(GstPad *pad, EventLog &log);
    ~SinceCapture();
    SinceCapture(const SinceCapture &) = delete;
    SinceCapture &operator=(const SinceCapture &) = delete;

private:
    static GstPadProbeReturn OnBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    platform::GstRef<GstPad> pad;
    gulong probe = 0;
    EventLog &log;
};

// When the first buffer passed a pad.
class FirstBuffer {
public:
    explicit FirstBuffer(GstPad *pad);
    ~FirstBuffer();
    FirstBuffer(const FirstBuffer &) = delete;
    FirstBuffer &operator=(const FirstBuffer &) = delete;
    std::optional<int64_t> AtNs() const;

private:
    static GstPadProbeReturn OnBuffer(GstPad *, GstPadProbeInfo *, gpointer self);
    platform::GstRef<GstPad> pad;
    gulong probe = 0;
    std::atomic<int64_t> atNs{0};
};

// The peer's audio where it is handed to the audio sink: each buffer's first
// sample is heard when the sink plays it (its running time + the pipeline's
// latency on the clock, for a sink that syncs; else at once). The test
// microphone's burst onsets in it give the mouth-to-ear delay; the playout
// model counts gaps as a sound card fed by the sink would play them.
class HeardAudio {
public:
    HeardAudio(GstElement *audioSink, int64_t burstIntervalNs);
    ~HeardAudio();
    HeardAudio(const HeardAudio &) = delete;
    HeardAudio &operator=(const HeardAudio &) = delete;

    const EventLog &EarDelays() const { return heard; }       // by burst onset at the microphone
    const EventLog &HandedDelays() const { return handed; }   // likewise, at the hand-over
    const EventLog &Gaps() const { return gaps; }             // by play time
    std::string Problem() const;                             // why nothing could be measured

private:
    static GstPadProbeReturn OnBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    void Take(GstPad *pad, GstBuffer *buffer);

    platform::GstRef<GstPad> sinkPad;
    platform::GstRef<GstElement> sink;
    gulong probe = 0;
    int64_t burstIntervalNs;
    // Streaming thread only.
    struct Played {
        int64_t startNs = 0, endNs = 0, handedNs = 0;
    };
    std::optional<testpattern::TestMicrophoneOnsetDetector> detector;
    std::array<Played, 64> recent{}; // the last buffers played, a ring
    std::size_t nextRecent = 0;
    int rate = 0;
    media::CAudioPlayout playout;
    EventLog heard, handed, gaps;
    mutable std::mutex problemLock;
    std::string problem;
};

// Processor time of this process (user + system), in nanoseconds.
int64_t ProcessCpuNs();
// Processor time of each of this process's threads by name (GStreamer names
// streaming threads after their element's pad), in nanoseconds.
std::map<std::string, int64_t> ThreadCpuNs();

} // namespace kestrel::bench
