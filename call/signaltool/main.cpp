// kestrel-signal: drives one call-signalling session from the command line.
//
//   kestrel-signal --bind ADDR [--answer yes|no] [--mask N] [--call PEER]
//                  [--hangup-after SECONDS]
//
// Prints one line per event (incoming, answered, started, ended, failed) and
// runs until SIGINT or SIGTERM, then stops the listener.

#include "ConsoleCallOwner.h"
#include "call/CallSession.h"

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
#include <string>

using kestrel::call::CCallSession;
using kestrel::call::ConsoleCallOwner;

namespace {

struct Options {
    std::string bind;
    bool answerYes = true;
    int mask = 3;
    std::optional<std::string> call;
    std::optional<double> hangupAfterSeconds;
};

void Usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s --bind ADDR [--answer yes|no] [--mask N] [--call PEER] [--hangup-after SECONDS]\n",
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
        } else if (flag == "--answer" && (value == "yes" || value == "no")) {
            options.answerYes = value == "yes";
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

// A file descriptor closed when it goes out of scope.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd(fd) {}
    ~ScopedFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    ScopedFd(const ScopedFd &) = delete;
    ScopedFd &operator=(const ScopedFd &) = delete;
    int get() const { return fd; }

private:
    int fd;
};

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
    bool Place(const std::string &peer)
    {
        std::string address = peer;
        in_addr parsed{};
        if (::inet_pton(AF_INET, peer.c_str(), &parsed) != 1)
            address = session.ResolveName(peer);
        if (address.empty())
            return Fail("Connection Failed!!");
        if (address == "127.0.0.1" || address == options.bind)
            return Fail("Can't connect to self");
        if (!session.Dial(address))
            return Fail("Connection Failed!!");
        int peerMask = 0;
        if (!session.Negotiate(options.mask, peerMask))
            return Fail("Network initialize Failed");
        owner.Print("started " + address + " " + std::to_string(peerMask));
        return true;
    }

private:
    bool Fail(const char *message)
    {
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
    ScopedFd signalFd(::signalfd(-1, &quitSignals, SFD_CLOEXEC));
    ScopedFd hangupTimer(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));

    ConsoleCallOwner owner(options->answerYes, options->mask, stdout);
    CCallSession session(options->bind);
    if (!session.Start(CCallSession::kSignalPort, &owner))
        std::fprintf(stderr, "kestrel-signal: cannot listen on %s port %d; incoming calls will not be answered\n",
                     options->bind.c_str(), CCallSession::kSignalPort);

    bool inCall = false;
    if (options->call) {
        inCall = Caller(session, owner, *options).Place(*options->call);
        if (inCall && options->hangupAfterSeconds)
            ArmTimer(hangupTimer.get(), *options->hangupAfterSeconds);
    }

    for (;;) {
        pollfd waits[] = {{signalFd.get(), POLLIN, 0}, {owner.WakeDescriptor(), POLLIN, 0}, {hangupTimer.get(), POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0)
            continue;
        if (waits[0].revents & POLLIN)
            break;
        if (waits[2].revents & POLLIN) {
            uint64_t expirations;
            [[maybe_unused]] auto drained = ::read(hangupTimer.get(), &expirations, sizeof expirations);
            session.HangUp();
            if (inCall)
                owner.Print("ended");
            inCall = false;
        }
        while (auto posted = owner.TakePosted()) {
            if (posted->event == ConsoleCallOwner::Event::CallStarted) {
                inCall = true;
                owner.Print("started " + posted->peerAddress + " " + std::to_string(posted->peerMask));
            } else {
                session.HangUp();
                if (inCall)
                    owner.Print("ended");
                inCall = false;
            }
        }
    }
    session.Stop();
    return 0;
}
