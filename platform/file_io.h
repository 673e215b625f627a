// SPDX-License-Identifier: MIT
// Reading and saving whole files the way every file of the program is read and saved: never
// blocking, never following a FIFO or reading a device or folder, bounded in size, with every
// failure a reason rather than an exception; saves are atomic, through symbolic links, and
// serialised between processes by an advisory lock.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lorvane::platform {

// No file the program reads may be larger (card images, INI files).
inline constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

struct FileRead {
  std::optional<std::string> bytes;
  bool missing = false;  // there is no such file (or folder on the way to it)
  std::string reason;    // why there are no bytes, when the file exists
};

// Reads a regular file whole. The file is opened without blocking and checked with fstat
// before anything is read: a FIFO, device, socket or folder is refused, and so is a file
// larger than `limit`.
FileRead ReadRegularFile(const std::filesystem::path& path, size_t limit = kMaxFileBytes);

// The file's bytes, or nullopt when it is missing or cannot be read (see ReadRegularFile).
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Whether the path names a regular file that can be opened for reading, checked without
// blocking; `reason` says why not.
bool IsReadableRegularFile(const std::filesystem::path& path, std::string& reason);

// Replaces the file's contents. A symbolic link is followed to the file it names. The bytes
// go to a temporary file in the same folder, which is flushed, renamed over the file, and
// the folder flushed, so a crash leaves the old or the new file and never a mix; where the
// folder is not writable but the file is, the file is rewritten in place. Temporary files
// left by a writer that was killed are removed (never those of a writer still at work). The
// file keeps its permission bits. Returns an empty text on success, else the reason.
// kReplaceOnly never rewrites in place: a file that must be whole or absent (a card dump)
// fails where its folder takes no new file.
enum class SaveMode { kReplaceOrRewrite, kReplaceOnly };
std::string SaveFile(const std::filesystem::path& path, const std::string& bytes,
                     SaveMode mode = SaveMode::kReplaceOrRewrite);

// An advisory lock on a file for one read-modify-write, so that two processes saving the
// same file never lose each other's changes. Waits at most a few seconds for another holder.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The file a path names once symbolic links are followed (the path itself when it is none).
// A link is followed only where it lies in a folder of the user's own (folder_trust.h): a
// link another user could have planted is not, and `refused` (when given) says why.
std::filesystem::path FollowLinks(const std::filesystem::path& path,
                                  std::string* refused = nullptr);

}  // namespace lorvane::platform
