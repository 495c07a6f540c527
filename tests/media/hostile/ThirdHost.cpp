#include "tests/media/hostile/ThirdHost.h"

#include "tests/media/hostile/HostileCall.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>

#include <algorithm>
#include <cerrno>
#include <random>

namespace kestrel::media::hostile {

namespace {

constexpr std::uint32_t kStrangerSsrc = 0x7E7E7E7E;
// A QCIF H.263 picture start code and picture type of a key frame: the
// bytes a decoder's key-frame wait lets through.
constexpr std::uint8_t kKeyFrameHeader[] = {0x00, 0x00, 0x80, 0x02, 0x08};

sockaddr_in AddressOf(const std::string &address, int port)
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &at.sin_addr);
    return at;
}

void Put16(std::vector<std::uint8_t> &bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

void Put32(std::vector<std::uint8_t> &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// An RTP header (version 2, marker, payload type 0, the stranger's SSRC)
// followed by a key-frame header, the signature and noise up to `size` bytes.
std::vector<std::uint8_t> RtpLike(std::size_t size, std::uint16_t sequence, std::mt19937 &random)
{
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(size, 12));
    for (auto &byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    bytes[0] = 0x80;
    bytes[1] = 0x80;
    Put16(bytes, 2, sequence);
    Put32(bytes, 4, sequence * 3000u);
    Put32(bytes, 8, kStrangerSsrc);
    std::vector<std::uint8_t> payload(std::begin(kKeyFrameHeader), std::end(kKeyFrameHeader));
    payload.insert(payload.end(), StrangerSignature().begin(), StrangerSignature().end());
    std::copy_n(payload.begin(), std::min(payload.size(), bytes.size() - 12), bytes.begin() + 12);
    bytes.resize(size);
    return bytes;
}

bool WaitWritable(int fd)
{
    pollfd writable{fd, POLLOUT, 0};
    return poll(&writable, 1, 100) == 1;
}

} // namespace

CThirdHost::CThirdHost(std::string hostAddress, std::vector<int> hostPorts, std::uint32_t hostSeed)
    : address(std::move(hostAddress)), ports(std::move(hostPorts)), seed(hostSeed)
{
    ready = true;
    for (int port : ports) {
        platform::UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        const sockaddr_in local = AddressOf(address, port);
        ready = ready && fd && bind(fd.Get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0;
        sockets.push_back(std::move(fd));
    }
}

std::vector<std::uint8_t> CThirdHost::Malformed(std::uint32_t index, std::uint32_t seed)
{
    std::mt19937 random(seed * 7919u + index);
    const auto sequence = static_cast<std::uint16_t>(index);
    switch (index % 10) {
    case 0: return {}; // empty
    case 1: return RtpLike(1 + index % 11, sequence, random); // shorter than a header
    case 2: { // version 0, 1 or 3
        auto bytes = RtpLike(200, sequence, random);
        bytes[0] = static_cast<std::uint8_t>(((index / 10) % 3 == 0 ? 0u : (index / 10) % 3 == 1 ? 1u : 3u) << 6);
        return bytes;
    }
    case 3: { // padding that claims no bytes
        auto bytes = RtpLike(200, sequence, random);
        bytes[0] |= 0x20;
        bytes.back() = 0;
        return bytes;
    }
    case 4: { // padding longer than the payload
        auto bytes = RtpLike(40, sequence, random);
        bytes[0] |= 0x20;
        bytes.back() = 200;
        return bytes;
    }
    case 5: { // fifteen contributing sources in a 20-byte datagram
        auto bytes = RtpLike(20, sequence, random);
        bytes[0] |= 0x0F;
        return bytes;
    }
    case 6: { // a header extension running past the end
        auto bytes = RtpLike(60, sequence, random);
        bytes[0] |= 0x10;
        Put16(bytes, 14, 0xFFFF);
        return bytes;
    }
    case 7: return RtpLike(1481 + random() % 6000, sequence, random); // larger than any packet of ours
    case 8: return RtpLike(65000, sequence, random);                  // nearly the largest datagram
    default: { // noise with the signature inside
        std::vector<std::uint8_t> bytes(1 + random() % 1500);
        for (auto &byte : bytes)
            byte = static_cast<std::uint8_t>(random());
        std::copy_n(StrangerSignature().begin(), std::min(bytes.size(), StrangerSignature().size()), bytes.begin());
        return bytes;
    }
    }
}

std::vector<std::uint8_t> CThirdHost::WellFormed(std::uint16_t sequence, int port)
{
    std::mt19937 random(sequence);
    // Audio ports get a TrueSpeech-sized sample, video ports a small picture.
    const bool audio = port == kMediaPort - 2 || port == kMediaPort - 1;
    return RtpLike(12 + (audio ? 32 : 200), sequence, random);
}

std::size_t CThirdHost::Send(const std::string &victim, int malformed, int wellFormed,
                             std::chrono::milliseconds spread)
{
    if (!ready)
        return 0;
    // The order of what goes out: malformed and well-formed alternating as
    // far as both last, to every port in turn.
    struct Datagram {
        std::size_t socket;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Datagram> plan;
    for (int i = 0; i < std::max(malformed, wellFormed); ++i)
        for (std::size_t s = 0; s < ports.size(); ++s) {
            if (i < malformed)
                plan.push_back({s, Malformed(static_cast<std::uint32_t>(i), seed)});
            if (i < wellFormed)
                plan.push_back({s, WellFormed(static_cast<std::uint16_t>(seed * 4096 + i), ports[s])});
        }

    platform::UniqueFd timer(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));
    itimerspec tick{};
    tick.it_interval.tv_nsec = 1000000;
    tick.it_value = tick.it_interval;
    if (!timer || timerfd_settime(timer.Get(), 0, &tick, nullptr) != 0)
        return 0;
    const auto ticks = std::max<std::int64_t>(1, spread.count());
    std::size_t sent = 0;
    std::int64_t elapsed = 0;
    while (sent < plan.size()) {
        pollfd wait{timer.Get(), POLLIN, 0};
        std::uint64_t expirations = 0;
        if (poll(&wait, 1, 1000) != 1 || read(timer.Get(), &expirations, sizeof expirations) <= 0)
            break;
        elapsed += static_cast<std::int64_t>(expirations);
        const auto due = std::min<std::size_t>(plan.size(), plan.size() * std::min(elapsed, ticks) / ticks);
        for (; sent < due; ++sent) {
            const Datagram &datagram = plan[sent];
            const int fd = sockets[datagram.socket].Get();
            const sockaddr_in to = AddressOf(victim, ports[datagram.socket]);
            while (sendto(fd, datagram.bytes.data(), datagram.bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                          sizeof to) < 0 && errno == EAGAIN && WaitWritable(fd)) {
            }
        }
    }
    return sent;
}

std::size_t CThirdHost::Received()
{
    std::vector<std::uint8_t> buffer(65536);
    for (const auto &fd : sockets)
        while (recv(fd.Get(), buffer.data(), buffer.size(), 0) >= 0)
            ++received;
    return received;
}

} // namespace kestrel::media::hostile
