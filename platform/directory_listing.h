// Folder listings in a fixed order (byte order of the names), so that every search the
// viewer makes returns its matches the same way on every machine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lorvane::platform {

struct DirectoryEntry {
  std::string name;  // file name only, as stored on disk
  bool isDirectory = false;
};

// Every entry of the folder except "." and "..", sorted by name; nullopt when the folder
// cannot be listed.
std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::filesystem::path& folder);

// The regular files whose names match `prefix*suffix`, letters compared without regard to
// ASCII case, sorted by name.
std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view prefix,
                                   std::string_view suffix);

}  // namespace lorvane::platform
