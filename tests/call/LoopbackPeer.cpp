#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace kestrel::call::test {

namespace {

sockaddr_in Address(const std::string &text, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, text.c_str(), &address.sin_addr);
    return address;
}

bool Readable(int fd, std::chrono::milliseconds wait)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(wait.count())) > 0;
}

} // namespace

LoopbackPeer::LoopbackPeer(const std::string &localAddress) : localAddress(localAddress) {}

LoopbackPeer::~LoopbackPeer()
{
    Close();
}

bool LoopbackPeer::Open(int receiveBuffer)
{
    Close();
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const sockaddr_in local = Address(localAddress, 0);
    return ::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0;
}

bool LoopbackPeer::Connect(const std::string &address, int port, int receiveBuffer)
{
    if ((fd < 0 || receiveBuffer > 0) && !Open(receiveBuffer))
        return false;
    const sockaddr_in remote = Address(address, port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0;
    if (!connected)
        Close(); // a failed connect leaves the socket unusable
    return connected;
}

void LoopbackPeer::SendBytes(const void *bytes, size_t count)
{
    [[maybe_unused]] auto sent = ::send(fd, bytes, count, MSG_NOSIGNAL);
}

void LoopbackPeer::Send(const SignalMessage &message)
{
    const SignalRecord record = EncodeSignal(message);
    SendBytes(record.data(), record.size());
}

std::optional<SignalMessage> LoopbackPeer::Read(std::chrono::milliseconds wait)
{
    SignalRecord record{};
    size_t filled = 0;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (filled < record.size()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd, left))
            return std::nullopt;
        ssize_t count = ::recv(fd, record.data() + filled, record.size() - filled, 0);
        if (count <= 0)
            return std::nullopt;
        filled += static_cast<size_t>(count);
    }
    return DecodeSignal(record);
}

bool LoopbackPeer::WaitForEnd(std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd, left))
            return false;
        char byte;
        if (::recv(fd, &byte, 1, 0) <= 0)
            return true;
    }
}

void LoopbackPeer::Close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

LoopbackListener::LoopbackListener(const std::string &address, int port)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = Address(address, port);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 || ::listen(fd, 5) != 0) {
        ::close(fd);
        fd = -1;
    }
}

LoopbackListener::~LoopbackListener()
{
    for (int connection : accepted)
        if (connection >= 0)
            ::close(connection);
    if (fd >= 0)
        ::close(fd);
}

int LoopbackListener::Accept(std::chrono::milliseconds wait)
{
    if (fd < 0 || !Readable(fd, wait))
        return -1;
    int connection = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    for (int &slot : accepted) {
        if (slot < 0) {
            slot = connection;
            return connection;
        }
    }
    ::close(connection);
    return -1;
}

FullBacklogListener::FullBacklogListener(const std::string &address, int port)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = Address(address, port);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Backlog 1 holds two accepted connections (the kernel refuses a third
    // when more than the backlog wait).
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 || ::listen(fd, 1) != 0)
        return;
    for (int &filler : fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(filler, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
            return;
    }
    // The kernel counts the waiting connections of a listener in tcpi_unacked.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        tcp_info info{};
        socklen_t length = sizeof info;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 && info.tcpi_unacked >= 2) {
            full = true;
            return;
        }
        std::this_thread::yield();
    }
}

FullBacklogListener::~FullBacklogListener()
{
    for (int filler : fillers)
        if (filler >= 0)
            ::close(filler);
    if (fd >= 0)
        ::close(fd);
}

} // namespace kestrel::call::test
