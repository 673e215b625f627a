// SPDX-License-Identifier: MIT
// A one-line label that shows its whole text when it fits and otherwise ends it with an
// ellipsis; its text, as accessibility tools read it, stays whole.
#pragma once

#include <QLabel>

namespace lorvane::ui {

class ElidedLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent);

  // The text as drawn at the label's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace lorvane::ui
