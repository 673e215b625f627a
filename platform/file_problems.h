// SPDX-License-Identifier: MIT
// Files the program could not read or write, told to the user: each problem once, with the
// file's name and the reason. The command line prints them on standard error; the window
// shows them in a message box. A missing file is no problem: it reads as defaults.
#pragma once

#include <filesystem>
#include <string>

namespace lorvane::platform {

class FileProblemReporter {
 public:
  virtual ~FileProblemReporter() = default;
  // "<file>: <reason>"
  virtual void Report(const std::string& message) = 0;
};

// Replaces the process-wide reporter (null restores standard error) and returns the
// previous one.
FileProblemReporter* SetFileProblemReporter(FileProblemReporter* reporter);

// Reports "<file>: <what>" once per process for the same file and text.
void ReportFileProblem(const std::filesystem::path& file, const std::string& what);

}  // namespace lorvane::platform
