// SPDX-License-Identifier: MIT
#include "platform/folder_trust.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lorvane::platform {
namespace {

constexpr uid_t kRoot = 0;

// The user's own group: the user's group with no member listed besides.
bool IsPrivateGroup(gid_t gid) {
  if (gid != ::getegid()) return false;
  const group* entry = ::getgrgid(gid);
  return entry != nullptr && (entry->gr_mem == nullptr || entry->gr_mem[0] == nullptr);
}

}  // namespace

std::string FolderTrustProblem(const std::filesystem::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  if (st.st_uid != ::geteuid() && st.st_uid != kRoot) return "belongs to another user";
  if ((st.st_mode & S_IWOTH) != 0) return "is writable by every user";
  if ((st.st_mode & S_IWGRP) != 0 && !IsPrivateGroup(st.st_gid))
    return "is writable by the users of its group";
  return {};
}

}  // namespace lorvane::platform
