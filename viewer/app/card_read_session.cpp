// SPDX-License-Identifier: MIT
#include "viewer/app/card_read_session.h"

namespace lorvane::app {

std::vector<carddef::CardDefinition*> ReadCards(carddef::CardReader& reader,
                                                const CardDefinitions& definitions) {
  std::vector<carddef::CardDefinition*> read;
  reader.ReaderOpen();
  for (const auto& definition : definitions) {
    if (read.size() >= kMaxReadTabs) break;
    if (definition->ReadCard(reader) == 0) read.push_back(definition.get());
  }
  reader.ReaderClose();
  return read;
}

CardView ViewOf(const carddef::CardDefinition& definition) {
  CardView view;
  view.name = definition.GetCardName();
  size_t joined = 0;
  for (uint16_t n = 0; n < UINT16_MAX; ++n) {
    const auto line = definition.GetInfoLine(n);
    if (!line) break;
    if (line->empty() || joined >= kMaxInfoTextChars) continue;
    // The card-information text holds the lines joined by line breaks, 399 characters at most.
    const size_t room = kMaxInfoTextChars - joined;
    view.info.push_back(line->substr(0, room));
    joined += std::min(room, line->size() + 1);
  }
  view.title = definition.GetHistoryLine(0).value_or(std::u16string());
  for (uint16_t n = 1; n <= kMaxHistoryLines; ++n) {
    const auto line = definition.GetHistoryLine(n);
    if (!line) break;
    if (!line->empty()) view.history.push_back(*line);
  }
  return view;
}

std::u16string InfoText(const CardView& view) {
  std::u16string text;
  for (const auto& line : view.info) text += line + u"\n";
  if (text.size() > kMaxInfoTextChars) text.resize(kMaxInfoTextChars);
  return text;
}

}  // namespace lorvane::app
