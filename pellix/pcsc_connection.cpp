// SPDX-License-Identifier: MIT
#include "pellix/pcsc_connection.h"

#include <PCSC/pcsclite.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "pellix/trace_channel.h"

namespace lorvane::pellix {
namespace {

constexpr size_t kStatusTextBytes = 200;
constexpr int16_t kTransmit = -13;
constexpr int16_t kNoContext = -9;

}  // namespace

std::vector<const char*> SplitMultiString(const char* list) {
  std::vector<const char*> names;
  for (const char* p = list; p != nullptr && *p != '\0'; p += std::strlen(p) + 1)
    names.push_back(p);
  return names;
}

PcscConnection::PcscConnection() {
  SCARDCONTEXT context = 0;
  lastResult_ = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
  if (lastResult_ == SCARD_S_SUCCESS) {
    context_ = context;
    return;
  }
  if (context != 0) SCardReleaseContext(context);
  DebugTrace("Failed SCardEstablishContext()");
}

PcscConnection::~PcscConnection() {
  ReleaseReaders();
  ReleaseGroups();
  if (card_ != 0) SCardDisconnect(card_, SCARD_LEAVE_CARD);
  if (context_ != 0) SCardReleaseContext(context_);
}

void PcscConnection::SetStatusText(const std::string& text) {
  statusText_ = text.substr(0, kStatusTextBytes - 1);
}

int16_t PcscConnection::NoContext() {
  SetStatusText("Not ready : Smart Card Context nothing.");
  return kNoContext;
}

int16_t PcscConnection::ApiError(LONG result, int16_t status) {
  char text[64];
  const auto code = static_cast<int32_t>(result);  // as the 32-bit LONG of the platform API
  std::snprintf(text, sizeof text, "SmartCard API Error : %ld (0x%08X)", static_cast<long>(code),
                static_cast<uint32_t>(code));
  SetStatusText(text);
  return status;
}

template <typename Step>
int16_t PcscConnection::Guarded(Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    SetStatusText("Memory allocate error.");
    return -4;
  } catch (...) {
    SetStatusText("Unknown fatal error.");
    return -1;
  }
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
  DWORD length = SCARD_AUTOALLOCATE;
  lastResult_ = SCardListReaderGroups(context_, reinterpret_cast<LPSTR>(&list), &length);
  if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, kTransmit);
  groupList_ = list;
  currentGroup_ = 0;
  try {
    groupNames_ = SplitMultiString(groupList_);
  } catch (const std::bad_alloc&) {
    SetStatusText("Smart card reader group name list : memory allocate error.");
    return -4;
  }
  groupsListed_ = true;
  return 0;
}

const char* PcscConnection::GetSCReaderGroupName(uint32_t index) {
  if (!groupsListed_ && GetSCReaderGroup() < 0) return nullptr;
  if (index >= groupNames_.size()) {
    SetStatusText("GetSCReaderGroupName() : Invalid parameter.");
    return nullptr;
  }
  return groupNames_[index];
}

int16_t PcscConnection::SelectGroup(uint32_t index) {
  if (index >= groupNames_.size()) return 0;
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
  DWORD length = SCARD_AUTOALLOCATE;
  lastResult_ = SCardListReaders(context_, groups, reinterpret_cast<LPSTR>(&list), &length);
  if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, -40);
  readerList_ = list;
  currentReader_ = 0;
  readerNames_ = SplitMultiString(readerList_);
  readersListed_ = true;
  return 0;
}

const char* PcscConnection::GetReaderName(uint32_t index) {
  if (!readersListed_ && GetSCReader() < 0) return nullptr;
  if (index >= readerNames_.size()) {
    SetStatusText("GetReaderName() : Invalid parameter.");
    return nullptr;
  }
  return readerNames_[index];
}

void PcscConnection::SelectReader(uint32_t index) {
  if (index < readerNames_.size()) currentReader_ = index;
}

int16_t PcscConnection::Connect() {
  const int16_t status = Guarded([&]() -> int16_t {
    if (context_ == 0) return NoContext();
    if (readerNames_.empty()) {
      SetStatusText("Not find : Smart Card reader nothing.");
      return -42;
    }
    SCARDHANDLE handle = 0;
    DWORD protocol = 0;
    lastResult_ = SCardConnect(context_, readerNames_[currentReader_], SCARD_SHARE_SHARED,
                               SCARD_PROTOCOL_T0, &handle, &protocol);
    if (lastResult_ != SCARD_S_SUCCESS) {
      if (handle != 0) SCardDisconnect(handle, SCARD_LEAVE_CARD);
      return ApiError(lastResult_, -42);
    }
    card_ = handle;
    return SetRetryTime();
  });
  DebugTrace("Connect() : %s", statusText_.c_str());
  return status;
}

int16_t PcscConnection::SetRetryTime() {
  static constexpr uint8_t kMaxRetriesZero[] = {0xFF, 0x00, 0x00, 0x00, 0x06, 0xD4,
                                                0x32, 0x05, 0x00, 0x00, 0x00};
  Reply reply;
  const int16_t status = Exchange(kMaxRetriesZero, kReplyCapacity, reply);
  DebugTrace("SetRetryTime() : %s", statusText_.c_str());
  return status;
}

int16_t PcscConnection::Disconnect() {
  const int16_t status = Guarded([&]() -> int16_t {
    if (card_ == 0) {
      SetStatusText("Already disconnected.");
      return 3;
    }
    if (context_ == 0) return NoContext();
    lastResult_ = SCardDisconnect(card_, SCARD_LEAVE_CARD);
    if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, kTransmit);
    card_ = 0;
    return 0;
  });
  DebugTrace("Disconnect() : %s", statusText_.c_str());
  return status;
}

int16_t PcscConnection::Exchange(std::span<const uint8_t> command, size_t capacity, Reply& reply,
                                 int16_t unavailableStatus) {
  return Guarded([&]() -> int16_t {
    capacity = std::min(capacity, reply.bytes.size());
    reply.length = 0;
    DWORD length = static_cast<DWORD>(capacity);
    lastResult_ =
        SCardTransmit(card_, SCARD_PCI_T0, command.data(), static_cast<DWORD>(command.size()),
                      nullptr, reply.bytes.data(), &length);
    if (lastResult_ != SCARD_S_SUCCESS) {
      ApiError(lastResult_, kTransmit);
      return (unavailableStatus != 0 && lastResult_ == SCARD_E_READER_UNAVAILABLE)
                 ? unavailableStatus
                 : kTransmit;
    }
    reply.length = std::min<size_t>(length, capacity);
    if (reply.length < 2 || reply[0] != 0x61) {
      char text[48];
      std::snprintf(text, sizeof text, "Reader Error : %02X,%02X.", reply[0], reply[1]);
      SetStatusText(text);
      reply.length = 0;
      return kTransmit;
    }
    reply.announced = reply[1];
    const uint8_t getResponse[] = {0xFF, 0xC0, 0x00, 0x00, reply.announced};
    length = static_cast<DWORD>(capacity);
    lastResult_ = SCardTransmit(card_, SCARD_PCI_T0, getResponse, sizeof getResponse, nullptr,
                                reply.bytes.data(), &length);
    if (lastResult_ != SCARD_S_SUCCESS) {
      reply.length = 0;
      return ApiError(lastResult_, kTransmit);
    }
    reply.length = std::min<size_t>(length, capacity);
    return 0;
  });
}

}  // namespace lorvane::pellix
