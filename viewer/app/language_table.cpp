// SPDX-License-Identifier: MIT
#include "viewer/app/language_table.h"

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/pluginhost/plugin_settings_state.h"

namespace lorvane::app {
namespace {

constexpr size_t kTextChars = 199;

std::u16string Numbered(std::u16string_view stem, size_t n) {
  std::string digits = std::to_string(n);
  digits.insert(0, 3 - std::min<size_t>(3, digits.size()), '0');
  return std::u16string(stem) + platform::U16(digits);
}

}  // namespace

LanguageTable::LanguageTable()
    : LanguageList(kCapacity, u"Language.ini"),
      phrases_(PhraseCatalog(), [this](std::u16string_view key) -> std::optional<std::u16string> {
        const auto found = phraseTexts_.find(key);
        if (found == phraseTexts_.end()) return std::nullopt;
        return found->second;
      }) {}

// Read with the other texts, so that translating reads no file (it runs inside the toolkit's
// translation, where a message about the file could not be shown).
void LanguageTable::LoadPhraseTexts(const std::filesystem::path& file) {
  phraseTexts_.clear();
  for (const Phrase& phrase : PhraseCatalog()) {
    std::u16string text =
        platform::GetProfileString(kPhrasesSection, phrase.key, u"", kTextChars, file);
    if (!text.empty()) phraseTexts_.emplace(phrase.key, std::move(text));
  }
}

uint16_t LanguageTable::LoadTexts() {
  const auto file = CurrentLanguageFile();
  auto read = [&](std::u16string_view section, const std::u16string& key) {
    return platform::GetProfileString(section, key, key, kTextChars, file);
  };
  static constexpr std::array<std::u16string_view, 6> kMenuKeys = {
      u"Help", u"HelpAbout", u"Language", u"Setting", u"DLLInfo", u"DLLPath"};
  for (size_t i = 0; i < kMenuKeys.size(); ++i)
    menu_[i] = read(u"Menu", std::u16string(kMenuKeys[i]));
  menu_[kSaveCardImage] = platform::GetProfileString(u"Menu", u"SaveCardImage",
                                                     u"Save card image...", kTextChars, file);
  cardImageNotSaved_ = platform::GetProfileString(
      u"Message", u"CardImageNotSaved", u"The card image was not saved.", kTextChars, file);
  for (size_t i = 0; i < messages_.size(); ++i)
    messages_[i] = read(u"Message", Numbered(u"MESSAGE", i + 1));
  for (size_t i = 0; i < strings_.size(); ++i)
    strings_[i] = read(u"String", Numbered(u"STRING", i + 1));
  cardImage_ = read(u"Message", std::u16string(kCardImageKey));
  archive_ = LoadArchiveTexts(file);
  LoadPhraseTexts(file);
  textsFile_ = file;
  locale_ = platform::GetProfileString(u"Information", u"Locale", u"en", kTextChars, file);
  return 0;
}

std::u16string LanguageTable::Text(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view fallback) const {
  if (textsFile_.empty()) return std::u16string(fallback);
  return platform::GetProfileString(section, key, fallback, kTextChars, textsFile_);
}

std::u16string LanguageTable::ReadProblemText(ReadProblem problem) const {
  struct Entry {
    ReadProblem problem;
    const char16_t* key;
    const char16_t* english;
  };
  static constexpr Entry kTexts[] = {
      {ReadProblem::kNoDefinitions, u"NoDefinitions",
       u"There is no card definition for this language."},
      {ReadProblem::kNoService, u"NoService", pluginhost::kNoServiceText},
      {ReadProblem::kServiceHung, u"ServiceHung",
       u"The PC/SC service does not answer: restart it (sudo systemctl restart pcscd), then "
       u"start Lorvane again."},
      {ReadProblem::kNoPlugin, u"NoPlugin",
       u"No reader plug-in answered: connect a reader, or check the reader plug-in settings."},
      {ReadProblem::kNoCard, u"NoCard", u"No card on the reader."},
      {ReadProblem::kReaderFailed, u"ReaderFailed", u"The reader failed while looking for a card."},
  };
  if (problem == ReadProblem::kNone) return {};
  if (problem == ReadProblem::kUnrecognised) return Message(2);
  for (const Entry& entry : kTexts) {
    if (entry.problem == problem) return Text(u"Message", entry.key, entry.english);
  }
  return {};
}

}  // namespace lorvane::app
