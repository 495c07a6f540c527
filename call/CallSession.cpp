#include "CallSession.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <climits>

namespace kestrel::call {

using namespace std::chrono;

namespace {

constexpr int kStopRequest = 1;

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

} // namespace

CCallSession::CCallSession(const std::string &localAddressText)
    : localAddress(ParseDotted(localAddressText).value_or(INADDR_ANY)),
      peer(MakeAddress(INADDR_ANY, 0))
{
}

CCallSession::~CCallSession()
{
    Stop();
    DropIncoming();
}

bool CCallSession::Start(int listenPort, ICallSessionOwner *sessionOwner)
{
    if (worker.ThreadExists())
        return false;
    port = listenPort;
    owner = sessionOwner;
    try {
        listener.Create(SOCK_STREAM);
        listener.ReuseAddress();
        listener.Bind(MakeAddress(localAddress, static_cast<uint16_t>(port)));
        listener.Listen();
    } catch (const CBlockingSocketException &) {
        try {
            listener.Close();
        } catch (const CBlockingSocketException &) {
        }
        return false;
    }
    return worker.Create([this](platform::WorkerThread &) { return ThreadProc(); });
}

std::optional<int> CCallSession::Stop()
{
    try {
        listener.Close(); // wakes a listener blocked in accept
    } catch (const CBlockingSocketException &) {
    }
    auto reply = worker.CallWorker(kStopRequest);
    worker.Close();
    return reply;
}

int CCallSession::ThreadProc()
{
    for (;;) {
        if (!incoming) {
            if (!listener.IsOpen()) {
                // Nothing can be accepted any more (stopping, or the listening
                // socket failed): wait for the owner's request instead of spinning.
                int request = worker.WaitForRequest();
                worker.Reply(request == kStopRequest ? 1 : 0);
                if (request == kStopRequest)
                    return 0;
                continue;
            }
            if (AcceptCall() && !OutgoingOpen())
                ConnectBack();
        }
        PollIncoming();
        if (auto request = worker.CheckRequest()) {
            const bool stopping = *request == kStopRequest;
            worker.Reply(stopping ? 1 : 0);
            if (stopping)
                return 0;
        }
    }
}

bool CCallSession::AcceptCall()
{
    auto connection = std::make_unique<CBlockingSocket>();
    sockaddr_in from{};
    try {
        if (!listener.Accept(*connection, &from))
            return false; // the listening socket was closed: Stop is under way
    } catch (const CBlockingSocketException &) {
        try {
            listener.Close();
        } catch (const CBlockingSocketException &) {
        }
        return false;
    }
    {
        std::lock_guard lock(peerLock);
        peer = from;
    }
    incoming = std::move(connection);
    incomingRecord.Reset();

    // A side that is dialling takes the peer's connect-back without asking.
    const bool dialling = OutgoingOpen();
    // A caller that has already hung up (or a connect-back that arrived after
    // this side hung up) must not ring.
    if (!dialling && incoming->PeerHasLeft()) {
        DropIncoming();
        return false;
    }
    const bool accepted = dialling || owner->PromptIncomingCall(GetPeerAddress());
    if (!WriteRecord(*incoming, {accepted ? SIG_OK : SIG_REFUSE, 0, 0})) {
        EndCall();
        return false;
    }
    if (!accepted) {
        DropIncoming();
        return false;
    }
    return true;
}

void CCallSession::ConnectBack()
{
    sockaddr_in to;
    {
        std::lock_guard lock(peerLock);
        to = MakeAddress(peer.sin_addr.s_addr, static_cast<uint16_t>(port));
    }
    OpenOutgoing(to);
}

void CCallSession::PollIncoming()
{
    if (!incoming)
        return;
    switch (ReadRecord(*incoming, incomingRecord, seconds(kPollSeconds))) {
    case ReadOutcome::TimedOut:
        return;
    case ReadOutcome::Lost:
        EndCall();
        return;
    case ReadOutcome::Whole:
        break;
    }
    const SignalMessage message = *incomingRecord.Take();
    switch (message.type) {
    case SIG_START:
        if (!WriteRecord(*incoming, {SIG_OK, owner->GetMediaMask(), 0})) {
            EndCall();
            return;
        }
        owner->PostCallStarted(*this, message.value);
        break;
    case SIG_HANGUP:
        EndCall();
        break;
    default:
        break; // answers and anything unknown are not for the listener
    }
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
}

bool CCallSession::OpenOutgoing(const sockaddr_in &to)
{
    {
        std::lock_guard lock(outgoingLock);
        if (outgoing.IsOpen())
            return false;
        try {
            outgoing.Create(SOCK_STREAM);
            if (localAddress != INADDR_ANY)
                outgoing.Bind(MakeAddress(localAddress, 0));
        } catch (const CBlockingSocketException &) {
            try {
                outgoing.Close();
            } catch (const CBlockingSocketException &) {
            }
            return false;
        }
    }
    // Connecting can take the system's whole connect time-out, so it runs
    // without the lock; a close from the other thread ends it.
    try {
        outgoing.Connect(to);
        return true;
    } catch (const CBlockingSocketException &) {
        CloseOutgoing();
        return false;
    }
}

void CCallSession::CloseOutgoing()
{
    std::lock_guard lock(outgoingLock);
    try {
        outgoing.Close();
    } catch (const CBlockingSocketException &) {
    }
}

CCallSession::ReadOutcome CCallSession::ReadRecord(CBlockingSocket &socket, SignalRecordCollector &collector,
                                                   milliseconds window)
{
    const auto deadline = steady_clock::now() + window;
    while (!collector.Complete()) {
        auto left = ceil<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            return ReadOutcome::TimedOut;
        auto missing = collector.Missing();
        int count;
        try {
            count = socket.ReceiveWithin(missing.data(), static_cast<int>(missing.size()), left);
        } catch (const CBlockingSocketException &) {
            return ReadOutcome::TimedOut;
        }
        if (count <= 0)
            return ReadOutcome::Lost;
        collector.Received(static_cast<size_t>(count));
    }
    return ReadOutcome::Whole;
}

std::optional<SignalMessage> CCallSession::ReadReply(int seconds)
{
    SignalRecordCollector reply;
    if (ReadRecord(outgoing, reply, std::chrono::seconds(seconds)) != ReadOutcome::Whole)
        return std::nullopt;
    return reply.Take();
}

bool CCallSession::WriteRecord(CBlockingSocket &socket, const SignalMessage &message)
{
    const SignalRecord record = EncodeSignal(message);
    try {
        socket.Write(record.data(), static_cast<int>(record.size()), kWriteWaitSeconds);
        return true;
    } catch (const CBlockingSocketException &) {
        return false;
    }
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

std::string CCallSession::ResolveName(const std::string &name)
{
    try {
        return DottedText(CBlockingSocket::GetHostByName(name.c_str(), 0).sin_addr.s_addr);
    } catch (const CBlockingSocketException &) {
        return {};
    }
}

bool CCallSession::Dial(const std::string &address)
{
    if (OutgoingOpen())
        return false;
    // Text that is not a dotted address cannot be connected to; failing here
    // spares the network a connect to 255.255.255.255.
    const auto target = ParseDotted(address);
    if (!target)
        return false;
    if (!OpenOutgoing(MakeAddress(*target, static_cast<uint16_t>(port))))
        return false;
    const auto answer = ReadReply(kAnswerWaitSeconds);
    if (!answer || answer->type != SIG_OK) {
        CloseOutgoing();
        return false;
    }
    return true;
}

bool CCallSession::Negotiate(int localMask, int &peerMask)
{
    SendSignal(SIG_START, localMask, 0); // a failed write shows as a missing reply
    const auto reply = ReadReply(kReplyWaitSeconds);
    if (!reply || reply->type != SIG_OK) {
        CloseOutgoing();
        return false;
    }
    peerMask = reply->value;
    return true;
}

bool CCallSession::SendSignal(int type, int value, int reserved)
{
    if (!OutgoingOpen())
        return false;
    return WriteRecord(outgoing, {type, value, reserved});
}

bool CCallSession::HangUp()
{
    std::lock_guard lock(outgoingLock);
    if (!outgoing.IsOpen())
        return false;
    try {
        outgoing.Close();
    } catch (const CBlockingSocketException &) {
    }
    return true;
}

std::string CCallSession::GetPeerAddress() const
{
    std::lock_guard lock(peerLock);
    return DottedText(peer.sin_addr.s_addr);
}

} // namespace kestrel::call
