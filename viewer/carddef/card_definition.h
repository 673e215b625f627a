// SPDX-License-Identifier: MIT
// One card definition in memory, with everything one card read produces for it: the IDm,
// the raw blocks, the decoded field values and the text lines the viewer shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ini_profile.h"
#include "platform/safe_format.h"
#include "viewer/carddef/card_definition_model.h"
#include "viewer/carddef/card_reader.h"
#include "viewer/carddef/list_tokenizer.h"

namespace lorvane::carddef {

// Load statuses.
inline constexpr int16_t kLoaded = 0;
inline constexpr int16_t kNoFileLoaded = 4;
inline constexpr int16_t kNotADefinition = 5;
inline constexpr int16_t kBadPathOrItem = -5;
inline constexpr int16_t kOutOfMemory = -4;
inline constexpr int16_t kOtherFailure = -1;

// Read statuses beyond those passed through from the reader.
inline constexpr int16_t kReadNotLoaded = 4;
inline constexpr int16_t kReadReaderGone = 6;

inline constexpr char16_t kUnknownCardName[] = u"不明カード";

class CardDefinition {
 public:
  // Section index: negative selects "Card Definition", n >= 0 the section "Service%02d".
  CardDefinition(const std::u16string& fileName, int16_t index);
  virtual ~CardDefinition();
  CardDefinition(const CardDefinition&) = delete;
  CardDefinition& operator=(const CardDefinition&) = delete;

  virtual int16_t LoadDefinition(const std::optional<std::u16string>& fileName, int16_t index);
  virtual int16_t ClearReadResults();
  virtual std::u16string GetCardName() const;
  virtual int32_t ReadCard(CardReader& reader);
  virtual const uint8_t* GetIDm() const;
  // Line 0 is the IDm line, then the lines of the Infos without History in Info order.
  virtual std::optional<std::u16string> GetInfoLine(uint16_t n) const;
  // Row n of the history Info (row 0 is its title line).
  virtual std::optional<std::u16string> GetHistoryLine(uint16_t n) const;

  // The history, as structure: its columns (one per item of the line), and the records the
  // last read decoded (newest first; the title line aside).
  std::vector<ItemColumn> HistoryColumns() const;
  const std::vector<DecodedRow>& HistoryRows() const;
  // Where the history's records lie on a card: the service, its first block, the number of
  // blocks read and the blocks per record. nullopt without a history.
  struct HistorySource {
    uint16_t systemCode = 0;
    uint16_t serviceCode = 0;
    uint16_t firstBlock = 0;
    uint16_t blockCount = 0;
    uint16_t blocksPerRecord = 0;
  };
  std::optional<HistorySource> historySource() const;
  // How many of `records` (raw, newest first) lead the history before its first record
  // without a date.
  size_t ValidHistoryRecords(std::span<const uint8_t> records) const;
  // Decodes a run of history records (raw, newest first, as many as `records` holds) as a
  // card's history is decoded, without a limit on their number: each record's payment comes
  // from the record after it, the last record's from none.
  std::vector<DecodedRow> DecodeHistory(std::span<const uint8_t> records) const;

  // What the widths of the line formats count (code units unless set).
  void SetLineWidthUnit(platform::WidthUnit unit) { lineWidthUnit_ = unit; }

  int16_t ResetDefinition();
  // Decodes blockData into the IDm line and the Infos' lines.
  int16_t DecodeRecords();

  bool loaded() const { return loaded_; }
  int16_t loadStatus() const { return loadStatus_; }
  uint16_t infoCount() const { return static_cast<uint16_t>(infos_.size()); }
  uint16_t historyInfo() const { return historyInfo_; }
  uint16_t readBlockCount() const { return readBlockCount_; }
  const std::vector<ReadPlanEntry>& readPlan() const { return readPlan_; }
  const std::vector<uint8_t>& blockData() const { return blockData_; }
  const std::u16string& fileName() const { return fileName_; }
  const std::u16string& sectionName() const { return sectionName_; }
  const InfoRecord& info(size_t i) const { return infos_.at(i); }
  const std::vector<ReplaceEntry>& replaceTable(size_t i) const { return replaceTables_.at(i); }
  uint16_t replaceCount() const { return static_cast<uint16_t>(replaceTables_.size()); }
  const SystemEntry& system(size_t i) const { return systems_.at(i); }
  uint16_t serviceEntryCount() const { return serviceEntryCount_; }
  const ServiceEntry& service(size_t i) const { return services_.at(i); }

 private:
  struct RecordSlot;
  struct RecordState;

  const InfoRecord* HistoryInfo() const;
  int16_t LoadDefinitionSteps(const std::optional<std::u16string>& fileName, int16_t index);
  std::u16string Read(const std::u16string& key, size_t maxChars) const;
  int32_t ReadInt(const std::u16string& key) const;
  int16_t LoadSystemsAndServices();
  int16_t LoadInfo(InfoRecord& info, const std::u16string& prefix);
  int16_t LoadItems(InfoRecord& info, const std::u16string& prefix);
  int16_t LoadField(FieldSpec& field, const std::u16string& prefix);
  int16_t LoadReplaceAttachments();
  int16_t LoadTable(std::vector<ReplaceEntry>& table, const std::u16string& prefix);
  void ClearInfoResults(InfoRecord& info);
  int32_t ReadBlocks(CardReader& reader);

  void DecodeIdmLine();
  int16_t DecodeInfo(InfoRecord& info) const;
  // Decodes `records` records of `info` from `data` into its rows and decoded records.
  int16_t DecodeSequence(InfoRecord& info, std::span<const uint8_t> data, size_t records) const;
  int16_t DecodeRecord(InfoRecord& info, std::span<const uint8_t> data, size_t j,
                       RecordSlot& current, const RecordSlot& previous) const;
  static std::span<const uint8_t> RecordAt(const InfoRecord& info, std::span<const uint8_t> data,
                                           size_t j);
  // Whether the fields holding the record's date (after extraction) are all non-zero.
  static bool DatesPresent(const InfoRecord& info);
  int16_t NamedItemTexts(InfoRecord& info, RecordSlot& slot, RecordState& state) const;
  void FieldItemTexts(InfoRecord& info, RecordSlot& slot, const RecordState& state) const;
  std::u16string FieldText(const FieldSpec& field, const RecordState& state) const;
  int16_t Emit(InfoRecord& info, RecordSlot& previous, const RecordSlot* following) const;
  static DecodedRow RowOf(const InfoRecord& info, const RecordSlot& slot);
  int16_t StoreLine(InfoRecord& info, std::u16string_view format,
                    const std::vector<platform::FormatArg>& args, bool keepEmpty) const;
  uint8_t PaymentMode(const InfoRecord& info) const;
  const std::vector<ReplaceEntry>* TableOf(const FieldSpec& field) const;

  bool loaded_ = false;
  int16_t loadStatus_ = kNoFileLoaded;
  std::array<uint8_t, 8> idm_{};
  std::u16string idmText_;
  uint16_t idmSpaceNum_ = 0;
  std::array<SystemEntry, kMaxSystems> systems_{};
  uint16_t serviceEntryCount_ = 0;
  std::array<ServiceEntry, kMaxServices> services_{};
  uint16_t readBlockCount_ = 0;
  std::vector<uint8_t> blockData_;
  std::u16string sectionName_ = u"Card Definition";
  std::u16string cardName_;
  std::vector<InfoRecord> infos_;
  uint16_t historyInfo_ = 0;
  std::vector<ReadPlanEntry> readPlan_;
  std::u16string fileName_;
  ListTokenizer tokenizer_;
  const platform::ProfileReader* reader_ = nullptr;  // the file, while a load runs
  std::vector<std::vector<ReplaceEntry>> replaceTables_;
  platform::WidthUnit lineWidthUnit_ = platform::WidthUnit::kCodeUnits;
};

// Reads only "CardName" of the section chosen by `index`, at most `maxChars` characters.
std::u16string ReadCardName(const std::u16string& fileName, int16_t index, size_t maxChars);

// "Card Definition" for a negative index, else "Service%02d".
std::u16string SectionNameFor(int16_t index);

}  // namespace lorvane::carddef
