// SPDX-License-Identifier: MIT
// The viewer's own settings file: the language folder, the chosen language and the four
// window keys, read at start-up and written back when the viewer closes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace lorvane::app {

inline constexpr char16_t kDefaultLanguageDirectory[] = u"Define\\Language";

struct ViewerSettings {
  std::u16string languageDirectory = kDefaultLanguageDirectory;
  std::u16string language;  // empty: the user's default input language
  // WindowLeft, WindowRight, Windowtop, Windowbottom; -1 when absent. Carried through as read.
  std::array<int32_t, 4> window{-1, -1, -1, -1};

  static ViewerSettings Read(const std::filesystem::path& file);
  // Writes every key; `currentLanguage` replaces the stored language name.
  bool Write(const std::filesystem::path& file, const std::u16string& currentLanguage) const;
};

}  // namespace lorvane::app
