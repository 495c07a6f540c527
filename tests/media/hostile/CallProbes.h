#pragma once
// What a call-level test sees of the real media graphs: every frame the far
// end's renderer shows, read back with the test camera's stamp, and every
// H.263 picture the sender hands to the network, with the camera frame it
// was made from.

#include "media/MediaGraph.h"
#include "media/VideoWindow.h"
#include "platform/gst/GstRef.h"

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::hostile {

using Clock = std::chrono::steady_clock;
using platform::GstMiniRef;
using platform::GstRef;

// One frame the renderer showed.
struct ShownFrame {
    std::optional<std::uint32_t> number; // the camera's frame number; none when the stamp is unreadable
    bool intact = false;                 // the stamp's checksum holds: no part of the picture is wrong
    Clock::time_point at;
    std::int64_t latencyUs = 0;          // from capture to showing, for an intact frame
};

// A headless video host: the builder gives it the renderer, and it reads
// the test camera's stamp from every frame the renderer shows.
//
// Threads: AttachRenderer on the builder's (user-interface) thread; the
// handler on the renderer's streaming thread; the readers on any thread,
// all under framesLock.
class CFrameCheckHost final : public IVideoHost {
public:
    CFrameCheckHost() = default;
    ~CFrameCheckHost() override;
    CFrameCheckHost(const CFrameCheckHost &) = delete;
    CFrameCheckHost &operator=(const CFrameCheckHost &) = delete;

    void AttachRenderer(GstElement *renderer) override;
    void SetVideoVisible(bool) override {}
    void SetVideoRect(int, int, int, int) override {}

    std::vector<ShownFrame> Frames() const;
    std::size_t CorruptCount() const;
    // Waits until an intact frame newer than `afterNumber` (any, when empty)
    // is shown after `since`; its showing time, or nothing by the deadline.
    std::optional<Clock::time_point> WaitForNewIntactFrame(Clock::time_point since,
                                                           std::optional<std::uint32_t> afterNumber,
                                                           Clock::duration timeout) const;
    // The newest intact frame number shown so far.
    std::optional<std::uint32_t> NewestIntactNumber() const;
    void Clear();

private:
    static void OnFrameShown(GstElement *renderer, GstSample *sample, gpointer self);
    void Detach();

    GstRef<GstElement> renderer;
    gulong handler = 0;

    mutable std::mutex framesLock; // guards frames
    mutable std::condition_variable frameShown;
    std::vector<ShownFrame> frames;
};

// One H.263 picture the sender sent.
struct SentFrame {
    std::optional<std::uint32_t> number; // the camera frame it was made from
    std::size_t bytes = 0;
    bool keyFrame = false;
    Clock::time_point at;
};

// Watches a capture graph from its creation: when the builder adds the
// camera (the capture filter named `cameraName`) and the RTP sender, it
// probes the camera's "Capture" pad for frame numbers and the sender's
// "Video Transport" pad for the pictures that go out. The camera, the
// encoder and the sender run on one streaming thread, so each picture
// belongs to the frame read just before it.
//
// Threads: the graph's element-added signal on the builder's thread; the
// probes on the streaming thread; the readers anywhere, under framesLock.
// Must outlive the graph's elements (declare it before the builder).
class CSendRecorder {
public:
    CSendRecorder() = default;
    ~CSendRecorder();
    CSendRecorder(const CSendRecorder &) = delete;
    CSendRecorder &operator=(const CSendRecorder &) = delete;

    void Watch(CMediaGraph &captureGraph, std::string cameraName);
    std::vector<SentFrame> Frames() const;
    std::size_t Count() const;
    // Waits until at least `count` pictures have been sent.
    bool WaitForCount(std::size_t count, Clock::duration timeout) const;
    void Clear();

private:
    static void OnElementAdded(GstBin *bin, GstElement *element, gpointer self);
    static GstPadProbeReturn OnCaptured(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn OnSent(GstPad *pad, GstPadProbeInfo *info, gpointer self);

    GstRef<GstBin> graph;
    gulong handler = 0;
    std::string cameraName;
    std::atomic<std::int64_t> lastCaptured{-1}; // streaming thread

    mutable std::mutex framesLock; // guards frames
    mutable std::condition_variable frameSent;
    std::vector<SentFrame> frames;
};

// Watches what reaches the receive graph's decoders ("H263 Decode Filter"
// and "ACM Wrapper"): how many buffers each got, and how many of them
// contain `signature`, bytes only a stranger's packets carry.
//
// Threads: as CSendRecorder; the counts under countsLock.
class CDecoderWatch {
public:
    enum class Kind { Video, Audio };
    struct Counts {
        std::uint64_t video = 0;
        std::uint64_t audio = 0;
        std::uint64_t stranger = 0; // buffers of either kind with the signature
    };

    explicit CDecoderWatch(std::vector<std::uint8_t> signature) : signature(std::move(signature)) {}
    ~CDecoderWatch();
    CDecoderWatch(const CDecoderWatch &) = delete;
    CDecoderWatch &operator=(const CDecoderWatch &) = delete;

    void Watch(CMediaGraph &renderGraph);
    Counts Read() const;
    // Waits until the decoder of `kind` has had more than `beyond` buffers.
    bool WaitForMore(Kind kind, std::uint64_t beyond, Clock::duration timeout) const;

private:
    static void OnElementAdded(GstBin *bin, GstElement *element, gpointer self);
    static GstPadProbeReturn OnVideoInput(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn OnAudioInput(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    void Note(Kind kind, GstBuffer *buffer);

    const std::vector<std::uint8_t> signature;
    GstRef<GstBin> graph;
    gulong handler = 0;

    mutable std::mutex countsLock; // guards counts
    mutable std::condition_variable counted;
    Counts counts;
};

// Resident memory of this process, in KiB.
// The number in environment variable `name`, or `fallback` when it is unset
// or not a number: the bench runs the suite's cases longer with these.
double EnvNumber(const char *name, double fallback);

} // namespace kestrel::media::hostile
