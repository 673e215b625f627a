// SPDX-License-Identifier: MIT
// Listens on the driver's trace socket for the life of a test, draining it on a thread of
// its own, and returns the lines sent.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lorvane::vreader {

class TraceCapture {
 public:
  // The kernel keeps only max_dgram_qlen datagrams (10 by default) queued for a listener;
  // the driver drops lines beyond that rather than wait. As root the limit is raised so a
  // test sees every line of a burst.
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  bool listening() const { return fd_ >= 0; }
  // The lines received since the last call, once the driver has been quiet for a moment.
  std::vector<std::string> Take();
  // The last of those lines ("<no trace line>" when none came).
  std::string TakeLast();
  // Stops draining: the socket stays bound but nobody reads it, as with a stuck viewer.
  void Pause();

 private:
  void Drain();

  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread thread_;
};

}  // namespace lorvane::vreader
