#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace kestrel::call::test {

// Runs `body` on a thread of its own that a test can watch from outside: the
// kernel tells (through /proc) which system call the thread is blocked in, so
// a test can act exactly when the thread waits, with no sleep. Joined when
// destroyed.
class ProbedThread {
public:
    explicit ProbedThread(std::function<void()> body);
    ~ProbedThread();
    ProbedThread(const ProbedThread &) = delete;
    ProbedThread &operator=(const ProbedThread &) = delete;

    // True once the thread sleeps inside one of `syscalls` (SYS_ numbers),
    // within `limit`.
    bool WaitUntilBlockedIn(const std::vector<long> &syscalls, std::chrono::milliseconds limit = std::chrono::seconds(3));
    // True once `body` has returned, within `limit`.
    bool WaitForEnd(std::chrono::milliseconds limit);

private:
    std::promise<pid_t> started;
    std::promise<void> finished;
    std::future<void> finishedFuture;
    pid_t tid = 0;
    std::thread thread;
};

// The syscalls a thread waiting for readiness sits in.
std::vector<long> PollCalls();

} // namespace kestrel::call::test
