// SPDX-License-Identifier: MIT
#include "pellix/felica_driver.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace lorvane::pellix {
namespace {

using wire::kBlockBytes;

}  // namespace

BlockList BuildBlockList(const BlockRef* refs, size_t count) {
  BlockList list;
  for (size_t i = 0; i < count; ++i) {
    const auto code = static_cast<uint16_t>(refs[i].ServiceCode & 0xFFFF);
    auto it = std::find(list.services.begin(), list.services.end(), code);
    const size_t position = static_cast<size_t>(it - list.services.begin());
    if (it == list.services.end()) list.services.push_back(code);
    const auto element = wire::BlockListElement(code, position, refs[i].Block);
    list.elements.insert(list.elements.end(), element.begin(), element.end());
  }
  return list;
}

FeliCaDriver::FeliCaDriver(std::unique_ptr<FeliCaLink> (*makeLink)(PcscConnection&))
    : link_(makeLink(pcsc_)), commands_(*link_, pcsc_) {}

FeliCaDriver::~FeliCaDriver() { Close(); }

int16_t FeliCaDriver::ScanReaders() {
  entries_.clear();
  currentEntry_ = 0;
  int16_t status;
  try {
    status = ScanSteps();
  } catch (const std::bad_alloc&) {
    status = Report(Outcome::kMemory);
  } catch (...) {
    status = Report(Outcome::kUnknownFatal);
  }
  if (status != FELICA_OK) entries_.clear();
  return status;
}

int16_t FeliCaDriver::ScanSteps() {
  if (const int16_t status = pcsc_.GetSCReaderGroup(); status < 0) return status;
  const uint32_t groups = pcsc_.groupCount();
  size_t count = 0;
  for (uint32_t g = groups; g-- > 0;) {
    if (const int16_t status = pcsc_.SelectGroup(g); status < 0) return status;
    count += pcsc_.readerCount();
  }
  entries_.reserve(count);
  for (uint32_t g = 0; g < groups; ++g) {
    pcsc_.SelectGroup(g);
    const std::string group = pcsc_.GetSCReaderGroupName(g);
    for (uint32_t r = 0; r < pcsc_.readerCount(); ++r) {
      const std::string reader = pcsc_.GetReaderName(r);
      entries_.push_back({"\"" + group + "\"\"" + reader + "\"", g, r, reader});
    }
  }
  pcsc_.SelectGroup(0);
  return FELICA_OK;
}

int16_t FeliCaDriver::Open(const char* name) {
  if (open_) return Report(Outcome::kAlreadyOpen);
  int16_t status;
  try {
    status = OpenSteps(name);
  } catch (...) {
    status = Report(Outcome::kUnknownFatal);
  }
  if (status < 0) {
    const std::string text = pcsc_.statusText();
    Close();
    pcsc_.SetStatusText(text);
  }
  return status;
}

int16_t FeliCaDriver::OpenSteps(const char* name) {
  const std::string wanted = name != nullptr ? name : "";  // the entries are rebuilt below
  if (const int16_t status = ScanReaders(); status < 0) return status;
  const auto named = [&](const ReaderEntry& e) {
    return name != nullptr && strcasecmp(e.name.c_str(), wanted.c_str()) == 0;
  };
  // The entry named; else the first reader of this plug-in's family, else the first.
  auto chosen = std::find_if(entries_.begin(), entries_.end(), named);
  if (chosen == entries_.end()) {
    chosen = std::find_if(entries_.begin(), entries_.end(),
                          [&](const ReaderEntry& e) { return link_->Serves(e.readerName); });
  }
  if (chosen != entries_.end() && chosen != entries_.begin() + currentEntry_) {
    currentEntry_ = static_cast<uint16_t>(chosen - entries_.begin());
    pcsc_.SelectGroup(chosen->group);
    pcsc_.SelectReader(chosen->reader);
  }
  if (const int16_t status = link_->Connect(); status < 0) return status;
  open_ = true;
  return FELICA_OK;
}

int16_t FeliCaDriver::Reopen(const char* name) {
  const std::string copy = name != nullptr ? name : "";  // the entries are rebuilt by Open
  Close();
  return Open(copy.c_str());
}

int16_t FeliCaDriver::Close() {
  pcsc_.ReleaseReaders();
  link_->Disconnect();
  open_ = false;
  ClearCard();
  return FELICA_OK;
}

void FeliCaDriver::ClearCard() {
  if (!cardActive_) return;
  currentCard_.fill(0);
  systemCodes_.clear();
  cardActive_ = false;
}

int16_t FeliCaDriver::SelectCard(uint8_t index) {
  cardActive_ = false;
  currentCard_.fill(0);
  if (index < cardCount_) {
    currentCardIndex_ = index;
    const CardEntry& card = cards_[index];
    if (card.kind == kFeliCa212 || card.kind == kFeliCa424) {
      currentCard_ = card.identity;
      cardActive_ = true;
    }
  }
  return FELICA_OK;
}

Idm FeliCaDriver::CurrentIdm() const {
  Idm idm;
  std::copy_n(currentCard_.begin(), idm.size(), idm.begin());
  return idm;
}

const char* FeliCaDriver::ReaderEntryName(uint32_t index) const {
  return index < entries_.size() ? entries_[index].name.c_str() : nullptr;
}

int16_t FeliCaDriver::Poll(uint16_t systemCode) {
  cardActive_ = false;
  if (const int16_t status = Open(nullptr); status < 0) return status;
  std::optional<PolledCard> found;
  const int16_t polled = commands_.REQC(static_cast<uint8_t>(systemCode >> 8),
                                        static_cast<uint8_t>(systemCode), found);
  if (polled < 0) return polled;
  cardCount_ = 0;
  currentCardIndex_ = 0;
  if (found) {
    cards_[0].kind = kFeliCa212;
    std::copy(found->idm.begin(), found->idm.end(), cards_[0].identity.begin());
    std::copy(found->pmm.begin(), found->pmm.end(), cards_[0].identity.begin() + 8);
    cardCount_ = 1;
    SelectCard(0);
  }
  if (cardCount_ == 0) return FELICA_NOTHING;
  if (commands_.RequestSystemCode(CurrentIdm(), systemCodes_) < 0) {
    cardActive_ = false;
    return FELICA_E_FATAL;
  }
  cardActive_ = true;
  return FELICA_OK;
}

const uint8_t* FeliCaDriver::SetCurrentCard(uint8_t index) {
  SelectCard(index);
  return cardCount_ > 0 ? cards_[currentCardIndex_].identity.data() : nullptr;
}

uint16_t FeliCaDriver::SystemCode(uint32_t index) const {
  if (index >= systemCodes_.size()) return FELICA_NO_SYSTEM_CODE;
  return static_cast<uint16_t>(systemCodes_[index][0] << 8 | systemCodes_[index][1]);
}

int16_t FeliCaDriver::Detached() { return Report(Outcome::kCardDetached); }

int16_t FeliCaDriver::ServiceCode(uint16_t index, uint32_t* code, uint32_t* endCode) {
  if (!cardActive_) return Detached();
  if (code == nullptr || endCode == nullptr) return Report(Outcome::kInvalidParameter);
  *code = wire::kEndOfNodes;
  *endCode = 0;
  uint8_t codeBytes[4] = {};
  uint8_t endBytes[4] = {};
  if (const int16_t status = commands_.SearchServiceCode(CurrentIdm(), index, codeBytes, endBytes);
      status < 0) {
    return status;
  }
  auto le32 = [](const uint8_t* b) {
    return static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
  };
  *code = le32(codeBytes);
  *endCode = le32(endBytes);
  if ((*code & 0xFFFF) == wire::kEndOfNodes) return Report(Outcome::kEndOfServices);
  return FELICA_OK;
}

int16_t FeliCaDriver::Read(uint32_t serviceCode, uint8_t block, uint8_t* data) {
  if (!cardActive_) return Detached();
  if (data == nullptr) return Report(Outcome::kReadInvalidParameter);
  const BlockRef ref{serviceCode, block};
  const BlockList list = BuildBlockList(&ref, 1);
  uint8_t received = 0;
  return commands_.FeliCaRead(CurrentIdm(), list.services, list.elements, data, &received);
}

int16_t FeliCaDriver::Write(uint32_t serviceCode, uint8_t block, const uint8_t* data) {
  if (!cardActive_) return Detached();
  if (data == nullptr) return Report(Outcome::kWriteInvalidParameter);
  const BlockRef ref{serviceCode, block};
  const BlockList list = BuildBlockList(&ref, 1);
  return commands_.FeliCaWrite(CurrentIdm(), list.services, list.elements, data);
}

int16_t FeliCaDriver::Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) {
  if (!cardActive_) return Detached();
  if (count == nullptr) return Report(Outcome::kReadInvalidParameter);
  const size_t n = *count;
  if (n == 0) return FELICA_OK;
  if (data == nullptr || refs == nullptr) return Report(Outcome::kReadInvalidParameter);
  *count = 0;
  size_t done = 0;
  while (n - done > kMaxBlocksPerCommand) {
    const BlockList list = BuildBlockList(refs + done, kMaxBlocksPerCommand);
    uint8_t received = 0;
    const int16_t status = commands_.FeliCaRead(CurrentIdm(), list.services, list.elements,
                                                data + kBlockBytes * done, &received);
    if (status < 0 || received < kMaxBlocksPerCommand) return status;
    done += kMaxBlocksPerCommand;
    *count = static_cast<uint8_t>(done);
  }
  const size_t rest = n - done;
  const BlockList list = BuildBlockList(refs + done, rest);
  uint8_t received = 0;
  const int16_t status = commands_.FeliCaRead(CurrentIdm(), list.services, list.elements,
                                              data + kBlockBytes * done, &received);
  if (status < 0) return status;
  if (received == rest) *count = static_cast<uint8_t>(done + rest);
  return status;
}

int16_t FeliCaDriver::Write2(const BlockRef* refs, uint8_t count, const uint8_t* data) {
  if (!cardActive_) return Detached();
  if (data == nullptr || (refs == nullptr && count > 0))
    return Report(Outcome::kWriteInvalidParameter);
  size_t done = 0;
  while (count - done > kMaxBlocksPerCommand) {
    const BlockList list = BuildBlockList(refs + done, kMaxBlocksPerCommand);
    const int16_t status = commands_.FeliCaWrite(CurrentIdm(), list.services, list.elements,
                                                 data + kBlockBytes * done);
    if (status < 0) return status;
    done += kMaxBlocksPerCommand;
  }
  const BlockList list = BuildBlockList(refs + done, count - done);
  return commands_.FeliCaWrite(CurrentIdm(), list.services, list.elements,
                               data + kBlockBytes * done);
}

void FeliCaDriver::WriteSettingsData(uint8_t* data) const {
  if (entries_.empty() || currentEntry_ >= entries_.size()) {
    data[0] = 0;
    return;
  }
  std::memset(data, 0, FELICA_SETTING_BYTES);
  const std::string& name = entries_[currentEntry_].name;
  std::memcpy(data, name.data(), std::min<size_t>(name.size(), FELICA_SETTING_BYTES - 1));
}

}  // namespace lorvane::pellix
