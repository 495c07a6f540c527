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
    void OnThreadCreate(int mediaPort, const std::string &bindAddress, const std::string &peerAddress = {});
    // Stops the receiver and closes its session. Samples rebuilt before are
    // never delivered later.
    void OnThreadDestroy();
    bool IsReceiving() const { return receiver.IsOpen(); }
    int ListeningPort() const { return receiver.RxPort(); }

    // Waits up to `timeout` for a rebuilt sample (returns early on Unblock).
    bool WaitForSample(std::chrono::milliseconds timeout) { return receiver.WaitForFrame(timeout); }
    void Unblock() { receiver.Release(); }
    // Copies the oldest rebuilt sample into `buffer`. A sample larger than
    // the buffer is dropped. `outDiscontinuity` tells that samples were lost
    // before this one.
    FillResult FillBuffer(std::span<uint8_t> buffer, int &outLength, bool *outDiscontinuity = nullptr);
    // Datagrams refused since the stream was made because another address
    // sent them.
    std::uint64_t ForeignPackets() const { return receiver.ForeignPackets(); }

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
    // The only sender media is taken from (dotted IPv4; empty: anyone), read
    // when the streams start.
    void SetPeerAddress(const std::string &address);
    std::string PeerAddress() const;

    CRtpSourceStream &Stream(StreamKind kind) { return streams[static_cast<int>(kind)]; }

private:
    std::atomic<int> port{kDefaultMediaPort};
    mutable std::mutex configLock; // guards bindAddress and peerAddress
    std::string bindAddress;
    std::string peerAddress;
    std::array<CRtpSourceStream, 2> streams;
};

} // namespace kestrel::filters
