#pragma once

#include "filters/RtpReceiver.h"
#include "filters/RtpRenderFilter.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace kestrel::filters {

// One output stream of the receiving end: a receiver listening on the
// stream's port while the stream's streaming thread exists.
//
// Threads: OnThreadCreate, FillBuffer and WaitForSample run on the stream's
// streaming thread; Unblock comes from the control thread to end a wait;
// OnThreadDestroy runs once the streaming thread has ended.
class CRtpSourceStream {
public:
    // Buffers requested from downstream: enough for any QCIF frame and for
    // any audio datagram.
    static constexpr int kVideoBufferBytes = 25344;
    static constexpr int kAudioBufferBytes = 1500;
    static constexpr int kBufferCount = 4;

    enum class FillResult { Filled, NotReady };

    explicit CRtpSourceStream(StreamKind kind) : kind(kind) {}

    StreamKind Kind() const { return kind; }
    int BufferSize() const { return kind == StreamKind::Video ? kVideoBufferBytes : kAudioBufferBytes; }

    // Starts receiving on this stream's port for media port `mediaPort`
    // (video on the port, audio two below). A receiver that cannot open its
    // session leaves the stream silent; that is not an error.
    void OnThreadCreate(int mediaPort, const std::string &bindAddress);
    // Stops the receiver and closes its session. Samples rebuilt before are
    // never delivered later.
    void OnThreadDestroy();
    bool IsReceiving() const { return receiver.IsOpen(); }
    int ListeningPort() const { return receiver.RxPort(); }

    // Waits up to `timeout` for a rebuilt sample (returns early on Unblock).
    bool WaitForSample(std::chrono::milliseconds timeout) { return receiver.WaitForFrame(timeout); }
    void Unblock() { receiver.Release(); }
    // Copies the oldest rebuilt sample into `buffer`. A sample larger than
    // the buffer is dropped.
    FillResult FillBuffer(std::span<uint8_t> buffer, int &outLength);

private:
    const StreamKind kind;
    CRtpReceiver receiver;
};

// The receiving end's configuration and its two streams.
class CRtpSourceFilter {
public:
    CRtpSourceFilter() : streams{CRtpSourceStream(StreamKind::Video), CRtpSourceStream(StreamKind::Audio)} {}

    // Stored now; the streams read it when their streaming threads start.
    void SetPort(int port) { this->port = port; }
    int GetPort() const { return port; }
    void SetBindAddress(const std::string &address);
    std::string BindAddress() const;

    CRtpSourceStream &Stream(StreamKind kind) { return streams[static_cast<int>(kind)]; }

private:
    std::atomic<int> port{kDefaultMediaPort};
    mutable std::mutex configLock; // guards bindAddress
    std::string bindAddress;
    std::array<CRtpSourceStream, 2> streams;
};

} // namespace kestrel::filters
