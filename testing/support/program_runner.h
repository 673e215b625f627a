// SPDX-License-Identifier: MIT
// Runs a program for a test and collects its exit status and output.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lorvane::testing {

struct ProgramResult {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

ProgramResult RunProgram(const std::filesystem::path& program,
                         const std::vector<std::string>& args);

// Runs the program with a prefix of shell words before it (environment settings, "ulimit",
// "timeout"…) that are not quoted.
ProgramResult RunProgramAfter(const std::string& shellPrefix, const std::filesystem::path& program,
                              const std::vector<std::string>& args);

// The text split at line feeds (the last line ends with one).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace lorvane::testing
