// SPDX-License-Identifier: MIT
// One press of the read button: open the reader, let the definitions read the card in load
// order until 8 have succeeded, close the reader; and what the dialog then shows per tab.
#pragma once

#include <string>
#include <vector>

#include "viewer/app/definition_discovery.h"
#include "viewer/carddef/card_reader.h"

namespace lorvane::app {

inline constexpr size_t kMaxReadTabs = 8;
inline constexpr uint16_t kMaxHistoryLines = 100;
inline constexpr size_t kMaxInfoTextChars = 399;

// The definitions that read the card, in read order (at most 8).
std::vector<carddef::CardDefinition*> ReadCards(carddef::CardReader& reader,
                                                const CardDefinitions& definitions);

// What one tab shows: its caption, the non-empty card-information lines (their joined text
// holds at most 399 characters), the history title and at most 100 non-empty history lines.
struct CardView {
  std::u16string name;
  std::vector<std::u16string> info;
  std::u16string title;
  std::vector<std::u16string> history;
};

CardView ViewOf(const carddef::CardDefinition& definition);

// The card-information text of a tab: each line followed by a line break, at most 399
// characters.
std::u16string InfoText(const CardView& view);

}  // namespace lorvane::app
