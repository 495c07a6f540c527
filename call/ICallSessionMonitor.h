#pragma once

#include <string>

namespace kestrel::call {

// What the listener did that the owner is not told: refusals, back-offs and
// waits. For a log or a test; a session runs without one.
enum class ListenerEvent {
    AcceptFailed,      // accept failed (detail: errno, e.g. EMFILE); listening goes on after a pause
    CallerLeftEarly,   // the caller had gone before its connection was taken: no question
    DialledPeerTaken,  // the dialled peer's connect-back, answered SIG_OK without a question
    RefusedBusy,       // refused at once: a question or a call holds the listener
    RefusedNotDialled, // refused at once: this side is dialling another address
    RefusedOnHold,     // refused at once: this address left a question unanswered moments ago
    PartialRecord,     // part of a record arrived (detail: bytes held); the rest is awaited
    WriteWaiting,      // a record could not be written at once: the peer reads nothing
};

class ICallSessionMonitor {
public:
    virtual ~ICallSessionMonitor() = default;

    // Listener thread; must return at once. `peerAddress` is the dotted
    // address of the connection concerned (empty for AcceptFailed).
    virtual void OnListenerEvent(ListenerEvent event, const std::string &peerAddress, int detail) = 0;
};

} // namespace kestrel::call
