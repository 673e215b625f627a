// SPDX-License-Identifier: MIT
// Dialog templates on Qt: the template fonts mapped to fonts of this system, and rectangles
// given in dialog units converted to pixels with a font's base units (x · average character
// width / 4, y · line height / 8), so every dialog is laid out from its template.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace lorvane::platform {

enum class TemplateFace {
  kGothic,    // "ＭＳ ゴシック": fixed pitch, Japanese
  kPGothic,   // "ＭＳ Ｐゴシック": proportional, Japanese
  kShellDlg,  // "MS Shell Dlg": the system's dialog font
};

// The installed family that stands for the face, at the template's point size.
QFont TemplateFont(TemplateFace face, int pointSize);

// A template's rectangle: x, y, width, height in dialog units.
struct DluRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class DialogUnits {
 public:
  // The base units of a font: its average character width and its line height.
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  // Each edge converted on its own (x · baseX / 4, y · baseY / 8, rounded).
  QRect ToPixels(const DluRect& rect) const;
  QSize ToPixels(int width, int height) const;

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

 private:
  int baseX_;
  int baseY_;
};

}  // namespace lorvane::platform
