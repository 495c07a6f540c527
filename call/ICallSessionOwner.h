#pragma once

#include <string>

namespace kestrel::call {

class CCallSession;

// What the call session needs of the program around it. The listener thread
// calls all four; the Post operations must only hand the event over to the
// owner's own thread (the program posts a Qt event to its main window) and
// return at once.
class ICallSessionOwner {
public:
    virtual ~ICallSessionOwner() = default;

    // The call is up on the callee's side; `peerMask` is what the caller sends.
    virtual void PostCallStarted(CCallSession &session, int peerMask) = 0;
    // The peer hung up or the signalling connection was lost.
    virtual void PostCallEnded() = 0;
    // Rings and asks the user about a call from `callerAddress` (dotted
    // text); blocks until the user answers. True: take the call.
    virtual bool PromptIncomingCall(const std::string &callerAddress) = 0;
    // This side's media mask: 1 video, 2 audio, 3 both.
    virtual int GetMediaMask() = 0;
};

} // namespace kestrel::call
