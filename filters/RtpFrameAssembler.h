#pragma once

#include "filters/RtpFrame.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace kestrel::filters {

// Rebuilds whole samples from RTP payloads and keeps the two newest in a
// bounded queue for the streaming thread.
//
// Threads: AddPacket runs on the receive thread only (it alone touches the
// sample under construction); GetFrame and WaitForFrame run on the streaming
// thread; Release may come from any thread. The queue is shared under
// queueLock. Nothing here allocates: both queue slots are fixed records.
class CRtpFrameAssembler {
public:
    // At most this many rebuilt samples wait; a newer one evicts the oldest,
    // so a late reader never falls more than one sample behind.
    static constexpr std::size_t kQueueDepth = 2;

    enum class TakeResult { Taken, Empty, TooLarge };

    // Appends one payload; returns true when `marker` completed a sample that
    // is now queued. Sequence numbers are not examined: a lost packet leaves a
    // gap and a lost marker merges two samples.
    bool AddPacket(std::span<const uint8_t> payload, bool marker, uint32_t timestamp);

    // Takes the oldest queued sample into `destination`. A sample larger than
    // the destination is dropped (TooLarge) so the next call sees the
    // following one.
    TakeResult Take(std::span<uint8_t> destination, int &outLength, uint32_t &outTimestamp);

    // Waits until a sample is queued, Release is called or `timeout` passes;
    // true when a sample is waiting.
    bool WaitForFrame(std::chrono::milliseconds timeout);
    // Wakes every waiter and keeps WaitForFrame from blocking until Rearm.
    void Release();
    void Rearm();

    // Forgets the partial sample and every queued one (receive thread stopped).
    void Reset();
    std::size_t QueuedCount() const;

private:
    RtpFrame assembly; // receive thread only

    mutable std::mutex queueLock; // guards the fields below
    std::condition_variable frameQueued;
    std::array<RtpFrame, kQueueDepth> slots;
    std::size_t oldest = 0;
    std::size_t queued = 0;
    bool released = false;
};

} // namespace kestrel::filters
