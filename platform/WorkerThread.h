#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace kestrel::platform {

// A thread driven by request and reply, as the call listener and the RTP
// receive loops need it. The owner hands the worker a request value and
// blocks until the worker replies; the worker looks for a pending request
// between its passes without blocking.
//
// Threads: Create, CallWorker and Close run on the owner's thread; the
// procedure, CheckRequest, WaitForRequest and Reply run on the worker.
// The thread is joined by Close or by the destructor, never detached.
class WorkerThread {
public:
    using Procedure = std::function<int(WorkerThread &)>;

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Starts a thread running `procedure`; false when one exists already.
    bool Create(Procedure procedure);
    // True from Create until Close, also after the procedure has returned.
    bool ThreadExists() const;

    // Hands `request` to the worker and waits, without limit, for its reply.
    // Empty at once when no thread exists, and empty when the procedure
    // returns without replying (so a worker that leaves its loop on its own
    // never leaves the caller waiting).
    std::optional<int> CallWorker(int request);

    // Worker side: the pending request, if any, without waiting.
    std::optional<int> CheckRequest() const;
    // Worker side: waits until a request is pending and returns it.
    int WaitForRequest() const;
    // Worker side: answers the pending request.
    void Reply(int value);

    // Waits for the thread to end and releases it. Harmless without a thread.
    void Close();

private:
    void Run(Procedure procedure);

    mutable std::mutex accessLock; // one requester at a time; guards thread
    std::thread thread;

    mutable std::mutex stateLock; // guards the fields below
    mutable std::condition_variable stateChanged;
    std::optional<int> request;
    std::optional<int> reply;
    bool procedureRunning = false;
};

} // namespace kestrel::platform
