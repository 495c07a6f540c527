// kestrel: video and voice calls between two computers.
#include "ui/CommandLine.h"
#include "media/devices/ListDevices.h"
#include "ui/KestrelApp.h"
#include "ui/overlay/OverlayToggle.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    using namespace kestrel::ui;
    const CommandLineResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.line) {
        std::fprintf(stderr, "kestrel: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return 2;
    }
    if (parsed.line->showHelp) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.line->showVersion) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (parsed.line->toggleOverlay) {
        const CommandLine &line = *parsed.line;
        return kestrel::ui::overlay::RunToggleOverlay(line.bindAddressGiven ? std::optional(line.bindAddress)
                                                                            : std::nullopt); // no window
    }
    if (parsed.line->listDevices) {
        if (parsed.line->testDevices)
            setenv("KESTREL_TEST_DEVICES", "1", 1);
        return kestrel::media::devices::ListSystemDevices(std::cout); // no window
    }
    return RunKestrel(argc, argv, *parsed.line);
}
