#pragma once

#include "call/SignalMessage.h"

#include <chrono>
#include <optional>
#include <string>

namespace kestrel::call::test {

// A hand-driven signalling peer on loopback: a plain TCP socket bound to
// `localAddress` that sends and reads raw bytes, for the cases a well-behaved
// session never produces.
class LoopbackPeer {
public:
    explicit LoopbackPeer(const std::string &localAddress);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    // Creates and binds the socket, so that Connect needs no new descriptor.
    // `receiveBuffer` (bytes, 0: the system's) is set before connecting, so
    // the window the session sees is small from the start.
    bool Open(int receiveBuffer = 0);
    // Connects the socket Open made, or a new one.
    bool Connect(const std::string &address, int port, int receiveBuffer = 0);
    void SendBytes(const void *bytes, size_t count);
    void Send(const SignalMessage &message);
    // The next whole record, or nothing when none came within `wait` or the
    // connection ended.
    std::optional<SignalMessage> Read(std::chrono::milliseconds wait);
    // True when the session closed the connection within `wait`.
    bool WaitForEnd(std::chrono::milliseconds wait);
    void Close();
    int Descriptor() const { return fd; }

private:
    std::string localAddress;
    int fd = -1;
};

// A listening socket on `address`:`port` that accepts connections and holds
// them, standing in for a peer's listener.
class LoopbackListener {
public:
    LoopbackListener(const std::string &address, int port);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    bool Listening() const { return fd >= 0; }
    // Accepts one connection within `wait`; its descriptor (held until
    // destruction) or -1.
    int Accept(std::chrono::milliseconds wait);

private:
    int fd = -1;
    int accepted[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

// A listening socket whose queue of accepted connections is full: two
// connections wait unaccepted, and the kernel drops every further SYN, so a
// connect to it hangs until its own time limit.
class FullBacklogListener {
public:
    FullBacklogListener(const std::string &address, int port);
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener &) = delete;
    FullBacklogListener &operator=(const FullBacklogListener &) = delete;

    // True once the queue is full (within 3 s).
    bool Full() const { return full; }

private:
    int fd = -1;
    int fillers[2] = {-1, -1};
    bool full = false;
};

} // namespace kestrel::call::test
