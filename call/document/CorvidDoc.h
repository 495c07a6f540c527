#pragma once

#include "call/CallSession.h"
#include "call/ICallPanel.h"
#include "call/ICallSessionOwner.h"
#include "call/IMediaSeam.h"
#include "call/IOptionsSheet.h"
#include "call/document/CallFlow.h"
#include "call/document/IDocumentCommands.h"
#include "call/document/IDocumentFrame.h"
#include "call/document/IStringTable.h"
#include "call/document/RecentCallList.h"
#include "platform/ui/IMessageBox.h"

#include <string>

namespace kestrel::call {

// How incoming calls are answered: by the user, or without a question
// (unattended machines and tests).
enum class AutoAnswer { Ask, Yes, No };

// The program's one document: it owns the call session and the host's
// identity, and carries out the commands of the Call, Tool, View and Help
// menus. The options sheet, the media graphs, the panel and the frame are
// given to it; placing and ending calls is the call flow's job.
//
// Threads: everything on the user-interface thread, except the
// ICallSessionOwner functions, which the session's listener calls; they only
// hand over to the frame or ask the options sheet for the media mask.
class CCorvidDoc final : public ICallSessionOwner, public IDocumentCommands {
public:
    struct Parts {
        IOptionsSheet &options;
        IMediaSeam &media;
        ICallPanel &panel;
        IDocumentFrame &frame;
        CRecentCallList &history;
        platform::IMessageBox &messages;
        const IStringTable &strings;
    };
    struct Settings {
        std::string bindAddress = "0.0.0.0"; // local address of the session and the media
        AutoAnswer autoAnswer = AutoAnswer::Ask;
        int signalPort = CCallSession::kSignalPort;
        INameResolver *resolver = nullptr; // null: the system's, through the session
    };

    static constexpr const char *kTitle = "ORVA";

    // Starts listening for calls and looks up the local host's name and address.
    CCorvidDoc(Parts parts, Settings settings);
    // Ends a set-up under way, stops the listener and joins it.
    ~CCorvidDoc() override;
    CCorvidDoc(const CCorvidDoc &) = delete;
    CCorvidDoc &operator=(const CCorvidDoc &) = delete;

    // Carries out command `id` (menu, accelerator or panel button). False for an id that is not the document's.
    bool OnCommand(int id) override;
    // Whether the menu item `id` carries a check mark (the window sizes).
    bool IsChecked(int id) const override;

    void OnNewCall() { flow.OnNewCall(); }
    void OnEndCall() { flow.OnEndCall(); }
    void TogglePreview();
    void OnOptions();
    void OnLocalInfo();
    void OnReadme();
    void OnWindowSize(int id);

    // Dials the text after the last path separator of `path` (a recent-list entry or the command line).
    void OnOpenDocument(const std::string &path) override;
    // Closing the window: ends the call, stops the graphs, detaches the video window.
    void OnCloseDocument() override;

    // The main window's handlers of the listener's events.
    void OnCallStarted(int peerMask) override { flow.OnCallStarted(peerMask); }
    void OnCallEnded() override { flow.OnCallEnded(); }
    void AnswerIncomingCall(int questionId, bool accept) override { session.AnswerIncomingCall(questionId, accept); }

    VideoLayout GetVideoLayout() const;
    int Zoom() const { return zoom; }
    const std::string &HostName() const { return localHost.name; }
    const std::string &HostIp() const { return localHost.ip; }
    std::string Title() const override { return title; }
    CCallSession &Session() { return session; }
    bool SettingUpCall() const { return flow.SettingUp(); }

    // ICallSessionOwner, on the listener thread.
    void PostCallStarted(CCallSession &session, int peerMask) override;
    void PostCallEnded() override;
    void PromptIncomingCall(const std::string &callerAddress, int questionId) override;
    void WithdrawIncomingCall(int questionId) override;
    int GetMediaMask() override;

private:
    struct LocalHost {
        std::string name; // this host's name
        std::string ip;   // the dotted text of its first IPv4 address
    };
    // Starts the session's listener, then looks up the local host.
    LocalHost StartSession(int signalPort);

    // Names are looked up through the session's socket layer unless another resolver is given.
    class SessionResolver final : public INameResolver {
    public:
        explicit SessionResolver(CCallSession &session) : session(session) {}
        std::string Resolve(const std::string &name, std::stop_token cancel) override
        {
            return session.ResolveName(name, cancel);
        }

    private:
        CCallSession &session;
    };

    Parts parts;
    const AutoAnswer autoAnswer;
    int zoom = 1;
    std::string title = kTitle;
    CCallSession session;
    LocalHost localHost; // found at start-up; Info shows these, not current ones
    SessionResolver sessionResolver{session};
    CCallFlow flow;      // after the session and the local host, which it uses
};

} // namespace kestrel::call
