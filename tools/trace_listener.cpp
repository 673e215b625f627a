// SPDX-License-Identifier: MIT
// Prints the trace lines the reader driver sends, one per line, until interrupted. Only the
// driver run by the same user reaches it.
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
  std::string error;
  const int fd = lorvane::pellix::ListenForTrace(error);
  if (fd < 0) {
    std::fprintf(stderr, "pellix-trace: cannot listen: %s\n", error.c_str());
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
