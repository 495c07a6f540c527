#include "UdpFlooder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace kestrel::testing {

namespace {
constexpr unsigned kTicksPerSecond = 1000;
constexpr std::size_t kMaxBatch = 1024;
} // namespace

UdpFlooder::UdpFlooder(std::string fromAddress, std::string toAddress, int toPort, unsigned packetsPerSecond)
    : toAddress(std::move(toAddress)), toPort(toPort), packetsPerSecond(packetsPerSecond),
      socketFd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)),
      timer(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)), wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, fromAddress.c_str(), &local.sin_addr);
    if (socketFd && bind(socketFd.Get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        socketFd.Reset();
}

UdpFlooder::~UdpFlooder()
{
    Stop();
}

bool UdpFlooder::Start()
{
    if (!socketFd || !timer || !wake || thread.joinable())
        return false;
    itimerspec tick{};
    tick.it_interval.tv_nsec = 1000000000L / kTicksPerSecond;
    tick.it_value = tick.it_interval;
    if (timerfd_settime(timer.Get(), 0, &tick, nullptr) != 0)
        return false;
    thread = std::thread(&UdpFlooder::Run, this);
    return true;
}

void UdpFlooder::Stop()
{
    if (!thread.joinable())
        return;
    const uint64_t one = 1;
    if (write(wake.Get(), &one, sizeof one) < 0) {
        // saturated: the thread is woken already
    }
    thread.join();
}

void UdpFlooder::Run()
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(toPort));
    inet_pton(AF_INET, toAddress.c_str(), &to.sin_addr);
    std::mt19937 random(12345);
    // A fixed set of datagrams, sent over and over.
    std::vector<std::vector<uint8_t>> datagrams(kMaxBatch);
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        auto &bytes = datagrams[i];
        bytes.resize(1 + random() % 1500);
        for (auto &byte : bytes)
            byte = static_cast<uint8_t>(random());
        if (i % 10 == 0 && bytes.size() >= 12) {
            bytes[0] = 0x80; // version 2, no padding, extension or contributing sources
            bytes[1] = (i % 20 == 0) ? 0x80 : 0x00;
        }
    }
    std::array<iovec, kMaxBatch> vectors{};
    std::array<mmsghdr, kMaxBatch> messages{};
    for (std::size_t i = 0; i < kMaxBatch; ++i) {
        vectors[i] = {datagrams[i].data(), datagrams[i].size()};
        messages[i].msg_hdr.msg_name = &to;
        messages[i].msg_hdr.msg_namelen = sizeof to;
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    double owed = 0; // datagrams due but not yet sent, carried across ticks
    for (;;) {
        pollfd fds[2] = {{timer.Get(), POLLIN, 0}, {wake.Get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        uint64_t ticks = 0;
        if (read(timer.Get(), &ticks, sizeof ticks) <= 0)
            continue;
        owed += static_cast<double>(ticks) * packetsPerSecond / kTicksPerSecond;
        while (owed >= 1) {
            const unsigned batch = static_cast<unsigned>(std::min<double>(owed, kMaxBatch));
            const int done = sendmmsg(socketFd.Get(), messages.data(), batch, 0);
            if (done <= 0) {
                owed = 0; // the socket is full: what could not go is not owed
                break;
            }
            sent += static_cast<uint64_t>(done);
            owed -= done;
        }
        { std::lock_guard hold(sentLock); }
        sentChanged.notify_all();
    }
}

bool UdpFlooder::WaitForSent(std::uint64_t count, std::chrono::milliseconds deadline)
{
    std::unique_lock hold(sentLock);
    return sentChanged.wait_for(hold, deadline, [&] { return sent.load() >= count; });
}

std::size_t ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoul(line.substr(6));
    return 0;
}

} // namespace kestrel::testing
