// SPDX-License-Identifier: MIT
// Reads through Pellix, pcscd and the virtual ACR122: 20 blocks one by one with DLL_Read,
// then 255 blocks with one DLL_Read2 call. Prints, for each, the exchanges made with the
// reader, the wall time, and the share of that time spent outside pcscd's round trips.
#include <PCSC/winscard.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "plugin-api/felica_plugin.h"
#include "testing/support/plugin_library.h"
#include "testing/support/temp_dir.h"
#include "testing/vreader/private_pcscd.h"

namespace {

using Clock = std::chrono::steady_clock;
using lorvane::vreader::PrivatePcscd;

lorvane::cardimage::CardImage BenchCard() {
  lorvane::cardimage::CardImage card;
  card.idm = {1, 2, 3, 4, 5, 6, 7, 8};
  lorvane::cardimage::CardSystem system;
  system.code = 0x0003;
  system.idm = card.idm;
  lorvane::cardimage::CardService history{0x090F, {}};
  lorvane::cardimage::CardService big{0x2A0B, {}};
  for (int b = 0; b < 20; ++b) history.blocks.push_back({static_cast<uint8_t>(b)});
  for (int b = 0; b < 255; ++b) big.blocks.push_back({static_cast<uint8_t>(b)});
  system.services = {history, big};
  card.systems = {system};
  return card;
}

// Median time of one APDU round trip through pcscd to the virtual reader.
double MedianRoundTripMs(const std::string& reader) {
  SCARDCONTEXT context = 0;
  SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
  SCardConnect(context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &card, &protocol);
  const uint8_t firmware[] = {0xFF, 0x00, 0x48, 0x00, 0x00};
  std::vector<double> times;
  for (int i = 0; i < 500; ++i) {
    uint8_t reply[64];
    DWORD length = sizeof reply;
    const auto start = Clock::now();
    SCardTransmit(card, SCARD_PCI_T0, firmware, sizeof firmware, nullptr, reply, &length);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  SCardDisconnect(card, SCARD_LEAVE_CARD);
  SCardReleaseContext(context);
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

struct Counts {
  size_t exchanges = 0;
  size_t commands = 0;
  size_t rfConfigurations = 0;
};

Counts Count(const std::vector<std::string>& lines) {
  Counts c;
  for (const auto& line : lines) {
    if (line.rfind("> ", 0) != 0) continue;
    ++c.exchanges;
    if (line.rfind("> FF C0", 0) != 0) ++c.commands;
    if (line.rfind("> FF 00 00 00 06 D4 32", 0) == 0) ++c.rfConfigurations;
  }
  return c;
}

void Report(const char* what, const Counts& c, double wallMs, double rttMs) {
  const double outside = 1.0 - static_cast<double>(c.exchanges) * rttMs / wallMs;
  std::printf(
      "%-28s exchanges %4zu (%zu commands, %.1f per command)  wall %7.2f ms  outside pcscd "
      "%5.1f%%\n",
      what, c.exchanges, c.commands, c.commands ? double(c.exchanges) / double(c.commands) : 0.0,
      wallMs, 100.0 * std::max(0.0, outside));
}

}  // namespace

int main() {
  lorvane::testing::TempDir dir;
  const auto cardFile =
      dir.Write("card.json", lorvane::cardimage::SerializeCardImageJson(BenchCard()));
  PrivatePcscd pcscd(1);
  if (!pcscd.running()) {
    std::fprintf(stderr, "pcscd did not start (it needs root and the pcscd package)\n");
    return 1;
  }
  pcscd.SetCard(cardFile);
  const double rtt = MedianRoundTripMs(pcscd.ReaderName(0));
  pcscd.TakeExchanges();
  std::printf("pcscd round trip (median of 500): %.3f ms\n", rtt);

  lorvane::testing::PluginLibrary library(PELLIX_PLUGIN);
  const auto reqc = library.Get<DLL_REQCFn>(FELICA_EP_REQC);
  const auto read = library.Get<DLL_ReadFn>(FELICA_EP_READ);
  const auto read2 = library.Get<DLL_Read2Fn>(FELICA_EP_READ2);
  const auto close = library.Get<DLL_CloseFn>(FELICA_EP_CLOSE);

  auto start = Clock::now();
  if (reqc(0x0003) != 0) return 1;
  const Counts open = Count(pcscd.TakeExchanges());
  Report("open + poll + system codes", open,
         std::chrono::duration<double, std::milli>(Clock::now() - start).count(), rtt);
  std::printf("RFConfiguration per open: %zu\n", open.rfConfigurations);

  uint8_t data[16 * 255];
  start = Clock::now();
  for (uint8_t b = 0; b < 20; ++b) {
    if (read(0x090F, b, data + 16 * b) != 0) return 1;
  }
  Report("20 blocks, DLL_Read each", Count(pcscd.TakeExchanges()),
         std::chrono::duration<double, std::milli>(Clock::now() - start).count(), rtt);

  std::vector<BlockRef> refs;
  for (int b = 0; b < 255; ++b) refs.push_back({0x2A0B, static_cast<uint8_t>(b)});
  uint8_t count = 255;
  start = Clock::now();
  if (read2(refs.data(), &count, data) != 0 || count != 255) return 1;
  Report("255 blocks, one DLL_Read2", Count(pcscd.TakeExchanges()),
         std::chrono::duration<double, std::milli>(Clock::now() - start).count(), rtt);
  close();
  return 0;
}
