// SPDX-License-Identifier: MIT
#include <cstdio>
#include <string>
#include <vector>

#include "platform/program_path.h"
#include "viewer/app/command_line.h"
#include "viewer/ui/window_program.h"

int main(int argc, char** argv) {
  using namespace lorvane::app;
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto command = ParseCommandLine(args, error);
  if (!command) {
    std::fprintf(stderr, "lorvane: %s\n%s", error.c_str(), UsageText().c_str());
    return kExitUsage;
  }
  std::string executable = lorvane::platform::ProgramPath().string();
  if (executable.empty()) executable = argv[0];
  if (command->opensWindow())
    return lorvane::ui::RunWindowProgram(argc, argv, *command, executable);
  return RunCommandLine(*command, executable);
}
