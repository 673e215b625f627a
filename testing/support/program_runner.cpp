// SPDX-License-Identifier: MIT
#include "testing/support/program_runner.h"

#include <sys/wait.h>

#include <cstdio>

#include "testing/support/temp_dir.h"

namespace lorvane::testing {
namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

ProgramResult RunProgram(const std::filesystem::path& program,
                         const std::vector<std::string>& args) {
  return RunProgramAfter("", program, args);
}

ProgramResult RunProgramAfter(const std::string& shellPrefix, const std::filesystem::path& program,
                              const std::vector<std::string>& args) {
  TempDir scratch;
  std::string command = shellPrefix + (shellPrefix.empty() ? "" : " ") + Quote(program.string());
  for (const auto& a : args) command += " " + Quote(a);
  command += " 2>" + Quote((scratch.path() / "err").string());
  ProgramResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = scratch.Read("err");
  return r;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

}  // namespace lorvane::testing
