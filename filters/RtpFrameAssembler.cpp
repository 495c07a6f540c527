#include "filters/RtpFrameAssembler.h"

#include <cstring>

namespace kestrel::filters {

bool CRtpFrameAssembler::AddPacket(std::span<const uint8_t> payload, bool marker, uint32_t timestamp)
{
    // A sample that would reach the record's size cannot be delivered whole:
    // drop what was collected and start again with this payload.
    if (static_cast<std::size_t>(assembly.length) + payload.size() >= kRtpFrameCapacity)
        assembly.length = 0;
    if (payload.size() >= kRtpFrameCapacity)
        return false; // cannot happen with a 1480-byte datagram; never overrun the record
    std::memcpy(assembly.data + assembly.length, payload.data(), payload.size());
    assembly.length += static_cast<int32_t>(payload.size());
    assembly.timestamp = timestamp;
    if (!marker)
        return false;

    {
        std::lock_guard lock(queueLock);
        if (queued == kQueueDepth) {
            oldest = (oldest + 1) % kQueueDepth;
            --queued;
        }
        RtpFrame &slot = slots[(oldest + queued) % kQueueDepth];
        slot.timestamp = assembly.timestamp;
        slot.length = assembly.length;
        std::memcpy(slot.data, assembly.data, static_cast<std::size_t>(assembly.length));
        ++queued;
    }
    frameQueued.notify_all();
    assembly.timestamp = 0;
    assembly.length = 0;
    return true;
}

CRtpFrameAssembler::TakeResult CRtpFrameAssembler::Take(std::span<uint8_t> destination, int &outLength,
                                                        uint32_t &outTimestamp)
{
    std::lock_guard lock(queueLock);
    if (queued == 0)
        return TakeResult::Empty;
    const RtpFrame &frame = slots[oldest];
    oldest = (oldest + 1) % kQueueDepth;
    --queued;
    if (destination.size() < static_cast<std::size_t>(frame.length))
        return TakeResult::TooLarge;
    std::memcpy(destination.data(), frame.data, static_cast<std::size_t>(frame.length));
    outLength = frame.length;
    outTimestamp = frame.timestamp;
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
    std::lock_guard lock(queueLock);
    oldest = 0;
    queued = 0;
}

std::size_t CRtpFrameAssembler::QueuedCount() const
{
    std::lock_guard lock(queueLock);
    return queued;
}

} // namespace kestrel::filters
