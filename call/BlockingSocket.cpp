#include "BlockingSocket.h"

#include "NameLookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace kestrel::call {

using Clock = std::chrono::steady_clock;

// Owns one descriptor. Shared between the socket object and the blocking
// calls in flight on it, so the descriptor outlives every call that uses it.
class CBlockingSocket::Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd > 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    // Hands the descriptor over to the caller, who closes it.
    int Release()
    {
        int released = fd;
        fd = 0;
        return released;
    }

    int fd;
};

namespace {

// Handle 0 means "no socket", so a socket the kernel numbered 0 (standard
// input closed) moves to another number.
int AvoidZero(int fd)
{
    if (fd != 0)
        return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
    int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

using Readiness = CBlockingSocket::Readiness;

// Waits until the socket is ready for `events`, `wait` (-1: no limit) has
// passed, or one of `wakeFds` is readable. A failing poll counts as ready:
// the transfer then reports the error.
Readiness WaitFor(int fd, short events, std::chrono::milliseconds wait, std::span<const int> wakeFds = {})
{
    const bool unlimited = wait.count() < 0;
    const auto deadline = Clock::now() + (unlimited ? std::chrono::milliseconds(0) : wait);
    std::vector<pollfd> entries;
    entries.reserve(1 + wakeFds.size());
    entries.push_back({fd, events, 0});
    for (int wakeFd : wakeFds)
        entries.push_back({wakeFd, POLLIN, 0});
    for (;;) {
        int timeoutMs = -1;
        if (!unlimited) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        int result = ::poll(entries.data(), entries.size(), timeoutMs);
        if (result == 0)
            return Readiness::TimedOut;
        if (result < 0 && errno == EINTR)
            continue;
        if (result > 0 && entries[0].revents == 0)
            return Readiness::Woken;
        return Readiness::Ready;
    }
}

std::chrono::milliseconds Seconds(int seconds)
{
    return seconds < 0 ? std::chrono::milliseconds(-1) : std::chrono::milliseconds(seconds * 1000LL);
}

// gethostbyname's error numbers (h_errno) for getaddrinfo's results.
int HostErrorNumber(int gaiResult)
{
    switch (gaiResult) {
    case EAI_AGAIN:
        return TRY_AGAIN;
    case EAI_FAIL:
        return NO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return NO_DATA;
#endif
    default:
        return HOST_NOT_FOUND;
    }
}

} // namespace

sockaddr_in MakeAddress(in_addr_t address, uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address;
    return result;
}

CBlockingSocket::~CBlockingSocket()
{
    try {
        Close();
    } catch (const CBlockingSocketException &) {
        // nothing left to report to at destruction
    }
}

// One call's hold on the descriptor: taken and let go under descriptorLock.
class CBlockingSocket::InUse {
public:
    explicit InUse(const CBlockingSocket &socket) : socket(socket)
    {
        std::lock_guard lock(socket.descriptorLock);
        held = socket.descriptor;
    }
    ~InUse()
    {
        std::lock_guard lock(socket.descriptorLock);
        held.reset();
    }
    InUse(const InUse &) = delete;
    InUse &operator=(const InUse &) = delete;

    explicit operator bool() const { return held != nullptr; }
    const Descriptor *operator->() const { return held.get(); }
    // False once Close (or a new socket) has replaced what this call holds.
    bool StillCurrent() const
    {
        std::lock_guard lock(socket.descriptorLock);
        return socket.descriptor == held;
    }

private:
    const CBlockingSocket &socket;
    std::shared_ptr<Descriptor> held;
};

CBlockingSocket::InUse CBlockingSocket::Current() const
{
    return InUse(*this);
}

void CBlockingSocket::Adopt(int fd)
{
    auto adopted = fd > 0 ? std::make_shared<Descriptor>(fd) : nullptr;
    std::lock_guard lock(descriptorLock);
    descriptor = std::move(adopted); // a previous socket closes with its last user
}

int CBlockingSocket::handle() const
{
    std::lock_guard lock(descriptorLock);
    return descriptor ? descriptor->fd : 0;
}

void CBlockingSocket::Create(int type)
{
    int fd = AvoidZero(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (fd < 0)
        throw CBlockingSocketException("Create", errno);
    Adopt(fd);
}

void CBlockingSocket::Bind(const sockaddr_in &address)
{
    auto current = Current();
    if (!current || ::bind(current->fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        throw CBlockingSocketException("Bind", current ? errno : EBADF);
}

void CBlockingSocket::Listen()
{
    auto current = Current();
    if (!current || ::listen(current->fd, 5) != 0)
        throw CBlockingSocketException("Listen", current ? errno : EBADF);
}

void CBlockingSocket::ReuseAddress()
{
    auto current = Current();
    int on = 1;
    if (current)
        ::setsockopt(current->fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

bool CBlockingSocket::Accept(CBlockingSocket &target, sockaddr_in *address)
{
    auto listening = Current();
    if (!listening)
        throw CBlockingSocketException("Accept", EBADF);
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        int fd = ::accept4(listening->fd, reinterpret_cast<sockaddr *>(&from), &length, SOCK_CLOEXEC);
        int error = errno;
        if (fd >= 0) {
            fd = AvoidZero(fd);
            error = errno;
        }
        if (fd > 0) {
            target.Adopt(fd);
            if (address)
                *address = from;
            return true;
        }
        target.Adopt(0);
        // Close from another thread shut the socket down, which is what ended the wait.
        if (!listening.StillCurrent())
            return false;
        if (error == EINTR || error == ECONNABORTED)
            continue;
        throw CBlockingSocketException("Accept", error);
    }
}

int CBlockingSocket::Close()
{
    std::unique_lock lock(descriptorLock);
    std::shared_ptr<Descriptor> closing = std::move(descriptor);
    if (!closing)
        return 0;
    if (closing.use_count() > 1) {
        // Another thread is blocked on this socket: wake it. The descriptor
        // is closed when that call lets go of it.
        ::shutdown(closing->fd, SHUT_RDWR);
        closing.reset();
        return 0;
    }
    const int fd = closing->Release();
    closing.reset();
    lock.unlock();
    if (::close(fd) != 0)
        throw CBlockingSocketException("Close", errno);
    return 0;
}

void CBlockingSocket::SetNonBlocking()
{
    auto current = Current();
    if (current)
        ::fcntl(current->fd, F_SETFL, ::fcntl(current->fd, F_GETFL) | O_NONBLOCK);
}

void CBlockingSocket::Connect(const sockaddr_in &address)
{
    Connect(address, std::chrono::milliseconds(-1), {});
}

void CBlockingSocket::Connect(const sockaddr_in &address, std::chrono::milliseconds wait,
                              std::span<const int> wakeFds)
{
    auto current = Current();
    if (!current)
        throw CBlockingSocketException("Connect", EBADF);
    // The connection is started without blocking so that the wait for it
    // has a limit and can be woken; the socket blocks again afterwards.
    const int flags = ::fcntl(current->fd, F_GETFL);
    ::fcntl(current->fd, F_SETFL, flags | O_NONBLOCK);
    int error = 0;
    if (::connect(current->fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        error = errno;
    if (error == EINPROGRESS || error == EINTR) {
        switch (WaitFor(current->fd, POLLOUT, wait, wakeFds)) {
        case Readiness::TimedOut:
            error = ETIMEDOUT;
            break;
        case Readiness::Woken:
            error = ECANCELED;
            break;
        case Readiness::Ready: {
            if (!current.StillCurrent()) {
                error = ECANCELED; // closed by another thread
                break;
            }
            socklen_t length = sizeof error;
            if (::getsockopt(current->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
            break;
        }
        }
    }
    ::fcntl(current->fd, F_SETFL, flags);
    if (error != 0)
        throw CBlockingSocketException("Connect", error);
}

int CBlockingSocket::Send(const void *buffer, int length, int seconds)
{
    auto current = Current();
    if (!current)
        throw CBlockingSocketException("Send", EBADF);
    if (WaitFor(current->fd, POLLOUT, Seconds(seconds)) == Readiness::TimedOut)
        throw CBlockingSocketException("Send timeout", 0);
    ssize_t sent;
    do {
        sent = ::send(current->fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        throw CBlockingSocketException("Send", errno);
    return static_cast<int>(sent);
}

int CBlockingSocket::Receive(void *buffer, int length, int seconds)
{
    return ReceiveWithin(buffer, length, Seconds(seconds));
}

int CBlockingSocket::ReceiveWithin(void *buffer, int length, std::chrono::milliseconds wait)
{
    auto current = Current();
    if (!current) {
        errno = EBADF;
        return -1;
    }
    if (WaitFor(current->fd, POLLIN, wait) == Readiness::TimedOut)
        throw CBlockingSocketException("Receive timeout", 0);
    ssize_t received;
    do {
        received = ::recv(current->fd, buffer, static_cast<size_t>(length), 0);
    } while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

int CBlockingSocket::Write(const void *buffer, int length, int seconds)
{
    const auto *bytes = static_cast<const char *>(buffer);
    int done = 0;
    while (done < length)
        done += Send(bytes + done, length - done, seconds);
    return length;
}

CBlockingSocket::Readiness CBlockingSocket::WaitReady(short events, std::chrono::milliseconds wait,
                                                     std::span<const int> wakeFds) const
{
    auto current = Current();
    if (!current)
        return Readiness::Ready; // the transfer reports that there is no socket
    return WaitFor(current->fd, events, wait, wakeFds);
}

int CBlockingSocket::SendWithoutWaiting(const void *buffer, int length)
{
    auto current = Current();
    if (!current) {
        errno = EBADF;
        return -1;
    }
    ssize_t sent;
    do {
        sent = ::send(current->fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int CBlockingSocket::ReceiveWithoutWaiting(void *buffer, int length)
{
    auto current = Current();
    if (!current) {
        errno = EBADF;
        return -1;
    }
    ssize_t received;
    do {
        received = ::recv(current->fd, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    } while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

bool CBlockingSocket::PeerHasLeft() const
{
    auto current = Current();
    if (!current)
        return true;
    char byte;
    ssize_t peeked = ::recv(current->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void CBlockingSocket::Abandon()
{
    std::lock_guard lock(descriptorLock);
    std::shared_ptr<Descriptor> abandoned = std::move(descriptor);
    // A call still blocked on the socket keeps using it and closes it when done.
    if (abandoned && abandoned.use_count() == 1)
        abandoned->Release();
}

sockaddr_in CBlockingSocket::GetHostByName(const char *name, uint16_t port)
{
    const NameLookupResult found = LookUpIPv4(name);
    if (!found.address)
        throw CBlockingSocketException("GetHostByName", HostErrorNumber(found.error));
    return MakeAddress(*found.address, port);
}

} // namespace kestrel::call
