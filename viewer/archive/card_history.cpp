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

// The definition, having read the card's latest read (for its IDm and title lines).
bool ReadLatest(HistoryArchive& archive, CardDefinition& definition, const Id8& idm,
                std::string& error) {
  const auto latest = archive.LatestRead(idm, error);
  if (!latest) return false;
  cardimage::CardImageReader reader(ToCardImage(*latest));
  return definition.historySource() && definition.ReadCard(reader) == 0;
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

std::optional<std::vector<CardKind>> ListCardKinds(HistoryArchive& archive,
                                                   const std::vector<CardDefinition*>& definitions,
                                                   const std::optional<Id8>& only,
                                                   std::string& error) {
  const auto cards = archive.Cards(error);
  if (!cards) return std::nullopt;
  std::vector<CardKind> kinds;
  for (const CardSummary& card : *cards) {
    if (only && *only != card.idm) continue;
    for (CardDefinition* definition : definitions) {
      if (ReadLatest(archive, *definition, card.idm, error))
        kinds.push_back({card, definition, definition->GetCardName()});
      if (!error.empty()) return std::nullopt;
    }
  }
  return kinds;
}

std::optional<CardHistory> LoadCardHistory(HistoryArchive& archive, const CardKind& kind,
                                           std::string& error) {
  CardDefinition& definition = *kind.definition;
  if (!ReadLatest(archive, definition, kind.card.idm, error)) {
    if (error.empty()) error = "the card's latest read no longer decodes";
    return std::nullopt;
  }
  const auto source = definition.historySource();
  const auto reads =
      archive.ServiceReads(kind.card.idm, source->systemCode, source->serviceCode, error);
  if (!reads) return std::nullopt;
  CardHistory history;
  history.idm = kind.card.idm;
  history.name = kind.name;
  history.idmLine = definition.GetInfoLine(0).value_or(u"");
  history.title = definition.GetHistoryLine(0).value_or(u"");
  history.columns = definition.HistoryColumns();
  history.rows = MergedHistory(definition, *reads);
  history.firstAt = kind.card.firstAt;
  history.lastAt = kind.card.lastAt;
  return history;
}

std::optional<std::vector<CardHistory>> LoadCardHistories(
    HistoryArchive& archive, const std::vector<CardDefinition*>& definitions,
    const std::optional<Id8>& only, std::string& error) {
  const auto kinds = ListCardKinds(archive, definitions, only, error);
  if (!kinds) return std::nullopt;
  std::vector<CardHistory> histories;
  for (const CardKind& kind : *kinds) {
    auto history = LoadCardHistory(archive, kind, error);
    if (!history) return std::nullopt;
    histories.push_back(std::move(*history));
  }
  return histories;
}

}  // namespace lorvane::archive
