// SPDX-License-Identifier: MIT
#include "viewer/ui/elided_label.h"

#include <QPainter>

namespace lorvane::ui {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
}

// A text too wide ends with an ellipsis after the last whole word that leaves room for it;
// a first word too wide for the label is cut anywhere.
QString ElidedLabel::ShownText() const {
  const QFontMetrics metrics = fontMetrics();
  const int width = contentsRect().width();
  const QString whole = text();
  if (metrics.horizontalAdvance(whole) <= width) return whole;
  for (qsizetype end = whole.lastIndexOf(' '); end > 0; end = whole.lastIndexOf(' ', end - 1)) {
    const QString words = whole.left(end).trimmed();
    const QString candidate = words + QStringLiteral("...");
    if (!words.isEmpty() && metrics.horizontalAdvance(candidate) <= width) return candidate;
  }
  return metrics.elidedText(whole, Qt::ElideRight, width);
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   ShownText());
}

}  // namespace lorvane::ui
