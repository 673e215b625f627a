// SPDX-License-Identifier: MIT
#include "viewer/carddef/card_definition.h"

#include <algorithm>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/carddef/definition_keys.h"

namespace lorvane::carddef {

size_t FieldSpec::BufferSize() const {
  const size_t length = function == kST ? byteLength + 1u : byteLength;
  return std::max<size_t>(length, 4);
}

int32_t FieldSpec::Value() const {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && i < value.size(); ++i)
    v |= static_cast<uint32_t>(value[i]) << (8 * i);
  return static_cast<int32_t>(v);
}

std::u16string SectionNameFor(int16_t index) {
  if (index < 0) return u"Card Definition";
  return u"Service" + TwoDigits(index);
}

std::u16string ReadCardName(const std::u16string& fileName, int16_t index, size_t maxChars) {
  return platform::GetProfileString(SectionNameFor(index), u"CardName", u"", maxChars,
                                    platform::U8(fileName));
}

CardDefinition::CardDefinition(const std::u16string& fileName, int16_t index) {
  loadStatus_ = LoadDefinition(fileName, index);
}

CardDefinition::~CardDefinition() { ResetDefinition(); }

// Keys are read while the definition loads, through the reader the load holds.
std::u16string CardDefinition::Read(const std::u16string& key, size_t maxChars) const {
  if (reader_ == nullptr) return {};
  return reader_->GetString(sectionName_, key, u"", maxChars);
}

int32_t CardDefinition::ReadInt(const std::u16string& key) const {
  if (reader_ == nullptr) return 0;
  return static_cast<int32_t>(reader_->GetInt(sectionName_, key, 0));
}

std::u16string CardDefinition::GetCardName() const {
  return cardName_.empty() ? std::u16string(kUnknownCardName) : cardName_;
}

const uint8_t* CardDefinition::GetIDm() const { return idm_.data(); }

std::optional<std::u16string> CardDefinition::GetInfoLine(uint16_t n) const {
  if (!loaded_ || infos_.empty()) return std::nullopt;
  if (n == 0) return idmText_;
  size_t index = n - 1u;
  for (const InfoRecord& info : infos_) {
    if (info.history) continue;
    if (index < info.rowsFilled) {
      if (index >= info.rows.size() || info.rows[index].empty()) return std::nullopt;
      return info.rows[index];
    }
    index -= info.rowsFilled;
  }
  return std::nullopt;
}

std::optional<std::u16string> CardDefinition::GetHistoryLine(uint16_t n) const {
  if (!loaded_ || historyInfo_ == 0 || historyInfo_ > infos_.size()) return std::nullopt;
  const InfoRecord& info = infos_[historyInfo_ - 1u];
  if (!info.history || n >= info.rowsFilled || n >= info.rows.size()) return std::nullopt;
  return info.rows[n];
}

void CardDefinition::ClearInfoResults(InfoRecord& info) {
  for (FieldSpec& field : info.fields) std::fill(field.value.begin(), field.value.end(), 0);
  for (std::u16string& row : info.rows) row.clear();
}

int16_t CardDefinition::ClearReadResults() {
  idm_.fill(0);
  for (InfoRecord& info : infos_) ClearInfoResults(info);
  std::fill(blockData_.begin(), blockData_.end(), 0);
  return 0;
}

int16_t CardDefinition::ResetDefinition() {
  if (const int16_t status = ClearReadResults(); status != 0) return status;
  loaded_ = false;
  blockData_.clear();
  infos_.clear();
  replaceTables_.clear();
  readPlan_.clear();
  readBlockCount_ = 0;
  serviceEntryCount_ = 0;
  historyInfo_ = 0;
  idmSpaceNum_ = 0;
  systems_.fill({});
  services_.fill({});
  cardName_.clear();
  fileName_.clear();
  return 0;
}

}  // namespace lorvane::carddef
