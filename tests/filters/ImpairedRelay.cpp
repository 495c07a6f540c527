#include "ImpairedRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kestrel::testing {

namespace {

sockaddr_in MakeAddress(const std::string &address, int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &result.sin_addr);
    return result;
}

platform::UniqueFd BoundSocket(const ImpairedRelay::Endpoint &endpoint)
{
    platform::UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const sockaddr_in local = MakeAddress(endpoint.address, endpoint.port);
    if (!fd || bind(fd.Get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        return {};
    const int bufferBytes = 4 * 1024 * 1024;
    setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    return fd;
}

} // namespace

ImpairedRelay::ImpairedRelay(Endpoint listen, Endpoint sendFrom, Endpoint destination, Impairment impairment)
    : impairment(impairment), destination(std::move(destination)), listenSocket(BoundSocket(listen)),
      sendSocket(BoundSocket(sendFrom)), wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), random(impairment.seed)
{
    ready = listenSocket && sendSocket && wake;
    if (ready)
        thread = std::thread(&ImpairedRelay::Run, this);
}

ImpairedRelay::~ImpairedRelay()
{
    if (thread.joinable()) {
        const uint64_t one = 1;
        if (write(wake.Get(), &one, sizeof one) < 0) {
            // the counter is saturated: the thread is woken already
        }
        thread.join();
    }
}

ImpairedRelay::Stats ImpairedRelay::Counters() const
{
    std::lock_guard lock(statsLock);
    return stats;
}

std::vector<bool> ImpairedRelay::Forwarded() const
{
    std::lock_guard lock(statsLock);
    return forwarded;
}

bool ImpairedRelay::WaitUntilIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(statsLock);
    return idle.wait_for(lock, timeout, [this] { return inFlight == 0; });
}

void ImpairedRelay::Run()
{
    for (;;) {
        const Clock::time_point now = Clock::now();
        SendDue(now);
        // A held datagram that nothing overtook within the jitter leaves on its own.
        if (holding && now - heldSince >= impairment.delay + impairment.jitter) {
            holding = false;
            Schedule(std::move(heldBack), now);
        }
        int timeoutMs = -1;
        auto nextEvent = Clock::time_point::max();
        if (!queue.empty())
            nextEvent = queue.front().departure;
        if (holding)
            nextEvent = std::min(nextEvent, heldSince + impairment.delay + impairment.jitter);
        if (nextEvent != Clock::time_point::max()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextEvent - now);
            timeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
        }
        pollfd fds[2] = {{listenSocket.Get(), POLLIN, 0}, {wake.Get(), POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents != 0)
            Receive(Clock::now());
    }
}

void ImpairedRelay::Receive(Clock::time_point now)
{
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<long> jitterMs(-impairment.jitter.count(), impairment.jitter.count());
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const ssize_t length = recv(listenSocket.Get(), buffer.data(), buffer.size(), 0);
        if (length < 0)
            return;
        std::vector<std::uint8_t> bytes(buffer.begin(), buffer.begin() + length);
        // Draws in a fixed order per datagram, so one seed is one run.
        const bool lose = chance(random) < impairment.lossRate;
        const bool duplicate = chance(random) < impairment.duplicateRate;
        const bool reorder = chance(random) < impairment.reorderRate;
        const auto departure = now + impairment.delay + std::chrono::milliseconds(jitterMs(random));
        {
            std::lock_guard lock(statsLock);
            ++stats.received;
            forwarded.push_back(!lose);
            if (lose)
                ++stats.dropped;
            else
                inFlight += duplicate ? 2 : 1;
        }
        if (lose) {
            idle.notify_all();
            continue;
        }
        if (duplicate) {
            std::lock_guard lock(statsLock);
            ++stats.duplicated;
        }
        if (reorder && !holding) {
            // Leaves after the next datagram (its copy, if any, goes as usual).
            std::lock_guard lock(statsLock);
            ++stats.reordered;
            holding = true;
            heldSince = now;
            heldBack = bytes;
            if (duplicate)
                Schedule(std::move(bytes), departure);
            continue;
        }
        Schedule(bytes, departure);
        if (duplicate)
            Schedule(std::move(bytes), departure);
        if (holding) {
            holding = false;
            Schedule(std::move(heldBack), departure);
        }
    }
}

void ImpairedRelay::Schedule(std::vector<std::uint8_t> bytes, Clock::time_point departure)
{
    // Never before the datagram scheduled last: jitter does not reorder.
    departure = std::max(departure, lastDeparture);
    lastDeparture = departure;
    queue.push_back({departure, std::move(bytes)});
}

void ImpairedRelay::SendDue(Clock::time_point now)
{
    const sockaddr_in to = MakeAddress(destination.address, destination.port);
    std::size_t sent = 0;
    while (!queue.empty() && queue.front().departure <= now) {
        const Pending &next = queue.front();
        if (sendto(sendSocket.Get(), next.bytes.data(), next.bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                   sizeof to)
            < 0 && errno == EAGAIN)
            break; // the socket's buffer is full: try again on the next pass
        queue.pop_front();
        ++sent;
    }
    if (sent == 0)
        return;
    {
        std::lock_guard lock(statsLock);
        stats.sent += sent;
        inFlight -= std::min(inFlight, sent);
    }
    idle.notify_all();
}

} // namespace kestrel::testing
