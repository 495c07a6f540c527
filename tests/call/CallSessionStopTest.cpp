#include "LoopbackPeer.h"
#include "SessionTestSupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <vector>

using namespace kestrel::call;
using namespace kestrel::call::test;
using namespace std::chrono_literals;

// Stop must return within 100 ms, with the listener thread joined, whatever
// the listener is doing. These tests use 127.0.4.x.

namespace {

constexpr int kPort = CCallSession::kSignalPort;
constexpr auto kStopLimit = 100ms;

void ExpectStopsAtOnce(Side &side)
{
    std::optional<int> stopped;
    const auto took = TimeOf([&] { stopped = side.session.Stop(); });
    EXPECT_LT(took, kStopLimit);
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(side.session.IsListening()) << "the listener thread is joined";
}

} // namespace

TEST(CallSessionStop, WhileWaitingForConnections)
{
    Side a("127.0.4.1", 3);
    ASSERT_TRUE(a.listening);
    ExpectStopsAtOnce(a);
    EXPECT_EQ(a.session.Stop(), std::nullopt) << "a second stop finds no listener";
}

TEST(CallSessionStop, WhilePollingAnAcceptedConnection)
{
    Side b("127.0.4.2", 3);
    LoopbackPeer silent("127.0.4.3");
    ASSERT_TRUE(silent.Connect(b.address, kPort));
    ASSERT_EQ(silent.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    ExpectStopsAtOnce(b);
    EXPECT_TRUE(silent.WaitForEnd(1s)) << "the accepted connection is closed";
}

TEST(CallSessionStop, WithTheQuestionOpenWithdrawsItAndRefusesTheCaller)
{
    Side b("127.0.4.4", 3, FakeOwner::Answer::Later);
    LoopbackPeer caller("127.0.4.5");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    const int id = b.owner.Questions().at(0).id;
    ExpectStopsAtOnce(b);
    EXPECT_EQ(b.owner.Withdrawn(), std::vector<int>{id});
    EXPECT_EQ(caller.Read(1s), (SignalMessage{SIG_REFUSE, 0, 0}));
    EXPECT_TRUE(caller.WaitForEnd(1s));
}

TEST(CallSessionStop, WhileWritingToAPeerThatReadsNothing)
{
    Side b("127.0.4.6", 3);
    LoopbackPeer flooder("127.0.4.7");
    // A tiny receive window: the replies soon fill it and the session's
    // send buffer, and the listener's write has to wait.
    ASSERT_TRUE(flooder.Connect(b.address, kPort, /*receiveBuffer=*/1024));
    ASSERT_EQ(flooder.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    std::vector<uint8_t> starts;
    for (int i = 0; i < 1000; ++i) {
        const SignalRecord start = EncodeSignal({SIG_START, 3, 0});
        starts.insert(starts.end(), start.begin(), start.end());
    }
    // Send SIG_STARTs, never reading a reply, for as long as the session
    // takes them, until the listener reports that its write waits.
    bool waiting = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!waiting && std::chrono::steady_clock::now() < deadline) {
        pollfd writable{flooder.Descriptor(), POLLOUT, 0};
        if (::poll(&writable, 1, 50) == 1)
            ::send(flooder.Descriptor(), starts.data(), starts.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        waiting = b.owner.WaitForEvent(ListenerEvent::WriteWaiting, 1, 0ms);
    }
    ASSERT_TRUE(waiting);
    ExpectStopsAtOnce(b);
}

TEST(CallSessionStop, WhileConnectingBackToACallerThatDoesNotAnswer)
{
    Side b("127.0.4.8", 3);
    FullBacklogListener callerListener("127.0.4.9", kPort); // SYNs to it go unanswered
    ASSERT_TRUE(callerListener.Full());
    LoopbackPeer caller("127.0.4.9");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 0, 0})); // the connect-back starts now
    ExpectStopsAtOnce(b);
    EXPECT_FALSE(b.session.HangUp()) << "the unfinished connect-back is closed";
}
