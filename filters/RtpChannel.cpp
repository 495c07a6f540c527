#include "filters/RtpChannel.h"

#include "filters/OrtpRuntime.h"
#include "filters/RtpPacketiser.h"

#include <ortp/ortp.h>

#include <poll.h>
#include <unistd.h>

namespace kestrel::filters {

namespace {

constexpr int kMulticastTtl = 16;
// RTCP stays on for BYE, but its periodic reports are pushed beyond any call.
constexpr int kReportIntervalNeverMs = 24 * 3600 * 1000;
constexpr int kMaxQueuedPackets = 1000;
constexpr unsigned kSocketReceiveBufferBytes = 1024 * 1024;

bool IsUsablePort(int port)
{
    // RTP goes on even ports, RTCP on the odd port above.
    return port > 0 && port < 65535 && port % 2 == 0;
}

void ResyncOnNewSender(RtpSession *session, void *, void *, void *)
{
    rtp_session_resync(session);
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
    // Samples are rebuilt as packets arrive: no jitter buffer, and no adaptive
    // mode either, which would rewrite received timestamps.
    JBParameters jitter;
    rtp_session_get_jitter_buffer_params(created, &jitter);
    jitter.enabled = FALSE;
    jitter.adaptive = FALSE;
    // oRTP queues what one read brings in; a burst beyond this is dropped.
    jitter.max_packets = kMaxQueuedPackets;
    rtp_session_set_jitter_buffer_params(created, &jitter);
    rtp_session_enable_jitter_buffer(created, FALSE);
    // No reception or sender reports ever leave a channel; BYE is sent on
    // request only.
    rtp_session_set_rtcp_report_interval(created, kReportIntervalNeverMs);
    // One byte more than accepted, so an oversize datagram shows as such
    // instead of arriving silently truncated.
    rtp_session_set_recv_buf_size(created, static_cast<int>(kMaxRtpDatagramBytes) + 1);
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
    receiveClock = 0;
    return true;
}

void CRtpChannel::Close()
{
    if (!session)
        return;
    rtp_session_destroy(session);
    session = nullptr;
}

void CRtpChannel::SetPromiscuous(bool promiscuous)
{
    if (!session)
        return;
    if (promiscuous) {
        rtp_session_set_ssrc_changed_threshold(session, 0);
        rtp_session_signal_connect(session, "ssrc_changed", ResyncOnNewSender, nullptr);
    } else {
        rtp_session_signal_disconnect_by_callback(session, "ssrc_changed", ResyncOnNewSender);
    }
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

void CRtpChannel::Poll(int timeoutMs, int wakeFd)
{
    if (!session)
        return;
    pollfd sockets[3] = {
        {rtp_session_get_rtp_socket(session), POLLIN, 0},
        {rtp_session_get_rtcp_socket(session), POLLIN, 0},
        {wakeFd, POLLIN, 0},
    };
    const nfds_t count = wakeFd >= 0 ? 3 : 2;
    if (poll(sockets, count, timeoutMs) <= 0)
        return;
    if (sockets[0].revents != 0 || sockets[1].revents != 0)
        DeliverReceived();
}

void CRtpChannel::DeliverReceived()
{
    // The first call reads every waiting datagram of both sockets; repeating
    // the same user timestamp then only hands back the queued packets one by
    // one. Reading again in between would let oRTP compare new packets with
    // the ones just handed out and drop those with older timestamps.
    const uint32_t readClock = ++receiveClock;
    bool delivered = false;
    while (mblk_t *packet = rtp_session_recvm_with_ts(session, readClock)) {
        delivered = true;
        if (msgdsize(packet) <= kMaxRtpDatagramBytes) {
            unsigned char *payload = nullptr;
            const int length = rtp_get_payload(packet, &payload);
            if (length >= 0)
                OnRtpPacket({payload, static_cast<std::size_t>(length)}, rtp_get_markbit(packet) != 0,
                            rtp_get_timestamp(packet));
        }
        freemsg(packet);
    }
    // The peer's timestamps carry no clock: forget the last one handed out,
    // so the next read compares nothing and every packet is delivered.
    if (delivered)
        rtp_session_resync(session);
}

void CRtpChannel::OnRtpPacket(std::span<const uint8_t>, bool, uint32_t)
{
}

} // namespace kestrel::filters
