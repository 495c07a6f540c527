#include "LoopbackPeer.h"
#include "call/CallSession.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

using namespace kestrel::call;
using kestrel::call::test::LoopbackListener;
using kestrel::call::test::LoopbackPeer;
using namespace std::chrono_literals;

namespace {

constexpr int kPort = CCallSession::kSignalPort;

// Stands in for the program: answers prompts as told and records what the
// session posts, so a test can wait for it with a deadline.
class FakeOwner : public ICallSessionOwner {
public:
    explicit FakeOwner(int mask = 3, bool answer = true) : mask(mask), answer(answer) {}

    void PostCallStarted(CCallSession &, int peerMask) override
    {
        std::lock_guard lock(eventsLock);
        startedMasks.push_back(peerMask);
        changed.notify_all();
    }
    void PostCallEnded() override
    {
        std::lock_guard lock(eventsLock);
        ++ended;
        changed.notify_all();
    }
    bool PromptIncomingCall(const std::string &caller) override
    {
        std::unique_lock lock(eventsLock);
        prompts.push_back(caller);
        changed.notify_all();
        changed.wait(lock, [this] { return !holdPrompt; });
        return answer;
    }
    int GetMediaMask() override { return mask; }

    template <typename Predicate> bool WaitUntil(Predicate done, std::chrono::milliseconds wait = 3s)
    {
        std::unique_lock lock(eventsLock);
        return changed.wait_for(lock, wait, [&] { return done(*this); });
    }
    // Copies taken under the lock, for checks outside WaitUntil.
    std::vector<std::string> Prompts() { return Locked(prompts); }
    std::vector<int> StartedMasks() { return Locked(startedMasks); }
    int Ended() { return Locked(ended); }

    void HoldPrompts(bool hold)
    {
        std::lock_guard lock(eventsLock);
        holdPrompt = hold;
        changed.notify_all();
    }

    // Read under eventsLock: inside WaitUntil, or through the copies above.
    std::vector<int> startedMasks;
    std::vector<std::string> prompts;
    int ended = 0;

private:
    template <typename T> T Locked(const T &field)
    {
        std::lock_guard lock(eventsLock);
        return field;
    }

    std::mutex eventsLock; // guards the recorded events and holdPrompt
    std::condition_variable changed;
    const int mask;
    const bool answer;
    bool holdPrompt = false;
};

struct Side {
    Side(const char *address, int mask, bool answer = true) : address(address), owner(mask, answer), session(address)
    {
        listening = session.Start(kPort, &owner);
    }
    std::string address;
    FakeOwner owner;
    CCallSession session;
    bool listening;
};

// Polls `done` until it holds or `wait` has passed; for state the session
// reports by no event of its own.
template <typename Predicate> bool Eventually(Predicate done, std::chrono::milliseconds wait = 3s)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Caller A dials callee B and negotiates; true when both sides agree and A's
// listener has taken B's connect-back, so the call is up on both connections.
bool PlaceCall(Side &a, Side &b, int &peerMask)
{
    return a.session.Dial(b.address) && a.session.Negotiate(a.owner.GetMediaMask(), peerMask) &&
           Eventually([&] { return a.session.GetPeerAddress() == b.address; });
}

} // namespace

// Tests use 127.0.0.x and 127.0.1.x, each test its own addresses, all on TCP 6050.

TEST(CallSession, WholeCallExchangesMasksAndConnectsBackToTheSignalPort)
{
    Side a("127.0.0.2", 1), b("127.0.0.3", 2);
    ASSERT_TRUE(a.listening && b.listening);
    int peerMask = 0;
    ASSERT_TRUE(a.session.Dial(b.address));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.prompts.size() == 1; }));
    EXPECT_EQ(b.owner.Prompts().at(0), "127.0.0.2");
    ASSERT_TRUE(a.session.Negotiate(1, peerMask));
    EXPECT_EQ(peerMask, 2) << "the caller learns the callee's mask";
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{1}; }))
        << "the callee posts call started with the caller's mask";
    // B's connect-back reached A's listener on 6050 (A accepted it without asking).
    EXPECT_TRUE(Eventually([&] { return a.session.GetPeerAddress() == "127.0.0.3"; }));
    EXPECT_TRUE(a.owner.Prompts().empty()) << "a dialling side answers the connect-back without asking";
    EXPECT_TRUE(a.owner.StartedMasks().empty());
    EXPECT_EQ(b.session.GetPeerAddress(), "127.0.0.2");
}

TEST(CallSession, RefusedCallFailsDialAndLeavesNothingOpen)
{
    Side a("127.0.0.4", 3), b("127.0.0.5", 3, /*answer=*/false);
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_FALSE(a.session.HangUp()) << "the outgoing connection is closed after a refusal";
    EXPECT_EQ(b.owner.Prompts().size(), 1u);
    EXPECT_FALSE(b.owner.WaitUntil([](auto &o) { return !o.startedMasks.empty(); }, 200ms));
    // B is idle again and takes the next call.
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.prompts.size() == 2; }));
}

TEST(CallSession, HangUpByCallerEndsTheCallOnBothSides)
{
    Side a("127.0.0.6", 3), b("127.0.0.7", 3);
    int peerMask = 0;
    ASSERT_TRUE(PlaceCall(a, b, peerMask));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks.size() == 1; }));
    EXPECT_TRUE(a.session.HangUp());
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_TRUE(a.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_FALSE(b.session.HangUp()) << "the callee closed its connect-back itself";
    // Both are idle: the call can be placed again, the other way round.
    ASSERT_TRUE(PlaceCall(b, a, peerMask));
}

TEST(CallSession, HangUpByCalleeEndsTheCallOnBothSides)
{
    Side a("127.0.0.8", 3), b("127.0.0.9", 1);
    int peerMask = 0;
    ASSERT_TRUE(PlaceCall(a, b, peerMask));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks.size() == 1; }));
    EXPECT_TRUE(b.session.HangUp());
    EXPECT_TRUE(a.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_FALSE(a.session.HangUp());
}

TEST(CallSession, HangupRecordClosesBothConnectionsAndPostsEnded)
{
    Side b("127.0.0.10", 3);
    LoopbackListener peerListener("127.0.0.11", kPort);
    LoopbackPeer peer("127.0.0.11");
    ASSERT_TRUE(peer.Connect(b.address, kPort));
    ASSERT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    ASSERT_GE(peerListener.Accept(3s), 0) << "the callee connects back to the caller's port 6050";
    peer.Send({SIG_HANGUP, 0, 0});
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_TRUE(peer.WaitForEnd(3s));
    EXPECT_FALSE(b.session.HangUp()) << "the connect-back was closed too";
}

TEST(CallSession, OtherRecordTypesAreIgnoredAndTheStreamStaysInStep)
{
    Side b("127.0.0.12", 2);
    LoopbackPeer peer("127.0.0.13");
    ASSERT_TRUE(peer.Connect(b.address, kPort));
    ASSERT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    peer.Send({SIG_OK, 7, 0});
    peer.Send({SIG_REFUSE, 0, 0});
    peer.Send({42, 1, 1});
    peer.Send({SIG_START, 3, 99});
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 2, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{3}; }));
    EXPECT_EQ(b.owner.Ended(), 0);

    // A second SIG_START on the same connection gets a second reply and a second post.
    peer.Send({SIG_START, 1, 0});
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 2, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{3, 1}; }));
}

TEST(CallSession, RecordArrivingInPiecesIsNotDropped)
{
    Side b("127.0.0.14", 1);
    LoopbackPeer peer("127.0.0.15");
    ASSERT_TRUE(peer.Connect(b.address, kPort));
    ASSERT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    const SignalRecord start = EncodeSignal({SIG_START, 2, 0});
    peer.SendBytes(start.data(), 5);
    std::this_thread::sleep_for(50ms); // let the first piece be read on its own
    peer.SendBytes(start.data() + 5, 7);
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 1, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{2}; }));

    // The tail of one record and the whole of the next in one segment.
    const SignalRecord second = EncodeSignal({SIG_START, 3, 0});
    peer.SendBytes(second.data(), 11);
    std::this_thread::sleep_for(50ms);
    std::vector<uint8_t> bytes(second.begin() + 11, second.end());
    const SignalRecord hangup = EncodeSignal({SIG_HANGUP, 0, 0});
    bytes.insert(bytes.end(), hangup.begin(), hangup.end());
    peer.SendBytes(bytes.data(), bytes.size());
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 1, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks.size() == 2 && o.ended == 1; }));
}

TEST(CallSession, DialWhileOutgoingIsOpenFailsWithoutTouchingTheCall)
{
    Side a("127.0.0.16", 3), b("127.0.0.17", 3);
    int peerMask = 0;
    ASSERT_TRUE(PlaceCall(a, b, peerMask));
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_FALSE(b.owner.WaitUntil([](auto &o) { return o.prompts.size() > 1 || o.ended > 0; }, 300ms))
        << "no second connection and the call is still up";
    EXPECT_TRUE(a.session.HangUp()) << "the first call's connection is still open";
}

TEST(CallSession, HangUpWithNothingOpenChangesNothing)
{
    Side a("127.0.0.18", 3);
    EXPECT_FALSE(a.session.HangUp());
    EXPECT_FALSE(a.session.SendSignal(SIG_START, 3, 0));
}

TEST(CallSession, SilentPeerHoldsTheListenerUntilItLeaves)
{
    Side b("127.0.0.19", 3);
    LoopbackPeer silent("127.0.0.20"), next("127.0.0.21");
    ASSERT_TRUE(silent.Connect(b.address, kPort));
    ASSERT_EQ(silent.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    ASSERT_TRUE(next.Connect(b.address, kPort)) << "the backlog takes the connection";
    EXPECT_EQ(next.Read(1s), std::nullopt) << "no answer while the silent peer is connected";
    EXPECT_EQ(b.owner.Prompts().size(), 1u);
    silent.Close();
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
    EXPECT_EQ(next.Read(3s), (SignalMessage{SIG_OK, 0, 0})) << "the waiting caller is answered next";
}

TEST(CallSession, DialToAPeerThatNeverAnswersFailsAfterTheWait)
{
    Side a("127.0.1.1", 3);
    LoopbackListener mute("127.0.1.2", kPort);
    ASSERT_TRUE(mute.Listening());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(a.session.Dial("127.0.1.2"));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 9s) << "the answer is awaited for 10 s";
    EXPECT_FALSE(a.session.HangUp()) << "a failed dial leaves no outgoing connection";
}

TEST(CallSession, PortInUseStartsNoListenerButDialStillWorks)
{
    LoopbackListener squatter("127.0.1.3", kPort);
    ASSERT_TRUE(squatter.Listening());
    Side a("127.0.1.3", 3), b("127.0.1.4", 2);
    EXPECT_FALSE(a.listening);
    EXPECT_FALSE(a.session.IsListening());
    EXPECT_EQ(a.session.Stop(), std::nullopt) << "no listener to stop";
    int peerMask = 0;
    ASSERT_TRUE(a.session.Dial(b.address)) << "the callee's connect-back lands on the squatter, which is harmless";
    EXPECT_TRUE(a.session.Negotiate(3, peerMask));
    EXPECT_EQ(peerMask, 2);
}

TEST(CallSession, UnresolvableNameFailsWithoutException)
{
    Side a("127.0.1.5", 3);
    const std::string name = std::string(70, 'q') + ".invalid"; // never leaves the machine
    EXPECT_EQ(a.session.ResolveName(name), "");
    EXPECT_FALSE(a.session.Dial(name));
    EXPECT_FALSE(a.session.Dial(""));
    EXPECT_FALSE(a.session.HangUp());
    EXPECT_EQ(a.session.ResolveName("127.0.1.6"), "127.0.1.6");
}

TEST(CallSession, NegotiateWithoutReplyFailsAndClosesOutgoing)
{
    Side a("127.0.1.7", 3);
    LoopbackListener peerListener("127.0.1.8", kPort);
    // A peer that answers the dial but never replies to SIG_START.
    auto answering = std::async(std::launch::async, [&] {
        int fd = peerListener.Accept(3s);
        const SignalRecord ok = EncodeSignal({SIG_OK, 0, 0});
        return fd >= 0 && ::send(fd, ok.data(), ok.size(), MSG_NOSIGNAL) == 12;
    });
    ASSERT_TRUE(a.session.Dial("127.0.1.8"));
    ASSERT_TRUE(answering.get());
    int peerMask = -1;
    EXPECT_FALSE(a.session.Negotiate(3, peerMask));
    EXPECT_EQ(peerMask, -1);
    EXPECT_FALSE(a.session.HangUp());
}

TEST(CallSession, StopInterruptsABlockedAcceptAtOnce)
{
    Side a("127.0.1.9", 3);
    ASSERT_TRUE(a.listening);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(a.session.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_FALSE(a.session.IsListening()) << "the listener thread is joined";
    EXPECT_EQ(a.session.Stop(), std::nullopt);
}

TEST(CallSession, StopWhilePollingReturnsWithinOnePoll)
{
    Side b("127.0.1.10", 3);
    LoopbackPeer silent("127.0.1.11");
    ASSERT_TRUE(silent.Connect(b.address, kPort));
    ASSERT_EQ(silent.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(b.session.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 6s);
    EXPECT_FALSE(b.session.IsListening());
}

TEST(CallSession, ListenerWaitsWhileThePromptIsOpen)
{
    Side b("127.0.1.12", 3);
    b.owner.HoldPrompts(true);
    LoopbackPeer caller("127.0.1.13");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.prompts.size() == 1; }));
    auto stopping = std::async(std::launch::async, [&] { return b.session.Stop(); });
    EXPECT_EQ(stopping.wait_for(300ms), std::future_status::timeout) << "stop waits for the user's answer";
    b.owner.HoldPrompts(false);
    ASSERT_EQ(stopping.wait_for(7s), std::future_status::ready);
    EXPECT_EQ(stopping.get(), 1);
}
