// SPDX-License-Identifier: MIT
// The history archive window's texts, from the section "Archive" of the language file. A
// language file without them shows the English ones, so older language folders still work.
// "%1", "%2" and "%3" stand for the figures each text names.
#pragma once

#include <string>

#include <filesystem>

namespace lorvane::app {

struct ArchiveTexts {
  std::u16string menu = u"History archive...";  // the popup menu item ("Menu", "HistoryArchive")
  std::u16string caption = u"History archive";
  std::u16string card = u"Card:";
  std::u16string from = u"From:";
  std::u16string to = u"To:";
  std::u16string exportCsv = u"Export CSV...";
  std::u16string forget = u"Forget this card...";
  std::u16string close = u"Close";
  std::u16string summary = u"%1 records, %2 to %3";
  std::u16string selected = u"%1 selected, amounts total %2";
  std::u16string forgetQuestion = u"Forget every record of the card %1? This cannot be undone.";
  std::u16string empty =
      u"The history archive holds no card yet. Cards read from a reader are kept here.";
  std::u16string failed = u"The history archive %1 cannot be used: %2";
  std::u16string csvFiles = u"CSV files (*.csv)";
  std::u16string notSaved = u"%1 could not be written: %2";
};

ArchiveTexts LoadArchiveTexts(const std::filesystem::path& languageFile);

}  // namespace lorvane::app
