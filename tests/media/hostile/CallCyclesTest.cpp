// Two programs' documents with their real graph builders place, run and
// end calls one after the other, media flowing both ways in each. Under
// ThreadSanitizer this is the check that the call's threads (listeners,
// set-up threads, streaming and receive threads) share nothing unguarded.
//
// KESTREL_HOSTILE_CALL_CYCLES sets the number of calls (20 by default).
#include "call/document/CorvidDoc.h"
#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "tests/call/document/DocumentFakes.h"
#include "tests/media/hostile/HostileCall.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace kestrel::media::hostile {
namespace {

using namespace std::chrono_literals;
using call::AutoAnswer;
using call::CCorvidDoc;

// One program: its document with fakes for the panel, the frame and the
// options sheet, and the real media of a CallSide on `address`.
struct Program {
    Program(const std::string &address, AutoAnswer answer) : media(address)
    {
        CCorvidDoc::Settings settings;
        settings.bindAddress = address;
        settings.autoAnswer = answer;
        settings.resolver = &resolver;
        doc = std::make_unique<CCorvidDoc>(
            CCorvidDoc::Parts{options, *media.builder, panel, frame, history, messages, strings}, settings);
        frame.onCallStarted = [this](int peerMask) { doc->OnCallStarted(peerMask); };
        frame.onCallEnded = [this] {
            ++callsEnded;
            doc->OnCallEnded();
        };
    }
    ~Program()
    {
        doc->OnCloseDocument();
        doc.reset(); // the listener stops before the media go
    }

    bool MediaRunning() const { return media.builder->CallMediaRunning(); }

    CallSide media;
    platform::MemoryProfileStore store;
    platform::AppProfile profile{store};
    call::CRecentCallList history{profile, "/home/player"};
    call::test::FakePanel panel;
    call::test::FakeOptions options;
    call::test::FakeFrame frame;
    platform::RecordingMessageBox messages;
    call::test::EnglishStrings strings;
    call::test::TableResolver resolver;
    std::unique_ptr<CCorvidDoc> doc;
    int callsEnded = 0; // user-interface thread
};

// Runs both programs' user-interface queues on this thread until `done` holds.
bool PumpBoth(Program &a, Program &b, const std::function<bool()> &done, Clock::duration limit)
{
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (done())
            return true;
        a.frame.PumpUntil(done, 10ms);
        b.frame.PumpUntil(done, 10ms);
    }
    return done();
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    if (DIR *fds = opendir("/proc/self/fd")) {
        while (readdir(fds))
            ++count;
        closedir(fds);
    }
    return count;
}

int CycleCount()
{
    const char *cycles = std::getenv("KESTREL_HOSTILE_CALL_CYCLES");
    return cycles && std::atoi(cycles) > 0 ? std::atoi(cycles) : 20;
}

struct CallCycles : ::testing::Test {
    static void SetUpTestSuite() { InitGstreamer(KESTREL_HOSTILE_REGISTRY); }
};

TEST_F(CallCycles, CallsWithLiveMediaStartAndEndOverAndOverFromEitherSide)
{
    Program caller("127.0.40.41", AutoAnswer::Ask);
    Program callee("127.0.40.42", AutoAnswer::Yes);
    const int cycles = CycleCount();
    std::size_t descriptorsAfterFirst = 0;
    const auto started = Clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("call " + std::to_string(cycle + 1));
        const auto since = Clock::now();
        const auto callerAudio = caller.media.decoders.Read().audio;
        const auto calleeAudio = callee.media.decoders.Read().audio;
        const auto live = [&](Program &side, std::uint64_t audioBefore) {
            return side.MediaRunning() && side.media.host.WaitForNewIntactFrame(since, std::nullopt, 0ms) &&
                   side.media.decoders.Read().audio > audioBefore;
        };
        caller.panel.address = callee.media.address;
        caller.doc->OnNewCall();
        ASSERT_TRUE(PumpBoth(caller, callee, [&] { return live(caller, callerAudio) && live(callee, calleeAudio); },
                             30s))
            << "no picture and sound both ways";

        const int callerEnded = caller.callsEnded;
        const int calleeEnded = callee.callsEnded;
        (cycle % 2 == 0 ? caller : callee).doc->OnEndCall();
        ASSERT_TRUE(PumpBoth(caller, callee,
                             [&] {
                                 return caller.callsEnded > callerEnded && callee.callsEnded > calleeEnded &&
                                        !caller.MediaRunning() && !callee.MediaRunning();
                             },
                             15s))
            << "the call did not end on both sides";
        if (cycle == 0)
            descriptorsAfterFirst = OpenDescriptors();
    }
    const auto perCall = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started) / cycles;
    std::printf("RESULT cycles calls=%d perCall_ms=%lld\n", cycles, static_cast<long long>(perCall.count()));
    EXPECT_TRUE(caller.messages.shown.empty() && callee.messages.shown.empty()) << "a call failed with a message";
    EXPECT_EQ(caller.media.host.CorruptCount() + callee.media.host.CorruptCount(), 0u);
    EXPECT_LE(OpenDescriptors(), descriptorsAfterFirst) << "descriptors left over from the calls";
}

} // namespace
} // namespace kestrel::media::hostile
