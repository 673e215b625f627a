// SPDX-License-Identifier: MIT
// The language catalogue with the texts of the selected language: the main dialog's
// strings, its messages and the popup menu texts. A missing text reads as its key name, except
// the texts of saving a card image, which read in English.
#pragma once

#include <array>
#include <map>

#include "viewer/app/archive_texts.h"
#include "viewer/app/language_list.h"
#include "viewer/app/phrase_book.h"
#include "viewer/app/read_outcome.h"

namespace lorvane::app {

inline constexpr char16_t kCardImageKey[] = u"CardImage";

class LanguageTable final : public LanguageList {
 public:
  static constexpr uint16_t kCapacity = 200;
  enum Menu { kHelp, kHelpAbout, kLanguage, kSetting, kDllInfo, kDllPath, kSaveCardImage };

  LanguageTable();
  LanguageTable(const LanguageTable&) = delete;
  LanguageTable& operator=(const LanguageTable&) = delete;

  uint16_t LoadTexts() override;

  // STRING001..STRING006, MESSAGE001..MESSAGE002 (1-based as in the file), menu texts.
  const std::u16string& String(int n) const { return strings_.at(n - 1); }
  const std::u16string& Message(int n) const { return messages_.at(n - 1); }
  const std::u16string& MenuText(Menu item) const { return menu_.at(item); }
  // The window's note that the card shown was read from a card image file ("Message",
  // "CardImage").
  const std::u16string& CardImageText() const { return cardImage_; }
  // The message that a card image could not be saved ("Message", "CardImageNotSaved").
  const std::u16string& CardImageNotSavedText() const { return cardImageNotSaved_; }
  // Why a read showed nothing ("Message" keys NoDefinitions, NoService, ServiceHung,
  // NoPlugin, NoCard, ReaderFailed; MESSAGE002 for a card no definition reads); English where
  // the file has none. Empty for kNone.
  std::u16string ReadProblemText(ReadProblem problem) const;
  // A text of `section` by `key` in this language, or `fallback` (the text the program has
  // always shown) where the language file has none.
  std::u16string Text(std::u16string_view section, std::u16string_view key,
                      std::u16string_view fallback) const;
  // A text the program composed in English (an error, its reason, a caption) in this
  // language, through its "Phrases" section; English where the file has no text for it.
  std::u16string Translate(std::u16string_view english) const {
    return phrases_.Translate(english);
  }
  // The language's locale for the toolkit's own texts ("Information", "Locale"; "en" when
  // the file names none).
  const std::u16string& Locale() const { return locale_; }
  // The history archive window's texts.
  const ArchiveTexts& archiveTexts() const { return archive_; }

 private:
  void LoadPhraseTexts(const std::filesystem::path& file);

  std::array<std::u16string, 6> strings_;
  std::array<std::u16string, 2> messages_;
  std::array<std::u16string, 7> menu_;
  std::u16string cardImage_;
  std::u16string cardImageNotSaved_;
  std::filesystem::path textsFile_;
  std::u16string locale_;
  ArchiveTexts archive_;
  std::map<std::u16string, std::u16string, std::less<>> phraseTexts_;
  PhraseBook phrases_;
};

}  // namespace lorvane::app
