#pragma once

#include <string>

namespace kestrel::call {

class CCallSession;

// What the call session needs of the program around it. The listener thread
// calls all five, and each must return at once: the program hands the event
// over to its own (user-interface) thread, as a posted Qt event, and does the
// work there.
class ICallSessionOwner {
public:
    virtual ~ICallSessionOwner() = default;

    // The call is up on the callee's side; `peerMask` is what the caller sends.
    virtual void PostCallStarted(CCallSession &session, int peerMask) = 0;
    // The peer hung up or the signalling connection was lost.
    virtual void PostCallEnded() = 0;
    // Ring and show the question "There is a call from %s\n Accept call?" for
    // `callerAddress` (dotted text). The user's answer is given later, from
    // any thread (also from inside this call), with
    // CCallSession::AnswerIncomingCall(questionId, accept).
    virtual void PromptIncomingCall(const std::string &callerAddress, int questionId) = 0;
    // Question `questionId` is void: the caller left, 30 s passed without an
    // answer, or the session is stopping. Close the question and stop the
    // ring. An answer given for it afterwards is ignored.
    virtual void WithdrawIncomingCall(int questionId) = 0;
    // This side's media mask: 1 video, 2 audio, 3 both.
    virtual int GetMediaMask() = 0;
};

} // namespace kestrel::call
