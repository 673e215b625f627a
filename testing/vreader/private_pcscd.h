// SPDX-License-Identifier: MIT
// A private pcscd for one test: its own reader.conf with virtual ACR122 readers, started by
// socket activation on a socket of this test process, stopped by pid.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "testing/support/temp_dir.h"
#include "testing/vreader/acr122_model.h"

namespace lorvane::vreader {

// For test names and messages.
void PrintTo(ReaderKind kind, std::ostream* out);

class PrivatePcscd {
 public:
  // Starts pcscd with `readers` virtual readers of one kind (0 is allowed: no reader at
  // all). Each reader gets a control folder; reader i is named "ACS ACR122 0i 00" by pcscd,
  // or "ACS ACR122U PICC Interface 0i 00" for the kind without a SAM.
  // With `card`, that card image lies on every reader from the start.
  explicit PrivatePcscd(size_t readers = 1, ReaderKind kind = ReaderKind::kSam,
                        const std::filesystem::path& card = {});
  // Readers of several kinds, reader i of kinds[i]. pcscd names them by kind: "SONY FeliCa
  // RC-S300/P (0201504) 0i 00", "ACS ACR1252 Reader [ACR1252 Reader PICC] 0i 00",
  // "Contactless Reader 0i 00" (a plain one).
  explicit PrivatePcscd(std::vector<ReaderKind> kinds, const std::filesystem::path& card = {});
  ~PrivatePcscd();
  PrivatePcscd(const PrivatePcscd&) = delete;
  PrivatePcscd& operator=(const PrivatePcscd&) = delete;

  bool running() const { return pid_ > 0; }
  void Stop();
  // Stops pcscd where it stands (SIGSTOP) or lets it go on: stopped, it still accepts on its
  // socket but answers nothing.
  void Pause(bool paused) const;
  // The control folder of reader i (see reader_control.h).
  std::filesystem::path Control(size_t reader = 0) const;
  void SetCard(const std::filesystem::path& image, size_t reader = 0) const;
  void RemoveCard(size_t reader = 0) const;
  void SetFault(const std::string& faults, size_t reader = 0) const;
  // Whether the reader driver allows escape commands (the kind without a SAM only).
  void AllowEscape(bool allowed, size_t reader = 0) const;
  // Waits until pcscd sees the reader's card (the SAM, or the card on a reader without one)
  // present or absent: it looks every 0.4 s. False after 5 s without.
  bool WaitForCard(bool present, size_t reader = 0) const;
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
  void Prepare(const std::filesystem::path& card);
  bool WaitReady() const;

  lorvane::testing::TempDir dir_;
  size_t readers_;
  std::vector<ReaderKind> kinds_;
  pid_t pid_ = -1;
};

}  // namespace lorvane::vreader
