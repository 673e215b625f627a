// SPDX-License-Identifier: MIT
#include "testing/vreader/trace_capture.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <utility>

#include "pellix/trace_channel.h"

namespace lorvane::vreader {
namespace {

using namespace std::chrono_literals;

void RaiseQueueLimit() {
  const char* path = "/proc/sys/net/unix/max_dgram_qlen";
  int current = 0;
  std::ifstream(path) >> current;
  if (current < 4096) std::ofstream(path) << 4096;  // fails quietly without root
}

}  // namespace

TraceCapture::TraceCapture() {
  RaiseQueueLimit();
  std::string error;
  fd_ = pellix::ListenForTrace(error);
  if (fd_ < 0) return;
  timeval timeout{0, 20000};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);  // to keep only this process's lines
  thread_ = std::thread([this] { Drain(); });
}

TraceCapture::~TraceCapture() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
}

void TraceCapture::Drain() {
  char buffer[4096];
  while (!stop_) {
    if (paused_) {
      std::this_thread::sleep_for(5ms);
      continue;
    }
    iovec data{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd_, &message, 0);
    if (n <= 0) continue;
    // Another process on this machine may trace too (a second driver, a fuzz run).
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (header == nullptr || header->cmsg_type != SCM_CREDENTIALS) continue;
    ucred sender{};
    std::memcpy(&sender, CMSG_DATA(header), sizeof sender);
    if (sender.pid != getpid()) continue;
    std::lock_guard lock(mutex_);
    if (n < 5 || buffer[0] != 1 || buffer[1] != 0 || buffer[2] != 0 || buffer[3] != 0 ||
        buffer[n - 1] != '\0') {
      lines_.push_back("<malformed message>");
    } else {
      lines_.emplace_back(buffer + 4);
    }
  }
}

// The driver sends each line before its call returns, so every line is queued by now: wait
// until the queue is empty and no line has arrived for a while (a busy machine may keep the
// draining thread waiting).
std::vector<std::string> TraceCapture::Take() {
  size_t seen = static_cast<size_t>(-1);
  for (int i = 0; i < 100; ++i) {
    std::this_thread::sleep_for(30ms);
    int queued = 0;
    if (fd_ >= 0 && ioctl(fd_, FIONREAD, &queued) != 0) queued = 0;
    std::lock_guard lock(mutex_);
    if (lines_.size() == seen && (queued == 0 || paused_)) break;  // paused: nothing drains
    seen = lines_.size();
  }
  std::lock_guard lock(mutex_);
  return std::exchange(lines_, {});
}

std::string TraceCapture::TakeLast() {
  const std::vector<std::string> lines = Take();
  return lines.empty() ? "<no trace line>" : lines.back();
}

void TraceCapture::Pause() { paused_ = true; }

}  // namespace lorvane::vreader
