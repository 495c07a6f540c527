#include "ThreadProbe.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace kestrel::call::test {

namespace {

// The system call `tid` is in, or -1 while it runs in user space.
long CurrentSyscall(pid_t tid)
{
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string first;
    if (!(file >> first) || first == "running")
        return -1;
    return std::stol(first);
}

// The scheduler state letter of `tid` ('S' sleeping, 'R' running, ...).
char SchedulerState(pid_t tid)
{
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(file, line);
    const auto close = line.rfind(')'); // the name in parentheses may hold spaces
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

} // namespace

ProbedThread::ProbedThread(std::function<void()> body) : finishedFuture(finished.get_future())
{
    auto tidFuture = started.get_future();
    thread = std::thread([this, body = std::move(body)] {
        started.set_value(static_cast<pid_t>(::syscall(SYS_gettid)));
        body();
        finished.set_value();
    });
    tid = tidFuture.get();
}

ProbedThread::~ProbedThread()
{
    thread.join();
}

bool ProbedThread::WaitUntilBlockedIn(const std::vector<long> &syscalls, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const long current = CurrentSyscall(tid);
        if (std::find(syscalls.begin(), syscalls.end(), current) != syscalls.end() && SchedulerState(tid) == 'S')
            return true;
        if (finishedFuture.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            return false;
        std::this_thread::yield();
    }
    return false;
}

bool ProbedThread::WaitForEnd(std::chrono::milliseconds limit)
{
    return finishedFuture.wait_for(limit) == std::future_status::ready;
}

std::vector<long> PollCalls()
{
    return {SYS_poll, SYS_ppoll};
}

} // namespace kestrel::call::test
