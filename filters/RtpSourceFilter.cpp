#include "filters/RtpSourceFilter.h"

namespace kestrel::filters {

void CRtpSourceStream::OnThreadCreate(int mediaPort, const std::string &bindAddress, const std::string &peerAddress)
{
    receiver.Start(RtpPortPlan::ReceiverLocal(kind, mediaPort), bindAddress, peerAddress);
}

void CRtpSourceStream::OnThreadDestroy()
{
    receiver.Stop();
}

CRtpSourceStream::FillResult CRtpSourceStream::FillBuffer(std::span<uint8_t> buffer, int &outLength,
                                                          bool *outDiscontinuity)
{
    uint32_t timestamp = 0; // kept by the receiver; nothing downstream uses it
    return receiver.GetFrame(buffer, outLength, timestamp, outDiscontinuity) ? FillResult::Filled
                                                                             : FillResult::NotReady;
}

void CRtpSourceFilter::SetBindAddress(const std::string &address)
{
    std::lock_guard lock(configLock);
    bindAddress = address;
}

std::string CRtpSourceFilter::BindAddress() const
{
    std::lock_guard lock(configLock);
    return bindAddress;
}

void CRtpSourceFilter::SetPeerAddress(const std::string &address)
{
    std::lock_guard lock(configLock);
    peerAddress = address;
}

std::string CRtpSourceFilter::PeerAddress() const
{
    std::lock_guard lock(configLock);
    return peerAddress;
}

} // namespace kestrel::filters
