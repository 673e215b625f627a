// SPDX-License-Identifier: MIT
#include "viewer/ui/phrase_translator.h"

#include <QCoreApplication>
#include <cstring>

#include "platform/qt/host_phrases.h"

namespace lorvane::ui {

PhraseTranslator::PhraseTranslator(const app::LanguageTable& languages) : languages_(languages) {
  QCoreApplication::installTranslator(this);
}

PhraseTranslator::~PhraseTranslator() { QCoreApplication::removeTranslator(this); }

// A null text for any other context, so Qt asks the next translator.
QString PhraseTranslator::translate(const char* context, const char* sourceText, const char*,
                                    int) const {
  if (context == nullptr || sourceText == nullptr ||
      std::strcmp(context, platform::kHostPhrasesContext) != 0)
    return {};
  const QString english = QString::fromUtf8(sourceText);
  return QString::fromStdU16String(languages_.Translate(english.toStdU16String()));
}

QString Phrase(const std::u16string& english) {
  return platform::HostPhrase(QString::fromStdU16String(english));
}

}  // namespace lorvane::ui
