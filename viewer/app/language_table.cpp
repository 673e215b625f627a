// SPDX-License-Identifier: MIT
#include "viewer/app/language_table.h"

#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace lorvane::app {
namespace {

constexpr size_t kTextChars = 199;

std::u16string Numbered(std::u16string_view stem, size_t n) {
  std::string digits = std::to_string(n);
  digits.insert(0, 3 - std::min<size_t>(3, digits.size()), '0');
  return std::u16string(stem) + platform::U16(digits);
}

}  // namespace

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
  return 0;
}

}  // namespace lorvane::app
