// SPDX-License-Identifier: MIT
#include "viewer/ui/qt_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lorvane::ui {
namespace {

QTranslator* g_installed = nullptr;  // the translation installed last, owned by the app
QString g_applied;                   // the locale applied last

}  // namespace

bool ApplyQtLanguage(const QString& locale) {
  if (locale == g_applied) return g_installed != nullptr;
  g_applied = locale;
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
