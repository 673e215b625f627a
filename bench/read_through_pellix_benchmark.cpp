// SPDX-License-Identifier: MIT
// lorvane --read through the reader plug-ins, pcscd and each virtual reader on a card with a
// 20-record history, side by side: Pellix on both ACR122s, the PC/SC FeliCa plug-in on the
// RC-S300 and the ACR1252U by each way they carry FeliCa. Per reader: median wall time, the
// exchanges with the reader, the FeliCa commands among them, and peak memory per run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "testing/support/temp_dir.h"
#include "testing/vreader/private_pcscd.h"

namespace fs = std::filesystem;
using lorvane::vreader::ReaderKind;

namespace {

struct Setup {
  const char* reader;
  ReaderKind kind;
  const char* faults;
  bool escape;
};

const Setup kSetups[] = {
    {"ACR122 with a SAM (pellix.so)", ReaderKind::kSam, "", false},
    {"ACR122U (pellix.so)", ReaderKind::kPicc, "", false},
    {"RC-S300, transmit (pcscfelica.so)", ReaderKind::kRcS300, "", false},
    {"RC-S300, escape (pcscfelica.so)", ReaderKind::kRcS300, "transmit-refused", true},
    {"ACR1252U, direct transmit (pcscfelica.so)", ReaderKind::kAcr1252, "transmit-refused", false},
};

// A FeliCa command in any reader's framing: a PN532 poll or data exchange, a transparent
// exchange, or a direct transmit of a FeliCa frame.
bool CarriesFeliCa(const std::string& sent) {
  if (sent.rfind("FF C2 00 01 ", 0) == 0) return true;
  if (sent.rfind("FF 00 00 00 ", 0) != 0 || sent.size() < 20) return false;
  const std::string payload = sent.substr(15);
  return payload.rfind("D4 4A", 0) == 0 || payload.rfind("D4 40", 0) == 0 ||
         payload.rfind("D4", 0) != 0;
}

struct Figures {
  double medianMs = 0, minMs = 0, maxMs = 0;
  size_t exchanges = 0, feliCaCommands = 0;
  long peakKb = 0;
};

bool RunOnce(const std::string& program, double& ms, long& peakKb) {
  std::fflush(stdout);  // the child must not print what the parent buffered
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execl(program.c_str(), "lorvane", "--read", "--json", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  peakKb = std::max(peakKb, usage.ru_maxrss);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Measure(const Setup& setup, const fs::path& folder, const fs::path& cardFile, int runs,
             Figures& figures) {
  lorvane::vreader::PrivatePcscd pcscd(1, setup.kind, cardFile);
  if (!pcscd.running()) return false;
  pcscd.SetFault(setup.faults);
  pcscd.AllowEscape(setup.escape);
  fs::remove(folder / "FeliCaDLL.INI");
  const std::string program = (folder / "lorvane").string();
  std::vector<double> times;
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches and writes the registry
    pcscd.TakeExchanges();
    double ms = 0;
    if (!RunOnce(program, ms, figures.peakKb)) return false;
    const auto lines = pcscd.TakeExchanges();
    if (run == 0) continue;
    times.push_back(ms);
    figures.exchanges = figures.feliCaCommands = 0;
    for (const auto& line : lines) {
      if (line.rfind("> ", 0) != 0) continue;
      ++figures.exchanges;
      figures.feliCaCommands += CarriesFeliCa(line.substr(2));
    }
  }
  std::sort(times.begin(), times.end());
  figures.medianMs = times[times.size() / 2];
  figures.minMs = times.front();
  figures.maxMs = times.back();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 20);
  const fs::path bin = LORVANE_BIN_DIR;
  lorvane::testing::TempDir dir;
  for (const char* file : {"lorvane", "pellix.so", "pcscfelica.so", "cardimage.so"})
    fs::copy(bin / file, dir.path() / file);
  fs::copy(bin / "Define", dir.path() / "Define", fs::copy_options::recursive);

  std::string error;
  auto card = lorvane::cardimage::LoadCardImage(bin / "samples/sample-transit.json", error);
  if (!card) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  auto* history = card->systems[0].FindService(0x090F);
  for (size_t i = 14; i < 20; ++i) history->blocks[i] = history->blocks[i - 14];  // 20 used records
  const auto cardFile = dir.Write("card.json", lorvane::cardimage::SerializeCardImageJson(*card));

  std::printf(
      "lorvane --read --json through the reader plug-ins and pcscd, 20-record history, "
      "%d runs each\n",
      runs);
  std::printf("%-42s %10s %10s %10s %9s %8s\n", "reader (plug-in)", "median ms", "min ms",
              "exchanges", "FeliCa", "peak MB");
  for (const Setup& setup : kSetups) {
    Figures f;
    if (!Measure(setup, dir.path(), cardFile, runs, f)) {
      std::fprintf(stderr,
                   "%s: pcscd did not start or lorvane --read failed (root and the pcscd "
                   "package are needed)\n",
                   setup.reader);
      return 1;
    }
    std::printf("%-42s %10.1f %10.1f %10zu %9zu %8.1f\n", setup.reader, f.medianMs, f.minMs,
                f.exchanges, f.feliCaCommands, static_cast<double>(f.peakKb) / 1024.0);
  }
  return 0;
}
