#include "ConsoleCallOwner.h"

#include "call/CallSession.h"

namespace kestrel::call {

ConsoleCallOwner::ConsoleCallOwner(int mediaMask, std::FILE *out) : mediaMask(mediaMask), out(out) {}

void ConsoleCallOwner::PostCallStarted(CCallSession &session, int peerMask)
{
    Post({Event::CallStarted, peerMask, session.GetPeerAddress()});
}

void ConsoleCallOwner::PostCallEnded()
{
    Post({Event::CallEnded, 0, {}});
}

void ConsoleCallOwner::PromptIncomingCall(const std::string &callerAddress, int questionId)
{
    Print("incoming " + callerAddress);
    lastQuestionId = questionId;
    lastQuestionCaller = callerAddress;
    Post({Event::Question, questionId, callerAddress});
}

void ConsoleCallOwner::WithdrawIncomingCall(int questionId)
{
    Post({Event::QuestionWithdrawn, questionId, questionId == lastQuestionId ? lastQuestionCaller : std::string()});
}

void ConsoleCallOwner::Post(Posted event)
{
    {
        std::lock_guard lock(postedLock);
        posted.push_back(std::move(event));
    }
    wake.Interrupt();
}

std::optional<ConsoleCallOwner::Posted> ConsoleCallOwner::TakePosted()
{
    wake.Clear();
    std::lock_guard lock(postedLock);
    if (posted.empty())
        return std::nullopt;
    Posted next = std::move(posted.front());
    posted.pop_front();
    if (!posted.empty())
        wake.Interrupt(); // keep the descriptor readable for the rest
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
