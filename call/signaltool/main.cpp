// kestrel-signal: drives one call-signalling session from the command line.
//
//   kestrel-signal --bind ADDR [--answer yes|no|never] [--mask N] [--call PEER]
//                  [--hangup-after SECONDS]
//
// --answer never leaves every question open, as a user away from the
// computer would, until the caller leaves or the question times out.
//
// Prints one line per event and runs until SIGINT or SIGTERM, then stops the
// listener:
//   listening ADDR          the listener takes calls on ADDR port 6050
//   incoming ADDR           a call from ADDR; followed by the answer given:
//   answered yes|no         (none with --answer never)
//   withdrawn ADDR          the caller left (or the question timed out) first
//   started ADDR MASK       the call with ADDR is up; MASK is what ADDR sends
//   ended                   the call is over
//   failed MESSAGE          placing the call failed ("Connection Failed!!", ...);
//                           nothing when a quit signal cancelled it
// A call is placed on a thread of its own, as the program does it; SIGINT or
// SIGTERM while it is being placed cancels it.

#include "ConsoleCallOwner.h"
#include "call/CallSession.h"
#include "platform/UniqueFd.h"

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

using kestrel::call::CCallSession;
using kestrel::call::ConsoleCallOwner;
using kestrel::platform::UniqueFd;

namespace {

enum class AnswerMode { Yes, No, Never };

struct Options {
    std::string bind;
    AnswerMode answer = AnswerMode::Yes;
    int mask = 3;
    std::optional<std::string> call;
    std::optional<double> hangupAfterSeconds;
};

void Usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s --bind ADDR [--answer yes|no|never] [--mask N] [--call PEER] [--hangup-after SECONDS]\n",
                 program);
}

std::optional<Options> ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string value = argv[++i];
        char *end = nullptr;
        if (flag == "--bind") {
            in_addr parsed{};
            if (::inet_pton(AF_INET, value.c_str(), &parsed) != 1)
                return std::nullopt;
            options.bind = value;
        } else if (flag == "--answer" && (value == "yes" || value == "no" || value == "never")) {
            options.answer = value == "yes" ? AnswerMode::Yes : value == "no" ? AnswerMode::No : AnswerMode::Never;
        } else if (flag == "--mask") {
            long mask = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || mask < 1 || mask > 3)
                return std::nullopt;
            options.mask = static_cast<int>(mask);
        } else if (flag == "--call") {
            options.call = value;
        } else if (flag == "--hangup-after") {
            double seconds = std::strtod(value.c_str(), &end);
            if (*end != '\0' || seconds < 0)
                return std::nullopt;
            options.hangupAfterSeconds = seconds;
        } else {
            return std::nullopt;
        }
    }
    if (options.bind.empty())
        return std::nullopt;
    return options;
}

void ArmTimer(int timerFd, double seconds)
{
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(seconds);
    when.it_value.tv_nsec = static_cast<long>((seconds - static_cast<double>(when.it_value.tv_sec)) * 1e9);
    if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
        when.it_value.tv_nsec = 1; // zero would disarm the timer
    ::timerfd_settime(timerFd, 0, &when, nullptr);
}

// The caller's side of placing a call, with the program's own messages.
class Caller {
public:
    Caller(CCallSession &session, ConsoleCallOwner &owner, const Options &options)
        : session(session), owner(owner), options(options)
    {
    }

    // True when the call is up.
    bool Place(const std::string &peer, std::stop_token cancel)
    {
        std::string address = peer;
        in_addr parsed{};
        if (::inet_pton(AF_INET, peer.c_str(), &parsed) != 1)
            address = session.ResolveName(peer, cancel);
        if (address.empty())
            return Fail("Connection Failed!!", cancel);
        if (address == "127.0.0.1" || address == options.bind)
            return Fail("Can't connect to self", cancel);
        if (!session.Dial(address, cancel))
            return Fail("Connection Failed!!", cancel);
        int peerMask = 0;
        if (!session.Negotiate(options.mask, peerMask, cancel))
            return Fail("Network initialize Failed", cancel);
        owner.Print("started " + address + " " + std::to_string(peerMask));
        return true;
    }

private:
    // A call cancelled because the program quits fails without a message.
    bool Fail(const char *message, const std::stop_token &cancel)
    {
        if (!cancel.stop_requested())
            owner.Print(std::string("failed ") + message);
        session.HangUp();
        return false;
    }

    CCallSession &session;
    ConsoleCallOwner &owner;
    const Options &options;
};

} // namespace

int main(int argc, char **argv)
{
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        Usage(argv[0]);
        return 2;
    }

    // Signals are taken by the main loop alone, through a signalfd; every
    // thread started from here on inherits the blocked mask.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);
    UniqueFd signalFd(::signalfd(-1, &quitSignals, SFD_CLOEXEC));
    UniqueFd hangupTimer(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));

    ConsoleCallOwner owner(options->mask, stdout);
    CCallSession session(options->bind);
    if (session.Start(CCallSession::kSignalPort, &owner))
        owner.Print("listening " + options->bind);
    else
        std::fprintf(stderr, "kestrel-signal: cannot listen on %s port %d; incoming calls will not be answered\n",
                     options->bind.c_str(), CCallSession::kSignalPort);

    // The call is placed on a set-up thread, so that a quit signal can cancel it.
    std::jthread placing;
    if (options->call) {
        placing = std::jthread([&](std::stop_token cancel) {
            const bool up = Caller(session, owner, *options).Place(*options->call, cancel);
            owner.Post({ConsoleCallOwner::Event::CallPlaced, up ? 1 : 0, *options->call});
        });
    }

    bool inCall = false;
    for (;;) {
        pollfd waits[] = {{signalFd.Get(), POLLIN, 0}, {owner.WakeDescriptor(), POLLIN, 0}, {hangupTimer.Get(), POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0)
            continue;
        if (waits[0].revents & POLLIN)
            break;
        if (waits[2].revents & POLLIN) {
            uint64_t expirations;
            [[maybe_unused]] auto drained = ::read(hangupTimer.Get(), &expirations, sizeof expirations);
            session.HangUp();
            if (inCall)
                owner.Print("ended");
            inCall = false;
        }
        while (auto posted = owner.TakePosted()) {
            switch (posted->event) {
            case ConsoleCallOwner::Event::CallStarted:
                inCall = true;
                owner.Print("started " + posted->peerAddress + " " + std::to_string(posted->value));
                break;
            case ConsoleCallOwner::Event::CallEnded:
                session.HangUp();
                if (inCall)
                    owner.Print("ended");
                inCall = false;
                break;
            case ConsoleCallOwner::Event::Question:
                // Answered from this thread, as the program answers from its window.
                if (options->answer == AnswerMode::Never)
                    break;
                owner.Print(options->answer == AnswerMode::Yes ? "answered yes" : "answered no");
                session.AnswerIncomingCall(posted->value, options->answer == AnswerMode::Yes);
                break;
            case ConsoleCallOwner::Event::QuestionWithdrawn:
                // The caller left or the question timed out before an answer was acted on.
                owner.Print("withdrawn " + posted->peerAddress);
                break;
            case ConsoleCallOwner::Event::CallPlaced:
                inCall = posted->value == 1;
                if (inCall && options->hangupAfterSeconds)
                    ArmTimer(hangupTimer.Get(), *options->hangupAfterSeconds);
                break;
            }
        }
    }
    placing.request_stop();
    if (placing.joinable())
        placing.join();
    session.Stop();
    return 0;
}
