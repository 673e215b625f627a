// SPDX-License-Identifier: MIT
#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include "platform/folder_trust.h"

namespace lorvane::platform {
namespace {

constexpr int kMaxLinks = 40;
constexpr char kTemporaryMark[] = ".lorvane-tmp.";
constexpr auto kLockPatience = std::chrono::seconds(10);

std::string Reason(int error) { return std::strerror(error); }

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int OpenNonBlocking(const std::filesystem::path& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::string NotRegular(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  return "is not a regular file";
}

// Opens a regular file without blocking; -1 with the reason for anything else (and whether
// it is missing at all).
int OpenRegular(const std::filesystem::path& path, int flags, struct stat& st, std::string& reason,
                bool* missing = nullptr) {
  Descriptor fd(OpenNonBlocking(path, flags));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    if (missing != nullptr) *missing = errno == ENOENT || errno == ENOTDIR;
    reason = Reason(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = NotRegular(st.st_mode);
    return -1;
  }
  return fd.release();
}

bool WriteAll(int fd, const std::string& bytes, std::string& reason) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = Reason(n < 0 ? errno : ENOSPC);
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const Descriptor fd(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

// Temporary files of this file that a killed writer left behind. A writer holds a lock on
// its temporary file for as long as it writes it, so a file that can be locked has no writer
// any more; one that cannot belongs to a save going on in another process.
void RemoveStaleTemporaries(const std::filesystem::path& file) {
  const std::string stem = file.filename().string() + kTemporaryMark;
  const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0) continue;
    const Descriptor fd(
        ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// A new temporary file beside `file`, locked as its writer's (see RemoveStaleTemporaries):
// one removed between its creation and its lock is made again.
int NewTemporary(const std::filesystem::path& file, std::string& name) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    name = file.string() + kTemporaryMark + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return fd;
    struct stat st {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

// The bytes to a new file beside `file`, renamed over it. `folderRefused` tells that the
// folder would not take the new file.
bool ReplaceByRename(const std::filesystem::path& file, const std::string& bytes, mode_t mode,
                     std::string& reason, bool& folderRefused) {
  std::string name;
  const Descriptor fd(NewTemporary(file, name));
  if (fd.get() < 0) {
    folderRefused = errno == EACCES || errno == EROFS || errno == EPERM;
    reason = Reason(errno);
    return false;
  }
  bool ok = ::fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), bytes, reason);
  if (ok && ::fsync(fd.get()) != 0) {
    reason = Reason(errno);
    ok = false;
  }
  if (ok && ::rename(name.c_str(), file.c_str()) != 0) {
    reason = Reason(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(name.c_str());
    return false;
  }
  SyncFolder(file.parent_path());
  return true;
}

// The bytes written into the file itself, for a file whose folder cannot take a new one.
bool RewriteInPlace(const std::filesystem::path& file, const std::string& bytes,
                    std::string& reason) {
  struct stat st {};
  const Descriptor fd(OpenRegular(file, O_WRONLY, st, reason));
  if (fd.get() < 0) return false;
  if (!WriteAll(fd.get(), bytes, reason)) return false;
  if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0) {
    reason = Reason(errno);
    return false;
  }
  return true;
}

}  // namespace

std::filesystem::path FollowLinks(const std::filesystem::path& path, std::string* refused) {
  std::filesystem::path current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    const std::filesystem::path folder =
        current.parent_path().empty() ? std::filesystem::path(".") : current.parent_path();
    if (const std::string problem = FolderTrustProblem(folder); !problem.empty()) {
      if (refused != nullptr)
        *refused = "is a symbolic link in " + folder.string() + ", which " + problem +
                   ": it is not followed";
      return current;
    }
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::read_symlink(current, ec);
    if (ec) return current;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current;
}

FileRead ReadRegularFile(const std::filesystem::path& path, size_t limit) {
  FileRead result;
  struct stat st {};
  const Descriptor fd(OpenRegular(path, O_RDONLY, st, result.reason, &result.missing));
  if (fd.get() < 0) return result;
  if (static_cast<uint64_t>(st.st_size) > limit) {
    result.reason = "is larger than " + std::to_string(limit / (1024 * 1024)) + " MB";
    return result;
  }
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(done + 4096);  // the file may have grown
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.reason = Reason(errno);
      return result;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
    if (done > limit) {
      result.reason = "is larger than " + std::to_string(limit / (1024 * 1024)) + " MB";
      return result;
    }
  }
  bytes.resize(done);
  result.bytes = std::move(bytes);
  return result;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
  return ReadRegularFile(path).bytes;
}

bool IsReadableRegularFile(const std::filesystem::path& path, std::string& reason) {
  struct stat st {};
  const Descriptor fd(OpenRegular(path, O_RDONLY, st, reason));
  return fd.get() >= 0;
}

std::string SaveFile(const std::filesystem::path& path, const std::string& bytes, SaveMode mode) {
  std::string refused;
  const std::filesystem::path file = FollowLinks(path, &refused);
  if (!refused.empty()) return refused;
  struct stat st {};
  const bool exists = ::stat(file.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return NotRegular(st.st_mode);
  RemoveStaleTemporaries(file);
  std::string reason;
  bool folderRefused = false;
  if (ReplaceByRename(file, bytes, exists ? (st.st_mode & 07777) : 0644, reason, folderRefused))
    return {};
  if (mode == SaveMode::kReplaceOrRewrite && exists && folderRefused &&
      ::access(file.c_str(), W_OK) == 0) {
    reason.clear();
    if (RewriteInPlace(file, bytes, reason)) return {};
  }
  return reason;
}

FileLock::FileLock(const std::filesystem::path& path) {
  std::string refused;
  const std::filesystem::path file = FollowLinks(path, &refused);
  if (!refused.empty()) return;
  const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    int raw = OpenNonBlocking(file, O_RDONLY);
    if (raw < 0 && errno == ENOENT) raw = OpenNonBlocking(file, O_WRONLY | O_CREAT, 0644);
    Descriptor fd(raw);
    struct stat held {};
    if (fd.get() < 0 || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) return;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    // The file may have been replaced while this process waited: lock the present one.
    struct stat now {};
    if (::stat(file.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
      fd_ = fd.release();
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace lorvane::platform
