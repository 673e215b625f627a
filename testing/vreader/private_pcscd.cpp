// SPDX-License-Identifier: MIT
#include "testing/vreader/private_pcscd.h"

#include <PCSC/winscard.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace lorvane::vreader {
namespace {

using namespace std::chrono_literals;

int ListenOn(const std::filesystem::path& path) {
  std::filesystem::remove(path);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 32) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

// How many readers the daemon on our socket lists; -1 when it does not answer.
int ListedReaders() {
  SCARDCONTEXT context = 0;
  if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
    return -1;
  DWORD length = 0;
  const LONG rv = SCardListReaders(context, nullptr, nullptr, &length);
  int count = 0;
  if (rv == SCARD_S_SUCCESS) {
    std::string names(length, '\0');
    SCardListReaders(context, nullptr, names.data(), &length);
    for (const char* p = names.c_str(); *p != '\0'; p += std::strlen(p) + 1) ++count;
  }
  SCardReleaseContext(context);
  return count;
}

const char* FriendlyName(ReaderKind kind) {
  switch (kind) {
    case ReaderKind::kSam:
      return "ACS ACR122";
    case ReaderKind::kPicc:
      return "ACS ACR122U PICC Interface";
    case ReaderKind::kRcS300:
      return "SONY FeliCa RC-S300/P (0201504)";
    case ReaderKind::kAcr1252:
      return "ACS ACR1252 Reader [ACR1252 Reader PICC]";
    case ReaderKind::kPlain:
      return "Contactless Reader";
  }
  return "";
}

const char* DevicePrefix(ReaderKind kind) {
  switch (kind) {
    case ReaderKind::kSam:
      return "vreader:";
    case ReaderKind::kPicc:
      return "vreaderu:";
    case ReaderKind::kRcS300:
      return "vrcs300:";
    case ReaderKind::kAcr1252:
      return "vacr1252:";
    case ReaderKind::kPlain:
      return "vplain:";
  }
  return "";
}

}  // namespace

void PrintTo(ReaderKind kind, std::ostream* out) {
  *out << (kind == ReaderKind::kSam    ? "ACR122 with SAM"
           : kind == ReaderKind::kPicc ? "ACR122U without SAM"
                                       : FriendlyName(kind));
}

std::filesystem::path PrivatePcscd::SocketPath() {
  static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                            ("lorvane-pcscd-" + std::to_string(getpid()) + ".comm");
  return path;
}

void PrivatePcscd::UsePrivateSocket() { setenv("PCSCLITE_CSOCK_NAME", SocketPath().c_str(), 1); }

PrivatePcscd::PrivatePcscd(size_t readers, ReaderKind kind, const std::filesystem::path& card)
    : readers_(readers), kinds_(readers, kind) {
  Prepare(card);
}

PrivatePcscd::PrivatePcscd(std::vector<ReaderKind> kinds, const std::filesystem::path& card)
    : readers_(kinds.size()), kinds_(std::move(kinds)) {
  Prepare(card);
}

void PrivatePcscd::Prepare(const std::filesystem::path& card) {
  UsePrivateSocket();
  for (size_t i = 0; i < readers_; ++i) {
    std::filesystem::create_directories(Control(i));
    if (!card.empty()) SetCard(card, i);
  }
  if (!Start() || card.empty()) return;
  for (size_t i = 0; i < readers_; ++i) WaitForCard(true, i);
}

PrivatePcscd::~PrivatePcscd() { Stop(); }

std::filesystem::path PrivatePcscd::Control(size_t reader) const {
  return dir_.path() / ("reader" + std::to_string(reader));
}

std::string PrivatePcscd::ReaderName(size_t reader) const {
  char name[80];
  std::snprintf(name, sizeof name, "%s %02zu 00", FriendlyName(kinds_.at(reader)), reader);
  return name;
}

bool PrivatePcscd::Start() {
  const auto config = dir_.path() / "reader.conf";
  {
    std::ofstream out(config);
    for (size_t i = 0; i < readers_; ++i) {
      out << "FRIENDLYNAME \"" << FriendlyName(kinds_[i]) << "\"\nDEVICENAME "
          << DevicePrefix(kinds_[i]) << Control(i).string() << "\nLIBPATH " << VREADER_DRIVER
          << "\nCHANNELID " << i << "\n\n";
    }
  }
  const int fd = ListenOn(SocketPath());
  if (fd < 0) return false;
  const auto log = dir_.path() / "pcscd.log";
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fd, 3);
    if (fd != 3) close(fd);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    setenv("LISTEN_FDS", "1", 1);
    setenv("LISTEN_PID", std::to_string(getpid()).c_str(), 1);
    execlp("pcscd", "pcscd", "--foreground", "--config", config.c_str(),
           static_cast<char*>(nullptr));
    execl("/usr/sbin/pcscd", "pcscd", "--foreground", "--config", config.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fd);
  if (pid_ < 0 || !WaitReady()) {
    Stop();
    return false;
  }
  return true;
}

bool PrivatePcscd::WaitReady() const {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    const int listed = ListedReaders();
    if (listed == static_cast<int>(readers_) || (readers_ == 0 && listed == 0)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) return false;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

void PrivatePcscd::Pause(bool paused) const {
  if (pid_ > 0) kill(pid_, paused ? SIGSTOP : SIGCONT);
}

void PrivatePcscd::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGCONT);
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 300 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(10ms);
  if (waitpid(pid_, &status, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  std::error_code ec;
  std::filesystem::remove(SocketPath(), ec);
}

void PrivatePcscd::SetCard(const std::filesystem::path& image, size_t reader) const {
  std::ofstream(Control(reader) / "card") << std::filesystem::absolute(image).string() << '\n';
}

void PrivatePcscd::RemoveCard(size_t reader) const {
  std::error_code ec;
  std::filesystem::remove(Control(reader) / "card", ec);
}

void PrivatePcscd::SetFault(const std::string& faults, size_t reader) const {
  std::ofstream(Control(reader) / "fault") << faults << '\n';
}

void PrivatePcscd::AllowEscape(bool allowed, size_t reader) const {
  std::error_code ec;
  if (allowed) {
    std::ofstream(Control(reader) / "escape") << "allowed\n";
  } else {
    std::filesystem::remove(Control(reader) / "escape", ec);
  }
}

bool PrivatePcscd::WaitForCard(bool present, size_t reader) const {
  SCARDCONTEXT context = 0;
  if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
    return false;
  const std::string name = ReaderName(reader);
  SCARD_READERSTATE state{};
  state.szReader = name.c_str();
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  bool reached = false;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!reached && std::chrono::steady_clock::now() < deadline) {
    const LONG rv = SCardGetStatusChange(context, 200, &state, 1);
    if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) break;
    reached = ((state.dwEventState & SCARD_STATE_PRESENT) != 0) == present;
    state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
  }
  SCardReleaseContext(context);
  return reached;
}

std::vector<std::string> PrivatePcscd::TakeExchanges(size_t reader) const {
  const auto log = Control(reader) / "exchanges.log";
  std::vector<std::string> lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  in.close();
  std::error_code ec;
  std::filesystem::remove(log, ec);
  return lines;
}

}  // namespace lorvane::vreader
