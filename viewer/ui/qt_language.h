// SPDX-License-Identifier: MIT
// Qt's own texts (standard buttons, file and folder dialogs, the context menus of text boxes)
// in the chosen language: Qt's translations (Debian's qt6-translations-l10n) for the
// language file's locale, and that locale as the application's default, which plug-in
// dialogs running in this application follow too.
#pragma once

#include <QString>

namespace lorvane::ui {

// `locale` as "ja" or "en"; a locale without a translation leaves Qt's English texts.
// Returns whether a translation was installed.
bool ApplyQtLanguage(const QString& locale);

}  // namespace lorvane::ui
