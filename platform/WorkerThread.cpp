#include "WorkerThread.h"

namespace kestrel::platform {

WorkerThread::~WorkerThread()
{
    Close();
}

bool WorkerThread::Create(Procedure procedure)
{
    std::lock_guard access(accessLock);
    if (thread.joinable())
        return false;
    {
        std::lock_guard state(stateLock);
        request.reset();
        reply.reset();
        procedureRunning = true;
    }
    thread = std::thread(&WorkerThread::Run, this, std::move(procedure));
    return true;
}

bool WorkerThread::ThreadExists() const
{
    std::lock_guard access(accessLock);
    return thread.joinable();
}

void WorkerThread::Run(Procedure procedure)
{
    procedure(*this);
    std::lock_guard state(stateLock);
    procedureRunning = false;
    stateChanged.notify_all();
}

std::optional<int> WorkerThread::CallWorker(int value)
{
    std::lock_guard access(accessLock);
    if (!thread.joinable())
        return std::nullopt;
    std::unique_lock state(stateLock);
    if (!procedureRunning)
        return std::nullopt;
    request = value;
    reply.reset();
    stateChanged.notify_all();
    stateChanged.wait(state, [this] { return reply.has_value() || !procedureRunning; });
    request.reset();
    std::optional<int> answer = reply;
    reply.reset();
    return answer;
}

std::optional<int> WorkerThread::CheckRequest() const
{
    std::lock_guard state(stateLock);
    return request;
}

int WorkerThread::WaitForRequest() const
{
    std::unique_lock state(stateLock);
    stateChanged.wait(state, [this] { return request.has_value(); });
    return *request;
}

void WorkerThread::Reply(int value)
{
    std::lock_guard state(stateLock);
    if (!request)
        return;
    request.reset();
    reply = value;
    stateChanged.notify_all();
}

void WorkerThread::Close()
{
    std::lock_guard access(accessLock);
    if (thread.joinable())
        thread.join();
}

} // namespace kestrel::platform
