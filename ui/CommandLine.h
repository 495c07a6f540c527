#pragma once

#include "call/document/CorvidDoc.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrel::ui {

// kestrel [--bind ADDRESS] [--auto-answer yes|no] [--test-devices] [--stats] [--list-devices] [ADDRESS]
// kestrel --toggle-overlay [--bind ADDRESS]
struct CommandLine {
    std::string bindAddress = "0.0.0.0";
    bool bindAddressGiven = false; // --bind was on the command line
    call::AutoAnswer autoAnswer = call::AutoAnswer::Ask;
    std::optional<std::string> dialAddress; // called at start, as a recent-list entry would be
    bool testDevices = false; // the built-in test camera and microphone join the device list
    bool printStatistics = false; // a line of call statistics on standard output every second
    bool listDevices = false; // print the cameras, their inputs and the microphones, and exit
    bool toggleOverlay = false; // have the running program show or hide its floating picture, and exit
    bool showHelp = false;
    bool showVersion = false;
};

struct CommandLineResult {
    std::optional<CommandLine> line;
    std::string error; // when `line` is empty: what was wrong, for standard error
};

// Parses the arguments after the program name. Read before any window
// exists, so --help and --version work without a display.
CommandLineResult ParseCommandLine(const std::vector<std::string> &arguments);

std::string UsageText();
std::string VersionText();

} // namespace kestrel::ui
