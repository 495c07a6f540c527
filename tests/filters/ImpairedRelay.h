#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::testing {

// What the network does to the datagrams an ImpairedRelay forwards. Every
// draw comes from one generator seeded with `seed`, so a run can be repeated.
struct Impairment {
    double lossRate = 0.0;                  // share of datagrams dropped
    std::chrono::milliseconds delay{0};     // every datagram is held this long...
    std::chrono::milliseconds jitter{0};    // ... plus or minus up to this, uniformly
    double reorderRate = 0.0;               // share held back until after the next one
    double duplicateRate = 0.0;             // share sent twice
    std::uint32_t seed = 1;
};

// A user-space UDP relay for loss tests over loopback: receives datagrams on
// one address and port and sends them on, impaired, from another address to
// a destination. Jitter keeps the order (a datagram never leaves before the
// one received before it, as on one path); reordering is separate: a datagram
// picked for it leaves right after the next one instead of before it.
//
// Threads: one relay thread, started by the constructor and stopped (woken
// through an eventfd, then joined) by the destructor. The counters and the
// record of what was dropped are read under statsLock from any thread.
class ImpairedRelay {
public:
    struct Endpoint {
        std::string address;
        int port = 0;
    };
    struct Stats {
        std::uint64_t received = 0;
        std::uint64_t dropped = 0;
        std::uint64_t duplicated = 0;
        std::uint64_t reordered = 0;
        std::uint64_t sent = 0;
    };

    // Listens on `listen`, sends from `sendFrom` (port 0: any) to `destination`.
    ImpairedRelay(Endpoint listen, Endpoint sendFrom, Endpoint destination, Impairment impairment);
    ~ImpairedRelay();
    ImpairedRelay(const ImpairedRelay &) = delete;
    ImpairedRelay &operator=(const ImpairedRelay &) = delete;

    // False when a socket could not be made or bound; the relay then does nothing.
    bool IsReady() const { return ready; }
    Stats Counters() const;
    // For each datagram received so far, in order of arrival: whether it
    // was forwarded at least once.
    std::vector<bool> Forwarded() const;
    // Waits until every datagram received so far has left (or was dropped),
    // up to `timeout`; true when none is still held.
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point departure;
        std::vector<std::uint8_t> bytes;
    };

    void Run();
    void Receive(Clock::time_point now);
    void Schedule(std::vector<std::uint8_t> bytes, Clock::time_point departure);
    void SendDue(Clock::time_point now);

    Impairment impairment;
    Endpoint destination;
    platform::UniqueFd listenSocket;
    platform::UniqueFd sendSocket;
    platform::UniqueFd wake; // eventfd: the destructor's stop
    bool ready = false;

    // Relay thread only.
    std::mt19937 random;
    std::deque<Pending> queue;       // in departure order
    Clock::time_point lastDeparture{};
    std::vector<std::uint8_t> heldBack; // waiting for the next datagram to overtake it
    bool holding = false;
    Clock::time_point heldSince{};

    mutable std::mutex statsLock; // guards the fields below
    mutable std::condition_variable idle;
    Stats stats;
    std::vector<bool> forwarded;
    std::size_t inFlight = 0; // received, neither sent nor dropped yet

    std::thread thread;
};

} // namespace kestrel::testing
