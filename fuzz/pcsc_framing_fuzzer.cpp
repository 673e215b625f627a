// SPDX-License-Identifier: MIT
// The reader plug-ins' drivers over a smart card service that answers anything: the PC/SC
// calls are replaced by ones that take their results from the input (reader group and reader
// lists as multi-strings, connection results and protocols, feature lists, the reader's
// answers: Pellix's with their 61 xx and GET RESPONSE framing or in one reply, the PC/SC
// FeliCa plug-in's transparent exchanges and direct transmits, by transmit or by the escape
// command), and the driver the first byte picks runs its whole round: scan, open, poll,
// services, reads and writes. Nothing may be read or written outside the lists, the answers
// or the caller's buffers.
#include <PCSC/winscard.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pellix/acs_reader.h"
#include "plugins/pcscfelica/pcsc_felica_link.h"

namespace {

struct Script {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;

  uint8_t Next() { return at < size ? data[at++] : 0; }
  // Up to `limit` bytes of the input.
  std::vector<uint8_t> Take(size_t limit) {
    const size_t n = std::min({static_cast<size_t>(Next()), limit, size - std::min(at, size)});
    std::vector<uint8_t> bytes(data + at, data + at + n);
    at += n;
    return bytes;
  }
  LONG Result() {
    switch (Next() % 16) {
      case 0:
        return SCARD_E_READER_UNAVAILABLE;
      case 1:
        return SCARD_E_NO_SMARTCARD;
      case 2:
        return SCARD_W_REMOVED_CARD;
      default:
        return SCARD_S_SUCCESS;
    }
  }
} g_script;

// A multi-string as the service hands it out: names from the input, each ended by a NUL,
// and a NUL after the last.
LONG MultiString(LPSTR out, LPDWORD length) {
  if (out == nullptr || length == nullptr || *length != SCARD_AUTOALLOCATE)
    return SCARD_E_INVALID_PARAMETER;
  if (const LONG result = g_script.Result(); result != SCARD_S_SUCCESS) return result;
  const std::vector<uint8_t> text = g_script.Take(64);
  const size_t names = 1 + g_script.Next() % 3;
  std::vector<char> list;
  static const std::string kKnownNames[] = {"ACS ACR122U PICC Interface ",
                                            "SONY FeliCa RC-S300/P (0201504) "};
  if (const uint8_t pick = g_script.Next(); pick % 2 == 0) {  // a reader of a known kind
    const std::string& name = kKnownNames[pick / 2 % 2];
    list.insert(list.end(), name.begin(), name.end());
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (i > 0 && i % (text.size() / names + 1) == 0) list.push_back('\0');
    list.push_back(text[i] == 0 ? 'x' : static_cast<char>(text[i]));
  }
  list.insert(list.end(), {'\0', '\0'});
  char* copy = static_cast<char*>(std::malloc(list.size()));
  std::memcpy(copy, list.data(), list.size());
  *reinterpret_cast<char**>(out) = copy;
  *length = static_cast<DWORD>(list.size());
  return SCARD_S_SUCCESS;
}

}  // namespace

extern "C" {

LONG SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
  *context = 1;
  return SCARD_S_SUCCESS;
}
LONG SCardReleaseContext(SCARDCONTEXT) { return SCARD_S_SUCCESS; }
LONG SCardFreeMemory(SCARDCONTEXT, LPCVOID memory) {
  std::free(const_cast<void*>(memory));
  return SCARD_S_SUCCESS;
}
LONG SCardListReaderGroups(SCARDCONTEXT, LPSTR groups, LPDWORD length) {
  return MultiString(groups, length);
}
LONG SCardListReaders(SCARDCONTEXT, LPCSTR, LPSTR readers, LPDWORD length) {
  return MultiString(readers, length);
}
LONG SCardConnect(SCARDCONTEXT, LPCSTR, DWORD share, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
  *card = 1;
  *protocol = share == SCARD_SHARE_DIRECT ? SCARD_PROTOCOL_UNDEFINED
              : g_script.Next() % 2 == 0  ? SCARD_PROTOCOL_T0
                                          : SCARD_PROTOCOL_T1;
  return g_script.Result();
}
LONG SCardDisconnect(SCARDHANDLE, DWORD) { return SCARD_S_SUCCESS; }
LONG SCardTransmit(SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE, DWORD, SCARD_IO_REQUEST*,
                   LPBYTE answer, LPDWORD length) {
  const LONG result = g_script.Result();
  const std::vector<uint8_t> bytes = g_script.Take(*length);
  std::copy(bytes.begin(), bytes.end(), answer);
  *length = static_cast<DWORD>(bytes.size());
  return result;
}

LONG SCardControl(SCARDHANDLE, DWORD, LPCVOID, DWORD, LPVOID answer, DWORD capacity,
                  LPDWORD length) {
  const LONG result = g_script.Result();
  const std::vector<uint8_t> bytes = g_script.Take(capacity);
  std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(answer));
  *length = static_cast<DWORD>(bytes.size());
  return result;
}

}  // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The driver's trace lines must not reach a trace viewer (a test's, say) of this user.
  static const int quiet = setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  (void)quiet;
  g_script = Script{data, size, 0};
  std::unique_ptr<lorvane::pellix::FeliCaDriver> driver;
  if (size > 0 && data[0] % 2 == 1) {
    driver =
        std::make_unique<lorvane::pellix::FeliCaDriver>([](lorvane::pellix::PcscConnection& pcsc) {
          return std::unique_ptr<lorvane::pellix::FeliCaLink>(
              std::make_unique<lorvane::pcscfelica::PcscFeliCaLink>(pcsc));
        });
  } else {
    driver = std::make_unique<lorvane::pellix::AcsReader>();
  }
  lorvane::pellix::FeliCaDriver& reader = *driver;
  reader.Initialize();
  for (uint16_t i = 0; i < 4; ++i) reader.ReaderEntryName(i);
  reader.Open(nullptr);
  reader.Poll(0x0003);
  reader.Poll(0xFFFF);
  reader.SetCurrentCard(0);
  for (uint16_t i = 0; i < 3; ++i) reader.SystemCode(i);
  uint32_t code = 0, end = 0;
  for (uint16_t i = 0; i < 3; ++i) reader.ServiceCode(i, &code, &end);
  BlockRef refs[14];
  for (uint8_t i = 0; i < 14; ++i) refs[i] = {i % 2 ? 0x090Fu : 0x1009u, i};
  uint8_t count = 14;
  std::vector<uint8_t> blocks(16 * count);  // exactly 14 blocks: ASan sees any write past them
  reader.Read2(refs, &count, blocks.data());
  if (count > 14) __builtin_trap();
  reader.Read(0x090F, 0, blocks.data());
  reader.Write2(refs, 14, blocks.data());
  reader.Close();
  return 0;
}
