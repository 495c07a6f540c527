#include "ui/CommandLine.h"

#include <arpa/inet.h>

namespace kestrel::ui {

namespace {

bool IsDottedAddress(const std::string &text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

} // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string> &arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        auto value = [&](const std::string &option) -> std::optional<std::string> {
            const std::string prefix = option + "=";
            if (argument.rfind(prefix, 0) == 0)
                return argument.substr(prefix.size());
            if (argument == option && i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        const bool isBind = argument == "--bind" || argument.rfind("--bind=", 0) == 0;
        const bool isAnswer = argument == "--auto-answer" || argument.rfind("--auto-answer=", 0) == 0;
        if (argument == "--help" || argument == "-h") {
            line.showHelp = true;
        } else if (argument == "--version") {
            line.showVersion = true;
        } else if (argument == "--test-devices") {
            line.testDevices = true;
        } else if (argument == "--stats") {
            line.printStatistics = true;
        } else if (argument == "--list-devices") {
            line.listDevices = true;
        } else if (argument == "--toggle-overlay") {
            line.toggleOverlay = true;
        } else if (isBind) {
            auto address = value("--bind");
            if (!address || !IsDottedAddress(*address))
                return {std::nullopt, "--bind needs a dotted IPv4 address, e.g. --bind 127.0.0.2"};
            line.bindAddress = *address;
            line.bindAddressGiven = true;
        } else if (isAnswer) {
            auto answer = value("--auto-answer");
            if (answer == "yes")
                line.autoAnswer = call::AutoAnswer::Yes;
            else if (answer == "no")
                line.autoAnswer = call::AutoAnswer::No;
            else
                return {std::nullopt, "--auto-answer takes yes or no"};
        } else if (!argument.empty() && argument[0] == '-') {
            return {std::nullopt, "unknown option " + argument};
        } else if (line.dialAddress) {
            return {std::nullopt, "only one ADDRESS can be called"};
        } else {
            line.dialAddress = argument;
        }
    }
    return {line, {}};
}

std::string UsageText()
{
    return "Usage: kestrel [--bind ADDRESS] [--auto-answer yes|no] [--test-devices] [--stats] [ADDRESS]\n"
           "       kestrel --list-devices [--test-devices]\n"
           "       kestrel --toggle-overlay [--bind ADDRESS]\n"
           "Video and voice calls between two computers.\n"
           "\n"
           "  ADDRESS                 call this computer (dotted address or host name) at start\n"
           "  --bind ADDRESS          the local IPv4 address to listen, call and send media on\n"
           "                          (default: every local address)\n"
           "  --auto-answer yes|no    answer incoming calls without asking\n"
           "  --test-devices          add the built-in test camera and test microphone\n"
           "                          (also KESTREL_TEST_DEVICES=1)\n"
           "  --stats                 print the current call's media counts every second:\n"
           "                          stats video-out=N video-in=N audio-out=N audio-in=N audio-gaps=N\n"
           "                          call=up|idle capture-elements=N render-elements=N\n"
           "  --list-devices          print the cameras, their inputs and the microphones,\n"
           "                          one per line (camera, input or microphone, a tab, the name)\n"
           "  --toggle-overlay        show or hide the floating picture of the running Kestrel\n"
           "                          (with --bind: of the one bound to ADDRESS), for desktop\n"
           "                          or game-launcher shortcuts; exit 1 when none runs\n"
           "  --help                  show this help and exit\n"
           "  --version               show the version and exit\n"
           "\n"
           "Kestrel listens for calls on TCP port 6050 and receives media on UDP ports\n"
           "6058 to 6061.\n";
}

std::string VersionText()
{
    return "kestrel " KESTREL_VERSION " (ORVA Kestrel Beta 002)\n";
}

} // namespace kestrel::ui
