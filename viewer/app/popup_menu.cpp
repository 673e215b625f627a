// SPDX-License-Identifier: MIT
#include "viewer/app/popup_menu.h"

namespace lorvane::app {

PopupMenu BuildPopupMenu(const LanguageTable& languages) {
  PopupMenu menu;
  menu.languages.caption = languages.MenuText(LanguageTable::kLanguage);
  for (uint16_t i = 0; i < languages.GetLanguageCount(); ++i) {
    menu.languages.items.push_back({languages.GetLanguageName(i).value_or(u""),
                                    kLanguageCommandFirst + i, i == languages.GetCurrentIndex()});
  }
  menu.settings.caption = languages.MenuText(LanguageTable::kSetting);
  menu.settings.items = {{languages.MenuText(LanguageTable::kDllInfo), kPluginSettingsCommand},
                         {languages.MenuText(LanguageTable::kDllPath), kPluginFolderCommand}};
  menu.saveCardImage = {languages.MenuText(LanguageTable::kSaveCardImage), kSaveCardImageCommand};
  menu.historyArchive = {languages.archiveTexts().menu, kHistoryArchiveCommand};
  menu.about = {languages.Text(u"Menu", u"About", kAboutMenuText), kAboutCommand};
  return menu;
}

}  // namespace lorvane::app
