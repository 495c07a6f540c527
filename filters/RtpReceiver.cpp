#include "filters/RtpReceiver.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrel::filters {

namespace {
// The receiver's own destination: nothing it might send reaches the peer.
constexpr const char *kReceiverDestination = "127.0.0.1";
// The receiver's RTP destination lies 10 ports above the port it listens on.
constexpr int kReceiverDestinationOffset = 10;
} // namespace

CRtpReceiver::CRtpReceiver(int pollIntervalMs)
    : pollIntervalMs(pollIntervalMs), wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

CRtpReceiver::~CRtpReceiver()
{
    Stop();
}

bool CRtpReceiver::Start(int port, const std::string &bindAddress, const std::string &peerAddress)
{
    Stop();
    if (!Open(kReceiverDestination, port + kReceiverDestinationOffset, port, bindAddress))
        return false;
    SetPeerAddress(peerAddress);
    running = false;
    assembler.Reset();
    assembler.Rearm();
    uint64_t drained = 0;
    if (wakeFd && read(wakeFd.Get(), &drained, sizeof drained) < 0) {
        // nothing was pending; the wake-up counter is clear
    }
    if (!worker.Create([this](platform::WorkerThread &thread) { return ReceiveLoop(thread); })) {
        Close();
        return false;
    }
    return true;
}

void CRtpReceiver::Stop()
{
    running = false;
    if (worker.ThreadExists()) {
        const uint64_t one = 1;
        if (wakeFd && write(wakeFd.Get(), &one, sizeof one) < 0) {
            // the counter is saturated, so the thread is woken already
        }
        // The thread may leave its loop on seeing `running` cleared; CallWorker
        // then returns without a reply instead of waiting for one.
        worker.CallWorker(kExitRequest);
        worker.Close();
    }
    assembler.Release();
    Close();
}

bool CRtpReceiver::GetFrame(std::span<uint8_t> destination, int &outLength, uint32_t &outTimestamp,
                            bool *outDiscontinuity)
{
    if (!running)
        return false;
    CRtpFrameAssembler::Frame frame;
    if (assembler.Take(destination, frame) != CRtpFrameAssembler::TakeResult::Taken)
        return false;
    outLength = frame.length;
    outTimestamp = frame.timestamp;
    if (outDiscontinuity)
        *outDiscontinuity = frame.discontinuity;
    return true;
}

void CRtpReceiver::OnRtpPacket(const RtpPacketView &packet)
{
    assembler.AddPacket(packet);
}

int CRtpReceiver::ReceiveLoop(platform::WorkerThread &thread)
{
    running = true;
    while (running) {
        // A quiet poll means a packet still missing from a sample will not
        // come: the packets waiting behind it go on without it.
        if (!Poll(pollIntervalMs, wakeFd.Get()))
            assembler.ExpireWaiting();
        if (const auto request = thread.CheckRequest()) {
            thread.Reply(*request == kExitRequest ? 1 : 0);
            if (*request == kExitRequest)
                break;
        }
    }
    running = false;
    return 0;
}

} // namespace kestrel::filters
