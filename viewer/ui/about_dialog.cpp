// SPDX-License-Identifier: MIT
#include "viewer/ui/about_dialog.h"

#include <QPushButton>

#include "platform/qt/dialog_template.h"
#include "viewer/ui/artwork.h"

namespace lorvane::ui {

using platform::DialogUnits;
using platform::DluRect;
using platform::TemplateFace;
using platform::TemplateFont;
namespace {

// The template, in dialog units.
constexpr int kWidth = 235;
constexpr int kHeight = 55;
constexpr DluRect kIcon{11, 17, 20, 20};
constexpr DluRect kProduct{40, 8, 130, 18};  // 1004: two lines
constexpr DluRect kNotice{40, 29, 130, 20};  // 1001
constexpr DluRect kOk{178, 7, 50, 14};       // 1

}  // namespace

AboutDialog::AboutDialog(const QString& productText, const QString& noticeText, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromStdU16String(kAboutTitle));
  setFont(TemplateFont(TemplateFace::kPGothic, 9));
  const DialogUnits units(font());
  setFixedSize(units.ToPixels(kWidth, kHeight));

  auto* icon = new QLabel(this);
  const QRect iconRect = units.ToPixels(kIcon);
  icon->setGeometry(iconRect);
  icon->setPixmap(ProgramIcon().pixmap(std::min(iconRect.width(), iconRect.height())));

  product_ = new QLabel(productText, this);
  notice_ = new QLabel(noticeText, this);
  for (QLabel* label : {product_, notice_}) {
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
  }
  product_->setGeometry(units.ToPixels(kProduct));
  notice_->setGeometry(units.ToPixels(kNotice));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(units.ToPixels(kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace lorvane::ui
