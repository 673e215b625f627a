// Prints the trace lines the reader driver sends, one per line, until interrupted.
//   usage: pellix-trace [--count N]
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pellix/trace_channel.h"

int main(int argc, char** argv) {
  long remaining = -1;
  if (argc == 3 && std::strcmp(argv[1], "--count") == 0)
    remaining = std::strtol(argv[2], nullptr, 10);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const char* name = lorvane::pellix::kTraceSocketName;
  std::memcpy(address.sun_path + 1, name, std::strlen(name));
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + std::strlen(name));
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    std::perror("pellix-trace: cannot listen (is another listener running?)");
    return 1;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  char buffer[8192];
  while (remaining != 0) {
    const ssize_t n = recv(fd, buffer, sizeof buffer - 1, 0);
    if (n < 5) continue;  // too short to hold the kind and a NUL
    buffer[n] = '\0';
    std::string text(buffer + 4);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::printf("%s\n", text.c_str());
    if (remaining > 0) --remaining;
  }
  return 0;
}
