// SPDX-License-Identifier: MIT
#include "pellix/trace_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lorvane::pellix {
namespace {

int g_socket = -1;
bool g_folderChecked = false;  // the folder was found private once: it stays so

std::string TraceFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') return std::string(runtime) + "/" + kTraceFolderName;
  return "/tmp/" + std::string(kTraceFolderName) + "-" + std::to_string(geteuid());
}

// A folder of this user's that nobody else can enter or write to (not a link to one).
bool IsPrivateFolder(const std::string& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

bool AddressOf(const std::string& path, sockaddr_un& address, socklen_t& size) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

// Whether a viewer still listens on the socket at `address`.
bool Listening(const sockaddr_un& address, socklen_t size) {
  const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (probe < 0) return false;
  const bool alive = connect(probe, reinterpret_cast<const sockaddr*>(&address), size) == 0;
  close(probe);
  return alive;
}

}  // namespace

std::string TraceSocketPath() { return TraceFolder() + "/" + kTraceSocketName; }

int DebugTrace(const char* format, ...) {
  if (!g_folderChecked && !(g_folderChecked = IsPrivateFolder(TraceFolder()))) return 0;
  if (g_socket < 0) g_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (g_socket < 0) return 0;
  char message[4 + kTraceTextChars + 1] = {static_cast<char>(kTraceMessageKind), 0, 0, 0};
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(message + 4, kTraceTextChars + 1, format, args);
  va_end(args);
  if (written < 0) return 0;
  const size_t length = 4 + std::strlen(message + 4) + 1;
  sockaddr_un address;
  socklen_t size = 0;
  if (!AddressOf(TraceSocketPath(), address, size)) return 0;
  const ssize_t sent = sendto(g_socket, message, length, MSG_DONTWAIT | MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&address), size);
  return sent == static_cast<ssize_t>(length) ? 1 : 0;
}

void CloseTrace() {
  if (g_socket >= 0) close(g_socket);
  g_socket = -1;
}

int ListenForTrace(std::string& error) {
  const std::string folder = TraceFolder();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = folder + ": " + std::strerror(errno);
    return -1;
  }
  if (!IsPrivateFolder(folder)) {
    error = folder + ": not a folder of this user's that only this user can enter";
    return -1;
  }
  sockaddr_un address;
  socklen_t size = 0;
  const std::string path = TraceSocketPath();
  if (!AddressOf(path, address, size)) {
    error = path + ": the path is too long for a socket";
    return -1;
  }
  if (Listening(address, size)) {
    error = path + ": another viewer is listening";
    return -1;
  }
  ::unlink(path.c_str());  // a socket left behind by a viewer that is gone
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    error = path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

}  // namespace lorvane::pellix
