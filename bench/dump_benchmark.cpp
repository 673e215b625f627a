// SPDX-License-Identifier: MIT
// lorvane --dump through Pellix, pcscd and the virtual readers (with and without a SAM) on a
// card laid out like a Suica: 3 systems, their areas, 20 services of which 13 can be read
// without a key. Prints the exchanges with the reader against two floors:
//   known lengths  what a dump needs that knew every service's length beforehand: the same
//                  polls and searches, and one read per 12 blocks of each service
//   proven ends    the same plus one refused read per service, the least with which a dump
//                  that does not know the lengths can show where each service ends
// and the wall time of the dump.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "testing/support/program_folder.h"
#include "testing/vreader/private_pcscd.h"

namespace fs = std::filesystem;
using lorvane::cardimage::CardImage;
using lorvane::cardimage::CardService;
using lorvane::cardimage::CardSystem;
using lorvane::vreader::ReaderKind;

namespace {

constexpr size_t kBatch = 12;

CardService Service(uint16_t code, size_t blocks) {
  CardService s{code, {}};
  for (size_t i = 0; i < blocks; ++i) {
    lorvane::cardimage::Block b{};
    for (size_t j = 0; j < b.size(); ++j) b[j] = static_cast<uint8_t>(code + i * 17 + j);
    s.blocks.push_back(b);
  }
  return s;
}

CardImage SuicaLikeCard() {
  CardImage card;
  card.idm = {0x01, 0x01, 0x02, 0x14, 0xFB, 0x0B, 0x39, 0x06};
  card.pmm = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};
  CardSystem transit{0x0003, card.idm, {}, {}};
  transit.areas = {{0x0000, 0xFFFE}, {0x0040, 0x07FF}, {0x0800, 0x0FBF}, {0x0FC0, 0x7FFF},
                   {0x1000, 0x17BF}, {0x17C0, 0x7FFF}, {0x1800, 0x1A3F}, {0x2300, 0x23FF}};
  transit.services = {Service(0x0048, 0),  Service(0x004A, 0), Service(0x0088, 0),
                      Service(0x008B, 1),  Service(0x0810, 0), Service(0x090F, 20),
                      Service(0x108F, 3),  Service(0x10CB, 2), Service(0x184B, 36),
                      Service(0x194B, 16), Service(0x234B, 4), Service(0x238B, 16)};
  CardSystem common{0xFE00, card.idm, {{0x0000, 0xFFFE}, {0x3940, 0x39FF}, {0x3980, 0x39BF}}, {}};
  common.idm[0] = 0x02;
  common.services = {Service(0x3948, 0), Service(0x394B, 1), Service(0x398B, 16),
                     Service(0x39C9, 6)};
  CardSystem third{0x86A7, card.idm, {{0x0000, 0xFFFE}, {0x0040, 0x007F}, {0x0280, 0x02BF}}, {}};
  third.idm[0] = 0x03;
  third.services = {Service(0x0048, 0), Service(0x004B, 5), Service(0x0288, 0), Service(0x028B, 5)};
  card.systems = {transit, common, third};
  return card;
}

struct Floors {
  size_t knownLengths = 0;
  size_t provenEnds = 0;
};

// Connecting (1), the first poll (poll and Request System Code, 2), each system's poll (2),
// Search Service Code for every node and the one past the end, and the reads.
Floors FloorsOf(const CardImage& card) {
  Floors f;
  f.knownLengths = 1 + 2;
  for (const CardSystem& system : card.systems) {
    f.knownLengths += 2 + system.areas.size() + system.services.size() + 1;
    for (const CardService& service : system.services) {
      if ((service.code & 1) == 0) continue;
      f.knownLengths += (service.blocks.size() + kBatch - 1) / kBatch;
      ++f.provenEnds;
    }
  }
  f.provenEnds += f.knownLengths;
  return f;
}

// Exchanges: commands sent, without the GET RESPONSE that fetches a SAM reader's answer.
size_t Exchanges(const std::vector<std::string>& log) {
  size_t n = 0;
  for (const auto& line : log) n += line.rfind("> ", 0) == 0 && line.rfind("> FF C0 ", 0) != 0;
  return n;
}

bool Dump(const fs::path& lorvane, const fs::path& out, double& ms) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stderr);
    execl(lorvane.c_str(), "lorvane", "--dump", out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
  const CardImage card = SuicaLikeCard();
  lorvane::testing::ProgramFolder program(LORVANE_BIN_DIR);
  const fs::path cardFile =
      program.dir().Write("card.json", lorvane::cardimage::SerializeCardImageJson(card));
  const Floors floors = FloorsOf(card);
  std::printf("lorvane --dump through pellix.so and pcscd: 3 systems, 14 areas, 20 services\n");
  std::printf("floor with known lengths: %zu exchanges; with proven ends: %zu\n",
              floors.knownLengths, floors.provenEnds);
  for (const ReaderKind kind : {ReaderKind::kSam, ReaderKind::kPicc}) {
    lorvane::vreader::PrivatePcscd pcscd(1, kind, cardFile);
    if (!pcscd.running()) {
      std::fprintf(stderr, "pcscd did not start (it needs root and the pcscd package)\n");
      return 1;
    }
    double ms = 0;
    const fs::path out = program.dir().path() / "dump.json";
    pcscd.TakeExchanges();
    if (!Dump(program.Lorvane(), out, ms)) {
      std::fprintf(stderr, "lorvane --dump failed\n");
      return 1;
    }
    const size_t used = Exchanges(pcscd.TakeExchanges());
    std::printf("%-28s %3zu exchanges: %.2fx known lengths, %.2fx proven ends; %.0f ms\n",
                kind == ReaderKind::kSam ? "ACR122 with SAM (T=0):" : "ACR122U (T=1):", used,
                static_cast<double>(used) / static_cast<double>(floors.knownLengths),
                static_cast<double>(used) / static_cast<double>(floors.provenEnds), ms);
  }
  return 0;
}
