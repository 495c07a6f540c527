#include "filters/RtpFrameAssembler.h"

#include <cstring>

namespace kestrel::filters {

namespace {

// A jump this far from the expected sequence number is a new stream (a
// restarted sender), not a loss or a late packet.
constexpr int kRestartDistance = 1000;

int Distance(uint16_t from, uint16_t to)
{
    return static_cast<int16_t>(static_cast<uint16_t>(to - from));
}

} // namespace

bool CRtpFrameAssembler::AddPacket(const RtpPacketView &packet)
{
    if (packet.payload.size() > kMaxRtpDatagramBytes)
        return false; // never from a channel; counts as a hole when it matters
    bool completed = false;
    if (synchronised && packet.ssrc == ssrc) {
        const int distance = Distance(expected, packet.sequence);
        if (distance < -kRestartDistance || distance > kRestartDistance) {
            synchronised = false; // the sender started over
        } else if (distance < 0) {
            return false; // a duplicate, or too late: its place was given up
        }
    } else if (synchronised) {
        synchronised = false; // another sender
    }
    if (!synchronised) {
        if (assembly.length > 0 || discardingToMarker || WaitingCount() > 0)
            LoseCurrentSample();
        for (WaitingPacket &waiting : window)
            waiting.present = false;
        synchronised = true;
        ssrc = packet.ssrc;
        expected = packet.sequence;
        // A new sender starts with a fresh sample, as a sender does.
        discardingToMarker = false;
    }

    int distance = Distance(expected, packet.sequence);
    // Too far ahead to wait for what is missing: everything before it is lost.
    while (distance >= static_cast<int>(kReorderSlots)) {
        if (WaitingCount() > 0) {
            completed = SkipHole() || completed;
        } else {
            LoseCurrentSample();
            expected = packet.sequence;
        }
        distance = Distance(expected, packet.sequence);
    }
    if (distance == 0) {
        completed = Append(packet.timestamp, packet.marker, packet.payload) || completed;
        ++expected;
        return DrainInOrder() || completed;
    }
    WaitingPacket &slot = window[packet.sequence % kReorderSlots];
    if (slot.present)
        return completed; // the same packet twice
    slot.present = true;
    slot.sequence = packet.sequence;
    slot.timestamp = packet.timestamp;
    slot.marker = packet.marker;
    slot.length = static_cast<uint16_t>(packet.payload.size());
    if (!packet.payload.empty())
        std::memcpy(slot.payload, packet.payload.data(), packet.payload.size());
    // With every other slot taken, the one expected can no longer fit in;
    // and once a whole sample waits behind the hole, waiting longer only
    // delays a sample that needs nothing the hole could bring.
    while (WaitingCount() == kReorderSlots - 1 || WholeSampleWaiting())
        completed = SkipHole() || completed;
    return completed;
}

// True when the window holds a marker followed by every packet of the next
// sample up to its own marker.
bool CRtpFrameAssembler::WholeSampleWaiting() const
{
    bool afterMarker = false;
    for (std::size_t step = 1; step < kReorderSlots; ++step) {
        const uint16_t sequence = static_cast<uint16_t>(expected + step);
        const WaitingPacket &slot = window[sequence % kReorderSlots];
        if (!slot.present || slot.sequence != sequence) {
            afterMarker = false; // a hole in this run too
            continue;
        }
        if (slot.marker) {
            if (afterMarker)
                return true;
            afterMarker = true;
        }
    }
    return false;
}

void CRtpFrameAssembler::ExpireWaiting()
{
    while (WaitingCount() > 0)
        SkipHole();
}

// Gives up the expected packet: the hole is a loss, and the waiting packets
// after it are taken in order from the first one present.
bool CRtpFrameAssembler::SkipHole()
{
    LoseCurrentSample();
    for (std::size_t step = 1; step < kReorderSlots; ++step) {
        const uint16_t sequence = static_cast<uint16_t>(expected + step);
        const WaitingPacket &slot = window[sequence % kReorderSlots];
        if (slot.present && slot.sequence == sequence) {
            expected = sequence;
            return DrainInOrder();
        }
    }
    expected = static_cast<uint16_t>(expected + kReorderSlots);
    return false;
}

bool CRtpFrameAssembler::DrainInOrder()
{
    bool completed = false;
    for (;;) {
        WaitingPacket &slot = window[expected % kReorderSlots];
        if (!slot.present || slot.sequence != expected)
            return completed;
        slot.present = false;
        completed = Append(slot.timestamp, slot.marker, {slot.payload, slot.length}) || completed;
        ++expected;
    }
}

bool CRtpFrameAssembler::Append(uint32_t timestamp, bool marker, std::span<const uint8_t> payload)
{
    if (discardingToMarker) {
        // The rest of a damaged sample; the sample after its marker is whole.
        if (marker)
            discardingToMarker = false;
        return false;
    }
    // A sample that would reach the record's size cannot be delivered whole:
    // it goes, up to its marker.
    if (static_cast<std::size_t>(assembly.length) + payload.size() >= kRtpFrameCapacity) {
        LoseCurrentSample();
        discardingToMarker = !marker;
        return false;
    }
    if (!payload.empty()) // an empty span may have no data pointer at all
        std::memcpy(assembly.data + assembly.length, payload.data(), payload.size());
    assembly.length += static_cast<int32_t>(payload.size());
    assembly.timestamp = timestamp;
    if (!marker)
        return false;
    // An empty sample has nothing a decoder could use; it only ends itself.
    if (assembly.length == 0)
        return false;
    Queue();
    return true;
}

void CRtpFrameAssembler::LoseCurrentSample()
{
    assembly.length = 0;
    assembly.timestamp = 0;
    discardingToMarker = true;
    lostSinceQueued = true;
}

void CRtpFrameAssembler::Queue()
{
    {
        std::lock_guard lock(queueLock);
        if (queued == kQueueDepth) {
            oldest = (oldest + 1) % kQueueDepth;
            --queued;
            evictedSinceTaken = true;
        }
        Slot &slot = slots[(oldest + queued) % kQueueDepth];
        slot.frame.timestamp = assembly.timestamp;
        slot.frame.length = assembly.length;
        slot.discontinuity = lostSinceQueued;
        std::memcpy(slot.frame.data, assembly.data, static_cast<std::size_t>(assembly.length));
        ++queued;
    }
    frameQueued.notify_all();
    lostSinceQueued = false;
    assembly.timestamp = 0;
    assembly.length = 0;
}

std::size_t CRtpFrameAssembler::WaitingCount() const
{
    std::size_t count = 0;
    for (const WaitingPacket &waiting : window)
        count += waiting.present ? 1 : 0;
    return count;
}

CRtpFrameAssembler::TakeResult CRtpFrameAssembler::Take(std::span<uint8_t> destination, Frame &frame)
{
    std::lock_guard lock(queueLock);
    if (queued == 0)
        return TakeResult::Empty;
    const Slot &slot = slots[oldest];
    oldest = (oldest + 1) % kQueueDepth;
    --queued;
    const bool discontinuity = slot.discontinuity || evictedSinceTaken;
    if (destination.size() < static_cast<std::size_t>(slot.frame.length)) {
        // Whatever comes next follows a dropped sample.
        evictedSinceTaken = true;
        return TakeResult::TooLarge;
    }
    evictedSinceTaken = false;
    std::memcpy(destination.data(), slot.frame.data, static_cast<std::size_t>(slot.frame.length));
    frame.length = slot.frame.length;
    frame.timestamp = slot.frame.timestamp;
    frame.discontinuity = discontinuity;
    return TakeResult::Taken;
}

bool CRtpFrameAssembler::WaitForFrame(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(queueLock);
    frameQueued.wait_for(lock, timeout, [this] { return queued > 0 || released; });
    return queued > 0;
}

void CRtpFrameAssembler::Release()
{
    {
        std::lock_guard lock(queueLock);
        released = true;
    }
    frameQueued.notify_all();
}

void CRtpFrameAssembler::Rearm()
{
    std::lock_guard lock(queueLock);
    released = false;
}

void CRtpFrameAssembler::Reset()
{
    assembly.timestamp = 0;
    assembly.length = 0;
    std::memset(assembly.data, 0, sizeof assembly.data);
    for (WaitingPacket &waiting : window)
        waiting.present = false;
    synchronised = false;
    discardingToMarker = false;
    lostSinceQueued = false;
    std::lock_guard lock(queueLock);
    oldest = 0;
    queued = 0;
    evictedSinceTaken = false;
}

std::size_t CRtpFrameAssembler::QueuedCount() const
{
    std::lock_guard lock(queueLock);
    return queued;
}

} // namespace kestrel::filters
