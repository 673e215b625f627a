// SPDX-License-Identifier: MIT
// The main dialog's right-button popup menu: a language submenu, a plug-in submenu, saving the
// card as a card image and the About item, with the command each item gives back.
#pragma once

#include <string>
#include <vector>

#include "viewer/app/language_table.h"

namespace lorvane::app {

// Language i gives the command kLanguageCommandFirst + i (at most 200 languages).
inline constexpr int kLanguageCommandFirst = 2024;
inline constexpr int kLanguageCommandLast = kLanguageCommandFirst + LanguageTable::kCapacity - 1;
inline constexpr int kPluginSettingsCommand = 2224;
inline constexpr int kPluginFolderCommand = 2225;
inline constexpr int kSaveCardImageCommand = 2226;
inline constexpr int kHistoryArchiveCommand = 2227;
// The About command, as the system menu numbers it.
inline constexpr int kAboutCommand = 16;
inline constexpr char16_t kAboutMenuText[] = u"Lorvane のﾊﾞｰｼﾞｮﾝ情報(&A)...";

struct MenuItem {
  std::u16string text;
  int command = 0;
  bool checked = false;
};

struct Submenu {
  std::u16string caption;
  std::vector<MenuItem> items;
};

struct PopupMenu {
  Submenu languages;        // one item per language, the selected one checked
  Submenu settings;         // "DLLInfo" and "DLLPath"
  MenuItem saveCardImage;   // after the submenus
  MenuItem historyArchive;  // after it
  MenuItem about;           // after a separator, at the end
};

PopupMenu BuildPopupMenu(const LanguageTable& languages);

}  // namespace lorvane::app
