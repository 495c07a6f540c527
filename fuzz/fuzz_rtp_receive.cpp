// The RTP receive path as a receiving channel runs it: each datagram is
// checked (sender, then packet) and an accepted one goes to reassembly; the
// streaming side takes samples into video- or audio-sized buffers.
//
// Input: up to 64 datagrams, each a control byte (bit 0: from a stranger
// rather than the peer; bit 1: the stream goes quiet afterwards; bit 2: take
// a sample afterwards; bit 3: into an audio-sized buffer), a 16-bit length
// (kept to the largest UDP payload, 65507) and that many bytes.
#include "FuzzCheck.h"
#include "filters/RtpFrameAssembler.h"
#include "filters/RtpPacket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <memory>

using namespace kestrel::filters;

namespace {

constexpr std::size_t kMaxDatagrams = 64;
constexpr std::size_t kMaxUdpPayload = 65507;

sockaddr_in Address(const char *text)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(6080);
    inet_pton(AF_INET, text, &address.sin_addr);
    return address;
}

void TakeOne(CRtpFrameAssembler &assembler, bool audioSized)
{
    static std::array<uint8_t, 25344> buffer;
    CRtpFrameAssembler::Frame frame;
    const std::size_t capacity = audioSized ? 1500 : buffer.size();
    if (assembler.Take({buffer.data(), capacity}, frame) == CRtpFrameAssembler::TakeResult::Taken) {
        FUZZ_CHECK(frame.length > 0);
        FUZZ_CHECK(static_cast<std::size_t>(frame.length) < kRtpFrameCapacity);
        FUZZ_CHECK(static_cast<std::size_t>(frame.length) <= capacity);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static const sockaddr_in peer = Address("192.0.2.7");
    static const sockaddr_in stranger = Address("192.0.2.66");
    CRtpPeerFilter filter;
    filter.Set("192.0.2.7");
    // Large records: on the heap, as inside the receiver.
    auto assembler = std::make_unique<CRtpFrameAssembler>();
    // What a channel's receive buffer holds: one byte beyond the largest datagram accepted.
    std::array<uint8_t, kMaxRtpDatagramBytes + 1> received;

    std::size_t at = 0;
    for (std::size_t datagram = 0; datagram < kMaxDatagrams && at + 3 <= size; ++datagram) {
        const uint8_t control = data[at];
        std::size_t length = std::size_t(data[at + 1]) << 8 | data[at + 2];
        at += 3;
        length = std::min({length, kMaxUdpPayload, size - at});
        const std::size_t kept = std::min(length, received.size());
        std::copy(data + at, data + at + kept, received.begin());
        at += length;

        const sockaddr_in &source = (control & 1) ? stranger : peer;
        RtpPacketView packet;
        const DatagramVerdict verdict = CheckRtpDatagram({received.data(), kept}, length,
                                                         reinterpret_cast<const sockaddr *>(&source), sizeof source,
                                                         filter, packet);
        FUZZ_CHECK(verdict != DatagramVerdict::Accepted || (!(control & 1) && length <= kMaxRtpDatagramBytes));
        if (verdict == DatagramVerdict::Accepted) {
            FUZZ_CHECK(packet.payload.data() >= received.data());
            FUZZ_CHECK(packet.payload.data() + packet.payload.size() <= received.data() + kept);
            assembler->AddPacket(packet);
        }
        FUZZ_CHECK(assembler->QueuedCount() <= CRtpFrameAssembler::kQueueDepth);
        if (control & 2)
            assembler->ExpireWaiting();
        if (control & 4)
            TakeOne(*assembler, (control & 8) != 0);
    }
    assembler->ExpireWaiting();
    while (assembler->QueuedCount() > 0)
        TakeOne(*assembler, false);
    return 0;
}
