#pragma once

#include "call/CallSession.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace kestrel::call::test {

using namespace std::chrono_literals;

// Stands in for the program: records what the session posts, asks and
// reports (it is the session's monitor too), and answers questions as told,
// so a test can wait for any of it with a deadline.
class FakeOwner : public ICallSessionOwner, public ICallSessionMonitor {
public:
    enum class Answer {
        Yes,  // from inside PromptIncomingCall
        No,   // from inside PromptIncomingCall
        Later // the test answers through the session
    };
    struct Question {
        std::string caller;
        int id;
    };
    struct Reported {
        ListenerEvent event;
        std::string address;
        int detail;
        std::chrono::steady_clock::time_point at;
    };

    explicit FakeOwner(int mask = 3, Answer answer = Answer::Yes) : mask(mask), answer(answer) {}
    // The session that inside answers go to.
    void Attach(CCallSession &answering) { session = &answering; }

    void PostCallStarted(CCallSession &, int peerMask) override;
    void PostCallEnded() override;
    void PromptIncomingCall(const std::string &caller, int questionId) override;
    void WithdrawIncomingCall(int questionId) override;
    int GetMediaMask() override { return mask; }
    void OnListenerEvent(ListenerEvent event, const std::string &address, int detail) override;

    // True when `done` held within `wait`; `done` runs under the lock.
    template <typename Predicate> bool WaitUntil(Predicate done, std::chrono::milliseconds wait = 3s)
    {
        std::unique_lock lock(eventsLock);
        return changed.wait_for(lock, wait, [&] { return done(*this); });
    }
    bool WaitForEvent(ListenerEvent event, int count = 1, std::chrono::milliseconds wait = 3s)
    {
        return WaitUntil([&](FakeOwner &o) { return o.CountLocked(event) >= count; }, wait);
    }

    // Copies taken under the lock, for checks outside WaitUntil.
    std::vector<Question> Questions();
    std::vector<int> Withdrawn();
    std::vector<int> StartedMasks();
    std::vector<Reported> Reports();
    int Ended();
    int Count(ListenerEvent event);

    // Read under eventsLock: inside WaitUntil, or through the copies above.
    std::vector<int> startedMasks;
    std::vector<Question> questions;
    std::vector<int> withdrawn;
    std::vector<Reported> reported;
    int ended = 0;
    int CountLocked(ListenerEvent event) const;

private:
    template <typename T> T Locked(const T &field)
    {
        std::lock_guard lock(eventsLock);
        return field;
    }

    std::mutex eventsLock; // guards the recorded events
    std::condition_variable changed;
    const int mask;
    const Answer answer;
    CCallSession *session = nullptr;
};

// One side of a call on loopback `address`, listening on 6050.
struct Side {
    Side(const char *address, int mask, FakeOwner::Answer answer = FakeOwner::Answer::Yes,
         std::chrono::milliseconds questionLimit = CCallSession::kQuestionLimit);
    std::string address;
    FakeOwner owner;
    CCallSession session;
    bool listening;
};

// Caller A dials callee B and negotiates; true when both sides agree and A's
// listener has taken B's connect-back, so the call is up on both connections.
bool PlaceCall(Side &a, Side &b, int &peerMask);

// How long `action` took.
template <typename Action> std::chrono::milliseconds TimeOf(Action action)
{
    const auto begin = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
}

// The number of descriptors this process holds.
int OpenDescriptorCount();

} // namespace kestrel::call::test
