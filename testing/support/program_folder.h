// SPDX-License-Identifier: MIT
// A copy of the program folder for one test (the program, its plug-ins, Define/ and the
// samples), so that the plug-in registry and settings files it writes are the test's own.
#pragma once

#include <filesystem>
#include <string>

#include "testing/support/temp_dir.h"

namespace lorvane::testing {

class ProgramFolder {
 public:
  // Copies from the build's program folder.
  explicit ProgramFolder(const std::filesystem::path& binFolder);
  std::filesystem::path Lorvane() const { return dir_.path() / "lorvane"; }
  std::string Registry() const { return dir_.Read("FeliCaDLL.INI"); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
};

}  // namespace lorvane::testing
