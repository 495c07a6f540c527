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

    bool Connect(const std::string &address, int port);
    void SendBytes(const void *bytes, size_t count);
    void Send(const SignalMessage &message);
    // The next whole record, or nothing when none came within `wait` or the
    // connection ended.
    std::optional<SignalMessage> Read(std::chrono::milliseconds wait);
    // True when the session closed the connection within `wait`.
    bool WaitForEnd(std::chrono::milliseconds wait);
    void Close();

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

} // namespace kestrel::call::test
