#pragma once

#include "filters/RtpChannel.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace kestrel::filters {

enum class StreamKind { Video = 0, Audio = 1 };

inline constexpr int kDefaultMediaPort = 6060;
inline constexpr const char *kDefaultPeerAddress = "127.0.0.1";

// The sending end of a call's media, without any media framework: two
// channels (video to the configured port P, audio to P - 2, sent from local
// ports P + 20 and P + 18), opened when the renderer pauses from stopped and
// closed, after a BYE, when it stops.
//
// Threads: Pause, Stop and the configuration calls come from the control
// thread; Receive comes from the upstream streaming threads, video and audio
// usually on different ones. Lock order: receiveLock before filterLock.
class CRtpRenderFilter {
public:
    enum class State { Stopped, Paused, Running };
    enum class ReceiveResult {
        Sent,           // handed to the network
        ChannelClosed,  // this stream's channel could not be opened; dropped
        NotStreaming,   // the renderer is stopped; refused
    };

    CRtpRenderFilter() = default;
    CRtpRenderFilter(const CRtpRenderFilter &) = delete;
    CRtpRenderFilter &operator=(const CRtpRenderFilter &) = delete;

    // Stored now, used at the next pause from stopped.
    void SetDestination(const std::string &address, int port);
    void GetDestination(std::string &address, int &port) const;
    // One half of the destination each, for the element's properties.
    void SetPeerAddress(const std::string &address);
    void SetPort(int port);
    // Local address the channels bind to; empty means every interface.
    void SetBindAddress(const std::string &address);
    std::string BindAddress() const;

    // From stopped: opens both channels (a channel that fails leaves only its
    // stream silent). Otherwise only the state changes.
    void Pause();
    void Run();
    // Sends BYE on every open channel and closes it; waits for a sample being
    // sent to finish first.
    void Stop();
    bool IsChannelOpen(StreamKind kind) const;

    // Sends one compressed sample of `kind` before returning.
    ReceiveResult Receive(StreamKind kind, std::span<const uint8_t> sample, uint32_t timestamp);

    // The RTP timestamp of a sample: the low 32 bits of its end media time
    // minus those of its start; 0 when the sample carries no media times
    // (the receiver ignores timestamps).
    static uint32_t RtpTimestamp(std::optional<uint64_t> mediaStart, std::optional<uint64_t> mediaEnd);

private:
    mutable std::mutex receiveLock; // held while one sample is sent, and by Pause/Stop
    mutable std::mutex filterLock;  // guards the channels' opening and closing
    std::atomic<State> state{State::Stopped};
    std::array<CRtpChannel, 2> channels;

    mutable std::mutex configLock; // guards the three fields below
    std::string peerAddress = kDefaultPeerAddress;
    int port = kDefaultMediaPort;
    std::string bindAddress;
};

// Local and remote ports of each stream for media port P.
struct RtpPortPlan {
    static int SenderDestination(StreamKind kind, int port) { return kind == StreamKind::Video ? port : port - 2; }
    static int SenderLocal(StreamKind kind, int port) { return kind == StreamKind::Video ? port + 20 : port + 18; }
    static int ReceiverLocal(StreamKind kind, int port) { return SenderDestination(kind, port); }
};

} // namespace kestrel::filters
