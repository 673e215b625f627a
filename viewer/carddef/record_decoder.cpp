// SPDX-License-Identifier: MIT
// Turning the blocks of a card read into the IDm line and the Infos' text lines.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/safe_format.h"
#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/field_extraction.h"

namespace lorvane::carddef {
namespace {

constexpr size_t kIdmLineChars = 201;
constexpr size_t kItemChars = 79;
constexpr size_t kMaxLineChars = 1999;  // the line buffer grows up to 2000 characters
constexpr uint16_t kSeparatorCapacity = 80;

std::u16string Cut(std::u16string text, size_t chars) {
  if (text.size() > chars) text.resize(chars);
  return text;
}

std::u16string FormatNumber(std::u16string_view format, int32_t value) {
  const platform::FormatArg arg(value);
  return platform::SafeFormat(format, std::span(&arg, 1));
}

// The 1-based position of the (last) MP item before the item list ends, 0 when none.
size_t MpPosition(const InfoRecord& info) {
  size_t position = 0;
  for (size_t k = 0; k < kMaxItems && info.items[k] != 0; ++k) {
    if (info.items[k] == -kMP) position = k + 1;
  }
  return position;
}

}  // namespace

struct CardDefinition::RecordSlot {
  std::array<std::u16string, kMaxItems> texts;
  std::array<std::optional<int64_t>, kMaxItems> amounts;
  std::span<const uint8_t> raw;
  int32_t balance = 0;
  uint16_t mode = 0;
  bool valid = true;
};

struct CardDefinition::RecordState {
  bool dateComputed = false;
  CalendarDate date;
  bool timeComputed = false;
  uint32_t hours = 0, minutes = 0, seconds = 0;
};

int16_t CardDefinition::DecodeRecords() {
  DecodeIdmLine();
  if (infos_.empty()) return kNoFileLoaded;
  for (InfoRecord& info : infos_) {
    if (const int16_t status = DecodeInfo(info); status != 0) return status;
  }
  return 0;
}

void CardDefinition::DecodeIdmLine() {
  const std::u16string blanks(std::min<size_t>(idmSpaceNum_, kIdmLineChars), u' ');
  std::vector<platform::FormatArg> bytes(idm_.begin(), idm_.end());
  const std::u16string groups =
      platform::SafeFormat(u": %02X%02X %02X%02X %02X%02X %02X%02X", bytes);
  idmText_ = Cut(u"IDm" + blanks + groups, kIdmLineChars);
}

int16_t CardDefinition::DecodeInfo(InfoRecord& info) const {
  info.rows.clear();
  info.decoded.clear();
  info.rowsFilled = 0;
  if (info.blockSetNo == 0 || info.blockSetNo > serviceEntryCount_) return 0;  // empty Info
  const size_t blockCount = services_[info.blockSetNo - 1u].blockCount;
  // A block set that the definition does not read has no data to decode.
  if (info.dataOffset + blockCount * kBlockSize > blockData_.size()) return 0;
  const size_t records = info.blockPerRecord == 0 ? 1 : blockCount / info.blockPerRecord;
  return DecodeSequence(info, std::span(blockData_).subspan(info.dataOffset), records);
}

int16_t CardDefinition::DecodeSequence(InfoRecord& info, std::span<const uint8_t> data,
                                       size_t records) const {
  const size_t rowCount = records + (info.history ? 1 : 0);
  if (rowCount == 0) return 0;
  info.rows.assign(rowCount, std::u16string());

  if (info.history) {
    std::array<std::u16string, kMaxItems> titles;
    size_t count = 0;
    for (; count < kMaxItems && info.items[count] != 0; ++count) {
      const int16_t code = info.items[count];
      if (code > 0 && code <= info.fieldCount) titles[count] = info.fields[code - 1u].title;
      if (code < 0 && -code < kFunctionCount) titles[count] = info.itemDescriptors[-code].title;
    }
    const std::vector<platform::FormatArg> args(titles.begin(), titles.begin() + count);
    if (const int16_t status = StoreLine(info, info.lineFormat, args, true); status != 0)
      return status;
  }

  std::array<RecordSlot, 2> slots;
  RecordSlot* previous = &slots[0];
  RecordSlot* current = &slots[0];
  for (size_t j = 0; j <= records; ++j) {
    if (j < records) {
      if (const int16_t status = DecodeRecord(info, data, j, *current, *previous); status != 0)
        return status;
    }
    if (previous != current) {
      const int16_t status = Emit(info, *previous, j < records ? current : nullptr);
      if (status != 0) return status;
    }
    previous = current;
    current = current == &slots[0] ? &slots[1] : &slots[0];
  }
  return 0;
}

int16_t CardDefinition::DecodeRecord(InfoRecord& info, std::span<const uint8_t> data, size_t j,
                                     RecordSlot& current, const RecordSlot& previous) const {
  RecordState state;
  const std::span<const uint8_t> record = RecordAt(info, data, j);
  current.raw = record.first(std::min(record.size(), kBlockSize * info.blockPerRecord));
  current.amounts.fill(std::nullopt);
  for (size_t f = 0; f < info.fieldCount; ++f) ExtractField(record, info.fields[f]);

  const bool valid = !(info.history && !previous.valid) && DatesPresent(info);
  current.valid = valid;
  if (!valid) return 0;
  if (const int16_t status = NamedItemTexts(info, current, state); status != 0) return status;
  FieldItemTexts(info, current, state);
  return 0;
}

std::span<const uint8_t> CardDefinition::RecordAt(const InfoRecord& info,
                                                  std::span<const uint8_t> data, size_t j) {
  const size_t start = kBlockSize * info.blockPerRecord * j;
  return start < data.size() ? data.subspan(start) : std::span<const uint8_t>();
}

bool CardDefinition::DatesPresent(const InfoRecord& info) {
  for (int function = kDY; function <= kDD; ++function) {
    const uint16_t field = info.functionField[function];
    if (field != 0 && info.fields[field - 1u].Value() == 0) return false;
  }
  return true;
}

int16_t CardDefinition::NamedItemTexts(InfoRecord& info, RecordSlot& slot,
                                       RecordState& state) const {
  auto fieldValue = [&](int function, bool withOffset) -> uint32_t {
    const uint16_t f = info.functionField[function];
    if (f == 0) return 0;
    const FieldSpec& field = info.fields[f - 1u];
    return static_cast<uint32_t>(field.Value()) +
           (withOffset ? static_cast<uint32_t>(field.offset) : 0u);
  };
  for (size_t k = 0; k < kMaxItems && info.items[k] != 0; ++k) {
    slot.texts[k].clear();
    const int16_t code = info.items[k];
    if (code > 0) continue;
    const int c = -code;
    if (c >= 10) return kOtherFailure;
    const ItemDescriptor& descriptor = info.itemDescriptors[c];
    if ((c == kDY || c == kDM) && !state.dateComputed) {
      state.date = DateFromDayCount(static_cast<int32_t>(fieldValue(kDD, true)));
      state.dateComputed = true;
    }
    if ((c == kTH || c == kTM) && !state.timeComputed) {
      const bool hasTs = info.functionField[kTS] != 0, hasTm = info.functionField[kTM] != 0;
      uint32_t carry = 0;
      if (hasTs) {
        const uint32_t total = fieldValue(kTS, true);
        state.seconds = total % 60, carry = total / 60;
      }
      const uint32_t minutesTotal = hasTm ? fieldValue(kTM, true) : carry;
      state.minutes = minutesTotal % 60, carry = minutesTotal / 60;
      state.hours = (info.functionField[kTH] != 0 ? fieldValue(kTH, true) : carry) % 24;
      state.timeComputed = true;
    }
    switch (c) {
      case kDY:
        slot.texts[k] = FormatNumber(descriptor.format, state.date.year);
        break;
      case kDM:
        slot.texts[k] = FormatNumber(descriptor.format, state.date.month);
        break;
      case kTH:
        slot.texts[k] = FormatNumber(descriptor.format, static_cast<int32_t>(state.hours));
        break;
      case kTM:
        slot.texts[k] = FormatNumber(descriptor.format, static_cast<int32_t>(state.minutes));
        break;
      case kMP:
        slot.mode = PaymentMode(info);
        slot.balance = static_cast<int32_t>(fieldValue(kMR, false));
        break;
      default:
        break;
    }
    slot.texts[k] = Cut(std::move(slot.texts[k]), kItemChars);
  }
  return 0;
}

void CardDefinition::FieldItemTexts(InfoRecord& info, RecordSlot& slot,
                                    const RecordState& state) const {
  for (size_t k = 0; k < kMaxItems && info.items[k] != 0; ++k) {
    const int16_t code = info.items[k];
    if (code < 0) continue;
    slot.texts[k].clear();
    if (code > info.fieldCount) continue;
    const FieldSpec& field = info.fields[code - 1u];
    slot.texts[k] = Cut(FieldText(field, state), kItemChars);
    if (field.valid && (field.function == kMR || field.function == kMP))
      slot.amounts[k] = static_cast<int64_t>(field.Value()) + field.offset;
  }
}

std::u16string CardDefinition::FieldText(const FieldSpec& field, const RecordState& state) const {
  if (!field.valid) return {};
  if (field.function == kST) return DecodeUtf8Text(field.value).value_or(std::u16string());
  const int32_t value = field.Value();
  std::u16string text;
  if (const auto* table = TableOf(field)) {
    const auto entry = std::find_if(table->begin(), table->end(), [&](const ReplaceEntry& e) {
      return static_cast<uint16_t>(e.value) == static_cast<uint16_t>(value);
    });
    if (entry != table->end()) text = platform::SafeFormat(entry->name, {});
  }
  if (text.empty()) {
    int32_t shown =
        static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(field.offset));
    if (field.function == kDD && state.dateComputed) shown = state.date.day;
    if (field.function == kTS && state.timeComputed) shown = static_cast<int32_t>(state.seconds);
    if (field.function == kTM && state.timeComputed) shown = static_cast<int32_t>(state.minutes);
    if (field.function == kTH && state.timeComputed) shown = static_cast<int32_t>(state.hours);
    text = FormatNumber(field.format, shown);
  }
  if (field.function == kMR || field.function == kMP)
    InsertThousandsSeparators(text, kSeparatorCapacity);
  return text;
}

const std::vector<ReplaceEntry>* CardDefinition::TableOf(const FieldSpec& field) const {
  if (field.replaceTable == 0 || field.replaceTable > replaceTables_.size()) return nullptr;
  const auto& table = replaceTables_[field.replaceTable - 1u];
  return table.empty() ? nullptr : &table;
}

uint8_t CardDefinition::PaymentMode(const InfoRecord& info) const {
  const uint16_t md = info.functionField[kMD];
  if (md == 0) return 0;
  const FieldSpec& field = info.fields[md - 1u];
  const auto* table = TableOf(field);
  if (table == nullptr) return 0;
  for (const ReplaceEntry& entry : *table) {
    if (static_cast<uint16_t>(entry.value) == static_cast<uint16_t>(field.Value()))
      return entry.mode;
  }
  return 0;
}

int16_t CardDefinition::Emit(InfoRecord& info, RecordSlot& previous,
                             const RecordSlot* following) const {
  if (!previous.valid) return 0;
  const size_t mp = MpPosition(info);
  const ItemDescriptor& descriptor = info.itemDescriptors[kMP];
  if (mp != 0 && !descriptor.title.empty()) {
    std::u16string text;
    // Without a valid following record there is nothing to subtract; only "this balance"
    // (mode 2) can still be shown.
    if (previous.mode == 2 || (following != nullptr && following->valid)) {
      const uint32_t prev = static_cast<uint32_t>(previous.balance);
      const uint32_t next = following != nullptr ? static_cast<uint32_t>(following->balance) : 0;
      const uint32_t payment = previous.mode == 1   ? prev - next
                               : previous.mode == 2 ? prev
                                                    : next - prev;
      text = FormatNumber(descriptor.format, static_cast<int32_t>(payment));
      InsertThousandsSeparators(text, kSeparatorCapacity);
      previous.amounts[mp - 1] = static_cast<int32_t>(payment);
    }
    previous.texts[mp - 1] = Cut(std::move(text), kItemChars);
  }
  const std::vector<platform::FormatArg> args(previous.texts.begin(), previous.texts.end());
  const uint16_t filled = info.rowsFilled;
  if (const int16_t status = StoreLine(info, info.lineFormat, args, false); status != 0)
    return status;
  if (info.rowsFilled != filled) info.decoded.push_back(RowOf(info, previous));
  return 0;
}

DecodedRow CardDefinition::RowOf(const InfoRecord& info, const RecordSlot& slot) {
  DecodedRow row;
  for (size_t k = 0; k < kMaxItems && info.items[k] != 0; ++k)
    row.items.push_back({slot.texts[k], slot.amounts[k]});
  if (info.rowsFilled > 0 && info.rowsFilled <= info.rows.size())
    row.line = info.rows[info.rowsFilled - 1u];
  row.raw.assign(slot.raw.begin(), slot.raw.end());
  return row;
}

int16_t CardDefinition::StoreLine(InfoRecord& info, std::u16string_view format,
                                  const std::vector<platform::FormatArg>& args,
                                  bool keepEmpty) const {
  std::u16string line = platform::SafeFormat(format, args, lineWidthUnit_);
  if (line.size() > kMaxLineChars) return kOutOfMemory;
  if (line.empty() && !keepEmpty) return 0;
  // The count is 16 bits wide: a definition asking for more rows keeps the first 65535.
  if (info.rowsFilled >= info.rows.size() || info.rowsFilled == UINT16_MAX) return 0;
  info.rows[info.rowsFilled++] = std::move(line);
  return 0;
}

const InfoRecord* CardDefinition::HistoryInfo() const {
  if (!loaded_ || historyInfo_ == 0 || historyInfo_ > infos_.size()) return nullptr;
  const InfoRecord& info = infos_[historyInfo_ - 1u];
  return info.history ? &info : nullptr;
}

std::vector<ItemColumn> CardDefinition::HistoryColumns() const {
  std::vector<ItemColumn> columns;
  const InfoRecord* info = HistoryInfo();
  if (info == nullptr) return columns;
  for (size_t k = 0; k < kMaxItems && info->items[k] != 0; ++k) {
    const int16_t code = info->items[k];
    ItemColumn column;
    if (code > 0 && code <= info->fieldCount) {
      column.title = info->fields[code - 1u].title;
      column.role = info->fields[code - 1u].function;
    } else if (code < 0 && -code < kFunctionCount) {
      column.title = info->itemDescriptors[-code].title;
      column.role = static_cast<uint8_t>(-code);
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

const std::vector<DecodedRow>& CardDefinition::HistoryRows() const {
  static const std::vector<DecodedRow> kNone;
  const InfoRecord* info = HistoryInfo();
  return info != nullptr ? info->decoded : kNone;
}

std::optional<CardDefinition::HistorySource> CardDefinition::historySource() const {
  const InfoRecord* info = HistoryInfo();
  if (info == nullptr || info->blockSetNo == 0 || info->blockSetNo > serviceEntryCount_ ||
      info->blockPerRecord == 0)
    return std::nullopt;
  const size_t entry = info->blockSetNo - 1u;
  const ServiceEntry& service = services_[entry];
  // The service entries follow the systems in order, each system owning its count of them.
  size_t end = 0;
  uint16_t systemCode = 0;
  for (size_t s = 0; s < kMaxSystems && systems_[s].systemCode != 0; ++s) {
    end += systems_[s].serviceCount;
    if (entry < end) {
      systemCode = systems_[s].systemCode;
      break;
    }
  }
  return HistorySource{systemCode, service.serviceCode, service.firstBlock, service.blockCount,
                       info->blockPerRecord};
}

size_t CardDefinition::ValidHistoryRecords(std::span<const uint8_t> records) const {
  const InfoRecord* history = HistoryInfo();
  if (history == nullptr || history->blockPerRecord == 0) return 0;
  InfoRecord info = *history;
  const size_t bytes = kBlockSize * info.blockPerRecord;
  size_t valid = 0;
  for (; (valid + 1) * bytes <= records.size(); ++valid) {
    const auto record = RecordAt(info, records, valid);
    for (size_t f = 0; f < info.fieldCount; ++f) ExtractField(record, info.fields[f]);
    if (!DatesPresent(info)) break;
  }
  return valid;
}

std::vector<DecodedRow> CardDefinition::DecodeHistory(std::span<const uint8_t> records) const {
  const InfoRecord* history = HistoryInfo();
  if (history == nullptr || history->blockPerRecord == 0) return {};
  InfoRecord info = *history;
  info.decoded.clear();
  info.rowsFilled = 0;
  DecodeSequence(info, records, records.size() / (kBlockSize * info.blockPerRecord));
  return std::move(info.decoded);
}

}  // namespace lorvane::carddef
