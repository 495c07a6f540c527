#pragma once

#include <functional>
#include <string>

namespace kestrel::call {

// What the document needs of the main window around it.
class IDocumentFrame {
public:
    virtual ~IDocumentFrame() = default;

    // Any thread: queue `task` to run on the user-interface thread and return at once.
    virtual void PostToUi(std::function<void()> task) = 0;

    // Call listener thread: post the call-started and call-ended events to
    // the main window; the window hands them back to the document.
    virtual void PostCallStarted(int peerMask) = 0;
    virtual void PostCallEnded() = 0;
    // Call listener thread: ring and ask about a call from `callerAddress`,
    // returning at once; the answer goes to the session under `questionId`.
    virtual void PromptIncomingCall(const std::string &callerAddress, int questionId) = 0;
    // Call listener thread: the question is void; close it and stop the ring.
    virtual void WithdrawIncomingCall(int questionId) = 0;

    // User-interface thread: opens the readme file `fileName` for the user.
    virtual void ShowReadme(const std::string &fileName) = 0;
};

} // namespace kestrel::call
