// SPDX-License-Identifier: MIT
#include "viewer/archive/card_history.h"

#include "cardimage/card_image_reader.h"
#include "viewer/archive/record_merge.h"

namespace lorvane::archive {
namespace {

using carddef::CardDefinition;
constexpr size_t kBlockBytes = 16;

// A read's records of the history service: its blocks from the first one on, as long as
// they follow each other, cut into records up to the first record without a date.
std::vector<RawRecord> RecordsOf(const CardDefinition& definition,
                                 const CardDefinition::HistorySource& source,
                                 const ServiceRead& read) {
  std::string bytes;
  uint16_t expected = source.firstBlock;
  for (const auto& [number, data] : read.blocks) {
    if (number < expected) continue;
    if (number != expected || number >= source.firstBlock + source.blockCount) break;
    bytes.append(reinterpret_cast<const char*>(data.data()), data.size());
    ++expected;
  }
  const size_t recordBytes = kBlockBytes * source.blocksPerRecord;
  const auto span = std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const size_t valid = definition.ValidHistoryRecords(span);
  std::vector<RawRecord> records;
  for (size_t i = 0; i < valid; ++i) records.push_back(bytes.substr(i * recordBytes, recordBytes));
  return records;
}

std::optional<CardHistory> HistoryOf(HistoryArchive& archive, CardDefinition& definition,
                                     const CardSummary& card, cardimage::CardImageReader& latest,
                                     std::string& error) {
  const auto source = definition.historySource();
  if (!source || definition.ReadCard(latest) != 0) return std::nullopt;
  const auto reads = archive.ServiceReads(card.idm, source->systemCode, source->serviceCode, error);
  if (!reads) return std::nullopt;
  CardHistory history;
  history.idm = card.idm;
  history.name = definition.GetCardName();
  history.idmLine = definition.GetInfoLine(0).value_or(u"");
  history.title = definition.GetHistoryLine(0).value_or(u"");
  history.columns = definition.HistoryColumns();
  history.rows = MergedHistory(definition, *reads);
  history.firstAt = card.firstAt;
  history.lastAt = card.lastAt;
  return history;
}

}  // namespace

std::vector<carddef::DecodedRow> MergedHistory(const CardDefinition& definition,
                                               const std::vector<ServiceRead>& reads) {
  const auto source = definition.historySource();
  if (!source) return {};
  RecordMerger merger;
  for (const ServiceRead& read : reads)
    merger.Add(RecordsOf(definition, *source, read), read.lastAt);
  std::vector<carddef::DecodedRow> rows;
  for (const RecordRun& run : merger.Runs()) {
    std::string bytes;
    for (const RawRecord& record : run.records) bytes += record;
    auto decoded = definition.DecodeHistory(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    rows.insert(rows.end(), std::make_move_iterator(decoded.begin()),
                std::make_move_iterator(decoded.end()));
  }
  return rows;
}

std::optional<std::vector<CardHistory>> LoadCardHistories(
    HistoryArchive& archive, const std::vector<CardDefinition*>& definitions,
    const std::optional<Id8>& only, std::string& error) {
  const auto cards = archive.Cards(error);
  if (!cards) return std::nullopt;
  std::vector<CardHistory> histories;
  for (const CardSummary& card : *cards) {
    if (only && *only != card.idm) continue;
    const auto latest = archive.LatestRead(card.idm, error);
    if (!latest) return std::nullopt;
    cardimage::CardImageReader reader(ToCardImage(*latest));
    for (CardDefinition* definition : definitions) {
      auto history = HistoryOf(archive, *definition, card, reader, error);
      if (!error.empty()) return std::nullopt;
      if (history) histories.push_back(std::move(*history));
    }
  }
  return histories;
}

}  // namespace lorvane::archive
