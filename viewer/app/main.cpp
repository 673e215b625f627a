#include <cstdio>
#include <string>
#include <vector>

#include "platform/program_path.h"
#include "viewer/app/command_line.h"

int main(int argc, char** argv) {
  using namespace lorvane::app;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(
        "lorvane: the viewer window is not part of this build yet; read a card with\n"
        "  lorvane --read --card FILE\n",
        stderr);
    return kExitUsage;
  }
  std::string error;
  const auto command = ParseCommandLine(args, error);
  if (!command) {
    std::fprintf(stderr, "lorvane: %s\n%s", error.c_str(), UsageText().c_str());
    return kExitUsage;
  }
  std::string executable = lorvane::platform::ProgramPath().string();
  if (executable.empty()) executable = argv[0];
  return RunCommandLine(*command, executable);
}
