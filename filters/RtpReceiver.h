#pragma once

#include "filters/RtpChannel.h"
#include "filters/RtpFrameAssembler.h"
#include "platform/UniqueFd.h"
#include "platform/WorkerThread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace kestrel::filters {

// A channel that receives one media stream on its own thread and rebuilds
// the samples into a queue of two for the streaming thread.
//
// Threads: Start and Stop run on the owner's (streaming) thread; the receive
// thread alone polls the session and so alone runs OnRtpPacket; GetFrame and
// WaitForFrame run on the streaming thread and meet the receive thread only
// in the assembler's locked queue. The session is touched by the receive
// thread only while it runs, so no two calls on it ever overlap.
class CRtpReceiver : public CRtpChannel {
public:
    // The receive thread waits this long for traffic before it looks for a
    // request; Stop also wakes it at once. A wait that ends without traffic
    // also gives up packets missing from a sample.
    static constexpr int kPollIntervalMs = 50;

    explicit CRtpReceiver(int pollIntervalMs = kPollIntervalMs);
    ~CRtpReceiver() override;

    // Opens the session on `port` (RTCP on port + 1) of `bindAddress` (empty:
    // every interface), takes media from `peerAddress` only (empty: from any
    // sender, from its first packet on), and starts the receive thread. False,
    // with no thread, when the session cannot be opened.
    bool Start(int port, const std::string &bindAddress = {}, const std::string &peerAddress = {});
    // Ends the receive thread, waiting for it, then closes the session
    // without BYE. Harmless when not started.
    void Stop();
    bool IsRunning() const { return running.load(); }

    // Copies the oldest rebuilt sample into `destination`. False when none is
    // ready, when the receiver is not running, or when the sample is larger
    // than `destination` (that sample is then dropped). `outDiscontinuity`
    // tells that samples were lost before this one.
    bool GetFrame(std::span<uint8_t> destination, int &outLength, uint32_t &outTimestamp,
                  bool *outDiscontinuity = nullptr);
    // Waits up to `timeout` for a rebuilt sample; returns early after Release.
    bool WaitForFrame(std::chrono::milliseconds timeout) { return assembler.WaitForFrame(timeout); }
    // Wakes a WaitForFrame caller and keeps later calls from blocking, so a
    // streaming task can be stopped promptly; Rearm undoes it.
    void Release() { assembler.Release(); }
    void Rearm() { assembler.Rearm(); }

protected:
    void OnRtpPacket(const RtpPacketView &packet) override;

private:
    static constexpr int kExitRequest = 1;

    int ReceiveLoop(platform::WorkerThread &thread);

    CRtpFrameAssembler assembler;
    platform::WorkerThread worker;
    std::atomic<bool> running{false};
    const int pollIntervalMs;
    platform::UniqueFd wakeFd; // eventfd that interrupts the receive thread's poll
};

} // namespace kestrel::filters
