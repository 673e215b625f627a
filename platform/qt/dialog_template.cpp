// SPDX-License-Identifier: MIT
#include "platform/qt/dialog_template.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace lorvane::platform {
namespace {

// a · b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QString FirstInstalled(const QStringList& candidates, QFontDatabase::SystemFont fallback) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : candidates) {
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  }
  return QFontDatabase::systemFont(fallback).family();
}

}  // namespace

QFont TemplateFont(TemplateFace face, int pointSize) {
  QFont font;
  switch (face) {
    case TemplateFace::kGothic:
      font.setFamily(
          FirstInstalled({"VL Gothic", "Noto Sans Mono CJK JP"}, QFontDatabase::FixedFont));
      font.setStyleHint(QFont::Monospace);
      break;
    case TemplateFace::kPGothic:
      font.setFamily(
          FirstInstalled({"VL PGothic", "Noto Sans CJK JP"}, QFontDatabase::GeneralFont));
      break;
    case TemplateFace::kShellDlg:
      font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
      break;
  }
  font.setPointSize(pointSize);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width over the 52 Latin letters, rounded, as the dialog manager takes it.
  const int letters =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
}

QRect DialogUnits::ToPixels(const DluRect& rect) const {
  const int left = MulDiv(rect.x, baseX_, 4);
  const int top = MulDiv(rect.y, baseY_, 8);
  const int right = MulDiv(rect.x + rect.width, baseX_, 4);
  const int bottom = MulDiv(rect.y + rect.height, baseY_, 8);
  return QRect(left, top, right - left, bottom - top);
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return QSize(MulDiv(width, baseX_, 4), MulDiv(height, baseY_, 8));
}

}  // namespace lorvane::platform
