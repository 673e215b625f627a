// SPDX-License-Identifier: MIT
// Files that could not be read or written, shown in a message box while the window runs
// (and on standard error), each once.
#pragma once

#include "platform/file_problems.h"

namespace lorvane::ui {

class FileProblemBox final : public platform::FileProblemReporter {
 public:
  FileProblemBox() : previous_(platform::SetFileProblemReporter(this)) {}
  ~FileProblemBox() override { platform::SetFileProblemReporter(previous_); }
  FileProblemBox(const FileProblemBox&) = delete;
  FileProblemBox& operator=(const FileProblemBox&) = delete;

  void Report(const std::string& message) override;

 private:
  platform::FileProblemReporter* previous_;
};

}  // namespace lorvane::ui
