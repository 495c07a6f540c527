#include "CallSession.h"

#include "call/NameLookup.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace kestrel::call {

using namespace std::chrono;

namespace {

std::string DottedText(in_addr_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{address};
    ::inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

std::optional<in_addr_t> ParseDotted(const std::string &text)
{
    in_addr value{};
    if (::inet_pton(AF_INET, text.c_str(), &value) != 1)
        return std::nullopt;
    return value.s_addr;
}

int MillisecondsUntil(steady_clock::time_point when, steady_clock::time_point now)
{
    return static_cast<int>(std::max<milliseconds::rep>(ceil<milliseconds>(when - now).count(), 0));
}

// A stop token's request turned into a readable descriptor, for one call's
// waits. Registered on construction: a request made before then shows at once.
class CancelSignal {
public:
    explicit CancelSignal(std::stop_token token) : onStop(std::move(token), Wake{&wake}) {}
    int Descriptor() const { return wake.Descriptor(); }

private:
    struct Wake {
        platform::PollInterrupter *wake;
        void operator()() const noexcept { wake->Interrupt(); }
    };
    platform::PollInterrupter wake; // before onStop, which may use it at once
    std::stop_callback<Wake> onStop;
};

} // namespace

template <typename KeepWaiting, typename Stalled>
CCallSession::Transfer CCallSession::WriteRecord(CBlockingSocket &socket, const SignalMessage &message,
                                                 std::span<const int> wakeFds, KeepWaiting keepWaiting,
                                                 Stalled stalled)
{
    const SignalRecord record = EncodeSignal(message);
    const auto deadline = steady_clock::now() + seconds(kWriteWaitSeconds);
    size_t done = 0;
    bool reportedStall = false;
    while (done < record.size()) {
        const int sent = socket.SendWithoutWaiting(record.data() + done, static_cast<int>(record.size() - done));
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Transfer::Failed;
        if (!reportedStall) {
            stalled();
            reportedStall = true;
        }
        const auto now = steady_clock::now();
        if (now >= deadline)
            return Transfer::Failed;
        switch (socket.WaitReady(POLLOUT, ceil<milliseconds>(deadline - now), wakeFds)) {
        case CBlockingSocket::Readiness::Ready:
            break;
        case CBlockingSocket::Readiness::TimedOut:
            return Transfer::Failed;
        case CBlockingSocket::Readiness::Woken:
            if (!keepWaiting())
                return Transfer::Interrupted;
            break;
        }
    }
    return Transfer::Done;
}

CCallSession::CCallSession(const std::string &localAddressText)
    : localAddress(ParseDotted(localAddressText).value_or(INADDR_ANY)), peer(MakeAddress(INADDR_ANY, 0))
{
}

CCallSession::~CCallSession()
{
    Stop();
    DropIncoming();
}

bool CCallSession::Start(int listenPort, ICallSessionOwner *sessionOwner)
{
    std::lock_guard lock(threadLock);
    if (listenerThread.joinable())
        return false;
    port = listenPort;
    owner = sessionOwner;
    try {
        listener.Create(SOCK_STREAM);
        listener.ReuseAddress();
        listener.Bind(MakeAddress(localAddress, static_cast<uint16_t>(port)));
        listener.Listen();
        // The listener's poll says when a connection waits; accept must
        // never block the thread after all.
        listener.SetNonBlocking();
    } catch (const CBlockingSocketException &) {
        try {
            listener.Close();
        } catch (const CBlockingSocketException &) {
        }
        return false;
    }
    listenerThread = std::jthread([this](std::stop_token stop) { RunListener(stop); });
    listening = true;
    return true;
}

std::optional<int> CCallSession::Stop()
{
    std::lock_guard lock(threadLock);
    if (!listenerThread.joinable())
        return std::nullopt;
    listenerThread.request_stop(); // wakes the listener's poll through listenerWake
    listenerThread.join();
    listening = false;
    try {
        listener.Close();
    } catch (const CBlockingSocketException &) {
    }
    return 1;
}

bool CCallSession::IsListening() const
{
    return listening;
}

void CCallSession::AnswerIncomingCall(int questionId, bool accept)
{
    std::lock_guard lock(questionLock);
    if (questionId == 0 || questionId != openQuestionId || givenAnswer)
        return;
    givenAnswer = accept;
    // Under the lock, so that the listener's TakeAnswer, which clears the
    // wake-up under the same lock, never leaves this one behind for a later wait.
    listenerWake.Interrupt();
}

// ---- listener thread ----

void CCallSession::RunListener(std::stop_token stop)
{
    std::stop_callback wakeOnStop(stop, [this] { listenerWake.Interrupt(); });
    while (ListenOnce(stop)) {
    }
    if (question) {
        const int id = question->id;
        question.reset();
        CloseQuestion();
        owner->WithdrawIncomingCall(id);
        // Tell the caller no rather than let it wait out its 10 s, if the
        // connection takes the record at once.
        const SignalRecord refusal = EncodeSignal({SIG_REFUSE, 0, 0});
        incoming->SendWithoutWaiting(refusal.data(), static_cast<int>(refusal.size()));
    }
    DropIncoming();
}

// One pass: whatever is due, then one wait on the listening socket, the
// accepted connection and the wake-up. False when the listener must end.
bool CCallSession::ListenOnce(std::stop_token stop)
{
    // Cleared before anything is looked at, so a wake-up that comes after
    // this point shows in the poll below.
    listenerWake.Clear();
    if (stop.stop_requested())
        return false;

    auto now = Clock::now();
    if (question) {
        if (auto answer = TakeAnswer()) {
            // TakeAnswer cleared the wake-up, perhaps a stop's with it.
            if (stop.stop_requested())
                return false;
            return ActOnAnswer(*answer, stop);
        }
        if (now >= question->deadline)
            return QuestionUnanswered(stop, /*callerLeft=*/false);
    }
    PostDueStarted(now);

    auto wakeAt = now + seconds(kPollSeconds);
    if (question)
        wakeAt = std::min(wakeAt, question->deadline);
    if (pendingStartedMask)
        wakeAt = std::min(wakeAt, *lastStartedPost + kStartedPostInterval);
    const bool acceptPaused = acceptBackoff.Pausing(now);
    if (acceptPaused)
        wakeAt = std::min(wakeAt, *acceptBackoff.RetryAt());

    pollfd waits[3];
    nfds_t count = 0;
    waits[count++] = {listenerWake.Descriptor(), POLLIN, 0};
    const nfds_t listening = acceptPaused ? 0 : count;
    if (!acceptPaused)
        waits[count++] = {listener.handle(), POLLIN, 0};
    const nfds_t accepted = incoming ? count : 0;
    if (incoming) {
        // While the question is open only the caller's leaving matters;
        // what it sends waits in the socket until the user has answered.
        waits[count++] = {incoming->handle(), static_cast<short>(question ? POLLRDHUP : POLLIN), 0};
    }
    if (::poll(waits, count, MillisecondsUntil(wakeAt, now)) < 0)
        return true; // interrupted by a signal: the next pass waits again

    if (accepted && waits[accepted].revents) {
        if (question) {
            if (!QuestionUnanswered(stop, /*callerLeft=*/true))
                return false;
        } else if (!ReadIncoming(stop)) {
            return false;
        }
    }
    if (listening && waits[listening].revents)
        return AcceptOne(stop);
    return true;
}

bool CCallSession::AcceptOne(std::stop_token stop)
{
    auto connection = std::make_unique<CBlockingSocket>();
    sockaddr_in from{};
    try {
        if (!listener.Accept(*connection, &from))
            return false; // the listening socket was closed: the session is stopping
    } catch (const CBlockingSocketException &error) {
        if (error.error == EAGAIN || error.error == EWOULDBLOCK)
            return true; // the connection went away before it was taken
        // Out of descriptors or buffers: pause, then listen on.
        acceptBackoff.Failed(Clock::now());
        Report(ListenerEvent::AcceptFailed, {}, error.error);
        return true;
    }
    acceptBackoff.Succeeded();
    const std::string address = DottedText(from.sin_addr.s_addr);

    if (incoming) {
        Refuse(*connection, ListenerEvent::RefusedBusy, address);
        return true;
    }
    bool outgoingBusy = false;
    const auto dialled = DialledAddress(outgoingBusy);
    if (outgoingBusy) {
        if (!dialled || *dialled != from.sin_addr.s_addr) {
            Refuse(*connection, dialled ? ListenerEvent::RefusedNotDialled : ListenerEvent::RefusedBusy, address);
            return true;
        }
        // The dialled peer's connect-back: answered without a question, and
        // never connected back to.
        TakeIncoming(std::move(connection), from);
        Report(ListenerEvent::DialledPeerTaken, address);
        switch (WriteOnIncoming({SIG_OK, 0, 0}, stop)) {
        case Transfer::Done:
            return true;
        case Transfer::Failed:
            EndCall();
            return true;
        case Transfer::Interrupted:
            return false;
        }
        return true;
    }
    // A caller that has already hung up (or a connect-back that arrived after
    // this side hung up) must not ring.
    if (connection->PeerHasLeft()) {
        Report(ListenerEvent::CallerLeftEarly, address);
        return true;
    }
    if (callerHolds.OnHold(from.sin_addr.s_addr, Clock::now())) {
        Refuse(*connection, ListenerEvent::RefusedOnHold, address);
        return true;
    }
    TakeIncoming(std::move(connection), from);
    AskQuestion(address, from.sin_addr.s_addr);
    return true;
}

void CCallSession::Refuse(CBlockingSocket &connection, ListenerEvent why, const std::string &address)
{
    Report(why, address); // before the caller can see it
    // A fresh connection takes 12 bytes at once; if not, the caller sees the
    // connection close, which its Dial reads as a refusal too.
    const SignalRecord refusal = EncodeSignal({SIG_REFUSE, 0, 0});
    connection.SendWithoutWaiting(refusal.data(), static_cast<int>(refusal.size()));
    try {
        connection.Close();
    } catch (const CBlockingSocketException &) {
    }
}

void CCallSession::TakeIncoming(std::unique_ptr<CBlockingSocket> connection, const sockaddr_in &from)
{
    {
        std::lock_guard lock(peerLock);
        peer = from;
    }
    incoming = std::move(connection);
    incomingRecord.Reset();
    lastStartedPost.reset();
    pendingStartedMask.reset();
}

void CCallSession::AskQuestion(const std::string &address, in_addr_t caller)
{
    lastQuestionId = lastQuestionId == INT32_MAX ? 1 : lastQuestionId + 1;
    const int id = lastQuestionId;
    {
        std::lock_guard lock(questionLock);
        openQuestionId = id;
        givenAnswer.reset();
    }
    const auto now = Clock::now();
    question = OpenQuestion{id, caller, now, now + questionLimit};
    owner->PromptIncomingCall(address, id);
}

std::optional<bool> CCallSession::TakeAnswer()
{
    std::lock_guard lock(questionLock);
    if (!givenAnswer)
        return std::nullopt;
    const bool answer = *givenAnswer;
    openQuestionId = 0;
    givenAnswer.reset();
    // The answer's wake-up has been seen; a stop's may go with it, so the
    // caller looks at the stop flag afterwards.
    listenerWake.Clear();
    return answer;
}

std::optional<bool> CCallSession::CloseQuestion()
{
    std::lock_guard lock(questionLock);
    const auto answer = givenAnswer;
    openQuestionId = 0;
    givenAnswer.reset();
    return answer;
}

bool CCallSession::ActOnAnswer(bool accept, std::stop_token stop)
{
    question.reset();
    switch (WriteOnIncoming({accept ? SIG_OK : SIG_REFUSE, 0, 0}, stop)) {
    case Transfer::Done:
        break;
    case Transfer::Failed:
        EndCall();
        return true;
    case Transfer::Interrupted:
        return false;
    }
    if (!accept) {
        DropIncoming();
        return true;
    }
    ConnectBack();
    return !stop.stop_requested();
}

// The question ends without the user: its caller left, or the time is up.
bool CCallSession::QuestionUnanswered(std::stop_token stop, bool callerLeft)
{
    const OpenQuestion ended = *question;
    const auto lateAnswer = CloseQuestion();
    if (!callerLeft && lateAnswer)
        return ActOnAnswer(*lateAnswer, stop); // answered just in time
    question.reset();
    owner->WithdrawIncomingCall(ended.id);
    callerHolds.QuestionUnanswered(ended.caller, ended.askedAt, Clock::now());
    if (callerLeft) {
        DropIncoming(); // nobody is left to answer
        return true;
    }
    return ActOnAnswer(false, stop); // as if the user had said no
}

bool CCallSession::ReadIncoming(std::stop_token stop)
{
    auto missing = incomingRecord.Missing();
    const int count = incoming->ReceiveWithoutWaiting(missing.data(), static_cast<int>(missing.size()));
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    if (count <= 0) {
        EndCall();
        return true;
    }
    incomingRecord.Received(static_cast<size_t>(count));
    if (!incomingRecord.Complete()) {
        Report(ListenerEvent::PartialRecord, GetPeerAddress(), static_cast<int>(incomingRecord.Collected()));
        return true;
    }
    return HandleRecord(*incomingRecord.Take(), stop);
}

bool CCallSession::HandleRecord(const SignalMessage &message, std::stop_token stop)
{
    switch (message.type) {
    case SIG_START:
        switch (WriteOnIncoming({SIG_OK, owner->GetMediaMask(), 0}, stop)) {
        case Transfer::Done:
            StartedReceived(message.value);
            break;
        case Transfer::Failed:
            EndCall();
            break;
        case Transfer::Interrupted:
            return false;
        }
        break;
    case SIG_HANGUP:
        EndCall();
        break;
    default:
        break; // answers and anything unknown are not for the listener
    }
    return true;
}

void CCallSession::StartedReceived(int peerMask)
{
    const auto now = Clock::now();
    if (lastStartedPost && now - *lastStartedPost < kStartedPostInterval) {
        pendingStartedMask = peerMask; // posted when the interval is over
        return;
    }
    lastStartedPost = now;
    pendingStartedMask.reset();
    owner->PostCallStarted(*this, peerMask);
}

void CCallSession::PostDueStarted(Clock::time_point now)
{
    if (!pendingStartedMask || now - *lastStartedPost < kStartedPostInterval)
        return;
    const int peerMask = *pendingStartedMask;
    lastStartedPost = now;
    pendingStartedMask.reset();
    owner->PostCallStarted(*this, peerMask);
}

void CCallSession::ConnectBack()
{
    sockaddr_in to;
    {
        std::lock_guard lock(peerLock);
        to = MakeAddress(peer.sin_addr.s_addr, static_cast<uint16_t>(port));
    }
    // A stop reaches the connect through listenerWake, a HangUp through outgoingClosed.
    const int wakeFds[] = {listenerWake.Descriptor(), outgoingClosed.Descriptor()};
    OpenOutgoing(to, OutgoingRole::ConnectBack, wakeFds);
}

CCallSession::Transfer CCallSession::WriteOnIncoming(const SignalMessage &message, std::stop_token stop)
{
    const int wakeFds[] = {listenerWake.Descriptor()};
    const std::string address = GetPeerAddress();
    return WriteRecord(
        *incoming, message, wakeFds,
        [&] {
            // No question is open while a record is written, so the only
            // wake-up that matters here is a stop.
            listenerWake.Clear();
            return !stop.stop_requested();
        },
        [&] { Report(ListenerEvent::WriteWaiting, address); });
}

void CCallSession::EndCall()
{
    CloseOutgoing();
    DropIncoming();
    owner->PostCallEnded();
}

void CCallSession::DropIncoming()
{
    if (!incoming)
        return;
    try {
        incoming->Close();
    } catch (const CBlockingSocketException &) {
    }
    incoming.reset();
    incomingRecord.Reset();
    lastStartedPost.reset();
    pendingStartedMask.reset();
}

void CCallSession::Report(ListenerEvent event, const std::string &address, int detail)
{
    if (monitor)
        monitor->OnListenerEvent(event, address, detail);
}

// ---- outgoing connection, any thread ----

std::optional<uint64_t> CCallSession::OpenOutgoing(const sockaddr_in &to, OutgoingRole role,
                                                   std::span<const int> wakeFds)
{
    uint64_t generation;
    {
        std::lock_guard lock(outgoingLock);
        if (outgoing.IsOpen())
            return std::nullopt;
        try {
            outgoing.Create(SOCK_STREAM);
            if (localAddress != INADDR_ANY)
                outgoing.Bind(MakeAddress(localAddress, 0));
        } catch (const CBlockingSocketException &) {
            try {
                outgoing.Close();
            } catch (const CBlockingSocketException &) {
            }
            return std::nullopt;
        }
        outgoingRole = role;
        outgoingAddress = to.sin_addr.s_addr;
        generation = ++outgoingGeneration;
        outgoingClosed.Clear();
    }
    // Connecting runs without the lock; HangUp from another thread, a
    // cancel or a stop ends it through `wakeFds`.
    try {
        outgoing.Connect(to, seconds(kConnectSeconds), wakeFds);
        return generation;
    } catch (const CBlockingSocketException &) {
        CloseOutgoing(generation);
        return std::nullopt;
    }
}

bool CCallSession::CloseOutgoing(std::optional<uint64_t> generation)
{
    std::lock_guard lock(outgoingLock);
    if (!outgoing.IsOpen() || (generation && *generation != outgoingGeneration))
        return false;
    try {
        outgoing.Close();
    } catch (const CBlockingSocketException &) {
    }
    outgoingClosed.Interrupt();
    return true;
}

std::optional<uint64_t> CCallSession::OutgoingGeneration()
{
    std::lock_guard lock(outgoingLock);
    if (!outgoing.IsOpen())
        return std::nullopt;
    return outgoingGeneration;
}

std::optional<in_addr_t> CCallSession::DialledAddress(bool &outgoingBusy)
{
    std::lock_guard lock(outgoingLock);
    outgoingBusy = outgoing.IsOpen();
    if (!outgoingBusy || outgoingRole != OutgoingRole::Dialled)
        return std::nullopt;
    return outgoingAddress;
}

std::optional<SignalMessage> CCallSession::ReadReply(int waitSeconds, std::span<const int> wakeFds)
{
    SignalRecordCollector reply;
    const auto deadline = Clock::now() + seconds(waitSeconds);
    while (!reply.Complete()) {
        const auto now = Clock::now();
        if (now >= deadline)
            return std::nullopt;
        if (outgoing.WaitReady(POLLIN, ceil<milliseconds>(deadline - now), wakeFds) !=
            CBlockingSocket::Readiness::Ready)
            return std::nullopt;
        auto missing = reply.Missing();
        const int count = outgoing.ReceiveWithoutWaiting(missing.data(), static_cast<int>(missing.size()));
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (count <= 0)
            return std::nullopt;
        reply.Received(static_cast<size_t>(count));
    }
    return reply.Take();
}

bool CCallSession::GetLocalInfo(std::string &hostName, std::string &hostAddress)
{
    char name[128] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return false;
    hostName = name;
    hostAddress = ResolveName(hostName);
    return true;
}

std::string CCallSession::ResolveName(const std::string &name, std::stop_token cancel)
{
    const NameLookupResult found = LookUpIPv4(name, std::move(cancel));
    return found.address ? DottedText(*found.address) : std::string();
}

bool CCallSession::Dial(const std::string &address, std::stop_token cancel)
{
    try {
        CancelSignal cancelled(cancel);
        if (cancel.stop_requested() || OutgoingOpen())
            return false;
        // Text that is not a dotted address cannot be connected to; failing here
        // spares the network a connect to 255.255.255.255.
        const auto target = ParseDotted(address);
        if (!target)
            return false;
        const int wakeFds[] = {outgoingClosed.Descriptor(), cancelled.Descriptor()};
        const auto generation =
            OpenOutgoing(MakeAddress(*target, static_cast<uint16_t>(port)), OutgoingRole::Dialled, wakeFds);
        if (!generation)
            return false;
        const auto answer = ReadReply(kAnswerWaitSeconds, wakeFds);
        if (!answer || answer->type != SIG_OK) {
            CloseOutgoing(generation);
            return false;
        }
        return true;
    } catch (const std::system_error &) {
        return false; // no descriptor for the cancel's wake-up
    }
}

bool CCallSession::Negotiate(int localMask, int &peerMask, std::stop_token cancel)
{
    const auto generation = OutgoingGeneration();
    try {
        CancelSignal cancelled(cancel);
        if (generation && !cancel.stop_requested()) {
            const int wakeFds[] = {outgoingClosed.Descriptor(), cancelled.Descriptor()};
            // A failed write shows as a missing reply.
            WriteRecord(outgoing, {SIG_START, localMask, 0}, wakeFds, [] { return false; }, [] {});
            const auto reply = ReadReply(kReplyWaitSeconds, wakeFds);
            if (reply && reply->type == SIG_OK) {
                peerMask = reply->value;
                return true;
            }
        }
    } catch (const std::system_error &) {
    }
    if (generation)
        CloseOutgoing(generation);
    return false;
}

bool CCallSession::SendSignal(int type, int value, int reserved)
{
    if (!OutgoingOpen())
        return false;
    const int wakeFds[] = {outgoingClosed.Descriptor()};
    return WriteRecord(outgoing, {type, value, reserved}, wakeFds, [] { return false; }, [] {}) == Transfer::Done;
}

bool CCallSession::HangUp()
{
    return CloseOutgoing();
}

std::string CCallSession::GetPeerAddress() const
{
    std::lock_guard lock(peerLock);
    return DottedText(peer.sin_addr.s_addr);
}

} // namespace kestrel::call
