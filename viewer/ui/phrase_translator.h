// SPDX-License-Identifier: MIT
// The translator of the texts the program composes in English (platform/qt/host_phrases.h),
// installed in the application for as long as it lives: it follows the language selected in
// the table at each call, so a language chosen from the menu takes effect at once, in the
// viewer's message boxes and in the plug-ins' dialogs alike.
#pragma once

#include <QTranslator>

#include "viewer/app/language_table.h"

namespace lorvane::ui {

class PhraseTranslator final : public QTranslator {
 public:
  explicit PhraseTranslator(const app::LanguageTable& languages);
  ~PhraseTranslator() override;

  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }

 private:
  const app::LanguageTable& languages_;
};

// `english` in the window's language, through the translators installed.
QString Phrase(const std::u16string& english);

}  // namespace lorvane::ui
