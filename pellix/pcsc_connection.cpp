// SPDX-License-Identifier: MIT
#include "pellix/pcsc_connection.h"

#include <PCSC/pcsclite.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "pellix/trace_channel.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {
namespace {

constexpr size_t kStatusTextBytes = 200;
constexpr char kSamReaderName[] = "ACR122";

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

template <typename Step>
int16_t PcscConnection::Guarded(Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return Report(Outcome::kMemory);
  } catch (...) {
    return Report(Outcome::kUnknownFatal);
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
  DWORD length = SCARD_AUTOALLOCATE;
  lastResult_ = SCardListReaders(context_, groups, reinterpret_cast<LPSTR>(&list), &length);
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

bool IsSamReader(const std::string& name) {
  return name.find(kSamReaderName) != std::string::npos &&
         name.find(wire::kPiccFirmwarePrefix) == std::string::npos &&
         name.find("PICC") == std::string::npos;
}

int16_t PcscConnection::Connect() {
  const int16_t status = Guarded([&] { return ConnectSteps(); });
  DebugTrace("Connect() : %s", statusText_.c_str());
  return status;
}

int16_t PcscConnection::ConnectSteps() {
  if (context_ == 0) return NoContext();
  if (readerNames_.empty()) return Report(Outcome::kNoReader);
  readerName_ = readerNames_[currentReader_];
  lastResult_ = ConnectShared();
  if (lastResult_ == SCARD_S_SUCCESS) return SetRetryTime();
  if (lastResult_ == SCARD_E_NO_SMARTCARD && !IsSamReader(readerName_)) {
    return ConnectWithoutCard();
  }
  return ApiError(lastResult_, FELICA_E_CONNECT);
}

LONG PcscConnection::ConnectShared() {
  SCARDHANDLE handle = 0;
  DWORD protocol = SCARD_PROTOCOL_UNDEFINED;
  const LONG result = SCardConnect(context_, readerName_.c_str(), SCARD_SHARE_SHARED,
                                   SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &handle, &protocol);
  if (result != SCARD_S_SUCCESS) {
    if (handle != 0) SCardDisconnect(handle, SCARD_LEAVE_CARD);
    return result;
  }
  card_ = handle;
  protocol_ = protocol;
  link_ = Link::kCard;
  return result;
}

// No card on a reader without a SAM: the escape command when the driver allows it, else
// wait for a card.
int16_t PcscConnection::ConnectWithoutCard() {
  SCARDHANDLE handle = 0;
  DWORD protocol = SCARD_PROTOCOL_UNDEFINED;
  lastResult_ = SCardConnect(context_, readerName_.c_str(), SCARD_SHARE_DIRECT,
                             SCARD_PROTOCOL_UNDEFINED, &handle, &protocol);
  if (lastResult_ == SCARD_S_SUCCESS) {
    card_ = handle;
    link_ = Link::kEscape;
    if (ProbeEscape()) return SetRetryTime();
    DropHandle();
  } else if (handle != 0) {
    SCardDisconnect(handle, SCARD_LEAVE_CARD);
  }
  link_ = Link::kAwaitingCard;
  Report(Outcome::kCardNothing);
  return FELICA_OK;
}

bool PcscConnection::ProbeEscape() {
  std::array<uint8_t, kReplyCapacity> answer{};
  size_t received = 0;
  lastResult_ = Send(wire::kFirmwareVersion, answer.data(), answer.size(), received);
  if (lastResult_ != SCARD_S_SUCCESS) return false;
  firmware_.clear();
  for (size_t i = 0; i < std::min(received, wire::kFirmwareVersionBytes); ++i) {
    const char c = static_cast<char>(answer[i]);
    firmware_ += (c >= ' ' && c <= '~') ? c : '?';
  }
  DebugTrace("Reader firmware : %s", firmware_.c_str());
  return true;
}

int16_t PcscConnection::AttachCard() {
  if (link_ != Link::kAwaitingCard) return FELICA_OK;
  const int16_t status = Guarded([&]() -> int16_t {
    lastResult_ = ConnectShared();
    if (lastResult_ == SCARD_S_SUCCESS) return SetRetryTime();
    if (lastResult_ == SCARD_E_NO_SMARTCARD || lastResult_ == SCARD_W_REMOVED_CARD) {
      return Report(Outcome::kCardNothing);
    }
    return ApiError(lastResult_, FELICA_E_CONNECT);
  });
  DebugTrace("Connect() : %s", statusText_.c_str());
  return status;
}

int16_t PcscConnection::SetRetryTime() {
  Reply reply;
  const int16_t status = Exchange(wire::MaxRetriesZero(), kReplyCapacity, reply);
  DebugTrace("SetRetryTime() : %s", statusText_.c_str());
  return status;
}

void PcscConnection::DropHandle() {
  if (card_ != 0) SCardDisconnect(card_, SCARD_LEAVE_CARD);
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
    lastResult_ = SCardDisconnect(card_, SCARD_LEAVE_CARD);
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
  received = 0;
  DWORD length = static_cast<DWORD>(capacity);
  LONG result;
  if (link_ == Link::kEscape) {
    result = SCardControl(card_, wire::kEscapeControlCode, apdu.data(),
                          static_cast<DWORD>(apdu.size()), answer, length, &length);
  } else {
    const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1 : SCARD_PCI_T0;
    result = SCardTransmit(card_, pci, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr,
                           answer, &length);
  }
  if (result == SCARD_S_SUCCESS) received = std::min<size_t>(length, capacity);
  return result;
}

int16_t PcscConnection::Exchange(std::span<const uint8_t> pn532Command, size_t capacity,
                                 Reply& reply, int16_t unavailableStatus) {
  return Guarded([&]() -> int16_t {
    capacity = std::min(capacity, reply.bytes.size());
    reply.length = 0;
    if (pn532Command.size() > wire::kMaxDirectTransmit) return Report(Outcome::kInvalidParameter);
    lastResult_ =
        Send(wire::DirectTransmit(pn532Command), reply.bytes.data(), capacity, reply.length);
    if (lastResult_ != SCARD_S_SUCCESS) {
      ApiError(lastResult_, FELICA_E_TRANSMIT);
      const bool cardLeft =
          lastResult_ == SCARD_W_REMOVED_CARD || lastResult_ == SCARD_E_NO_SMARTCARD;
      if (cardLeft && link_ == Link::kCard && !IsSamReader(readerName_)) {
        DropHandle();
        link_ = Link::kAwaitingCard;
      }
      if (unavailableStatus != 0 && lastResult_ == SCARD_E_READER_UNAVAILABLE)
        return unavailableStatus;
      return FELICA_E_TRANSMIT;
    }
    return TakeAnswer(capacity, reply);
  });
}

// The first reply is "61 L" (fetch L bytes with GET RESPONSE) or the whole answer with 90 00.
int16_t PcscConnection::TakeAnswer(size_t capacity, Reply& reply) {
  const size_t n = reply.length;
  const bool wholeAnswer =
      n > wire::kStatusWordBytes && reply[n - 2] == wire::kSwOk1 && reply[n - 1] == wire::kSwOk2;
  if (wholeAnswer && reply[0] != wire::kSwBytesWaiting) {
    reply.announced = n;
    return FELICA_OK;
  }
  if (n < wire::kStatusWordBytes || reply[0] != wire::kSwBytesWaiting) {
    SetStatusText(StatusWordText(reply[0], reply[1]));
    reply.length = 0;
    return FELICA_E_TRANSMIT;
  }
  reply.announced = reply[1];
  lastResult_ = Send(wire::GetResponse(reply[1]), reply.bytes.data(), capacity, reply.length);
  if (lastResult_ != SCARD_S_SUCCESS) return ApiError(lastResult_, FELICA_E_TRANSMIT);
  return FELICA_OK;
}

}  // namespace lorvane::pellix
