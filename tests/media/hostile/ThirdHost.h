#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::media::hostile {

// A host that is not in the call. From its own address, one socket per
// port, it sends well-formed RTP (a QCIF H.263 key-frame header, or
// TrueSpeech-sized audio, carrying the stranger's signature) and malformed
// datagrams (empty, truncated, wrong versions, bad padding, contributing
// sources and header extensions past the end, oversized, noise) to a
// victim's media ports, and counts whatever reaches its sockets: a
// receiver must never answer a stranger.
//
// Threads: one; the sends are paced on a 1 ms timerfd.
class CThirdHost {
public:
    CThirdHost(std::string address, std::vector<int> ports, std::uint32_t seed);
    bool IsReady() const { return ready; }

    // Sends `malformed` malformed and `wellFormed` well-formed datagrams to
    // each port of `victim`, interleaved and spread evenly over `spread`.
    // The number sent.
    std::size_t Send(const std::string &victim, int malformed, int wellFormed, std::chrono::milliseconds spread);
    // Datagrams its sockets have received so far.
    std::size_t Received();

    // Datagram `index` of the malformed kinds (exposed for the tests of the kinds).
    static std::vector<std::uint8_t> Malformed(std::uint32_t index, std::uint32_t seed);
    static std::vector<std::uint8_t> WellFormed(std::uint16_t sequence, int port);

private:
    const std::string address;
    const std::vector<int> ports;
    const std::uint32_t seed;
    std::vector<platform::UniqueFd> sockets;
    std::size_t received = 0;
    bool ready = false;
};

} // namespace kestrel::media::hostile
