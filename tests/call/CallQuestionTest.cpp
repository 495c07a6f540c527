#include "LoopbackPeer.h"
#include "SessionTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrel::call;
using namespace kestrel::call::test;
using namespace std::chrono_literals;

// The incoming-call question: asked without blocking the listener, answered
// from any thread, withdrawn when it is void. These tests use 127.0.5.x.

namespace {

constexpr int kPort = CCallSession::kSignalPort;

} // namespace

TEST(CallQuestion, AnswerFromAnotherThreadIsWrittenAndConnectsBack)
{
    Side b("127.0.5.1", 2, FakeOwner::Answer::Later);
    LoopbackListener callerListener("127.0.5.2", kPort);
    LoopbackPeer caller("127.0.5.2");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    const auto question = b.owner.Questions().at(0);
    EXPECT_EQ(question.caller, "127.0.5.2");
    EXPECT_EQ(caller.Read(200ms), std::nullopt) << "nothing is answered before the user has";
    EXPECT_EQ(callerListener.Accept(0ms), -1) << "and nobody is called back";

    b.session.AnswerIncomingCall(question.id, true);
    EXPECT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 0, 0}));
    EXPECT_GE(callerListener.Accept(3s), 0) << "yes connects back to the caller's 6050";
    EXPECT_TRUE(b.owner.Withdrawn().empty()) << "an answered question is not withdrawn";

    caller.Send({SIG_START, 1, 0});
    EXPECT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 2, 0}));
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{1}; }));
}

TEST(CallQuestion, AnswersToOtherOrClosedQuestionsAreIgnored)
{
    Side b("127.0.5.3", 3, FakeOwner::Answer::Later);
    LoopbackListener callerListener("127.0.5.4", kPort);
    LoopbackPeer caller("127.0.5.4");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    const int id = b.owner.Questions().at(0).id;

    b.session.AnswerIncomingCall(id + 1, true);
    b.session.AnswerIncomingCall(0, true);
    EXPECT_EQ(caller.Read(200ms), std::nullopt) << "answers to other questions change nothing";
    b.session.AnswerIncomingCall(id, false);
    b.session.AnswerIncomingCall(id, true); // a second answer does not count
    EXPECT_EQ(caller.Read(3s), (SignalMessage{SIG_REFUSE, 0, 0}));
    EXPECT_TRUE(caller.WaitForEnd(3s));
    b.session.AnswerIncomingCall(id, true); // the question is closed
    EXPECT_EQ(callerListener.Accept(300ms), -1) << "no connect-back for a refused call";
    EXPECT_FALSE(b.session.HangUp());
}

TEST(CallQuestion, CallerLeavingWithdrawsTheQuestionAndAnswersNothing)
{
    Side b("127.0.5.5", 3, FakeOwner::Answer::Later);
    LoopbackListener leaverListener("127.0.5.6", kPort);
    LoopbackPeer leaver("127.0.5.6"), next("127.0.5.7");
    ASSERT_TRUE(leaver.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    const int first = b.owner.Questions().at(0).id;
    leaver.Close();
    ASSERT_TRUE(b.owner.WaitUntil([&](auto &o) { return o.withdrawn == std::vector<int>{first}; }));
    EXPECT_EQ(b.owner.Ended(), 0) << "no call was up, so none ends";

    b.session.AnswerIncomingCall(first, true); // too late: ignored
    EXPECT_EQ(leaverListener.Accept(200ms), -1) << "a withdrawn question connects nobody back";

    // The listener is idle again, and the late answer has not leaked into
    // the next question.
    ASSERT_TRUE(next.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 2; }));
    const auto second = b.owner.Questions().at(1);
    EXPECT_EQ(second.caller, "127.0.5.7");
    EXPECT_NE(second.id, first);
    EXPECT_EQ(next.Read(200ms), std::nullopt);
    b.session.AnswerIncomingCall(second.id, false);
    EXPECT_EQ(next.Read(3s), (SignalMessage{SIG_REFUSE, 0, 0}));
}

TEST(CallQuestion, UnansweredQuestionIsWithdrawnAndRefusedAfterItsLimit)
{
    Side b("127.0.5.8", 3, FakeOwner::Answer::Later, /*questionLimit=*/300ms);
    LoopbackPeer caller("127.0.5.9");
    std::optional<SignalMessage> answer;
    const auto took = TimeOf([&] {
        ASSERT_TRUE(caller.Connect(b.address, kPort));
        answer = caller.Read(5s);
    });
    EXPECT_EQ(answer, (SignalMessage{SIG_REFUSE, 0, 0})) << "as if the user had said no";
    EXPECT_GE(took, 300ms);
    ASSERT_EQ(b.owner.Questions().size(), 1u);
    EXPECT_EQ(b.owner.Withdrawn(), std::vector<int>{b.owner.Questions().at(0).id});
    EXPECT_TRUE(caller.WaitForEnd(3s));
}

TEST(CallQuestion, WhatTheCallerSendsEarlyWaitsForTheAnswer)
{
    Side b("127.0.5.10", 1, FakeOwner::Answer::Later);
    LoopbackPeer caller("127.0.5.11");
    ASSERT_TRUE(caller.Connect(b.address, kPort));
    ASSERT_TRUE(b.owner.WaitUntil([](auto &o) { return o.questions.size() == 1; }));
    caller.Send({SIG_START, 2, 0}); // before the answer: kept, not taken for leaving
    EXPECT_FALSE(b.owner.WaitUntil([](auto &o) { return !o.withdrawn.empty(); }, 200ms));
    b.session.AnswerIncomingCall(b.owner.Questions().at(0).id, true);
    EXPECT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 0, 0})) << "the answer first";
    EXPECT_EQ(caller.Read(3s), (SignalMessage{SIG_OK, 1, 0})) << "then the reply to the early SIG_START";
    EXPECT_TRUE(b.owner.WaitUntil([](auto &o) { return o.startedMasks == std::vector<int>{2}; }));
}
