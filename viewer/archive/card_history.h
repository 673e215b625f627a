// SPDX-License-Identifier: MIT
// The archive as the viewer shows it: per card and card kind, every history record the card
// ever showed, merged from all its reads and decoded by today's card definitions.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/archive/history_archive.h"
#include "viewer/carddef/card_definition.h"

namespace lorvane::archive {

struct CardHistory {
  Id8 idm{};
  std::u16string name;     // the card kind: the definition's card name
  std::u16string idmLine;  // the definition's IDm line
  std::u16string title;    // its history title line ("" without one)
  std::vector<carddef::ItemColumn> columns;
  std::vector<carddef::DecodedRow> rows;  // newest first, run after run
  int64_t firstAt = 0;
  int64_t lastAt = 0;
};

// A card and one kind it is of: a definition that reads the card's latest read and has a
// history.
struct CardKind {
  CardSummary card;
  carddef::CardDefinition* definition = nullptr;
  std::u16string name;
};

// Every card of the archive, or only `only`, the most recently read first; per card, one
// entry per definition (in the order given) that reads the card's latest read and has a
// history. Cheap: no history is merged. nullopt with `error` when the archive fails.
std::optional<std::vector<CardKind>> ListCardKinds(
    HistoryArchive& archive, const std::vector<carddef::CardDefinition*>& definitions,
    const std::optional<Id8>& only, std::string& error);

// The whole history of one card kind.
std::optional<CardHistory> LoadCardHistory(HistoryArchive& archive, const CardKind& kind,
                                           std::string& error);

// ListCardKinds, each loaded.
std::optional<std::vector<CardHistory>> LoadCardHistories(
    HistoryArchive& archive, const std::vector<carddef::CardDefinition*>& definitions,
    const std::optional<Id8>& only, std::string& error);

// The history of one definition from the card's reads (the oldest first): the records of
// each read up to its first record without a date, merged into runs, each run decoded.
std::vector<carddef::DecodedRow> MergedHistory(const carddef::CardDefinition& definition,
                                               const std::vector<ServiceRead>& reads);

}  // namespace lorvane::archive
