// SPDX-License-Identifier: MIT
// Folder listings in a fixed order (byte order of the names), so that every search the
// viewer makes returns its matches the same way on every machine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lorvane::platform {

struct DirectoryEntry {
  std::string name;            // file name only, as stored on disk
  bool isDirectory = false;    // a folder, or a link to one
  bool isRegularFile = false;  // a regular file, or a link to one
};

// Every entry of the folder except "." and "..", sorted by name; nullopt when the folder
// cannot be listed.
std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::filesystem::path& folder);

// The entries that are no folders whose names match `prefix*suffix`, letters compared
// without regard to ASCII case, sorted by name.
std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view prefix,
                                   std::string_view suffix);

// The first entry that is no folder (in name order) whose name is `name`, letters compared
// without regard to ASCII case; nullopt when there is none.
std::optional<std::string> FindFile(const std::filesystem::path& folder, std::string_view name);

}  // namespace lorvane::platform
