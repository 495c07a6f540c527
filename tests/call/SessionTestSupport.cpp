#include "SessionTestSupport.h"

#include <dirent.h>

#include <algorithm>

namespace kestrel::call::test {

void FakeOwner::PostCallStarted(CCallSession &, int peerMask)
{
    std::lock_guard lock(eventsLock);
    startedMasks.push_back(peerMask);
    changed.notify_all();
}

void FakeOwner::PostCallEnded()
{
    std::lock_guard lock(eventsLock);
    ++ended;
    changed.notify_all();
}

void FakeOwner::PromptIncomingCall(const std::string &caller, int questionId)
{
    {
        std::lock_guard lock(eventsLock);
        questions.push_back({caller, questionId});
        changed.notify_all();
    }
    if (answer != Answer::Later && session)
        session->AnswerIncomingCall(questionId, answer == Answer::Yes);
}

void FakeOwner::WithdrawIncomingCall(int questionId)
{
    std::lock_guard lock(eventsLock);
    withdrawn.push_back(questionId);
    changed.notify_all();
}

void FakeOwner::OnListenerEvent(ListenerEvent event, const std::string &address, int detail)
{
    std::lock_guard lock(eventsLock);
    reported.push_back({event, address, detail, std::chrono::steady_clock::now()});
    changed.notify_all();
}

std::vector<FakeOwner::Question> FakeOwner::Questions()
{
    return Locked(questions);
}

std::vector<int> FakeOwner::Withdrawn()
{
    return Locked(withdrawn);
}

std::vector<FakeOwner::Reported> FakeOwner::Reports()
{
    return Locked(reported);
}

std::vector<int> FakeOwner::StartedMasks()
{
    return Locked(startedMasks);
}

int FakeOwner::Ended()
{
    return Locked(ended);
}

int FakeOwner::Count(ListenerEvent event)
{
    std::lock_guard lock(eventsLock);
    return CountLocked(event);
}

int FakeOwner::CountLocked(ListenerEvent event) const
{
    return static_cast<int>(
        std::count_if(reported.begin(), reported.end(), [event](const Reported &r) { return r.event == event; }));
}

Side::Side(const char *address, int mask, FakeOwner::Answer answer, std::chrono::milliseconds questionLimit)
    : address(address), owner(mask, answer), session(address)
{
    owner.Attach(session);
    session.SetMonitor(&owner);
    session.SetQuestionLimit(questionLimit);
    listening = session.Start(CCallSession::kSignalPort, &owner);
}

bool PlaceCall(Side &a, Side &b, int &peerMask)
{
    const int taken = a.owner.Count(ListenerEvent::DialledPeerTaken);
    return a.session.Dial(b.address) && a.session.Negotiate(a.owner.GetMediaMask(), peerMask) &&
           a.owner.WaitForEvent(ListenerEvent::DialledPeerTaken, taken + 1);
}

int OpenDescriptorCount()
{
    int count = 0;
    if (DIR *fds = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(fds))
            if (entry->d_name[0] != '.')
                ++count;
        ::closedir(fds);
    }
    return count - 1; // the directory's own descriptor
}

} // namespace kestrel::call::test
