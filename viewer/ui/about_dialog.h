// SPDX-License-Identifier: MIT
// The About box: the program icon, the product line and version, the legal notice line and
// an OK button.
#pragma once

#include <QDialog>
#include <QLabel>

namespace lorvane::ui {

inline constexpr char16_t kAboutTitle[] = u"Lorvaneのﾊﾞｰｼﾞｮﾝ情報";

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const QString& productText, const QString& noticeText, QWidget* parent);

  QLabel* productLabel() const { return product_; }  // control 1004
  QLabel* noticeLabel() const { return notice_; }    // control 1001

 private:
  QLabel* product_;
  QLabel* notice_;
};

}  // namespace lorvane::ui
