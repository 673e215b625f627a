// SPDX-License-Identifier: MIT
#include "pellix/pcsc_connection.h"

#include <PCSC/pcsclite.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "pellix/pcsc_call_bound.h"
#include "pellix/trace_channel.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {
namespace {

constexpr size_t kStatusTextBytes = 200;
constexpr size_t kFeatureListBytes = 256;

}  // namespace

std::vector<const char*> SplitMultiString(const char* list) {
  std::vector<const char*> names;
  for (const char* p = list; p != nullptr && *p != '\0'; p += std::strlen(p) + 1)
    names.push_back(p);
  return names;
}

PcscConnection::PcscConnection() : escapeCode_(wire::kEscapeControlCode) {
  SCARDCONTEXT context = 0;
  lastResult_ = BoundedEstablishContext(SCARD_SCOPE_USER, &context);
  if (lastResult_ == SCARD_S_SUCCESS) {
    context_ = context;
    return;
  }
  if (context != 0) BoundedReleaseContext(context);
  DebugTrace("Failed SCardEstablishContext()");
}

PcscConnection::~PcscConnection() {
  ReleaseReaders();
  ReleaseGroups();
  if (card_ != 0) BoundedDisconnect(card_, SCARD_LEAVE_CARD);
  if (context_ != 0) BoundedReleaseContext(context_);
}

void PcscConnection::SetStatusText(const std::string& text) {
  statusText_ = text.substr(0, kStatusTextBytes - 1);
}

int16_t PcscConnection::Report(Outcome outcome) {
  return Report(outcome, Describe(outcome).status);
}

int16_t PcscConnection::Report(Outcome outcome, int16_t status) {
  SetStatusText(Describe(outcome).text);
  return status;
}

int16_t PcscConnection::NoContext() { return Report(Outcome::kNoContext); }

int16_t PcscConnection::ApiError(LONG result, int16_t status) {
  SetStatusText(ApiErrorText(result));
  return status;
}

void PcscConnection::ReleaseGroups() {
  if (groupList_ != nullptr) SCardFreeMemory(context_, groupList_);
  groupList_ = nullptr;
  groupNames_.clear();
  groupsListed_ = false;
}

void PcscConnection::ReleaseReaders() {
  if (readerList_ != nullptr) SCardFreeMemory(context_, readerList_);
  readerList_ = nullptr;
  readerNames_.clear();
  readersListed_ = false;
}

int16_t PcscConnection::GetSCReaderGroup() {
  const int16_t status = Guarded([&] { return ListGroups(); });
  if (status < 0) ReleaseGroups();
  DebugTrace("GetSCReaderGroup() : %s\n", statusText_.c_str());
  return status;
}

int16_t PcscConnection::ListGroups() {
  if (context_ == 0) return NoContext();
  ReleaseGroups();
  LPSTR list = nullptr;
  lastResult_ = BoundedListReaderGroups(context_, &list);
  if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, FELICA_E_TRANSMIT);
  groupList_ = list;
  currentGroup_ = 0;
  try {
    groupNames_ = SplitMultiString(groupList_);
  } catch (const std::bad_alloc&) {
    return Report(Outcome::kGroupListMemory);
  }
  groupsListed_ = true;
  return FELICA_OK;
}

const char* PcscConnection::GetSCReaderGroupName(uint32_t index) {
  if (!groupsListed_ && GetSCReaderGroup() < 0) return nullptr;
  if (index >= groupNames_.size()) {
    Report(Outcome::kInvalidGroupIndex);
    return nullptr;
  }
  return groupNames_[index];
}

int16_t PcscConnection::SelectGroup(uint32_t index) {
  if (index >= groupNames_.size()) return FELICA_OK;
  currentGroup_ = index;
  return GetSCReader();
}

int16_t PcscConnection::GetSCReader() {
  const int16_t status = Guarded([&] { return ListReaders(); });
  if (status < 0) ReleaseReaders();
  DebugTrace("GetSCReader() : %s\n", statusText_.c_str());
  return status;
}

int16_t PcscConnection::ListReaders() {
  if (context_ == 0) return NoContext();
  ReleaseReaders();
  // The group argument is a multi-string: it covers this group and every one after it.
  const char* groups = currentGroup_ < groupNames_.size() ? groupNames_[currentGroup_] : nullptr;
  LPSTR list = nullptr;
  lastResult_ = BoundedListReaders(context_, groups, &list);
  if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, FELICA_E_LIST_READERS);
  readerList_ = list;
  currentReader_ = 0;
  readerNames_ = SplitMultiString(readerList_);
  readersListed_ = true;
  return FELICA_OK;
}

const char* PcscConnection::GetReaderName(uint32_t index) {
  if (!readersListed_ && GetSCReader() < 0) return nullptr;
  if (index >= readerNames_.size()) {
    Report(Outcome::kInvalidReaderIndex);
    return nullptr;
  }
  return readerNames_[index];
}

void PcscConnection::SelectReader(uint32_t index) {
  if (index < readerNames_.size()) currentReader_ = index;
}

int16_t PcscConnection::ChooseReader() {
  if (context_ == 0) return NoContext();
  if (readerNames_.empty()) return Report(Outcome::kNoReader);
  readerName_ = readerNames_[currentReader_];
  return FELICA_OK;
}

LONG PcscConnection::ConnectShared() {
  return ConnectWith(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, Link::kCard);
}

LONG PcscConnection::ConnectDirect() {
  return ConnectWith(SCARD_SHARE_DIRECT, SCARD_PROTOCOL_UNDEFINED, Link::kEscape);
}

LONG PcscConnection::ConnectWith(DWORD share, DWORD protocols, Link link) {
  SCARDHANDLE handle = 0;
  DWORD protocol = SCARD_PROTOCOL_UNDEFINED;
  lastResult_ = BoundedConnect(context_, readerName_, share, protocols, &handle, &protocol);
  if (lastResult_ != SCARD_S_SUCCESS) {
    if (handle != 0) BoundedDisconnect(handle, SCARD_LEAVE_CARD);
    return lastResult_;
  }
  card_ = handle;
  protocol_ = protocol;
  link_ = link;
  return lastResult_;
}

void PcscConnection::DropHandle() {
  if (card_ != 0) BoundedDisconnect(card_, SCARD_LEAVE_CARD);
  card_ = 0;
  link_ = Link::kNone;
  protocol_ = SCARD_PROTOCOL_UNDEFINED;
}

int16_t PcscConnection::Disconnect() {
  const int16_t status = Guarded([&]() -> int16_t {
    if (link_ == Link::kAwaitingCard) {
      link_ = Link::kNone;
      return FELICA_OK;
    }
    if (card_ == 0) return Report(Outcome::kAlreadyDisconnected);
    if (context_ == 0) return NoContext();
    lastResult_ = BoundedDisconnect(card_, SCARD_LEAVE_CARD);
    if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, FELICA_E_TRANSMIT);
    card_ = 0;
    link_ = Link::kNone;
    return FELICA_OK;
  });
  DebugTrace("Disconnect() : %s", statusText_.c_str());
  return status;
}

LONG PcscConnection::Send(std::span<const uint8_t> apdu, uint8_t* answer, size_t capacity,
                          size_t& received) {
  if (link_ == Link::kEscape) return Control(escapeCode_, apdu, answer, capacity, received);
  received = 0;
  if (tap_ != nullptr) tap_->Sent(apdu);
  DWORD length = static_cast<DWORD>(capacity);
  const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1 : SCARD_PCI_T0;
  const LONG result = BoundedTransmit(card_, pci, apdu, answer, &length);
  if (result == SCARD_S_SUCCESS) received = std::min<size_t>(length, capacity);
  if (tap_ != nullptr) tap_->Received({answer, received}, result);
  return result;
}

LONG PcscConnection::Control(DWORD code, std::span<const uint8_t> input, uint8_t* answer,
                             size_t capacity, size_t& received) {
  received = 0;
  if (tap_ != nullptr) tap_->Sent(input);
  DWORD length = 0;
  const LONG result =
      BoundedControl(card_, code, input, answer, static_cast<DWORD>(capacity), &length);
  if (result == SCARD_S_SUCCESS) received = std::min<size_t>(length, capacity);
  if (tap_ != nullptr) tap_->Received({answer, received}, result);
  return result;
}

// The feature list is a run of TLVs: tag, length 4, the control code big-endian.
DWORD PcscConnection::AnnouncedEscapeCode() {
  std::array<uint8_t, kFeatureListBytes> list{};
  size_t received = 0;
  lastResult_ = Control(wire::kGetFeatureRequest, {}, list.data(), list.size(), received);
  if (lastResult_ != SCARD_S_SUCCESS) return 0;
  for (size_t at = 0; at + 2 <= received; at += 2 + list[at + 1]) {
    const size_t length = list[at + 1];
    if (list[at] != wire::kFeatureCcidEscape || length != 4 || at + 2 + length > received) continue;
    return static_cast<DWORD>(list[at + 2]) << 24 | static_cast<DWORD>(list[at + 3]) << 16 |
           static_cast<DWORD>(list[at + 4]) << 8 | list[at + 5];
  }
  return 0;
}

}  // namespace lorvane::pellix
