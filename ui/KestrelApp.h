#pragma once

#include "ui/CommandLine.h"

namespace kestrel::ui {

// Starts the program, runs it until its window closes, shuts it down in
// order and returns the exit code: 0 normally and when another copy of the
// program was found, 1 when the media graphs cannot be made.
int RunKestrel(int &argc, char **argv, const CommandLine &line);

} // namespace kestrel::ui
