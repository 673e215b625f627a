// SPDX-License-Identifier: MIT
// A scratch folder for one test, removed when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lorvane::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes the bytes to `name` (folders created as needed) and returns the full path.
  std::filesystem::path Write(std::string_view name, std::string_view bytes) const;
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace lorvane::testing
