#pragma once

#include "call/ICallSessionOwner.h"
#include "platform/PollInterrupter.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace kestrel::call {

// The owner of kestrel-signal's session: prints one line per event and hands
// every event from the listener (and from the thread that places a call) to
// the main thread through a queue that wakes the main thread's poll. The main
// thread answers questions, as a user would, through AnswerIncomingCall.
class ConsoleCallOwner : public ICallSessionOwner {
public:
    enum class Event { CallStarted, CallEnded, Question, QuestionWithdrawn, CallPlaced };
    struct Posted {
        Event event;
        int value = 0; // peer mask, question id, or 1 when a placed call is up
        std::string peerAddress;
    };

    ConsoleCallOwner(int mediaMask, std::FILE *out);

    void PostCallStarted(CCallSession &session, int peerMask) override;
    void PostCallEnded() override;
    void PromptIncomingCall(const std::string &callerAddress, int questionId) override;
    void WithdrawIncomingCall(int questionId) override;
    int GetMediaMask() override { return mediaMask; }

    // Any thread: queues an event for the main thread.
    void Post(Posted posted);
    // Readable while posted events wait; for the main thread's poll().
    int WakeDescriptor() const { return wake.Descriptor(); }
    // Main thread: the next posted event, if any.
    std::optional<Posted> TakePosted();
    // Prints one line and flushes it at once; safe from any thread.
    void Print(const std::string &line);

private:
    const int mediaMask;
    std::FILE *const out;
    platform::PollInterrupter wake;

    // Listener thread alone: the last question asked, to name its caller
    // when it is withdrawn.
    int lastQuestionId = 0;
    std::string lastQuestionCaller;

    std::mutex printLock;  // one line at a time on `out`
    std::mutex postedLock; // guards posted
    std::deque<Posted> posted;
};

} // namespace kestrel::call
