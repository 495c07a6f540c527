#include "call/CommandIds.h"
#include "call/document/CorvidDoc.h"
#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "tests/call/LoopbackPeer.h"
#include "tests/call/document/DocumentFakes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

namespace kestrel::call {
namespace {

using namespace std::chrono;
using test::FakeFrame;
using test::FakeOptions;
using test::FakePanel;
using test::RecordingMediaSeam;

// One program's document with fakes for everything but the network.
struct Program {
    Program(const std::string &bind, AutoAnswer answer, int mask = 3)
    {
        options.mask = mask;
        resolver.names = {{"localhost", "127.0.0.1"}};
        CCorvidDoc::Settings settings;
        settings.bindAddress = bind;
        settings.autoAnswer = answer;
        settings.resolver = &resolver;
        doc = std::make_unique<CCorvidDoc>(
            CCorvidDoc::Parts{options, media, panel, frame, history, messages, strings}, settings);
        frame.onCallStarted = [this](int peerMask) { doc->OnCallStarted(peerMask); };
        frame.onCallEnded = [this] { doc->OnCallEnded(); };
    }

    void Call(const std::string &address)
    {
        panel.address = address;
        doc->OnNewCall();
    }
    bool InCall() const { return !media.calls.empty() && media.calls.back().rfind("StartCallMedia", 0) == 0; }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto &m : messages.shown)
            texts.push_back(m.text);
        return texts;
    }

    platform::MemoryProfileStore store;
    platform::AppProfile profile{store};
    CRecentCallList history{profile, "/home/player"};
    FakePanel panel;
    RecordingMediaSeam media;
    FakeOptions options;
    FakeFrame frame;
    platform::RecordingMessageBox messages;
    test::EnglishStrings strings;
    test::TableResolver resolver;
    std::unique_ptr<CCorvidDoc> doc;
};

// Pumps both programs' user-interface queues until `done` holds.
bool PumpBoth(Program &a, Program &b, const std::function<bool()> &done, milliseconds limit = seconds(20))
{
    const auto deadline = steady_clock::now() + limit;
    while (steady_clock::now() < deadline) {
        if (done())
            return true;
        a.frame.PumpUntil(done, milliseconds(20));
        b.frame.PumpUntil(done, milliseconds(20));
    }
    return done();
}

// A listening socket that accepts connections and never says a word.
class SilentPeer {
public:
    explicit SilentPeer(const char *address)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(CCallSession::kSignalPort);
        ::inet_pton(AF_INET, address, &at.sin_addr);
        bound = ::bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 && ::listen(fd, 5) == 0;
    }
    ~SilentPeer() { ::close(fd); }
    bool bound = false;

private:
    int fd = -1;
};

TEST(CallFlow, SelfCallsAreRefusedBeforeAnyConnection)
{
    Program a("127.0.4.2", AutoAnswer::Ask);
    for (const std::string &self : {std::string("127.0.0.1"), a.doc->HostIp(), std::string("localhost")}) {
        if (self.empty())
            continue; // a host whose own name does not resolve has no address to refuse
        a.messages.shown.clear();
        a.media.calls.clear();
        a.Call(self);
        ASSERT_TRUE(a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); })) << self;
        EXPECT_EQ(a.Messages(), std::vector<std::string>{"Can't connect to self"}) << self;
        EXPECT_TRUE(a.panel.Enabled(ID_NEW_CALL));
        EXPECT_TRUE(a.panel.Enabled(ID_LOCAL_PLAY));
        EXPECT_TRUE(a.media.calls.empty()) << "no End Call after a self call";
        EXPECT_FALSE(a.panel.busy);
    }
}

TEST(CallFlow, DottedNamesAreNotLookedUpAndNamesThatDoNotResolveSayWhich)
{
    Program a("127.0.4.2", AutoAnswer::Ask);
    a.resolver.names["host.example"] = "127.0.4.3"; // would be found, were it looked up
    a.Call("host.example");
    ASSERT_TRUE(a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); }));
    EXPECT_EQ(a.Messages(), std::vector<std::string>{"Connection Failed!!"});
    EXPECT_EQ(a.media.Count("StopMedia"), 1u) << "a failed dial ends the call";

    a.messages.shown.clear();
    a.Call("nosuchhost");
    ASSERT_TRUE(a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); }));
    EXPECT_EQ(a.Messages(), std::vector<std::string>{"Can't find the computer nosuchhost"});
    EXPECT_EQ(a.media.Count("StopMedia"), 2u);

    a.messages.shown.clear();
    a.Call(""); // no '.', so it is looked up, and nothing answers to it
    ASSERT_TRUE(a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); }));
    EXPECT_EQ(a.Messages(), std::vector<std::string>{"Can't find the computer "});
}

TEST(CallFlow, EveryAttemptEntersTheRecentListAndTheBoxIsRefilled)
{
    Program a("127.0.4.2", AutoAnswer::Ask);
    // Nothing listens on these addresses: each attempt fails at once.
    a.Call("127.0.6.10");
    a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); });
    a.Call("127.0.6.1");
    // The refill happens before the set-up: the box lists .1 first, then .10,
    // and the selection (searching from the second item) shows .10.
    EXPECT_EQ(a.panel.history, (std::vector<std::string>{"127.0.6.1", "127.0.6.10"}));
    EXPECT_EQ(a.panel.selected, 1);
    EXPECT_EQ(a.panel.address, "127.0.6.10");
    a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); });
    EXPECT_EQ(a.history.Entries()[0], "/home/player/127.0.6.1");
    EXPECT_EQ(a.Messages(), (std::vector<std::string>{"Connection Failed!!", "Connection Failed!!"}));
}

TEST(CallFlow, TwoProgramsCallAndEitherSideHangsUp)
{
    Program callee("127.0.4.3", AutoAnswer::Yes, 1);
    Program caller("127.0.4.2", AutoAnswer::Ask, 2);
    ASSERT_TRUE(callee.doc->Session().IsListening());

    caller.Call("127.0.4.3");
    EXPECT_FALSE(caller.panel.Enabled(ID_NEW_CALL));
    EXPECT_FALSE(caller.panel.Enabled(ID_LOCAL_PLAY));
    EXPECT_TRUE(caller.panel.busy);
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return caller.InCall() && callee.InCall(); }));
    EXPECT_EQ(caller.media.calls.back(), "StartCallMedia 127.0.4.3 1"); // the callee sends video only
    EXPECT_EQ(callee.media.calls.back(), "StartCallMedia 127.0.4.2 2"); // the caller sends audio only
    EXPECT_FALSE(callee.panel.Enabled(ID_NEW_CALL));
    EXPECT_FALSE(callee.panel.Enabled(ID_LOCAL_PLAY));
    EXPECT_FALSE(caller.panel.busy);
    EXPECT_TRUE(caller.messages.shown.empty());

    callee.doc->OnEndCall(); // the callee hangs up; the caller notices
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !caller.InCall() && !callee.InCall(); }));
    EXPECT_TRUE(caller.panel.Enabled(ID_NEW_CALL));
    EXPECT_TRUE(callee.panel.Enabled(ID_LOCAL_PLAY));

    // Again, and now the caller hangs up.
    caller.Call("127.0.4.3");
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return caller.InCall() && callee.InCall(); }));
    caller.doc->OnEndCall();
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !caller.InCall() && !callee.InCall(); }));
    EXPECT_TRUE(callee.panel.Enabled(ID_NEW_CALL));
}

TEST(CallFlow, APeerThatTakesTheCallButNeverRepliesFailsTheNetworkSetUp)
{
    test::LoopbackListener callee("127.0.5.13", CCallSession::kSignalPort);
    ASSERT_TRUE(callee.Listening());
    Program caller("127.0.5.12", AutoAnswer::Ask);
    caller.Call("127.0.5.13");
    const int connection = callee.Accept(seconds(5));
    ASSERT_GE(connection, 0);
    const SignalRecord yes = EncodeSignal({SIG_OK, 0, 0});
    ASSERT_EQ(::send(connection, yes.data(), yes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(yes.size()));
    SignalRecord start{};
    ASSERT_EQ(::recv(connection, start.data(), start.size(), MSG_WAITALL), static_cast<ssize_t>(start.size()));
    EXPECT_EQ(DecodeSignal(start).type, SIG_START);
    ::shutdown(connection, SHUT_RDWR); // gone without the reply
    ASSERT_TRUE(caller.frame.PumpUntil([&] { return !caller.doc->SettingUpCall(); }));
    EXPECT_EQ(caller.Messages(), std::vector<std::string>{"Network initialize Failed"});
    EXPECT_EQ(caller.media.Count("StopMedia"), 1u);
    EXPECT_TRUE(caller.panel.Enabled(ID_NEW_CALL));
}

TEST(CallFlow, TheCalleesAnswerDecides)
{
    Program callee("127.0.4.5", AutoAnswer::Ask);
    Program caller("127.0.4.4", AutoAnswer::Ask);

    caller.Call("127.0.4.5");
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return callee.frame.Questions().size() == 1; }));
    EXPECT_EQ(callee.frame.Questions()[0].caller, "127.0.4.4");
    callee.doc->AnswerIncomingCall(callee.frame.Questions()[0].id, false);
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !caller.doc->SettingUpCall(); }));
    EXPECT_EQ(caller.Messages(), std::vector<std::string>{"Connection Failed!!"}); // a refusal reads as a failure
    EXPECT_FALSE(callee.InCall());

    caller.Call("127.0.4.5");
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return callee.frame.Questions().size() == 2; }));
    callee.doc->AnswerIncomingCall(callee.frame.Questions()[1].id, true);
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return caller.InCall() && callee.InCall(); }));
    caller.doc->OnEndCall();
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !callee.InCall(); }));
}

TEST(CallFlow, NewCallDuringACallFailsAndEndsIt)
{
    Program callee("127.0.4.7", AutoAnswer::Yes);
    Program caller("127.0.4.6", AutoAnswer::Ask);
    caller.Call("127.0.4.7");
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return caller.InCall() && callee.InCall(); }));

    caller.Call("127.0.4.7"); // from the menu: the outgoing connection is still open
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !caller.InCall() && !callee.InCall(); }));
    EXPECT_EQ(caller.Messages(), std::vector<std::string>{"Connection Failed!!"});
}

TEST(CallFlow, TheWindowKeepsWorkingWhileAPeerNeverAnswersAndEndCallCancels)
{
    SilentPeer silent("127.0.4.9");
    ASSERT_TRUE(silent.bound);
    Program a("127.0.4.8", AutoAnswer::Ask);

    const auto before = steady_clock::now();
    a.Call("127.0.4.9");
    EXPECT_LT(steady_clock::now() - before, milliseconds(500)) << "New Call must not wait for the peer";
    ASSERT_TRUE(a.doc->SettingUpCall());

    // Other work on the user-interface thread goes on meanwhile.
    bool ran = false;
    a.frame.PostToUi([&] { ran = true; });
    ASSERT_TRUE(a.frame.PumpUntil([&] { return ran; }, seconds(2)));
    EXPECT_TRUE(a.doc->SettingUpCall());
    EXPECT_TRUE(a.panel.busy);

    const auto cancelAt = steady_clock::now();
    a.doc->OnEndCall();
    EXPECT_LT(steady_clock::now() - cancelAt, seconds(1));
    EXPECT_FALSE(a.doc->SettingUpCall());
    EXPECT_FALSE(a.panel.busy);
    EXPECT_TRUE(a.panel.Enabled(ID_NEW_CALL));
    a.frame.PumpPending(); // the cancelled set-up's outcome changes nothing
    EXPECT_TRUE(a.messages.shown.empty());
    EXPECT_EQ(a.media.Count("StopMedia"), 1u);
}

TEST(CallFlow, QuittingDuringSetUpOrDuringARingIsPrompt)
{
    SilentPeer silent("127.0.5.3");
    ASSERT_TRUE(silent.bound);
    {
        Program a("127.0.5.2", AutoAnswer::Ask);
        a.Call("127.0.5.3");
        ASSERT_TRUE(a.doc->SettingUpCall());
        const auto quitAt = steady_clock::now();
        a.doc.reset();
        EXPECT_LT(steady_clock::now() - quitAt, seconds(1));
    }
    {
        Program callee("127.0.5.5", AutoAnswer::Ask);
        Program caller("127.0.5.4", AutoAnswer::Ask);
        caller.Call("127.0.5.5");
        ASSERT_TRUE(PumpBoth(caller, callee, [&] { return callee.frame.Questions().size() == 1; }));
        const auto quitAt = steady_clock::now();
        callee.doc.reset(); // the ring is on: quitting answers No
        EXPECT_LT(steady_clock::now() - quitAt, seconds(1));
        ASSERT_TRUE(caller.frame.PumpUntil([&] { return !caller.doc->SettingUpCall(); }));
        EXPECT_EQ(caller.Messages(), std::vector<std::string>{"Connection Failed!!"});
    }
}

TEST(CallFlow, CallEventsDuringSetUpWaitForItsOutcome)
{
    Program callee("127.0.5.7", AutoAnswer::Ask);
    Program caller("127.0.5.6", AutoAnswer::Ask);
    caller.Call("127.0.5.7");
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return callee.frame.Questions().size() == 1; }));
    // The listener reports an end while the caller still waits for the answer.
    caller.frame.PostCallEnded();
    caller.frame.PumpPending();
    EXPECT_EQ(caller.media.Count("StopMedia"), 0u) << "held until the set-up has ended";
    callee.doc->AnswerIncomingCall(callee.frame.Questions()[0].id, true);
    ASSERT_TRUE(PumpBoth(caller, callee, [&] { return !caller.doc->SettingUpCall(); }));
    caller.frame.PumpPending();
    // The call started, and only then did the held end take effect (the
    // session's own end of the call may stop the media once more after it).
    const auto &calls = caller.media.calls;
    const auto started = std::find(calls.begin(), calls.end(), "StartCallMedia 127.0.5.7 3");
    ASSERT_NE(started, calls.end()) << "the call's media never started";
    EXPECT_EQ(std::count(calls.begin(), started, "StopMedia"), 0) << "the held end was taken before the start";
    EXPECT_NE(std::find(started, calls.end(), "StopMedia"), calls.end()) << "the held end was lost";
}

TEST(Document, CommandsReachTheirHandlers)
{
    Program a("127.0.5.8", AutoAnswer::Ask);
    EXPECT_TRUE(a.doc->OnCommand(ID_OPTION));
    EXPECT_EQ(a.options.shown, 1);
    EXPECT_EQ(a.panel.repaints, 1);

    EXPECT_TRUE(a.doc->OnCommand(ID_ENCODER));
    EXPECT_EQ(a.media.calls.back(), "ShowEncoderSettings");

    EXPECT_TRUE(a.doc->OnCommand(ID_INFO));
    EXPECT_EQ(a.Messages().back(), "hostname: " + a.doc->HostName() + ", hostip: " + a.doc->HostIp() + "\n");

    EXPECT_TRUE(a.doc->OnCommand(ID_README));
    EXPECT_EQ(a.frame.readmes, std::vector<std::string>{"readme_e.htm"});

    EXPECT_TRUE(a.doc->IsChecked(ID_WINDOW_SIZE_100));
    EXPECT_TRUE(a.doc->OnCommand(ID_WINDOW_SIZE_300));
    EXPECT_EQ(a.doc->Zoom(), 3);
    EXPECT_TRUE(a.doc->IsChecked(ID_WINDOW_SIZE_300));
    EXPECT_FALSE(a.doc->IsChecked(ID_WINDOW_SIZE_100));
    EXPECT_EQ(a.panel.updates, 1);
    a.media.captureWidth = 352;
    a.media.captureHeight = 288;
    const VideoLayout layout = a.doc->GetVideoLayout();
    EXPECT_EQ(layout.width, 352);
    EXPECT_EQ(layout.height, 288);
    EXPECT_EQ(layout.zoom, 3);

    EXPECT_FALSE(a.doc->OnCommand(ID_APP_ABOUT)); // the frame's own
    EXPECT_EQ(a.doc->Title(), "ORVA");
}

TEST(Document, LocalPlayTogglesThePreviewAndEndsACall)
{
    Program a("127.0.5.9", AutoAnswer::Ask);
    a.doc->TogglePreview();
    EXPECT_EQ(a.media.calls, std::vector<std::string>{"StartPreview"});
    EXPECT_EQ(a.panel.playLook, "playing");
    EXPECT_EQ(a.panel.updates, 1);

    a.doc->TogglePreview();
    EXPECT_EQ(a.media.calls, (std::vector<std::string>{"StartPreview", "StopMedia", "StopPreview"}));
    EXPECT_EQ(a.panel.playLook, "stopped");
    EXPECT_TRUE(a.panel.Enabled(ID_NEW_CALL));

    a.media.previewWorks = false; // no camera: nothing shows and the look stays
    a.doc->TogglePreview();
    EXPECT_EQ(a.panel.playLook, "stopped");
}

TEST(Document, OpeningARecentEntryDialsTheTextAfterItsLastSeparator)
{
    Program a("127.0.5.10", AutoAnswer::Ask);
    a.doc->OnOpenDocument("/home/player/127.0.0.1");
    EXPECT_EQ(a.panel.address, "127.0.0.1");
    ASSERT_TRUE(a.frame.PumpUntil([&] { return !a.doc->SettingUpCall(); }));
    EXPECT_EQ(a.Messages(), std::vector<std::string>{"Can't connect to self"});
}

TEST(Document, ClosingEndsTheCallStopsTheGraphsAndDetachesTheVideo)
{
    Program a("127.0.5.11", AutoAnswer::Ask);
    a.doc->OnCloseDocument();
    EXPECT_EQ(a.media.calls, (std::vector<std::string>{"StopMedia", "StopGraphs", "DetachVideoWindow"}));
}

} // namespace
} // namespace kestrel::call
