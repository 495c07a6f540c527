#pragma once

#include "call/ICallSessionOwner.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace kestrel::call {

// The owner of kestrel-signal's session: answers calls as configured, prints
// one line per event, and posts call-started/ended to the main thread through
// a queue that wakes it by an eventfd.
class ConsoleCallOwner : public ICallSessionOwner {
public:
    enum class Event { CallStarted, CallEnded };
    struct Posted {
        Event event;
        int peerMask = 0;
        std::string peerAddress;
    };

    ConsoleCallOwner(bool answerYes, int mediaMask, std::FILE *out);
    ~ConsoleCallOwner() override;
    ConsoleCallOwner(const ConsoleCallOwner &) = delete;
    ConsoleCallOwner &operator=(const ConsoleCallOwner &) = delete;

    void PostCallStarted(CCallSession &session, int peerMask) override;
    void PostCallEnded() override;
    bool PromptIncomingCall(const std::string &callerAddress) override;
    int GetMediaMask() override { return mediaMask; }

    // Readable while posted events wait; for the main thread's poll().
    int WakeDescriptor() const { return wakeFd; }
    // Main thread: the next posted event, if any.
    std::optional<Posted> TakePosted();
    // Prints one line and flushes it at once; safe from any thread.
    void Print(const std::string &line);

private:
    void Post(Posted posted);

    const bool answerYes;
    const int mediaMask;
    std::FILE *const out;
    int wakeFd;

    std::mutex printLock; // one line at a time on `out`
    std::mutex postedLock; // guards posted
    std::deque<Posted> posted;
};

} // namespace kestrel::call
