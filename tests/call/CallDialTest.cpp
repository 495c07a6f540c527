#include "LoopbackPeer.h"
#include "SessionTestSupport.h"
#include "ThreadProbe.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <stop_token>

using namespace kestrel::call;
using namespace kestrel::call::test;
using namespace std::chrono_literals;

// The caller's steps run on a set-up thread: a cancel (or HangUp) ends them
// within 100 ms, a connect has a deadline, and a dial cannot be taken over.
// These tests use 127.0.6.x.

namespace {

constexpr int kPort = CCallSession::kSignalPort;
constexpr auto kCancelLimit = 100ms;

// Runs Dial on a probed thread, so the test can act once it waits.
struct DialOnThread {
    DialOnThread(CCallSession &session, const std::string &address)
        : thread([this, &session, address] { result = session.Dial(address, cancel.get_token()); })
    {
    }
    std::stop_source cancel;
    std::atomic<bool> result{false};
    ProbedThread thread;
};

} // namespace

TEST(CallDial, CancelledBeforeItStartsConnectsNowhere)
{
    Side a("127.0.6.1", 3);
    LoopbackListener callee("127.0.6.2", kPort);
    std::stop_source cancel;
    cancel.request_stop();
    bool dialled = true;
    EXPECT_LT(TimeOf([&] { dialled = a.session.Dial("127.0.6.2", cancel.get_token()); }), kCancelLimit);
    EXPECT_FALSE(dialled);
    EXPECT_EQ(callee.Accept(0ms), -1) << "no connection was made";
    EXPECT_FALSE(a.session.HangUp());

    int peerMask = -1;
    EXPECT_FALSE(a.session.Negotiate(3, peerMask, cancel.get_token()));
    EXPECT_EQ(a.session.ResolveName("127.0.6.2", cancel.get_token()), "");
}

TEST(CallDial, CancelledDuringAConnectThatIsNeverAnswered)
{
    Side a("127.0.6.3", 3);
    FullBacklogListener callee("127.0.6.4", kPort);
    ASSERT_TRUE(callee.Full());
    DialOnThread dial(a.session, "127.0.6.4");
    ASSERT_TRUE(dial.thread.WaitUntilBlockedIn(PollCalls())) << "the connect waits";
    dial.cancel.request_stop();
    EXPECT_TRUE(dial.thread.WaitForEnd(kCancelLimit));
    EXPECT_TRUE(dial.thread.WaitForEnd(3s));
    EXPECT_FALSE(dial.result);
    EXPECT_FALSE(a.session.HangUp()) << "the outgoing connection is closed";
}

TEST(CallDial, ConnectThatIsNeverAnsweredGivesUpAfterTenSeconds)
{
    Side a("127.0.6.5", 3);
    FullBacklogListener callee("127.0.6.6", kPort);
    ASSERT_TRUE(callee.Full());
    bool dialled = true;
    const auto took = TimeOf([&] { dialled = a.session.Dial("127.0.6.6"); });
    EXPECT_FALSE(dialled);
    EXPECT_GE(took, 9500ms);
    EXPECT_LT(took, 12s) << "not the system's two minutes of SYN retries";
    EXPECT_FALSE(a.session.HangUp());
}

TEST(CallDial, CancelledOrHungUpWhileWaitingForTheAnswer)
{
    Side a("127.0.6.7", 3);
    LoopbackListener callee("127.0.6.8", kPort); // takes the connection, never answers
    {
        DialOnThread dial(a.session, "127.0.6.8");
        ASSERT_TRUE(dial.thread.WaitUntilBlockedIn(PollCalls()));
        dial.cancel.request_stop();
        EXPECT_TRUE(dial.thread.WaitForEnd(kCancelLimit));
        EXPECT_TRUE(dial.thread.WaitForEnd(3s));
        EXPECT_FALSE(dial.result);
        EXPECT_FALSE(a.session.HangUp());
    }
    {
        DialOnThread dial(a.session, "127.0.6.8");
        ASSERT_TRUE(dial.thread.WaitUntilBlockedIn(PollCalls()));
        EXPECT_TRUE(a.session.HangUp()) << "HangUp from another thread";
        EXPECT_TRUE(dial.thread.WaitForEnd(kCancelLimit));
        EXPECT_TRUE(dial.thread.WaitForEnd(3s));
        EXPECT_FALSE(dial.result);
    }
    const int first = callee.Accept(1s), second = callee.Accept(1s);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    char byte;
    EXPECT_EQ(::recv(first, &byte, 1, 0), 0) << "the callee sees the dial end";
    EXPECT_EQ(::recv(second, &byte, 1, 0), 0);
}

TEST(CallDial, NegotiateCancelledWhileWaitingForTheReply)
{
    Side a("127.0.6.9", 3);
    LoopbackListener callee("127.0.6.10", kPort);
    DialOnThread dial(a.session, "127.0.6.10");
    const int connection = callee.Accept(3s);
    ASSERT_GE(connection, 0);
    const SignalRecord ok = EncodeSignal({SIG_OK, 0, 0});
    ASSERT_EQ(::send(connection, ok.data(), ok.size(), MSG_NOSIGNAL), 12);
    ASSERT_TRUE(dial.thread.WaitForEnd(3s));
    ASSERT_TRUE(dial.result);

    std::stop_source cancel;
    std::atomic<bool> negotiated{true};
    ProbedThread negotiating([&] {
        int peerMask = 0;
        negotiated = a.session.Negotiate(3, peerMask, cancel.get_token());
    });
    ASSERT_TRUE(negotiating.WaitUntilBlockedIn(PollCalls()));
    cancel.request_stop();
    EXPECT_TRUE(negotiating.WaitForEnd(kCancelLimit));
    EXPECT_TRUE(negotiating.WaitForEnd(3s));
    EXPECT_FALSE(negotiated);
    EXPECT_FALSE(a.session.HangUp()) << "a cancelled negotiation closes the outgoing connection";
}

TEST(CallDial, DialledPeerThatConnectsBackButNeverAnswersGetsNoConnectBack)
{
    // The dialled peer connects back at once (it is auto-answered, as a
    // connect-back is), but never answers the dial itself. When the dial
    // fails, nobody accepted a call, so nobody must be called back.
    Side a("127.0.6.11", 3);
    LoopbackListener peerListener("127.0.6.12", kPort);
    LoopbackPeer peerBack("127.0.6.12");
    DialOnThread dial(a.session, "127.0.6.12");
    ASSERT_GE(peerListener.Accept(3s), 0);
    ASSERT_TRUE(peerBack.Connect(a.address, kPort));
    ASSERT_EQ(peerBack.Read(3s), (SignalMessage{SIG_OK, 0, 0})) << "taken without a question";
    ASSERT_TRUE(a.owner.WaitForEvent(ListenerEvent::DialledPeerTaken));
    dial.cancel.request_stop(); // the same close of `outgoing` as the 10 s answer limit
    ASSERT_TRUE(dial.thread.WaitForEnd(3s));
    EXPECT_FALSE(dial.result);
    EXPECT_EQ(peerListener.Accept(500ms), -1) << "no connect-back for a call nobody accepted";
    EXPECT_TRUE(a.owner.Questions().empty());
}

TEST(CallDial, ThirdPartyCannotTakeOverACallBeingDialled)
{
    Side a("127.0.6.13", 1);
    LoopbackListener calleeListener("127.0.6.14", kPort);
    LoopbackPeer intruder("127.0.6.15"), calleeBack("127.0.6.14");
    DialOnThread dial(a.session, "127.0.6.14");
    const int dialled = calleeListener.Accept(3s);
    ASSERT_GE(dialled, 0);

    ASSERT_TRUE(intruder.Connect(a.address, kPort));
    EXPECT_EQ(intruder.Read(3s), (SignalMessage{SIG_REFUSE, 0, 0})) << "only the dialled address is answered";
    EXPECT_TRUE(intruder.WaitForEnd(3s));
    EXPECT_EQ(a.owner.Count(ListenerEvent::RefusedNotDialled), 1);

    ASSERT_TRUE(calleeBack.Connect(a.address, kPort));
    EXPECT_EQ(calleeBack.Read(3s), (SignalMessage{SIG_OK, 0, 0})) << "the real connect-back is taken";
    const SignalRecord ok = EncodeSignal({SIG_OK, 0, 0});
    ASSERT_EQ(::send(dialled, ok.data(), ok.size(), MSG_NOSIGNAL), 12);
    ASSERT_TRUE(dial.thread.WaitForEnd(3s));
    EXPECT_TRUE(dial.result);
    EXPECT_EQ(a.session.GetPeerAddress(), "127.0.6.14");
    EXPECT_TRUE(a.owner.Questions().empty());
}
