// SPDX-License-Identifier: MIT
// lorvane --read through Pellix, pcscd and the virtual ACR122 on a card with a 20-record
// history: median wall time, exchanges with the reader and peak memory per run.
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

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
  const fs::path bin = LORVANE_BIN_DIR;
  lorvane::testing::TempDir dir;
  for (const char* file : {"lorvane", "pellix.so", "cardimage.so"})
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

  lorvane::vreader::PrivatePcscd pcscd(1);
  if (!pcscd.running()) {
    std::fprintf(stderr, "pcscd did not start (it needs root and the pcscd package)\n");
    return 1;
  }
  pcscd.SetCard(cardFile);
  const std::string program = (dir.path() / "lorvane").string();
  std::vector<double> times;
  long peakKb = 0;
  size_t exchanges = 0;
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches and writes the registry
    pcscd.TakeExchanges();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      freopen("/dev/null", "w", stdout);
      execl(program.c_str(), "lorvane", "--read", "--json", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "lorvane --read failed (status %d)\n", status);
      return 1;
    }
    size_t sent = 0;
    for (const auto& line : pcscd.TakeExchanges()) sent += line.rfind("> ", 0) == 0;
    if (run == 0) continue;
    times.push_back(ms);
    peakKb = std::max(peakKb, usage.ru_maxrss);
    exchanges = sent;
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "lorvane --read --json through pellix.so, pcscd and the virtual ACR122 (20-record "
      "history)\n");
  std::printf("runs: %d\n", runs);
  std::printf("median wall time: %.1f ms (min %.1f, max %.1f)\n", times[times.size() / 2],
              times.front(), times.back());
  std::printf("exchanges with the reader per run: %zu\n", exchanges);
  std::printf("peak memory (max RSS): %.1f MB\n", static_cast<double>(peakKb) / 1024.0);
  return 0;
}
