// SPDX-License-Identifier: MIT
// Building a CardDefinition from its section of a definition file.
#include <algorithm>
#include <array>
#include <new>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/definition_keys.h"
#include "viewer/carddef/definition_notifier.h"

namespace lorvane::carddef {
namespace {

constexpr size_t kListChars = 99;
constexpr size_t kFormatChars = 199;

struct NamedItem {
  std::u16string_view name;
  FieldFunction function;
};
constexpr std::array<NamedItem, 7> kFormatItems = {{{u"MR", kMR},
                                                    {u"MP", kMP},
                                                    {u"MD", kMD},
                                                    {u"DY", kDY},
                                                    {u"DM", kDM},
                                                    {u"TH", kTH},
                                                    {u"TM", kTM}}};
constexpr std::array<std::u16string_view, kFunctionCount> kFunctionNames = {
    u"NM", u"DY", u"DM", u"DD", u"TH", u"TM", u"TS", u"MR", u"MP", u"MD", u"ST"};

std::u16string_view SkipItemLead(std::u16string_view text) {
  const size_t start = text.find_first_not_of(u" \t\"");
  return start == std::u16string_view::npos ? std::u16string_view() : text.substr(start);
}

// A format item that is not a name must be a whole decimal number; an empty item is 0.
std::optional<int16_t> ParseItemNumber(std::u16string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  const size_t digits = i;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
  if (i == digits) return text.empty() ? std::optional<int16_t>(0) : std::nullopt;
  if (i != text.size()) return std::nullopt;
  return static_cast<int16_t>(ParseListNumber(text, false));
}

}  // namespace

// No exception leaves a load: running out of memory is -4, anything else -1, and the
// definition is left unloaded.
int16_t CardDefinition::LoadDefinition(const std::optional<std::u16string>& fileName,
                                       int16_t index) {
  try {
    const int16_t status = LoadDefinitionSteps(fileName, index);
    reader_ = nullptr;
    return status;
  } catch (const std::bad_alloc&) {
    reader_ = nullptr;
    loaded_ = false;
    return kOutOfMemory;
  } catch (...) {
    reader_ = nullptr;
    loaded_ = false;
    return kOtherFailure;
  }
}

int16_t CardDefinition::LoadDefinitionSteps(const std::optional<std::u16string>& fileName,
                                            int16_t index) {
  if (!fileName) return 0;
  if (fileName->size() > kMaxPathChars) {
    ResetDefinition();
    return kBadPathOrItem;
  }
  sectionName_ = SectionNameFor(index);
  const platform::ProfileReader reader(platform::U8(*fileName));
  reader_ = &reader;
  const std::u16string cardName = Read(u"CardName", kNameChars);
  if (cardName.empty()) return kNotADefinition;
  if (const int16_t status = ResetDefinition(); status != 0) return status;
  cardName_ = cardName;
  fileName_ = *fileName;
  idmSpaceNum_ = static_cast<uint16_t>(ReadInt(u"IDmSpaceNum"));

  int16_t status = LoadSystemsAndServices();
  if (status == 0) {
    size_t count = 0;
    while (count < kMaxInfos &&
           !Read(NumberedKey(u"Info", static_cast<int>(count + 1), u".BlockSetNo"), kListChars)
                .empty()) {
      ++count;
    }
    infos_.assign(count, InfoRecord{});
    for (size_t n = 0; n < count; ++n) {
      const int16_t infoStatus = LoadInfo(infos_[n], NumberedKey(u"Info", static_cast<int>(n + 1)));
      if (infoStatus < 0) return infoStatus;  // keeps the card name and what was loaded
      if (infoStatus > 0) break;
      if (infos_[n].history) historyInfo_ = static_cast<uint16_t>(n + 1);
    }
    status = LoadReplaceAttachments();
  }
  if (status == 0) status = ClearReadResults();
  if (status < 0) {
    ResetDefinition();
    return status;
  }
  if (status == 0) loaded_ = true;
  return status;
}

int16_t CardDefinition::LoadSystemsAndServices() {
  for (size_t i = 0; i < kMaxSystems; ++i) {
    const std::u16string value =
        Read(u"SystemCode" + platform::U16(std::to_string(i + 1)), kListChars);
    if (value.empty()) break;
    const auto code = tokenizer_.NextNumber(value, true);
    if (!code) break;
    systems_[i].systemCode = static_cast<uint16_t>(*code);
    systems_[i].serviceCount =
        static_cast<uint16_t>(tokenizer_.NextNumber(std::nullopt, false).value_or(0));
  }
  uint16_t planCount = 0;
  for (size_t n = 0; n < kMaxServices; ++n) {
    const std::u16string value =
        Read(NumberedKey(u"ServiceCode", static_cast<int>(n + 1)), kListChars);
    if (value.empty()) break;
    const auto code = tokenizer_.NextNumber(value, true);
    if (!code || static_cast<uint16_t>(*code) == 0 || static_cast<uint16_t>(*code) == 0xFFFF) break;
    ServiceEntry& entry = services_[n];
    entry.serviceCode = static_cast<uint16_t>(*code);
    entry.firstBlock =
        static_cast<uint16_t>(tokenizer_.NextNumber(std::nullopt, false).value_or(0));
    entry.blockCount =
        static_cast<uint16_t>(tokenizer_.NextNumber(std::nullopt, false).value_or(0));
    planCount = static_cast<uint16_t>(planCount + entry.blockCount);
    serviceEntryCount_ = static_cast<uint16_t>(n + 1);
  }
  size_t base = 0;
  for (size_t i = 0; i < kMaxSystems && systems_[i].systemCode != 0; ++i) {
    for (size_t e = base; e < base + systems_[i].serviceCount; ++e) {
      if (e < serviceEntryCount_)
        readBlockCount_ = static_cast<uint16_t>(readBlockCount_ + services_[e].blockCount);
    }
    base += systems_[i].serviceCount;
  }
  blockData_.assign(size_t{readBlockCount_} * kBlockSize, 0);
  readPlan_.reserve(planCount);
  for (size_t e = 0; e < serviceEntryCount_; ++e) {
    for (size_t b = 0; b < services_[e].blockCount && readPlan_.size() < planCount; ++b) {
      readPlan_.push_back(
          {services_[e].serviceCode, static_cast<uint8_t>(services_[e].firstBlock + b)});
    }
  }
  return 0;
}

int16_t CardDefinition::LoadInfo(InfoRecord& info, const std::u16string& prefix) {
  if (fileName_.empty()) return kNoFileLoaded;
  info = InfoRecord{};
  info.blockSetNo = static_cast<uint16_t>(ReadInt(prefix + u".BlockSetNo"));
  if (info.blockSetNo == 0 || info.blockSetNo > serviceEntryCount_) {
    ClearInfoResults(info);
    return 0;
  }
  for (size_t e = 0; e + 1 < info.blockSetNo; ++e)
    info.dataOffset += kBlockSize * services_[e].blockCount;
  info.blockPerRecord = static_cast<uint16_t>(ReadInt(prefix + u".BlockPerRecord"));
  info.history = ReadInt(prefix + u".History") != 0;
  if (const int16_t status = LoadItems(info, prefix); status != 0) return status;
  for (size_t m = 0; m < kMaxFields; ++m) {
    FieldSpec& field = info.fields[m];
    if (LoadField(field, NumberedKey(prefix, static_cast<int>(m + 1))) != 0) break;
    if (field.function >= kDY && field.function <= kMD) {
      info.functionField[field.function] = static_cast<uint16_t>(m + 1);
    }
    info.fieldCount = static_cast<uint8_t>(m + 1);
  }
  ClearInfoResults(info);
  return 0;
}

int16_t CardDefinition::LoadItems(InfoRecord& info, const std::u16string& prefix) {
  const std::u16string format = Read(prefix + u".Format", kFormatChars);
  const auto lineFormat = tokenizer_.NextToken(format, true);
  if (!lineFormat) return kOtherFailure;
  info.lineFormat = lineFormat->substr(0, kFormatChars);
  for (size_t k = 0; k < kMaxItems; ++k) {
    const auto token = tokenizer_.NextToken(std::nullopt, false);
    if (!token) break;
    const std::u16string_view item = SkipItemLead(*token);
    const auto named = std::find_if(kFormatItems.begin(), kFormatItems.end(),
                                    [&](const NamedItem& n) { return n.name == item; });
    if (named != kFormatItems.end()) {
      info.items[k] = static_cast<int16_t>(-named->function);
      const std::u16string base = prefix + u"." + std::u16string(kFunctionNames[named->function]);
      ItemDescriptor& descriptor = info.itemDescriptors[named->function];
      descriptor.title = Read(base + u".Title", kNameChars);
      descriptor.format = Read(base + u".Format", kNameChars);
      descriptor.offset = ReadInt(base + u".Offset");
      continue;
    }
    const auto number = ParseItemNumber(item);
    if (!number) return kBadPathOrItem;
    info.items[k] = *number;
  }
  return 0;
}

int16_t CardDefinition::LoadField(FieldSpec& field, const std::u16string& prefix) {
  if (fileName_.empty()) return kNoFileLoaded;
  field = FieldSpec{};
  loaded_ = false;
  const std::u16string data = Read(prefix + u".Data", kListChars);
  if (data.empty()) return kNotADefinition;
  field.valid = true;
  std::array<uint8_t, 4> numbers{};
  size_t count = 0;
  for (auto n = tokenizer_.NextNumber(data, false); n && count < numbers.size();
       n = count < numbers.size() ? tokenizer_.NextNumber(std::nullopt, false) : std::nullopt) {
    numbers[count++] = static_cast<uint8_t>(*n);
  }
  field.byteOffset = numbers[0];
  field.byteLength = numbers[1];
  field.bitOffset = numbers[2];
  field.bitLength = numbers[3];
  if (count == 2) field.bitLength = static_cast<uint8_t>(field.byteLength * 8);
  if (count == 1 || count == 3) {
    CurrentDefinitionNotifier().DefinitionReadError(fileName_, prefix + u".Data");
  }
  field.format = Read(prefix + u".Format", kNameChars);
  field.title = Read(prefix + u".Title", kNameChars);
  field.invert = ReadInt(prefix + u".Invert") != 0;
  field.bcd = ReadInt(prefix + u".BCD") != 0;
  const std::u16string function = Read(prefix + u".Function", kListChars);
  const std::u16string_view name = SkipItemLead(function);
  for (int code = kDY; code < kFunctionCount; ++code) {
    if (!name.empty() && kFunctionNames[code] == name) field.function = static_cast<uint8_t>(code);
  }
  field.offset = ReadInt(prefix + u".Offset");
  field.value.assign(field.BufferSize(), 0);
  return 0;
}

int16_t CardDefinition::LoadReplaceAttachments() {
  size_t count = 0;
  while (count < kMaxReplaceTables) {
    const std::u16string data =
        Read(NumberedKey(u"Replace", static_cast<int>(count + 1), u".Data"), kListChars);
    if (data.empty()) break;
    ++count;
    const auto infoNo = tokenizer_.NextNumber(data, false);
    const auto fieldNo = tokenizer_.NextNumber(std::nullopt, false);
    if (!infoNo || !fieldNo || *infoNo < 1 || static_cast<size_t>(*infoNo) > infos_.size())
      continue;
    InfoRecord& info = infos_[static_cast<size_t>(*infoNo) - 1];
    if (*fieldNo < 1 || *fieldNo > info.fieldCount) continue;
    info.fields[static_cast<size_t>(*fieldNo) - 1].replaceTable = static_cast<uint16_t>(count);
  }
  replaceTables_.assign(count, {});
  for (size_t r = 0; r < count; ++r) {
    const int16_t status =
        LoadTable(replaceTables_[r], NumberedKey(u"Replace", static_cast<int>(r + 1)));
    if (status != 0) return status > 0 ? 0 : status;
  }
  return 0;
}

int16_t CardDefinition::LoadTable(std::vector<ReplaceEntry>& table, const std::u16string& prefix) {
  if (fileName_.empty()) return kNoFileLoaded;
  table.clear();
  for (size_t e = 1; e <= kMaxReplaceEntries; ++e) {
    const std::u16string value =
        Read(NumberedKey(prefix, static_cast<int>(e), u".Value"), kListChars);
    if (value.empty()) break;
    ReplaceEntry entry;
    entry.value = static_cast<int16_t>(ParseListNumber(value, true));
    entry.name = Read(NumberedKey(prefix, static_cast<int>(e), u".Name"), kNameChars);
    entry.mode = static_cast<uint8_t>(ReadInt(NumberedKey(prefix, static_cast<int>(e), u".Mode")));
    table.push_back(std::move(entry));
  }
  return 0;
}

}  // namespace lorvane::carddef
