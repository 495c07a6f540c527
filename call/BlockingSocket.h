#pragma once

#include "BlockingSocketException.h"

#include <netinet/in.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <span>

namespace kestrel::call {

// A synchronous TCP socket. Every operation either succeeds or throws
// CBlockingSocketException, except two outcomes the callers rely on: an
// Accept interrupted because another thread closed the listening socket
// returns false, and Receive returns the raw count (0 at end-of-stream, -1 on
// error). Time-outs are readiness waits in whole seconds before each transfer
// (-1: no limit), reported as "Send timeout" / "Receive timeout".
//
// handle() is 0 when the object holds no socket. Close is harmless on an
// empty object and may be called from another thread while one thread is
// blocked in Accept, Send, Receive or Connect on the same socket: the blocked
// call returns, and the descriptor is released only after it has, so its
// number is never reused underneath it. The socket is closed when the object
// is destroyed.
//
// Waits that must end early when another thread asks (a stop, a cancelled
// dial) take wake-up descriptors: the wait ends as soon as one is readable.
class CBlockingSocket {
public:
    enum class Readiness { Ready, TimedOut, Woken };

    CBlockingSocket() = default;
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket &) = delete;
    CBlockingSocket &operator=(const CBlockingSocket &) = delete;

    void Create(int type = SOCK_STREAM);
    void Bind(const sockaddr_in &address);
    void Listen();
    // Lets the listening address be bound again while old connections of a
    // previous run linger (the kernel still refuses a second listener).
    void ReuseAddress();
    // Accept does not block on a non-blocking listening socket: with nothing
    // to take it throws "Accept" with EAGAIN.
    void SetNonBlocking();
    bool Accept(CBlockingSocket &target, sockaddr_in *address);
    int Close();
    void Connect(const sockaddr_in &address);
    // Connect that gives up after `wait` (-1: no limit) with "Connect" and
    // ETIMEDOUT, and when a wake-up descriptor becomes readable or Close is
    // called from another thread with "Connect" and ECANCELED.
    void Connect(const sockaddr_in &address, std::chrono::milliseconds wait, std::span<const int> wakeFds);
    int Send(const void *buffer, int length, int seconds);
    int Receive(void *buffer, int length, int seconds);
    // Receive with a wait in milliseconds (-1: no limit), for callers that
    // spread one time limit over several reads.
    int ReceiveWithin(void *buffer, int length, std::chrono::milliseconds wait);
    int Write(const void *buffer, int length, int seconds);
    // Waits until the socket can be read (POLLIN; an end or a reset counts),
    // written (POLLOUT) or, with POLLRDHUP alone, until the peer has left;
    // until `wait` (-1: no limit) has passed; or until one of `wakeFds` is
    // readable. Close from another thread ends the wait as Ready, and the
    // transfer that follows then reports the end.
    Readiness WaitReady(short events, std::chrono::milliseconds wait, std::span<const int> wakeFds) const;
    // One send or receive that never waits: the count, or -1 with errno
    // (EAGAIN when the socket is not ready). Receive gives 0 at the end.
    int SendWithoutWaiting(const void *buffer, int length);
    int ReceiveWithoutWaiting(void *buffer, int length);
    // True when the peer has already ended the connection: end-of-stream or
    // a reset waits to be read. Looks without waiting and consumes nothing.
    bool PeerHasLeft() const;
    // Releases the socket without closing it; the caller no longer owns it.
    void Abandon();

    // The IPv4 address of `name` (dotted text or host name) with `port`.
    static sockaddr_in GetHostByName(const char *name, uint16_t port);

    int handle() const;
    bool IsOpen() const { return handle() != 0; }

private:
    class Descriptor;
    class InUse;
    // The current descriptor, held for the length of one call.
    InUse Current() const;
    void Adopt(int fd);

    // Guards descriptor and every count of its users, so that Close knows
    // for certain whether a call elsewhere still uses the descriptor.
    mutable std::mutex descriptorLock;
    std::shared_ptr<Descriptor> descriptor;
};

// Family AF_INET, `port` in host order, `address` in network order.
sockaddr_in MakeAddress(in_addr_t address, uint16_t port);

} // namespace kestrel::call
