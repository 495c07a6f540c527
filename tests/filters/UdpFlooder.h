#pragma once

#include "platform/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kestrel::testing {

// Sends UDP datagrams at a steady rate from one loopback address to another
// until stopped: every tenth a well-formed RTP packet, the rest junk of 1 to
// 1500 bytes, as a hostile or broken host would.
//
// Threads: one sending thread, paced by a 1 ms timerfd, started by Start and
// woken (eventfd) and joined by Stop or the destructor.
class UdpFlooder {
public:
    UdpFlooder(std::string fromAddress, std::string toAddress, int toPort, unsigned packetsPerSecond);
    ~UdpFlooder();
    UdpFlooder(const UdpFlooder &) = delete;
    UdpFlooder &operator=(const UdpFlooder &) = delete;

    bool Start();
    void Stop();
    std::uint64_t Sent() const { return sent.load(); }
    // Waits until `count` datagrams went out; false at the deadline.
    bool WaitForSent(std::uint64_t count, std::chrono::milliseconds deadline);

private:
    void Run();

    std::string toAddress;
    int toPort;
    unsigned packetsPerSecond;
    platform::UniqueFd socketFd;
    platform::UniqueFd timer;
    platform::UniqueFd wake;
    std::atomic<std::uint64_t> sent{0};
    std::mutex sentLock; // orders a count against a waiter's check
    std::condition_variable sentChanged;
    std::thread thread;
};

// This process's resident memory in KiB (VmRSS), for what a flood costs.
std::size_t ResidentKiB();

} // namespace kestrel::testing
