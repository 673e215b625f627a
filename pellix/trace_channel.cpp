#include "pellix/trace_channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace lorvane::pellix {
namespace {

int g_socket = -1;

socklen_t ViewerAddress(sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, kTraceSocketName, sizeof kTraceSocketName - 1);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + sizeof kTraceSocketName - 1);
}

}  // namespace

int DebugTrace(const char* format, ...) {
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
  const socklen_t size = ViewerAddress(address);
  const ssize_t sent = sendto(g_socket, message, length, MSG_DONTWAIT | MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&address), size);
  return sent == static_cast<ssize_t>(length) ? 1 : 0;
}

void CloseTrace() {
  if (g_socket >= 0) close(g_socket);
  g_socket = -1;
}

}  // namespace lorvane::pellix
