#pragma once

#include "call/BlockingSocket.h"
#include "call/ICallSessionOwner.h"
#include "call/SignalMessage.h"
#include "platform/WorkerThread.h"

#include <netinet/in.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kestrel::call {

// One side of the call signalling protocol: listens on TCP `port` (6050),
// dials the peer's port, answers, connects back and notices a hang-up.
//
// The session's state is which connections exist: `incoming` (accepted by
// the listener) and `outgoing` (opened by Dial as caller or by the connect-
// back as callee). Idle: neither. Call up: both.
//
// Threads: Start, Stop, GetLocalInfo, ResolveName, Dial, Negotiate,
// SendSignal and HangUp run on the owner's (user-interface) thread. The
// listener thread accepts, asks the owner, answers, connects back and polls
// `incoming` every 5 s; it reports only through ICallSessionOwner. `outgoing`
// is opened and closed from both threads under `outgoingLock`; `incoming`
// belongs to the listener thread alone.
class CCallSession {
public:
    static constexpr int kSignalPort = 6050;
    static constexpr int kAnswerWaitSeconds = 10; // Dial's wait for the answer
    static constexpr int kReplyWaitSeconds = 10;  // Negotiate's wait for the reply
    static constexpr int kWriteWaitSeconds = 10;  // every record written
    static constexpr int kPollSeconds = 5;        // one listener pass on `incoming`

    // `localAddress` (dotted IPv4, default any) is the local address used to
    // listen, to dial and to connect back, so that several sessions can share
    // one host on different addresses.
    explicit CCallSession(const std::string &localAddress = "0.0.0.0");
    ~CCallSession();
    CCallSession(const CCallSession &) = delete;
    CCallSession &operator=(const CCallSession &) = delete;

    // Opens the listening socket on `port` and starts the listener thread.
    // False (and no thread) when the socket cannot be opened; Dial and
    // Negotiate still work then.
    bool Start(int port, ICallSessionOwner *owner);
    // Closes the listening socket, asks the listener to stop, waits for its
    // reply and joins it. Empty at once when no listener runs. While the
    // listener polls a connection the request is seen within one poll (5 s);
    // while the owner's prompt is open, only after the user has answered.
    std::optional<int> Stop();

    // This host's name and the dotted text of its first IPv4 address (empty
    // when the name does not resolve). False when the name is not available.
    bool GetLocalInfo(std::string &hostName, std::string &hostAddress);
    // The dotted address of `name`; empty when it does not resolve.
    std::string ResolveName(const std::string &name);

    // Connects to `address` (dotted IPv4) on `port` and waits up to 10 s for
    // the answer. True when the callee took the call. False at once when an
    // outgoing connection is already open; on every other failure the
    // outgoing connection is closed again.
    bool Dial(const std::string &address);
    // Sends SIG_START with `localMask` and waits up to 10 s for SIG_OK; its
    // value is the peer's mask. On failure the outgoing connection is closed.
    bool Negotiate(int localMask, int &peerMask);
    // Writes one record on the outgoing connection. False when there is none
    // or the write fails.
    bool SendSignal(int type, int value, int reserved);
    // Closes the outgoing connection; the peer notices by end-of-stream.
    // False when there was none.
    bool HangUp();
    // Dotted address of the most recently accepted connection.
    std::string GetPeerAddress() const;

    bool IsListening() const { return worker.ThreadExists(); }

private:
    enum class ReadOutcome { Whole, TimedOut, Lost };

    int ThreadProc();
    bool AcceptCall();
    void ConnectBack();
    void PollIncoming();
    // Closes both connections and tells the owner the call has ended.
    void EndCall();
    void DropIncoming();
    bool OutgoingOpen() const { return outgoing.IsOpen(); }
    // Creates and connects `outgoing` unless it is open; false on failure.
    bool OpenOutgoing(const sockaddr_in &to);
    void CloseOutgoing();

    ReadOutcome ReadRecord(CBlockingSocket &socket, SignalRecordCollector &collector,
                           std::chrono::milliseconds window);
    std::optional<SignalMessage> ReadReply(int seconds);
    static bool WriteRecord(CBlockingSocket &socket, const SignalMessage &message);

    platform::WorkerThread worker;
    ICallSessionOwner *owner = nullptr;
    int port = kSignalPort;
    in_addr_t localAddress;

    mutable std::mutex peerLock; // guards peer
    sockaddr_in peer;

    CBlockingSocket listener;
    std::unique_ptr<CBlockingSocket> incoming; // listener thread only
    SignalRecordCollector incomingRecord;      // listener thread only

    std::mutex outgoingLock; // guards opening and closing outgoing
    CBlockingSocket outgoing;
};

} // namespace kestrel::call
