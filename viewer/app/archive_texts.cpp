// SPDX-License-Identifier: MIT
#include "viewer/app/archive_texts.h"

#include <utility>

#include "platform/ini_profile.h"

namespace lorvane::app {
namespace {

constexpr size_t kTextChars = 199;

}  // namespace

ArchiveTexts LoadArchiveTexts(const std::filesystem::path& languageFile) {
  ArchiveTexts texts;
  const auto read = [&](std::u16string_view section, std::u16string_view key,
                        std::u16string& text) {
    text = platform::GetProfileString(section, key, text, kTextChars, languageFile);
  };
  read(u"Menu", u"HistoryArchive", texts.menu);
  const std::pair<std::u16string_view, std::u16string*> keys[] = {
      {u"Caption", &texts.caption},     {u"Card", &texts.card},
      {u"From", &texts.from},           {u"To", &texts.to},
      {u"ExportCsv", &texts.exportCsv}, {u"Forget", &texts.forget},
      {u"Close", &texts.close},         {u"Summary", &texts.summary},
      {u"Selected", &texts.selected},   {u"ForgetQuestion", &texts.forgetQuestion},
      {u"Empty", &texts.empty},         {u"Failed", &texts.failed},
      {u"CsvFiles", &texts.csvFiles},   {u"NotSaved", &texts.notSaved}};
  for (const auto& [key, text] : keys) read(u"Archive", key, *text);
  return texts;
}

}  // namespace lorvane::app
