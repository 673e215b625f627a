// SPDX-License-Identifier: MIT
// The languages of the viewer: the folders below the language base folder whose
// Language.ini names this program, and which of them is selected.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lorvane::app {

inline constexpr uint16_t kLanguageOk = 0;
inline constexpr uint16_t kNoLanguages = 2;
inline constexpr uint16_t kNotThisProgram = 0xFFFE;
inline constexpr uint16_t kNoSuchLanguage = 0xFFFF;

class LanguageList {
 public:
  LanguageList() : LanguageList(0, u"") {}
  virtual ~LanguageList() = default;

  // Lists the languages of `application` below `baseFolder` (in name order) and selects the
  // one whose display name is `wanted`, or the first one.
  virtual uint16_t LoadLanguages(const std::u16string& application,
                                 const std::filesystem::path& baseFolder,
                                 const std::u16string& wanted);
  virtual uint16_t GetLanguageCount() const { return static_cast<uint16_t>(names_.size()); }
  virtual std::optional<std::u16string> GetLanguageName(uint16_t index) const;
  virtual uint16_t SelectLanguageByName(const std::u16string& name);
  virtual uint16_t SelectLanguage(uint16_t index);
  virtual uint16_t LoadTexts() { return 0; }
  virtual std::u16string GetCurrentLanguageName() const;
  virtual uint16_t GetCurrentIndex() const { return currentIndex_; }
  virtual const std::filesystem::path& GetLanguageFolder() const { return baseFolder_; }
  // The selected language's folder, where its card definition files lie.
  virtual const std::filesystem::path& GetCurrentFolder() const { return currentFolder_; }

 protected:
  LanguageList(uint16_t capacity, std::u16string languageFileName);
  std::filesystem::path LanguageFile(const std::string& folderName) const;
  std::filesystem::path CurrentLanguageFile() const;

 private:
  uint16_t ListLanguages(const std::u16string& application, const std::filesystem::path& baseFolder,
                         const std::u16string& wanted);

  std::u16string application_;
  std::filesystem::path baseFolder_;
  uint16_t capacity_;
  std::u16string languageFileName_;
  std::vector<std::u16string> names_;
  std::vector<std::string> folders_;
  uint16_t currentIndex_ = 0;
  std::filesystem::path currentFolder_;
};

}  // namespace lorvane::app
