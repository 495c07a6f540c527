#pragma once

#include "filters/RtpPacket.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct _RtpSession;

namespace kestrel::filters {

// The one payload type both media streams use on the wire.
inline constexpr int kRtpPayloadType = 0;

// One RTP session over UDP, carrying one media stream: RTP on rxPort (bound)
// and txPort (destination), RTCP on the port above each. oRTP owns the
// session, its sockets and everything sent; what arrives is read and checked
// here (CheckRtpDatagram), so a datagram from anyone but the peer never
// reaches oRTP's receive state or the payload handler.
//
// A session is not safe for concurrent calls; the owner makes sure only one
// thread uses a channel at a time (the receive thread for a receiver, the
// render element's receive lock for a sender).
class CRtpChannel {
public:
    CRtpChannel() = default;
    virtual ~CRtpChannel();
    CRtpChannel(const CRtpChannel &) = delete;
    CRtpChannel &operator=(const CRtpChannel &) = delete;

    // Closes any open session, then opens one sending to `address`:txPort and
    // bound on `bindAddress`:rxPort (empty: every interface). Fails, leaving
    // the channel closed, on an odd or out-of-range port, an address that does
    // not resolve, or a port already in use.
    bool Open(const std::string &address, int txPort, int rxPort, const std::string &bindAddress = {});
    // Releases the session without sending BYE. Harmless when closed.
    void Close();
    bool IsOpen() const { return session != nullptr; }
    int TxPort() const { return txPort; }
    int RxPort() const { return rxPort; }

    // Takes media only from `peerAddress` (dotted IPv4; empty: from anyone).
    // Applies to what arrives from then on. False, and nothing accepted, for
    // an address that does not parse.
    bool SetPeerAddress(const std::string &peerAddress);
    // Datagrams dropped on either socket because another address sent them,
    // and RTP datagrams from the peer that were not valid packets; both count
    // from the channel's creation on.
    std::uint64_t ForeignPackets() const { return foreignPackets.load(); }
    std::uint64_t MalformedPackets() const { return malformedPackets.load(); }

    // Sends one RTP data packet; false when it could not be sent.
    bool SendPacket(uint32_t timestamp, int payloadType, bool marker, std::span<const uint8_t> payload);
    // Sends one sample cut into 1400-byte packets, all with `timestamp`, the
    // marker on the last. False when any packet could not be sent.
    bool SendSample(std::span<const uint8_t> sample, uint32_t timestamp);
    // Sends an RTCP BYE to txPort + 1.
    void SendBye();

    // Waits up to `timeoutMs` for traffic on the session's sockets (or on
    // `wakeFd`, when not negative), then hands the RTP data packets that
    // arrived, up to kMaxDatagramsPerPoll, to OnRtpPacket before returning.
    // False when the wait ended with nothing received.
    bool Poll(int timeoutMs, int wakeFd = -1);

    // A flood cannot keep Poll from returning: it reads at most this many
    // datagrams of each socket per call.
    static constexpr int kMaxDatagramsPerPoll = 256;

protected:
    // Called by Poll for each accepted RTP data packet. The payload is only
    // valid during the call.
    virtual void OnRtpPacket(const RtpPacketView &packet);

private:
    bool ReadRtp();
    bool DrainRtcp();

    _RtpSession *session = nullptr;
    int txPort = 0;
    int rxPort = 0;
    CRtpPeerFilter peerFilter; // read by the receive thread; set before it starts
    std::atomic<std::uint64_t> foreignPackets{0};
    std::atomic<std::uint64_t> malformedPackets{0};
    // One byte more than accepted, so an oversize datagram shows as such.
    std::array<uint8_t, kMaxRtpDatagramBytes + 1> datagram{};
};

} // namespace kestrel::filters
