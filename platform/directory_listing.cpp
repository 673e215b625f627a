// SPDX-License-Identifier: MIT
#include "platform/directory_listing.h"

#include <algorithm>

#include "platform/text_codec.h"

namespace lorvane::platform {

// No exception leaves a listing: an error while listing ends it with what was found.
std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    const auto status = it->status(typeError);  // links followed
    entries.push_back({it->path().filename().string(), std::filesystem::is_directory(status),
                       std::filesystem::is_regular_file(status)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

std::optional<std::string> FindFile(const std::filesystem::path& folder, std::string_view name) {
  for (const std::string& found : FindFiles(folder, name, "")) {
    if (found.size() == name.size()) return found;
  }
  return std::nullopt;
}

std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view prefix,
                                   std::string_view suffix) {
  std::vector<std::string> names;
  const auto entries = ListDirectory(folder);
  if (!entries) return names;
  for (const auto& entry : *entries) {
    const std::string_view name = entry.name;
    // Not only regular files: whatever else bears the name is refused, and reported, when
    // it is read.
    if (entry.isDirectory || name.size() < prefix.size() + suffix.size()) continue;
    if (EqualsIgnoreAsciiCase(name.substr(0, prefix.size()), prefix) &&
        EqualsIgnoreAsciiCase(name.substr(name.size() - suffix.size()), suffix)) {
      names.push_back(entry.name);
    }
  }
  return names;
}

}  // namespace lorvane::platform
