#include "filters/RtpChannel.h"

#include "filters/OrtpRuntime.h"
#include "filters/RtpPacketiser.h"

#include <ortp/ortp.h>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::filters {

namespace {

constexpr int kMulticastTtl = 16;
// RTCP stays on for BYE, but its periodic reports are pushed beyond any call.
constexpr int kReportIntervalNeverMs = 24 * 3600 * 1000;
constexpr unsigned kSocketReceiveBufferBytes = 1024 * 1024;

bool IsUsablePort(int port)
{
    // RTP goes on even ports, RTCP on the odd port above.
    return port > 0 && port < 65535 && port % 2 == 0;
}

} // namespace

CRtpChannel::~CRtpChannel()
{
    Close();
}

bool CRtpChannel::Open(const std::string &address, int txPortValue, int rxPortValue, const std::string &bindAddress)
{
    Close();
    txPort = txPortValue;
    rxPort = rxPortValue;
    if (!IsUsablePort(txPort) || !IsUsablePort(rxPort))
        return false;

    EnsureOrtpInitialised();
    RtpSession *created = rtp_session_new(RTP_SESSION_SENDRECV);
    if (!created)
        return false;
    rtp_session_set_scheduling_mode(created, FALSE);
    rtp_session_set_blocking_mode(created, FALSE);
    rtp_session_set_profile(created, &av_profile);
    rtp_session_set_payload_type(created, kRtpPayloadType);
    // oRTP shares ports by default; a port in use must make Open fail.
    rtp_session_set_reuseaddr(created, FALSE);
    // No reception or sender reports ever leave a channel; BYE is sent on
    // request only.
    rtp_session_set_rtcp_report_interval(created, kReportIntervalNeverMs);
    // Room in the kernel for a few video frames while the receive thread is
    // not scheduled.
    rtp_session_set_rtp_socket_recv_buffer_size(created, kSocketReceiveBufferBytes);

    const char *local = bindAddress.empty() ? "0.0.0.0" : bindAddress.c_str();
    if (rtp_session_set_local_addr(created, local, rxPort, rxPort + 1) < 0
        || rtp_session_set_remote_addr_and_port(created, address.c_str(), txPort, txPort + 1) < 0) {
        rtp_session_destroy(created);
        return false;
    }
    rtp_session_set_multicast_ttl(created, kMulticastTtl);
    session = created;
    return true;
}

void CRtpChannel::Close()
{
    if (!session)
        return;
    rtp_session_destroy(session);
    session = nullptr;
}

bool CRtpChannel::SetPeerAddress(const std::string &peerAddress)
{
    return peerFilter.Set(peerAddress);
}

bool CRtpChannel::SendPacket(uint32_t timestamp, int payloadType, bool marker, std::span<const uint8_t> payload)
{
    if (!session)
        return false;
    mblk_t *packet = rtp_session_create_packet(session, RTP_FIXED_HEADER_SIZE, payload.data(), payload.size());
    if (!packet)
        return false;
    rtp_set_payload_type(packet, payloadType);
    rtp_set_markbit(packet, marker ? 1 : 0);
    return rtp_session_sendm_with_ts(session, packet, timestamp) >= 0;
}

bool CRtpChannel::SendSample(std::span<const uint8_t> sample, uint32_t timestamp)
{
    bool allSent = true;
    CRtpPacketiser::Slice(sample, [&](std::span<const uint8_t> slice, bool marker) {
        allSent = SendPacket(timestamp, kRtpPayloadType, marker, slice) && allSent;
    });
    return allSent;
}

void CRtpChannel::SendBye()
{
    if (session)
        rtp_session_bye(session, nullptr);
}

bool CRtpChannel::Poll(int timeoutMs, int wakeFd)
{
    if (!session)
        return false;
    pollfd sockets[3] = {
        {rtp_session_get_rtp_socket(session), POLLIN, 0},
        {rtp_session_get_rtcp_socket(session), POLLIN, 0},
        {wakeFd, POLLIN, 0},
    };
    const nfds_t count = wakeFd >= 0 ? 3 : 2;
    if (poll(sockets, count, timeoutMs) <= 0)
        return false;
    // RTCP first: whatever the sockets held when the wait ended has been
    // looked at by the time a sample completed in this pass is handed out.
    bool received = false;
    if (sockets[1].revents != 0)
        received = DrainRtcp();
    if (sockets[0].revents != 0)
        received = ReadRtp() || received;
    return received;
}

bool CRtpChannel::ReadRtp()
{
    const int fd = rtp_session_get_rtp_socket(session);
    bool received = false;
    for (int i = 0; i < kMaxDatagramsPerPoll; ++i) {
        sockaddr_storage source{};
        socklen_t sourceLength = sizeof source;
        // MSG_TRUNC: the real length, so an oversize datagram is seen as such.
        const ssize_t length = recvfrom(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_TRUNC,
                                        reinterpret_cast<sockaddr *>(&source), &sourceLength);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            break; // drained (or an ICMP error from an earlier send; nothing to do)
        }
        received = true;
        const std::size_t kept = std::min(static_cast<std::size_t>(length), datagram.size());
        RtpPacketView packet;
        switch (CheckRtpDatagram({datagram.data(), kept}, static_cast<std::size_t>(length),
                                 reinterpret_cast<const sockaddr *>(&source), sourceLength, peerFilter, packet)) {
        case DatagramVerdict::Accepted: OnRtpPacket(packet); break;
        case DatagramVerdict::Foreign: ++foreignPackets; break;
        case DatagramVerdict::Malformed: ++malformedPackets; break;
        }
    }
    return received;
}

// RTCP that reaches a channel is read and dropped: the receiver uses none of
// it (reports are off, a peer's BYE changes nothing), but another address's
// datagrams are still counted.
bool CRtpChannel::DrainRtcp()
{
    const int fd = rtp_session_get_rtcp_socket(session);
    bool received = false;
    for (int i = 0; i < kMaxDatagramsPerPoll; ++i) {
        sockaddr_storage source{};
        socklen_t sourceLength = sizeof source;
        const ssize_t length = recvfrom(fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr *>(&source), &sourceLength);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        received = true;
        if (!peerFilter.Accepts(reinterpret_cast<const sockaddr *>(&source), sourceLength))
            ++foreignPackets;
    }
    return received;
}

void CRtpChannel::OnRtpPacket(const RtpPacketView &)
{
}

} // namespace kestrel::filters
