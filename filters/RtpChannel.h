#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct _RtpSession;

namespace kestrel::filters {

// Largest RTP datagram a channel accepts; anything longer is dropped rather
// than cut short (peers never send more than a 12-byte header and 1400 bytes).
inline constexpr std::size_t kMaxRtpDatagramBytes = 1480;
// The one payload type both media streams use on the wire.
inline constexpr int kRtpPayloadType = 0;

// One RTP session over UDP, carrying one media stream: RTP on rxPort (bound)
// and txPort (destination), RTCP on the port above each. Wraps oRTP.
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

    // With promiscuous reception, packets of a sender the session has not yet
    // seen are delivered from the first one on.
    void SetPromiscuous(bool promiscuous);

    // Sends one RTP data packet; false when it could not be sent.
    bool SendPacket(uint32_t timestamp, int payloadType, bool marker, std::span<const uint8_t> payload);
    // Sends one sample cut into 1400-byte packets, all with `timestamp`, the
    // marker on the last. False when any packet could not be sent.
    bool SendSample(std::span<const uint8_t> sample, uint32_t timestamp);
    // Sends an RTCP BYE to txPort + 1.
    void SendBye();

    // Waits up to `timeoutMs` for traffic on the session's sockets (or on
    // `wakeFd`, when not negative), then hands every received RTP data packet
    // to OnRtpPacket before returning.
    void Poll(int timeoutMs, int wakeFd = -1);

protected:
    // Called by Poll for each received RTP data packet. The payload is only
    // valid during the call.
    virtual void OnRtpPacket(std::span<const uint8_t> payload, bool marker, uint32_t timestamp);

private:
    void DeliverReceived();

    _RtpSession *session = nullptr;
    int txPort = 0;
    int rxPort = 0;
    // oRTP reads the socket only when the user timestamp passed to it changes,
    // so each read uses the next value.
    uint32_t receiveClock = 0;
};

} // namespace kestrel::filters
