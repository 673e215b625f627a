// SPDX-License-Identifier: MIT
#include "pellix/pcsc_call_bound.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/bounded_call.h"

namespace lorvane::pellix {
namespace {

void Anchor() {}

}  // namespace

LONG BoundedPcscCall(std::function<LONG()> call, std::chrono::milliseconds limit) {
  if (PcscServiceHung()) return SCARD_E_TIMEOUT;
  const std::optional<LONG> result =
      platform::CallWithin(std::move(call), limit, reinterpret_cast<void*>(&Anchor));
  if (result) return *result;
  MarkPcscServiceHung();
  return SCARD_E_TIMEOUT;
}

LONG BoundedEstablishContext(DWORD scope, SCARDCONTEXT* context) {
  auto out = std::make_shared<SCARDCONTEXT>(0);
  const LONG result = BoundedPcscCall(
      [scope, out] { return SCardEstablishContext(scope, nullptr, nullptr, out.get()); });
  if (result != SCARD_E_TIMEOUT) *context = *out;  // a call left waiting may still write
  return result;
}

LONG BoundedReleaseContext(SCARDCONTEXT context) {
  return BoundedPcscCall([context] { return SCardReleaseContext(context); });
}

LONG BoundedListReaderGroups(SCARDCONTEXT context, LPSTR* list) {
  auto out = std::make_shared<LPSTR>(nullptr);
  const LONG result = BoundedPcscCall([context, out] {
    DWORD length = SCARD_AUTOALLOCATE;
    return SCardListReaderGroups(context, reinterpret_cast<LPSTR>(out.get()), &length);
  });
  if (result == SCARD_S_SUCCESS) *list = *out;
  return result;
}

LONG BoundedListReaders(SCARDCONTEXT context, const char* groups, LPSTR* list) {
  // The multi-string with its closing empty string, owned by the call.
  auto copy = std::make_shared<std::vector<char>>();
  for (const char* p = groups; p != nullptr;) {
    const size_t n = std::strlen(p);
    copy->insert(copy->end(), p, p + n + 1);
    p = n == 0 ? nullptr : p + n + 1;
  }
  auto out = std::make_shared<LPSTR>(nullptr);
  const LONG result = BoundedPcscCall([context, copy, out] {
    DWORD length = SCARD_AUTOALLOCATE;
    return SCardListReaders(context, copy->empty() ? nullptr : copy->data(),
                            reinterpret_cast<LPSTR>(out.get()), &length);
  });
  if (result == SCARD_S_SUCCESS) *list = *out;
  return result;
}

LONG BoundedConnect(SCARDCONTEXT context, const std::string& reader, DWORD share, DWORD protocols,
                    SCARDHANDLE* card, DWORD* protocol) {
  struct Out {
    SCARDHANDLE card = 0;
    DWORD protocol = SCARD_PROTOCOL_UNDEFINED;
  };
  auto out = std::make_shared<Out>();
  const LONG result = BoundedPcscCall([context, reader, share, protocols, out] {
    return SCardConnect(context, reader.c_str(), share, protocols, &out->card, &out->protocol);
  });
  if (result != SCARD_E_TIMEOUT) *card = out->card, *protocol = out->protocol;
  return result;
}

LONG BoundedDisconnect(SCARDHANDLE card, DWORD disposition) {
  return BoundedPcscCall([card, disposition] { return SCardDisconnect(card, disposition); });
}

LONG BoundedTransmit(SCARDHANDLE card, const SCARD_IO_REQUEST* pci, std::span<const uint8_t> apdu,
                     uint8_t* answer, DWORD* length) {
  struct Io {
    std::vector<uint8_t> apdu, answer;
    DWORD length = 0;
  };
  auto io = std::make_shared<Io>();
  io->apdu.assign(apdu.begin(), apdu.end());
  io->answer.resize(*length);
  io->length = *length;
  const LONG result = BoundedPcscCall([card, pci, io] {
    return SCardTransmit(card, pci, io->apdu.data(), static_cast<DWORD>(io->apdu.size()), nullptr,
                         io->answer.data(), &io->length);
  });
  if (result == SCARD_S_SUCCESS) {
    *length = std::min<DWORD>(io->length, static_cast<DWORD>(io->answer.size()));
    std::copy_n(io->answer.begin(), *length, answer);
  }
  return result;
}

LONG BoundedControl(SCARDHANDLE card, DWORD code, std::span<const uint8_t> input, uint8_t* answer,
                    DWORD capacity, DWORD* length) {
  struct Io {
    std::vector<uint8_t> input, answer;
    DWORD length = 0;
  };
  auto io = std::make_shared<Io>();
  io->input.assign(input.begin(), input.end());
  io->answer.resize(capacity);
  const LONG result = BoundedPcscCall([card, code, io] {
    return SCardControl(card, code, io->input.empty() ? nullptr : io->input.data(),
                        static_cast<DWORD>(io->input.size()), io->answer.data(),
                        static_cast<DWORD>(io->answer.size()), &io->length);
  });
  if (result == SCARD_S_SUCCESS) {
    *length = std::min<DWORD>(io->length, capacity);
    std::copy_n(io->answer.begin(), *length, answer);
  }
  return result;
}

}  // namespace lorvane::pellix
