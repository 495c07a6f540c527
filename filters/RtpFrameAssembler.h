#pragma once

#include "filters/RtpFrame.h"
#include "filters/RtpPacket.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace kestrel::filters {

// Rebuilds whole samples from RTP packets and keeps the two newest in a
// bounded queue for the streaming thread.
//
// A sample is the run of packets up to and including one with the marker
// bit. Packets are taken in sequence order: one that arrives early waits in a
// small window of kReorderSlots until the packets before it are in. A packet
// that never comes (the window fills past it, a whole later sample is
// waiting behind it, or the stream goes quiet with the hole still open) is
// lost, and no sample is ever handed on with a hole:
// the sample it belonged to is dropped with everything up to the next
// marker, since what follows a hole may be the rest of that sample. So is a
// sample that would reach kRtpFrameCapacity. The next sample handed on after
// any such drop is marked as following a discontinuity, so the decoder knows
// it lost something.
//
// Threads: AddPacket and ExpireWaiting run on the receive thread only (it
// alone touches the sample under construction and the window); Take and
// WaitForFrame run on the streaming thread; Release may come from any
// thread. The queue is shared under queueLock. Nothing here allocates: the
// queue slots and the window are fixed records.
class CRtpFrameAssembler {
public:
    // At most this many rebuilt samples wait; a newer one evicts the oldest,
    // so a late reader never falls more than one sample behind.
    static constexpr std::size_t kQueueDepth = 2;
    // How far ahead of the next expected packet one may arrive and still be
    // put in its place; a packet further ahead means the one expected is lost.
    static constexpr std::size_t kReorderSlots = 8;

    enum class TakeResult { Taken, Empty, TooLarge };

    struct Frame {
        int length = 0;
        uint32_t timestamp = 0;
        bool discontinuity = false; // a sample was lost just before this one
    };

    // Takes one packet; returns true when it completed a sample that is now
    // queued (or released waiting packets that did).
    bool AddPacket(const RtpPacketView &packet);
    // The stream has been quiet for a while: packets waiting behind a hole
    // will not be joined by the missing one, so the hole counts as a loss.
    void ExpireWaiting();

    // Takes the oldest queued sample into `destination`. A sample larger than
    // the destination is dropped (TooLarge) so the next call sees the
    // following one.
    TakeResult Take(std::span<uint8_t> destination, Frame &frame);

    // Waits until a sample is queued, Release is called or `timeout` passes;
    // true when a sample is waiting.
    bool WaitForFrame(std::chrono::milliseconds timeout);
    // Wakes every waiter and keeps WaitForFrame from blocking until Rearm.
    void Release();
    void Rearm();

    // Forgets the partial sample, the window and every queued one (receive
    // thread stopped).
    void Reset();
    std::size_t QueuedCount() const;

private:
    struct WaitingPacket {
        bool present = false;
        uint16_t sequence = 0;
        uint32_t timestamp = 0;
        bool marker = false;
        uint16_t length = 0;
        uint8_t payload[kMaxRtpDatagramBytes] = {};
    };

    bool Append(uint32_t timestamp, bool marker, std::span<const uint8_t> payload);
    bool DrainInOrder();
    bool SkipHole();
    bool WholeSampleWaiting() const;
    void LoseCurrentSample();
    void Queue();
    std::size_t WaitingCount() const;

    // Receive thread only.
    RtpFrame assembly;
    std::array<WaitingPacket, kReorderSlots> window;
    bool synchronised = false;
    uint32_t ssrc = 0;
    uint16_t expected = 0;           // sequence number of the next packet in order
    bool discardingToMarker = false; // after a loss, until the next sample starts
    bool lostSinceQueued = false;    // the next queued sample follows a loss

    mutable std::mutex queueLock; // guards the fields below
    std::condition_variable frameQueued;
    struct Slot {
        RtpFrame frame;
        bool discontinuity = false;
    };
    std::array<Slot, kQueueDepth> slots;
    std::size_t oldest = 0;
    std::size_t queued = 0;
    bool evictedSinceTaken = false; // a queued sample was dropped unread
    bool released = false;
};

} // namespace kestrel::filters
