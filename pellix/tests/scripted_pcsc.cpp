// SPDX-License-Identifier: MIT
#include "pellix/tests/scripted_pcsc.h"

#include <algorithm>

#include "pellix/tests/hex_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lorvane::pellix::testing {
namespace {

const char* WayName(Way way) {
  switch (way) {
    case Way::kT0:
      return "T=0";
    case Way::kT1:
      return "T=1";
    case Way::kEscape:
      return "escape";
  }
  return "?";
}

}  // namespace

std::vector<uint8_t> BytesOf(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

std::vector<Frame> T0(const std::string& sent, const std::string& answer) {
  const size_t length = BytesOf(answer).size();
  char waiting[8], getResponse[24];
  std::snprintf(waiting, sizeof waiting, "61 %02zX", length);
  std::snprintf(getResponse, sizeof getResponse, "FF C0 00 00 %02zX", length);
  return {{Way::kT0, sent, waiting}, {Way::kT0, getResponse, answer}};
}

std::vector<Frame> T1(const std::string& sent, const std::string& answer) {
  return {{Way::kT1, sent, answer}};
}

std::vector<Frame> Escape(const std::string& sent, const std::string& answer) {
  return {{Way::kEscape, sent, answer}};
}

ScriptedPcsc& ScriptedPcsc::Current() {
  static ScriptedPcsc script;
  return script;
}

void ScriptedPcsc::Reset() { *this = ScriptedPcsc{}; }

LONG ScriptedPcsc::List(char** out, DWORD* length, bool groups) {
  if (!groups && listResult != SCARD_S_SUCCESS) return listResult;
  std::string list;
  for (const std::string& name :
       groups ? std::vector<std::string>{"SCard$DefaultReaders"} : readers)
    list += name + '\0';
  list += '\0';
  char* copy = static_cast<char*>(std::malloc(list.size()));
  std::memcpy(copy, list.data(), list.size());
  *out = copy;
  *length = static_cast<DWORD>(list.size());
  return SCARD_S_SUCCESS;
}

LONG ScriptedPcsc::Connect(DWORD share, DWORD wanted, SCARDHANDLE* card, DWORD* protocol) {
  if (connections.empty()) {
    problems.push_back("unexpected connection");
    return SCARD_E_NO_SERVICE;
  }
  const Connection next = connections.front();
  connections.pop_front();
  if (next.share != share)
    problems.push_back("connection with share mode " + std::to_string(share));
  if (share == SCARD_SHARE_SHARED && (wanted & next.protocol) == 0)
    problems.push_back("protocol " + std::to_string(next.protocol) + " not offered");
  if (next.result != SCARD_S_SUCCESS) return next.result;
  protocol_ = share == SCARD_SHARE_DIRECT ? SCARD_PROTOCOL_UNDEFINED : next.protocol;
  *protocol = protocol_;
  *card = 0x1234;
  ++openHandles;
  return SCARD_S_SUCCESS;
}

LONG ScriptedPcsc::Disconnect() {
  if (openHandles == 0)
    problems.push_back("disconnect without a connection");
  else
    --openHandles;
  return SCARD_S_SUCCESS;
}

LONG ScriptedPcsc::Exchange(Way way, const uint8_t* sent, DWORD sentLength, uint8_t* answer,
                            DWORD* length) {
  const std::string hex = Hex(sent, sentLength);
  if (frames.empty()) {
    problems.push_back(std::string("unexpected ") + WayName(way) + " " + hex);
    return SCARD_E_NOT_TRANSACTED;
  }
  const Frame next = frames.front();
  frames.pop_front();
  if (next.way != way || next.sent != hex) {
    problems.push_back(std::string("sent ") + WayName(way) + " " + hex + ", expected " +
                       WayName(next.way) + " " + next.sent);
  }
  if (next.result != SCARD_S_SUCCESS) return next.result;
  const std::vector<uint8_t> bytes = BytesOf(next.reply);
  if (bytes.size() > *length) return SCARD_E_INSUFFICIENT_BUFFER;
  std::memcpy(answer, bytes.data(), bytes.size());
  *length = static_cast<DWORD>(bytes.size());
  return SCARD_S_SUCCESS;
}

}  // namespace lorvane::pellix::testing

using lorvane::pellix::testing::ScriptedPcsc;
using lorvane::pellix::testing::Way;

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
  return ScriptedPcsc::Current().List(reinterpret_cast<char**>(groups), length, true);
}
LONG SCardListReaders(SCARDCONTEXT, LPCSTR, LPSTR readers, LPDWORD length) {
  return ScriptedPcsc::Current().List(reinterpret_cast<char**>(readers), length, false);
}
LONG SCardConnect(SCARDCONTEXT, LPCSTR, DWORD share, DWORD wanted, LPSCARDHANDLE card,
                  LPDWORD protocol) {
  return ScriptedPcsc::Current().Connect(share, wanted, card, protocol);
}
LONG SCardDisconnect(SCARDHANDLE, DWORD) { return ScriptedPcsc::Current().Disconnect(); }
LONG SCardTransmit(SCARDHANDLE, const SCARD_IO_REQUEST* pci, LPCBYTE sent, DWORD sentLength,
                   SCARD_IO_REQUEST*, LPBYTE answer, LPDWORD length) {
  const Way way = pci->dwProtocol == SCARD_PROTOCOL_T1 ? Way::kT1 : Way::kT0;
  return ScriptedPcsc::Current().Exchange(way, sent, sentLength, answer, length);
}
LONG SCardControl(SCARDHANDLE, DWORD code, LPCVOID sent, DWORD sentLength, LPVOID answer,
                  DWORD capacity, LPDWORD length) {
  constexpr DWORD kGetFeatureRequest = 0x42000000 + 3400;
  const ScriptedPcsc& script = ScriptedPcsc::Current();
  if (code == kGetFeatureRequest && !script.features.empty()) {
    const std::vector<uint8_t> list = lorvane::pellix::testing::BytesOf(script.features);
    if (list.size() > capacity) return SCARD_E_INSUFFICIENT_BUFFER;
    std::copy(list.begin(), list.end(), static_cast<uint8_t*>(answer));
    *length = static_cast<DWORD>(list.size());
    return SCARD_S_SUCCESS;
  }
  if (code != 0x42000001) return SCARD_E_UNSUPPORTED_FEATURE;
  *length = capacity;
  return ScriptedPcsc::Current().Exchange(Way::kEscape, static_cast<const uint8_t*>(sent),
                                          sentLength, static_cast<uint8_t*>(answer), length);
}

}  // extern "C"
