#include "filters/RtpRenderFilter.h"

namespace kestrel::filters {

void CRtpRenderFilter::SetDestination(const std::string &address, int newPort)
{
    std::lock_guard lock(configLock);
    peerAddress = address;
    port = newPort;
}

void CRtpRenderFilter::GetDestination(std::string &address, int &outPort) const
{
    std::lock_guard lock(configLock);
    address = peerAddress;
    outPort = port;
}

void CRtpRenderFilter::SetPeerAddress(const std::string &address)
{
    std::lock_guard lock(configLock);
    peerAddress = address;
}

void CRtpRenderFilter::SetPort(int newPort)
{
    std::lock_guard lock(configLock);
    port = newPort;
}

void CRtpRenderFilter::SetBindAddress(const std::string &address)
{
    std::lock_guard lock(configLock);
    bindAddress = address;
}

std::string CRtpRenderFilter::BindAddress() const
{
    std::lock_guard lock(configLock);
    return bindAddress;
}

void CRtpRenderFilter::Pause()
{
    // receiveLock too, so a sample of one stream is never sent while the
    // other stream's channel is being opened.
    std::scoped_lock locks(receiveLock, filterLock);
    if (state != State::Stopped) {
        state = State::Paused;
        return;
    }
    std::string address;
    int mediaPort = 0;
    GetDestination(address, mediaPort);
    const std::string bind = BindAddress();
    for (StreamKind kind : {StreamKind::Video, StreamKind::Audio})
        channels[static_cast<int>(kind)].Open(address, RtpPortPlan::SenderDestination(kind, mediaPort),
                                              RtpPortPlan::SenderLocal(kind, mediaPort), bind);
    state = State::Paused;
}

void CRtpRenderFilter::Run()
{
    if (state == State::Stopped)
        Pause();
    state = State::Running;
}

void CRtpRenderFilter::Stop()
{
    std::scoped_lock locks(receiveLock, filterLock);
    for (CRtpChannel &channel : channels) {
        if (channel.IsOpen()) {
            channel.SendBye();
            channel.Close();
        }
    }
    state = State::Stopped;
}

bool CRtpRenderFilter::IsChannelOpen(StreamKind kind) const
{
    std::lock_guard lock(filterLock);
    return channels[static_cast<int>(kind)].IsOpen();
}

CRtpRenderFilter::ReceiveResult CRtpRenderFilter::Receive(StreamKind kind, std::span<const uint8_t> sample,
                                                          uint32_t timestamp)
{
    std::lock_guard lock(receiveLock);
    if (state == State::Stopped)
        return ReceiveResult::NotStreaming;
    CRtpChannel &channel = channels[static_cast<int>(kind)];
    // A stream whose channel did not open stays silent; the sample never
    // reaches the library.
    if (!channel.IsOpen())
        return ReceiveResult::ChannelClosed;
    channel.SendSample(sample, timestamp); // send errors are not the upstream's concern
    return ReceiveResult::Sent;
}

uint32_t CRtpRenderFilter::RtpTimestamp(std::optional<uint64_t> mediaStart, std::optional<uint64_t> mediaEnd)
{
    if (!mediaStart || !mediaEnd)
        return 0;
    return static_cast<uint32_t>(*mediaEnd) - static_cast<uint32_t>(*mediaStart);
}

} // namespace kestrel::filters
