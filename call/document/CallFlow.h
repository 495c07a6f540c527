#pragma once

#include "call/CallSession.h"
#include "call/ICallPanel.h"
#include "call/IMediaSeam.h"
#include "call/IOptionsSheet.h"
#include "call/document/IDocumentFrame.h"
#include "call/document/INameResolver.h"
#include "call/document/IStringTable.h"
#include "call/document/RecentCallList.h"
#include "platform/ui/IMessageBox.h"

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::call {

// Places and ends calls from the user's side: New Call, End Call, and the
// start and end of a call's media when the listener reports them.
//
// New Call reads the address and updates the recent list on the
// user-interface thread, then resolves, dials and negotiates on a set-up
// thread of its own, so the window keeps painting; the outcome comes back to
// the user-interface thread through the frame. Call events that arrive
// meanwhile are held and handled after the outcome, in the order they came,
// as they would be had the set-up blocked the window. End Call (or the
// flow's destruction) cancels a set-up under way and joins its thread.
//
// Threads: every public function on the user-interface thread.
class CCallFlow {
public:
    struct Parts {
        CCallSession &session;
        INameResolver &resolver;
        ICallPanel &panel;
        IMediaSeam &media;
        IOptionsSheet &options;
        CRecentCallList &history;
        platform::IMessageBox &messages;
        const IStringTable &strings;
        IDocumentFrame &frame;
    };

    CCallFlow(Parts parts, std::string hostIp);
    ~CCallFlow();
    CCallFlow(const CCallFlow &) = delete;
    CCallFlow &operator=(const CCallFlow &) = delete;

    // Calls the name in the panel's call-history box. Ignored while a set-up is under way.
    void OnNewCall();
    // Ends the call: cancels a set-up under way, enables the two buttons,
    // hangs up and stops the media. Safe when no call is up.
    void OnEndCall();
    // The listener's call-started and call-ended events.
    void OnCallStarted(int peerMask);
    void OnCallEnded();

    bool SettingUp() const { return setUp.has_value(); }
    // Cancels a set-up under way and joins its thread (closing the program).
    void CancelSetUp();

private:
    enum class Outcome { Connected, Cancelled, SelfCall, UnknownHost, DialFailed, NegotiateFailed };
    struct Result {
        Outcome outcome = Outcome::Cancelled;
        std::string address;
        int peerMask = 0;
    };
    struct SetUp {
        std::jthread thread;
        unsigned generation = 0;
    };
    enum class HeldEvent { Started, Ended };

    Result RunSetUp(std::string text, std::stop_token cancel); // set-up thread
    void Finish(unsigned generation, Result result);
    void ShowMessage(const std::string &text);
    void EnableCallButtons(bool enable);
    void ReplayHeldEvents();

    Parts parts;
    const std::string hostIp;
    std::optional<SetUp> setUp;
    unsigned generation = 0;
    std::vector<std::pair<HeldEvent, int>> heldEvents;
    // Posted outcomes check it, so that none runs after the flow is gone.
    std::shared_ptr<CCallFlow *> alive;
};

} // namespace kestrel::call
