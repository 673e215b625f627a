// SPDX-License-Identifier: MIT
#include "viewer/ui/qt_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lorvane::ui {
namespace {

QTranslator* g_installed = nullptr;  // the translation installed last, owned by the app

}  // namespace

bool ApplyQtLanguage(const QString& locale) {
  QLocale::setDefault(QLocale(locale));
  if (g_installed != nullptr) {
    QCoreApplication::removeTranslator(g_installed);
    delete g_installed;
    g_installed = nullptr;
  }
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  g_installed = translator;
  return true;
}

}  // namespace lorvane::ui
