#pragma once

#include "call/AcceptBackoff.h"
#include "call/BlockingSocket.h"
#include "call/CallerHoldList.h"
#include "call/ICallSessionMonitor.h"
#include "call/ICallSessionOwner.h"
#include "call/SignalMessage.h"
#include "platform/PollInterrupter.h"

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>

namespace kestrel::call {

// One side of the call signalling protocol: listens on TCP `port` (6050),
// dials the peer's port, answers, connects back and notices a hang-up.
//
// The session's state is which connections exist: `incoming` (accepted by
// the listener) and `outgoing` (opened by Dial as caller or by the connect-
// back as callee). Idle: neither. Call up: both.
//
// Threads. The listener thread (started by Start, stopped and joined by Stop)
// waits in one poll on the listening socket, `incoming` and a wake-up
// descriptor, so a stop or the user's answer reaches it at once; it asks the
// owner about a call without waiting for the user and reports only through
// ICallSessionOwner (and an optional ICallSessionMonitor). The caller's steps
// (ResolveName, Dial, Negotiate) run on the owner's set-up thread; each ends
// within 100 ms once its stop token is requested. AnswerIncomingCall and
// HangUp may be called from any thread. `outgoing` is opened and closed from
// several threads under `outgoingLock`; `incoming` belongs to the listener
// thread alone.
//
// Who is answered: while a question is open or `incoming` is present, every
// new connection is refused at once (SIG_REFUSE, closed). While this side
// dials, only the dialled address is answered SIG_OK (its connect-back);
// anyone else is refused. A connect-back is made only after the user said
// yes.
class CCallSession {
public:
    static constexpr int kSignalPort = 6050;
    static constexpr int kAnswerWaitSeconds = 10; // Dial's wait for the answer
    static constexpr int kReplyWaitSeconds = 10;  // Negotiate's wait for the reply
    static constexpr int kWriteWaitSeconds = 10;  // every record written
    static constexpr int kPollSeconds = 5;        // one listener pass on `incoming`
    static constexpr int kConnectSeconds = 10;    // Dial's connect and the connect-back
    static constexpr std::chrono::milliseconds kQuestionLimit{30000}; // the user's time to answer
    // A peer that repeats SIG_START gets every reply, but the owner hears of
    // the call starting at most once in this time (the latest mask wins).
    static constexpr std::chrono::milliseconds kStartedPostInterval{1000};

    // `localAddress` (dotted IPv4, default any) is the local address used to
    // listen, to dial and to connect back, so that several sessions can share
    // one host on different addresses. Throws std::system_error when no
    // wake-up descriptor can be had.
    explicit CCallSession(const std::string &localAddress = "0.0.0.0");
    ~CCallSession();
    CCallSession(const CCallSession &) = delete;
    CCallSession &operator=(const CCallSession &) = delete;

    // Opens the listening socket on `port` and starts the listener thread.
    // False (and no thread) when the socket cannot be opened; Dial and
    // Negotiate still work then.
    bool Start(int port, ICallSessionOwner *owner);
    // Stops the listener thread and joins it, within 100 ms in every state:
    // an open question is withdrawn and refused, the accepted connection
    // closed, then the listening socket. 1 when a listener ran, empty
    // otherwise. Not from inside the owner's or the monitor's calls, which
    // run on the listener thread itself.
    std::optional<int> Stop();
    bool IsListening() const;

    // Before Start. How long a question waits for the user (default 30 s)
    // before it is withdrawn and answered as a refusal.
    void SetQuestionLimit(std::chrono::milliseconds limit) { questionLimit = limit; }
    // Before Start. Receives what the listener does that the owner is not told.
    void SetMonitor(ICallSessionMonitor *listenerMonitor) { monitor = listenerMonitor; }

    // The user's answer to question `questionId`; any thread, also from
    // inside PromptIncomingCall. Ignored unless that question is open and
    // unanswered.
    void AnswerIncomingCall(int questionId, bool accept);

    // This host's name and the dotted text of its first IPv4 address (empty
    // when the name does not resolve). False when the name is not available.
    bool GetLocalInfo(std::string &hostName, std::string &hostAddress);
    // The dotted address of `name`; empty when it does not resolve or when
    // `cancel` is requested.
    std::string ResolveName(const std::string &name, std::stop_token cancel = {});

    // Connects to `address` (dotted IPv4) on `port` within 10 s and waits up
    // to 10 s for the answer. True when the callee took the call. False at
    // once when an outgoing connection is already open; on every other
    // failure, on a cancel and on HangUp from another thread the outgoing
    // connection is closed again.
    bool Dial(const std::string &address, std::stop_token cancel = {});
    // Sends SIG_START with `localMask` and waits up to 10 s for SIG_OK; its
    // value is the peer's mask. On failure or cancel the outgoing connection
    // is closed.
    bool Negotiate(int localMask, int &peerMask, std::stop_token cancel = {});
    // Writes one record on the outgoing connection. False when there is none
    // or the write fails.
    bool SendSignal(int type, int value, int reserved);
    // Closes the outgoing connection; the peer notices by end-of-stream. A
    // Dial or Negotiate under way on another thread ends. False when there
    // was none.
    bool HangUp();
    // Dotted address of the connection the listener holds (or held last).
    std::string GetPeerAddress() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class OutgoingRole { Dialled, ConnectBack };
    enum class Transfer { Done, Failed, Interrupted };

    struct OpenQuestion {
        int id;
        in_addr_t caller;
        Clock::time_point askedAt;
        Clock::time_point deadline;
    };

    // Listener thread.
    void RunListener(std::stop_token stop);
    bool ListenOnce(std::stop_token stop);
    bool AcceptOne(std::stop_token stop);
    void Refuse(CBlockingSocket &connection, ListenerEvent why, const std::string &address);
    void TakeIncoming(std::unique_ptr<CBlockingSocket> connection, const sockaddr_in &from);
    void AskQuestion(const std::string &address, in_addr_t caller);
    std::optional<bool> TakeAnswer();
    std::optional<bool> CloseQuestion();
    bool ActOnAnswer(bool accept, std::stop_token stop);
    bool QuestionUnanswered(std::stop_token stop, bool callerLeft);
    bool ReadIncoming(std::stop_token stop);
    bool HandleRecord(const SignalMessage &message, std::stop_token stop);
    void StartedReceived(int peerMask);
    void PostDueStarted(Clock::time_point now);
    void ConnectBack();
    Transfer WriteOnIncoming(const SignalMessage &message, std::stop_token stop);
    // Writes one record on `socket` within the write limit. `keepWaiting` is
    // asked when a wake-up descriptor ends a wait: true waits on, false gives
    // up. `stalled` is called once when the peer takes nothing at first try.
    template <typename KeepWaiting, typename Stalled>
    static Transfer WriteRecord(CBlockingSocket &socket, const SignalMessage &message, std::span<const int> wakeFds,
                                KeepWaiting keepWaiting, Stalled stalled);
    // Closes both connections and tells the owner the call has ended.
    void EndCall();
    void DropIncoming();
    void Report(ListenerEvent event, const std::string &address, int detail = 0);

    // Any thread.
    bool OutgoingOpen() const { return outgoing.IsOpen(); }
    // Creates and connects `outgoing` unless it is open; the generation of
    // the new connection, or nothing on failure (`outgoing` closed again).
    std::optional<uint64_t> OpenOutgoing(const sockaddr_in &to, OutgoingRole role, std::span<const int> wakeFds);
    // Closes `outgoing` (only the connection of `generation`, when given)
    // and wakes whoever waits on it. False when nothing was closed.
    bool CloseOutgoing(std::optional<uint64_t> generation = std::nullopt);
    std::optional<uint64_t> OutgoingGeneration();
    // The address being dialled, while this side dials; nothing otherwise.
    // `outgoingBusy` tells whether any outgoing connection is open.
    std::optional<in_addr_t> DialledAddress(bool &outgoingBusy);
    std::optional<SignalMessage> ReadReply(int seconds, std::span<const int> wakeFds);

    ICallSessionOwner *owner = nullptr;
    ICallSessionMonitor *monitor = nullptr;
    int port = kSignalPort;
    in_addr_t localAddress;
    std::chrono::milliseconds questionLimit = kQuestionLimit;

    mutable std::mutex peerLock; // guards peer
    sockaddr_in peer;

    // Wakes the listener's poll: for a stop and for the user's answer.
    platform::PollInterrupter listenerWake;

    mutable std::mutex questionLock; // guards openQuestionId and givenAnswer
    int openQuestionId = 0;          // 0: no question open
    std::optional<bool> givenAnswer;

    // Listener thread alone (Start and Stop touch them only while no
    // listener runs).
    CBlockingSocket listener;
    std::unique_ptr<CBlockingSocket> incoming;
    SignalRecordCollector incomingRecord;
    std::optional<OpenQuestion> question;
    int lastQuestionId = 0;
    std::optional<Clock::time_point> lastStartedPost;
    std::optional<int> pendingStartedMask;
    AcceptBackoff acceptBackoff;
    CallerHoldList callerHolds;

    // Guards opening and closing outgoing and the fields after it.
    std::mutex outgoingLock;
    CBlockingSocket outgoing;
    OutgoingRole outgoingRole = OutgoingRole::Dialled;
    in_addr_t outgoingAddress = 0;
    uint64_t outgoingGeneration = 0;
    // Readable from the moment outgoing is closed until it is opened again:
    // ends every wait on the old connection.
    platform::PollInterrupter outgoingClosed;

    std::mutex threadLock; // guards listenerThread: one Start or Stop at a time
    std::jthread listenerThread;
    std::atomic<bool> listening{false}; // read without the lock, also from callbacks
};

} // namespace kestrel::call
