#include "filters/RtpSourceFilter.h"

namespace kestrel::filters {

void CRtpSourceStream::OnThreadCreate(int mediaPort, const std::string &bindAddress)
{
    receiver.Start(RtpPortPlan::ReceiverLocal(kind, mediaPort), bindAddress);
}

void CRtpSourceStream::OnThreadDestroy()
{
    receiver.Stop();
}

CRtpSourceStream::FillResult CRtpSourceStream::FillBuffer(std::span<uint8_t> buffer, int &outLength)
{
    uint32_t timestamp = 0; // kept by the receiver; nothing downstream uses it
    return receiver.GetFrame(buffer, outLength, timestamp) ? FillResult::Filled : FillResult::NotReady;
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

} // namespace kestrel::filters
