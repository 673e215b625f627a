// SPDX-License-Identifier: MIT
// The program with its window: the Qt application, start-up and the main dialog, and the
// screenshot of the window after one read.
#pragma once

#include <string>

#include "viewer/app/command_line.h"

namespace lorvane::ui {

// Runs the window (or takes its screenshot) for a command line that opens it; returns the
// exit status. `executable` is the program's own path.
int RunWindowProgram(int argc, char** argv, const app::CommandLine& command,
                     const std::string& executable);

}  // namespace lorvane::ui
