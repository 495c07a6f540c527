#include "call/document/CallFlow.h"

#include "call/CommandIds.h"
#include "call/document/TextFormat.h"

namespace kestrel::call {

namespace {

// String-table ids of the set-up messages.
constexpr int kConnectSelf = 177;
constexpr int kConnectionFailed = 178;
constexpr int kNetworkInitFailed = 179;
constexpr int kUnknownHost = 180;
constexpr int kAppName = 57344;

constexpr const char *kLoopbackAddress = "127.0.0.1";

} // namespace

CCallFlow::CCallFlow(Parts flowParts, std::string localAddress)
    : parts(flowParts), hostIp(std::move(localAddress)), alive(std::make_shared<CCallFlow *>(this))
{
}

CCallFlow::~CCallFlow()
{
    CancelSetUp();
}

void CCallFlow::OnNewCall()
{
    if (SettingUp())
        return;
    parts.panel.ShowBusy(true);
    const std::string text = parts.panel.AddressText();

    parts.history.Add(text);
    const std::vector<std::string> items = parts.history.HistoryItems();
    parts.panel.SetCallHistory(items);
    parts.panel.SelectCallHistoryItem(CRecentCallList::FindItemStartingWith(items, text));

    EnableCallButtons(false);

    const unsigned thisGeneration = ++generation;
    std::weak_ptr<CCallFlow *> owner = alive;
    IDocumentFrame &frame = parts.frame;
    setUp.emplace();
    setUp->generation = thisGeneration;
    setUp->thread = std::jthread([this, text, thisGeneration, owner, &frame](std::stop_token cancel) {
        Result result = RunSetUp(text, cancel);
        frame.PostToUi([owner, thisGeneration, result = std::move(result)]() mutable {
            if (auto flow = owner.lock())
                (*flow)->Finish(thisGeneration, std::move(result));
        });
    });
}

CCallFlow::Result CCallFlow::RunSetUp(std::string text, std::stop_token cancel)
{
    Result result;
    // A text with a '.' is taken as a dotted address without a look-up.
    if (text.find('.') == std::string::npos) {
        const std::string resolved = parts.resolver.Resolve(text, cancel);
        if (cancel.stop_requested())
            return result;
        if (resolved.empty()) {
            result.outcome = Outcome::UnknownHost;
            result.address = text;
            return result;
        }
        text = resolved;
    }
    result.address = text;
    if (text == kLoopbackAddress || text == hostIp) {
        result.outcome = Outcome::SelfCall;
        return result;
    }
    if (!parts.session.Dial(text, cancel)) {
        result.outcome = cancel.stop_requested() ? Outcome::Cancelled : Outcome::DialFailed;
        return result;
    }
    int peerMask = 0;
    if (!parts.session.Negotiate(parts.options.GetMediaMask(), peerMask, cancel)) {
        result.outcome = cancel.stop_requested() ? Outcome::Cancelled : Outcome::NegotiateFailed;
        return result;
    }
    result.outcome = Outcome::Connected;
    result.peerMask = peerMask;
    return result;
}

void CCallFlow::Finish(unsigned finishedGeneration, Result result)
{
    if (!setUp || setUp->generation != finishedGeneration)
        return; // cancelled by End Call, which has done the rest
    setUp.reset(); // joins the thread, which has already posted its outcome
    parts.panel.ShowBusy(false);

    switch (result.outcome) {
    case Outcome::Connected:
        parts.media.StartCallMedia(result.address, result.peerMask);
        break;
    case Outcome::SelfCall:
        ShowMessage(parts.strings.Load(kConnectSelf));
        EnableCallButtons(true);
        break;
    case Outcome::UnknownHost:
        ShowMessage(FormatText(parts.strings.Load(kUnknownHost), {result.address}));
        OnEndCall();
        break;
    case Outcome::DialFailed:
        ShowMessage(parts.strings.Load(kConnectionFailed));
        OnEndCall();
        break;
    case Outcome::NegotiateFailed:
        ShowMessage(parts.strings.Load(kNetworkInitFailed));
        OnEndCall();
        break;
    case Outcome::Cancelled:
        OnEndCall();
        break;
    }
    ReplayHeldEvents();
}

void CCallFlow::CancelSetUp()
{
    if (!setUp)
        return;
    setUp->thread.request_stop();
    setUp.reset(); // joins: the session's waits end promptly once stop is requested
    parts.panel.ShowBusy(false);
}

void CCallFlow::OnEndCall()
{
    const bool cancelled = SettingUp();
    CancelSetUp();
    EnableCallButtons(true);
    parts.session.HangUp();
    parts.media.StopMedia();
    if (cancelled)
        ReplayHeldEvents();
}

void CCallFlow::OnCallStarted(int peerMask)
{
    if (SettingUp()) {
        heldEvents.emplace_back(HeldEvent::Started, peerMask);
        return;
    }
    EnableCallButtons(false);
    parts.media.StartCallMedia(parts.session.GetPeerAddress(), peerMask);
}

void CCallFlow::OnCallEnded()
{
    if (SettingUp()) {
        heldEvents.emplace_back(HeldEvent::Ended, 0);
        return;
    }
    OnEndCall();
}

void CCallFlow::ReplayHeldEvents()
{
    auto events = std::move(heldEvents);
    heldEvents.clear();
    for (const auto &[event, mask] : events) {
        if (event == HeldEvent::Started)
            OnCallStarted(mask);
        else
            OnCallEnded();
    }
}

void CCallFlow::ShowMessage(const std::string &text)
{
    parts.messages.Show(text, parts.strings.Load(kAppName), platform::MessageIcon::Exclamation);
}

void CCallFlow::EnableCallButtons(bool enable)
{
    parts.panel.EnableButton(ID_NEW_CALL, enable);
    parts.panel.EnableButton(ID_LOCAL_PLAY, enable);
}

} // namespace kestrel::call
