#include "ConsoleCallOwner.h"

#include "call/CallSession.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kestrel::call {

ConsoleCallOwner::ConsoleCallOwner(bool answerYes, int mediaMask, std::FILE *out)
    : answerYes(answerYes), mediaMask(mediaMask), out(out), wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

ConsoleCallOwner::~ConsoleCallOwner()
{
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void ConsoleCallOwner::PostCallStarted(CCallSession &session, int peerMask)
{
    Post({Event::CallStarted, peerMask, session.GetPeerAddress()});
}

void ConsoleCallOwner::PostCallEnded()
{
    Post({Event::CallEnded, 0, {}});
}

bool ConsoleCallOwner::PromptIncomingCall(const std::string &callerAddress)
{
    Print("incoming " + callerAddress);
    Print(answerYes ? "answered yes" : "answered no");
    return answerYes;
}

void ConsoleCallOwner::Post(Posted event)
{
    {
        std::lock_guard lock(postedLock);
        posted.push_back(std::move(event));
    }
    const uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
}

std::optional<ConsoleCallOwner::Posted> ConsoleCallOwner::TakePosted()
{
    uint64_t count;
    [[maybe_unused]] auto drained = ::read(wakeFd, &count, sizeof count);
    std::lock_guard lock(postedLock);
    if (posted.empty())
        return std::nullopt;
    Posted next = std::move(posted.front());
    posted.pop_front();
    if (!posted.empty()) {
        const uint64_t one = 1; // keep the descriptor readable for the rest
        [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
    }
    return next;
}

void ConsoleCallOwner::Print(const std::string &line)
{
    std::lock_guard lock(printLock);
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

} // namespace kestrel::call
