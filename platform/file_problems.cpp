// SPDX-License-Identifier: MIT
#include "platform/file_problems.h"

#include <cstdio>
#include <set>

namespace lorvane::platform {
namespace {

class StandardErrorReporter final : public FileProblemReporter {
 public:
  void Report(const std::string& message) override {
    std::fprintf(stderr, "lorvane: %s\n", message.c_str());
  }
};

FileProblemReporter* g_reporter = nullptr;

}  // namespace

FileProblemReporter* SetFileProblemReporter(FileProblemReporter* reporter) {
  FileProblemReporter* previous = g_reporter;
  g_reporter = reporter;
  return previous;
}

void ReportFileProblem(const std::filesystem::path& file, const std::string& what) {
  static std::set<std::string> reported;
  const std::string message = file.string() + ": " + what;
  if (!reported.insert(message).second) return;
  static StandardErrorReporter standardError;
  (g_reporter != nullptr ? *g_reporter : standardError).Report(message);
}

}  // namespace lorvane::platform
