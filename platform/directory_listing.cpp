#include "platform/directory_listing.h"

#include <algorithm>

#include "platform/text_codec.h"

namespace lorvane::platform {

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  for (const auto& entry : it) {
    entries.push_back({entry.path().filename().string(), entry.is_directory(ec)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view prefix,
                                   std::string_view suffix) {
  std::vector<std::string> names;
  const auto entries = ListDirectory(folder);
  if (!entries) return names;
  for (const auto& entry : *entries) {
    const std::string_view name = entry.name;
    if (entry.isDirectory || name.size() < prefix.size() + suffix.size()) continue;
    if (EqualsIgnoreAsciiCase(name.substr(0, prefix.size()), prefix) &&
        EqualsIgnoreAsciiCase(name.substr(name.size() - suffix.size()), suffix)) {
      names.push_back(entry.name);
    }
  }
  return names;
}

}  // namespace lorvane::platform
