// SPDX-License-Identifier: MIT
// A private pcscd for one test: its own reader.conf with virtual ACR122 readers, started by
// socket activation on a socket of this test process, stopped by pid.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/support/temp_dir.h"

namespace lorvane::vreader {

class PrivatePcscd {
 public:
  // Starts pcscd with `readers` virtual readers (0 is allowed: no reader at all). Each
  // reader gets a control folder; reader i is named "ACS ACR122 0i 00" by pcscd.
  explicit PrivatePcscd(size_t readers = 1);
  ~PrivatePcscd();
  PrivatePcscd(const PrivatePcscd&) = delete;
  PrivatePcscd& operator=(const PrivatePcscd&) = delete;

  bool running() const { return pid_ > 0; }
  void Stop();
  // The control folder of reader i (see reader_control.h).
  std::filesystem::path Control(size_t reader = 0) const;
  void SetCard(const std::filesystem::path& image, size_t reader = 0) const;
  void RemoveCard(size_t reader = 0) const;
  void SetFault(const std::string& faults, size_t reader = 0) const;
  // The APDUs sent to reader i since the last call, in hexadecimal ("FF 00 00 ..."), and
  // the answers, as "> ..." and "< ..." lines.
  std::vector<std::string> TakeExchanges(size_t reader = 0) const;
  std::string ReaderName(size_t reader = 0) const;

  // The socket every private pcscd of this process listens on; set as PCSCLITE_CSOCK_NAME
  // before this process makes its first PC/SC call.
  static std::filesystem::path SocketPath();
  // Points the PC/SC client library of this process at the private socket.
  static void UsePrivateSocket();

 private:
  bool Start();
  bool WaitReady() const;

  lorvane::testing::TempDir dir_;
  size_t readers_;
  pid_t pid_ = -1;
};

}  // namespace lorvane::vreader
