#include "LoopbackPeer.h"
#include "SessionTestSupport.h"
#include "tests/SanitizerBuild.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

using namespace kestrel::call;
using namespace kestrel::call::test;
using namespace std::chrono_literals;

// Peers that connect while the listener is busy, connect over and over,
// repeat records, or find the process out of descriptors. These tests use
// 127.0.7.x and 127.0.8.x.

namespace {

constexpr int kPort = CCallSession::kSignalPort;

// A caller that connects, expects to be refused at once and leaves.
void ExpectRefusedAtOnce(const std::string &from, const std::string &to)
{
    LoopbackPeer caller(from);
    ASSERT_TRUE(caller.Connect(to, kPort));
    EXPECT_EQ(caller.Read(1s), (SignalMessage{SIG_REFUSE, 0, 0}));
    EXPECT_TRUE(caller.WaitForEnd(1s));
}

} // namespace

TEST(CallHostilePeer, OtherCallersAreRefusedAtOnceWhileAQuestionIsOpen)
{
    Side b("127.0.7.1", 3, FakeOwner::Answer::Later);
    LoopbackPeer first("127.0.7.2");
    ASSERT_TRUE(first.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    ExpectRefusedAtOnce("127.0.7.3", b.address);
    EXPECT_EQ(b.owner.Count(ListenerEvent::RefusedBusy), 1);
    EXPECT_EQ(b.owner.Questions().size(), 1u);
    EXPECT_TRUE(b.owner.Withdrawn().empty()) << "the open question is not disturbed";
    b.session.AnswerIncomingCall(b.owner.Questions().at(0).id, true);
    EXPECT_EQ(first.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
}

TEST(CallHostilePeer, NewConnectionsAreRefusedAtOnceWhileACallIsUp)
{
    Side a("127.0.7.4", 3), b("127.0.7.5", 3);
    int peerMask = 0;
    ASSERT_TRUE(PlaceCall(a, b, peerMask));
    ExpectRefusedAtOnce("127.0.7.6", b.address);
    ExpectRefusedAtOnce("127.0.7.6", a.address);
    EXPECT_EQ(a.session.GetPeerAddress(), b.address) << "a refused connection is not the peer";
    EXPECT_EQ(b.session.GetPeerAddress(), a.address);
    EXPECT_EQ(a.owner.Ended() + b.owner.Ended(), 0) << "the call is still up";
    EXPECT_TRUE(a.session.HangUp());
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; }));
}

TEST(CallHostilePeer, FloodFromOneAddressShowsOneQuestionAndLeavesNoDescriptors)
{
    Side b("127.0.7.7", 3, FakeOwner::Answer::Later);
    const int baseline = OpenDescriptorCount();

    // 100 connections and 100 SIG_STARTs within a few milliseconds, from one address.
    LoopbackPeer first("127.0.7.8");
    ASSERT_TRUE(first.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    for (int i = 0; i < 100; ++i)
        first.Send({SIG_START, 3, 0});
    for (int i = 0; i < 49; ++i)
        ExpectRefusedAtOnce("127.0.7.8", b.address);
    first.Close(); // the caller leaves; its question is withdrawn
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.withdrawn.size() == 1; }));
    for (int i = 0; i < 50; ++i)
        ExpectRefusedAtOnce("127.0.7.8", b.address);

    EXPECT_EQ(b.owner.Questions().size(), 1u) << "one question for the whole flood";
    EXPECT_EQ(b.owner.Count(ListenerEvent::RefusedBusy), 49);
    EXPECT_EQ(b.owner.Count(ListenerEvent::RefusedOnHold), 50);
    EXPECT_TRUE(b.owner.StartedMasks().empty());
    EXPECT_EQ(OpenDescriptorCount(), baseline) << "every refused connection was closed";

    // Another address is still served.
    LoopbackPeer other("127.0.7.9");
    ASSERT_TRUE(other.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 2; }));
    EXPECT_EQ(b.owner.Questions().at(1).caller, "127.0.7.9");
    b.session.AnswerIncomingCall(b.owner.Questions().at(1).id, false);
    EXPECT_EQ(other.Read(3s), (SignalMessage{SIG_REFUSE, 0, 0}));
}

TEST(CallHostilePeer, RepeatedStartsGetEveryReplyButTheOwnerHearsOfThemOnceASecond)
{
    Side b("127.0.7.10", 2);
    LoopbackPeer caller("127.0.7.11");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    for (int i = 0; i < 100; ++i)
        caller.Send({SIG_START, 1 + i % 3, 0}); // the last one carries mask 1 + 99 % 3 = 1
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 2, 0})) << "reply " << i;
    // The first start at once, the latest mask once the interval is over.
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks.size() == 2; }));
    EXPECT_EQ(b.owner.StartedMasks(), (std::vector<int>{1, 1}));
    EXPECT_FALSE(b.owner.WaitUntil([](auto &o) { return o.startedMasks.size() > 2; }, 1500ms));
}

TEST(CallHostilePeer, OutOfDescriptorsPausesAcceptingAndListeningGoesOn)
{
    if (kestrel::testing::kVirtualCallsNeedDescriptors)
        GTEST_SKIP() << "the sanitizer's check of virtual calls needs descriptors this test takes away";
    Side b("127.0.8.1", 3, FakeOwner::Answer::Later);
    LoopbackPeer caller("127.0.8.2");
    // The caller's socket exists before the descriptors run out: connecting
    // needs none, accepting does.
    ASSERT_TRUE(caller.Open());

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::fcntl(0, F_DUPFD_CLOEXEC, 0)) >= 0;)
        filler.push_back(fd);
    const int exhausted = errno;

    const bool connected = caller.Connect(b.address, kPort);
    const bool failed = b.owner.WaitUntil([](auto &o) {
        return o.CountLocked(ListenerEvent::AcceptFailed) >= 2; // at least one retry after the pause
    });
    for (int fd : filler)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(exhausted, EMFILE);
    ASSERT_TRUE(connected);
    ASSERT_TRUE(failed) << "accept failed for want of descriptors, and was tried again";
    std::vector<std::chrono::steady_clock::time_point> failedAt;
    for (const auto &report : b.owner.Reports()) {
        if (report.event == ListenerEvent::AcceptFailed) {
            failedAt.push_back(report.at);
            EXPECT_EQ(report.detail, EMFILE);
        }
    }
    ASSERT_GE(failedAt.size(), 2u);
    EXPECT_GE(failedAt[1] - failedAt[0], 90ms) << "a pause between tries, not a spin";

    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }, 5s))
        << "once descriptors are free again, the waiting caller is taken";
    EXPECT_EQ(b.owner.Questions().at(0).caller, "127.0.8.2");
    EXPECT_TRUE(b.session.IsListening());
}
