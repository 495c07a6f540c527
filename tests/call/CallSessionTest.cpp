#include "LoopbackPeer.h"
#include "SessionTestSupport.h"
#include "call/CallSession.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <future>
#include <vector>

using namespace kestrel::call;
using namespace kestrel::call::test;
using namespace std::chrono_literals;

namespace {

constexpr int kPort = CCallSession::kSignalPort;

} // namespace

// Tests use 127.0.0.x and 127.0.1.x, each test its own addresses, all on TCP 6050;
// the other call suites use 127.0.4.x to 127.0.8.x.

TEST(CallSession, WholeCallExchangesMasksAndConnectsBackToTheSignalPort)
{
    Side a("127.0.0.2", 1), b("127.0.0.3", 2);
    ASSERT_TRUE(a.listening && b.listening);
    int peerMask = 0;
    ASSERT_TRUE(a.session.Dial(b.address));
    ASSERT_EQ(b.owner.Questions().size(), 1u) << "the callee asked before it answered";
    EXPECT_EQ(b.owner.Questions().at(0).caller, "127.0.0.2");
    ASSERT_TRUE(a.session.Negotiate(1, peerMask));
    EXPECT_EQ(peerMask, 2) << "the caller learns the callee's mask";
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{1}; }))
        << "the callee posts call started with the caller's mask";
    // B's connect-back reached A's listener on 6050 (A accepted it without asking).
    EXPECT_TRUE(a.owner.WaitForEvent(ListenerEvent::DialledPeerTaken));
    EXPECT_EQ(a.session.GetPeerAddress(), "127.0.0.3");
    EXPECT_TRUE(a.owner.Questions().empty()) << "a dialling side answers the connect-back without asking";
    EXPECT_TRUE(b.owner.Withdrawn().empty());
    EXPECT_TRUE(a.owner.StartedMasks().empty());
    EXPECT_EQ(b.session.GetPeerAddress(), "127.0.0.2");
}

TEST(CallSession, RefusedCallFailsDialAndLeavesNothingOpen)
{
    Side a("127.0.0.4", 3), b("127.0.0.5", 3, FakeOwner::Answer::No);
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_FALSE(a.session.HangUp()) << "the outgoing connection is closed after a refusal";
    EXPECT_EQ(b.owner.Questions().size(), 1u);
    // B is idle again and asks about the next call, also from the same
    // caller: a refusal by the user holds nobody back.
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_EQ(b.owner.Questions().size(), 2u);
    EXPECT_TRUE(b.owner.StartedMasks().empty());
    EXPECT_EQ(b.owner.Count(ListenerEvent::RefusedOnHold), 0);
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
    // The listener has read the first piece on its own before the rest is sent.
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) {
        return !o.reported.empty() && o.reported.back().event == ListenerEvent::PartialRecord &&
               o.reported.back().detail == 5;
    }));
    peer.SendBytes(start.data() + 5, 7);
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 1, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{2}; }));

    // The tail of one record and the whole of the next in one segment.
    const SignalRecord second = EncodeSignal({SIG_START, 3, 0});
    peer.SendBytes(second.data(), 11);
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) {
        return !o.reported.empty() && o.reported.back().event == ListenerEvent::PartialRecord &&
               o.reported.back().detail == 11;
    }));
    std::vector<uint8_t> bytes(second.begin() + 11, second.end());
    const SignalRecord hangup = EncodeSignal({SIG_HANGUP, 0, 0});
    bytes.insert(bytes.end(), hangup.begin(), hangup.end());
    peer.SendBytes(bytes.data(), bytes.size());
    EXPECT_EQ(peer.Read(3s), (SignalMessage{SIG_OK, 1, 0})) << "the second record was read whole";
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.ended == 1; })) << "and the hang-up after it";
    EXPECT_EQ(b.owner.StartedMasks().at(0), 2);
}

TEST(CallSession, DialWhileOutgoingIsOpenFailsWithoutTouchingTheCall)
{
    Side a("127.0.0.16", 3), b("127.0.0.17", 3);
    int peerMask = 0;
    ASSERT_TRUE(PlaceCall(a, b, peerMask));
    EXPECT_FALSE(a.session.Dial(b.address));
    EXPECT_FALSE(b.owner.WaitUntil([](auto &o) { return o.questions.size() > 1 || o.ended > 0; }, 300ms))
        << "no second connection and the call is still up";
    EXPECT_TRUE(a.session.HangUp()) << "the first call's connection is still open";
}

TEST(CallSession, HangUpWithNothingOpenChangesNothing)
{
    Side a("127.0.0.18", 3);
    EXPECT_FALSE(a.session.HangUp());
    EXPECT_FALSE(a.session.SendSignal(SIG_START, 3, 0));
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
