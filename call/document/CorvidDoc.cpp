#include "call/document/CorvidDoc.h"

#include "call/CommandIds.h"
#include "call/document/TextFormat.h"

namespace kestrel::call {

namespace {

constexpr int kLocalInfo = 32787;
constexpr int kReadme = 32786;
constexpr int kAppName = 57344;

// The readme string is a command line ("explorer readme_e.htm"): its last word is the file.
std::string ReadmeFile(const std::string &commandLine)
{
    const auto space = commandLine.find_last_of(' ');
    return space == std::string::npos ? commandLine : commandLine.substr(space + 1);
}

} // namespace

CCorvidDoc::CCorvidDoc(Parts docParts, Settings settings)
    : parts(docParts), autoAnswer(settings.autoAnswer), session(settings.bindAddress),
      localHost(StartSession(settings.signalPort)),
      flow({session, settings.resolver ? *settings.resolver : sessionResolver, parts.panel, parts.media, parts.options, parts.history, parts.messages, parts.strings,
            parts.frame},
           localHost.ip)
{
}

CCorvidDoc::LocalHost CCorvidDoc::StartSession(int signalPort)
{
    // Without a listener (the port taken) the program still places calls.
    session.Start(signalPort, this);
    LocalHost host;
    session.GetLocalInfo(host.name, host.ip);
    return host;
}

CCorvidDoc::~CCorvidDoc()
{
    flow.CancelSetUp();
    session.Stop();
}

bool CCorvidDoc::OnCommand(int id)
{
    switch (id) {
    case ID_NEW_CALL: OnNewCall(); return true;
    case ID_END_CALL: OnEndCall(); return true;
    case ID_LOCAL_PLAY: TogglePreview(); return true;
    case ID_OPTION: OnOptions(); return true;
    case ID_ENCODER: parts.media.ShowEncoderSettings(); return true;
    case ID_INFO: OnLocalInfo(); return true;
    case ID_README: OnReadme(); return true;
    case ID_WINDOW_SIZE_100:
    case ID_WINDOW_SIZE_200:
    case ID_WINDOW_SIZE_300:
    case ID_WINDOW_SIZE_400: OnWindowSize(id); return true;
    default: return false;
    }
}

bool CCorvidDoc::IsChecked(int id) const
{
    return id >= ID_WINDOW_SIZE_100 && id <= ID_WINDOW_SIZE_400 && zoom == id - ID_WINDOW_SIZE_100 + 1;
}

void CCorvidDoc::TogglePreview()
{
    if (flow.SettingUp())
        return; // the button is disabled while a call is set up; the menu item waits too
    if (parts.media.IsCaptureRunning()) {
        OnEndCall(); // a call's sending side counts as running: Local Play/Stop ends the call
        parts.media.StopPreview();
        parts.panel.ShowPlayButtonStopped();
        return;
    }
    parts.panel.UpdateView();
    if (parts.media.StartPreview())
        parts.panel.ShowPlayButtonPlaying();
}

void CCorvidDoc::OnOptions()
{
    parts.options.ShowModal();
    parts.panel.Repaint();
}

void CCorvidDoc::OnLocalInfo()
{
    parts.messages.Show(FormatText(parts.strings.Load(kLocalInfo), {localHost.name, localHost.ip}), parts.strings.Load(kAppName),
                        platform::MessageIcon::Exclamation);
}

void CCorvidDoc::OnReadme()
{
    parts.frame.ShowReadme(ReadmeFile(parts.strings.Load(kReadme)));
}

void CCorvidDoc::OnWindowSize(int id)
{
    zoom = id - ID_WINDOW_SIZE_100 + 1;
    parts.panel.UpdateView();
}

void CCorvidDoc::OnOpenDocument(const std::string &path)
{
    parts.panel.SetAddressText(CRecentCallList::DisplayName(path));
    OnNewCall();
}

void CCorvidDoc::OnCloseDocument()
{
    OnEndCall();
    parts.media.StopGraphs();
    parts.media.DetachVideoWindow();
}

VideoLayout CCorvidDoc::GetVideoLayout() const
{
    VideoLayout layout;
    parts.media.GetCaptureSize(layout.width, layout.height);
    layout.zoom = zoom;
    return layout;
}

void CCorvidDoc::PostCallStarted(CCallSession &, int peerMask)
{
    parts.frame.PostCallStarted(peerMask);
}

void CCorvidDoc::PostCallEnded()
{
    parts.frame.PostCallEnded();
}

void CCorvidDoc::PromptIncomingCall(const std::string &callerAddress, int questionId)
{
    switch (autoAnswer) {
    case AutoAnswer::Yes: session.AnswerIncomingCall(questionId, true); return;
    case AutoAnswer::No: session.AnswerIncomingCall(questionId, false); return;
    case AutoAnswer::Ask: parts.frame.PromptIncomingCall(callerAddress, questionId); return;
    }
}

void CCorvidDoc::WithdrawIncomingCall(int questionId)
{
    if (autoAnswer == AutoAnswer::Ask)
        parts.frame.WithdrawIncomingCall(questionId);
}

int CCorvidDoc::GetMediaMask()
{
    return parts.options.GetMediaMask();
}

} // namespace kestrel::call
