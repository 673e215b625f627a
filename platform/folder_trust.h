// SPDX-License-Identifier: MIT
// Whether a folder is the user's own: a folder another account can write may hold a plug-in
// or a symbolic link planted there, so code is loaded from it and links in it are followed
// only when it belongs to the user (or to root) and no one else can write it. A group that
// is the user's private group (no other members) counts as the user.
#pragma once

#include <filesystem>
#include <string>

namespace lorvane::platform {

// Empty when `folder` is the user's own; else why not ("is writable by every user"). A
// folder that does not exist is no one's: it holds nothing to load or follow.
std::string FolderTrustProblem(const std::filesystem::path& folder);

inline bool IsOwnFolder(const std::filesystem::path& folder) {
  return FolderTrustProblem(folder).empty();
}

}  // namespace lorvane::platform
