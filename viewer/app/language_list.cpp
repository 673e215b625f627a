// SPDX-License-Identifier: MIT
#include "viewer/app/language_list.h"

#include <cstdio>

#include "platform/directory_listing.h"
#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace lorvane::app {
namespace {

constexpr size_t kTextChars = 199;

std::u16string ReadInformation(const std::filesystem::path& file, std::u16string_view key) {
  return platform::GetProfileString(u"Information", key, u"", kTextChars, file);
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  return platform::EqualsIgnoreAsciiCase(platform::Trim(a, platform::kWhiteSpace),
                                         platform::Trim(b, platform::kWhiteSpace));
}

// A language folder whose file is there but cannot serve is named, with why; a folder without
// the file is no language folder and passes unnamed.
void NameBrokenFile(const std::filesystem::path& file, const std::string& why) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return;
  std::fprintf(stderr, "lorvane: %s: %s; the language is left out\n", file.string().c_str(),
               why.c_str());
}

}  // namespace

LanguageList::LanguageList(uint16_t capacity, std::u16string languageFileName)
    : capacity_(capacity), languageFileName_(std::move(languageFileName)) {}

std::filesystem::path LanguageList::LanguageFile(const std::string& folderName) const {
  return baseFolder_ / folderName / platform::U8(languageFileName_);
}

std::filesystem::path LanguageList::CurrentLanguageFile() const {
  return currentFolder_ / platform::U8(languageFileName_);
}

// A failure while listing (out of memory, say) is a folder that cannot be listed.
uint16_t LanguageList::LoadLanguages(const std::u16string& application,
                                     const std::filesystem::path& baseFolder,
                                     const std::u16string& wanted) {
  try {
    return ListLanguages(application, baseFolder, wanted);
  } catch (...) {
    names_.clear();
    folders_.clear();
    return kNoLanguages;
  }
}

uint16_t LanguageList::ListLanguages(const std::u16string& application,
                                     const std::filesystem::path& baseFolder,
                                     const std::u16string& wanted) {
  const std::u16string_view wantedName = platform::Trim(wanted, platform::kWhiteSpace);
  application_ = application;
  const auto entries = platform::ListDirectory(baseFolder);
  if (!entries) return kNoLanguages;
  baseFolder_ = baseFolder;
  names_.clear();
  folders_.clear();
  std::optional<uint16_t> match;
  for (const auto& entry : *entries) {
    if (names_.size() >= capacity_) break;
    if (!entry.isDirectory || entry.name.front() == '.') continue;
    const auto file = LanguageFile(entry.name);
    if (!SameText(ReadInformation(file, u"Application"), application_)) {
      NameBrokenFile(file, "its [Information] Application is not " + platform::U8(application_));
      continue;
    }
    const std::u16string name = ReadInformation(file, u"Name");
    if (name.empty()) {
      NameBrokenFile(file, "its [Information] has no Name");
      continue;
    }
    if (!wantedName.empty() && !match && SameText(name, wantedName)) {
      match = static_cast<uint16_t>(names_.size());
    }
    names_.push_back(name);
    folders_.push_back(entry.name);
  }
  if (names_.empty()) return kNoLanguages;
  return SelectLanguageByName(*GetLanguageName(match.value_or(0)));
}

std::optional<std::u16string> LanguageList::GetLanguageName(uint16_t index) const {
  if (index >= names_.size()) return std::nullopt;
  return names_[index];
}

uint16_t LanguageList::SelectLanguageByName(const std::u16string& name) {
  size_t index = 0;
  while (index < names_.size() && !SameText(names_[index], name)) ++index;
  return SelectLanguage(static_cast<uint16_t>(std::min<size_t>(index, 0xFFFF)));
}

uint16_t LanguageList::SelectLanguage(uint16_t index) {
  if (index >= names_.size()) return kNoSuchLanguage;
  if (!SameText(ReadInformation(LanguageFile(folders_[index]), u"Application"), application_)) {
    return kNotThisProgram;
  }
  currentIndex_ = index;
  currentFolder_ = baseFolder_ / folders_[index];
  return LoadTexts();
}

std::u16string LanguageList::GetCurrentLanguageName() const {
  return currentIndex_ < names_.size() ? names_[currentIndex_] : std::u16string();
}

}  // namespace lorvane::app
