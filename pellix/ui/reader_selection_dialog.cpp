// SPDX-License-Identifier: MIT
#include "pellix/ui/reader_selection_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <cstring>

#include "platform/qt/dialog_template.h"

namespace lorvane::pellix {
namespace {

using platform::DialogUnits;
using platform::DluRect;

// The template, in dialog units, with "MS Shell Dlg" at 8 points.
constexpr int kFontPoints = 8;
constexpr int kWidth = 307;
constexpr int kHeight = 138;
constexpr DluRect kOk{78, 120, 48, 12};
constexpr DluRect kCancel{180, 120, 48, 12};
constexpr DluRect kList{6, 12, 294, 102};
constexpr DluRect kReadersLabel{6, 0, 42, 8};
constexpr DluRect kScan{60, 0, 48, 12};
constexpr size_t kNameBytes = 255;  // a longer entry name is cut

// The dialog's texts in the language the host application set as its default locale.
struct DialogTexts {
  QString title, ok, cancel, readers, scan, error, noCurrent, cannotOpen;
};

const DialogTexts& Texts() {
  static const DialogTexts kEnglish = {QStringLiteral("Choose a reader"),
                                       QStringLiteral("OK"),
                                       QStringLiteral("Cancel"),
                                       QStringLiteral("Readers"),
                                       QStringLiteral("Scan"),
                                       QStringLiteral("Error"),
                                       QStringLiteral("Cannot get current reader."),
                                       QStringLiteral("Cannot open current reader.")};
  static const DialogTexts kJapanese = {QStringLiteral("リーダーの選択"),
                                        QStringLiteral("OK"),
                                        QStringLiteral("キャンセル"),
                                        QStringLiteral("リーダー"),
                                        QStringLiteral("検索"),
                                        QStringLiteral("エラー"),
                                        QStringLiteral("リーダーが選ばれていません。"),
                                        QStringLiteral("リーダーを開けませんでした。")};
  return QLocale().language() == QLocale::Japanese ? kJapanese : kEnglish;
}

QString EntryText(const char* name) {
  return QString::fromUtf8(name, static_cast<qsizetype>(strnlen(name, kNameBytes)));
}

}  // namespace

ReaderSelectionDialog::ReaderSelectionDialog(ReaderChoice& driver) : driver_(driver) {
  setWindowTitle(Texts().title);
  setFont(platform::TemplateFont(platform::TemplateFace::kShellDlg, kFontPoints));
  const DialogUnits units(font());
  setFixedSize(units.ToPixels(kWidth, kHeight));
  ok_ = new QPushButton(Texts().ok, this);
  ok_->setGeometry(units.ToPixels(kOk));
  ok_->setDefault(true);
  cancel_ = new QPushButton(Texts().cancel, this);
  cancel_->setGeometry(units.ToPixels(kCancel));
  cancel_->setAutoDefault(false);
  list_ = new QListWidget(this);
  list_->setGeometry(units.ToPixels(kList));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setAccessibleName(Texts().readers);
  auto* label = new QLabel(Texts().readers, this);
  label->setGeometry(units.ToPixels(kReadersLabel));
  scan_ = new QPushButton(Texts().scan, this);
  scan_->setGeometry(units.ToPixels(kScan));
  scan_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &ReaderSelectionDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &ReaderSelectionDialog::reject);
  connect(scan_, &QPushButton::clicked, this, &ReaderSelectionDialog::Scan);
  FillList();
}

// Row i shows entry i; the row whose name is the current entry's is selected.
void ReaderSelectionDialog::FillList() {
  const QString current =
      driver_.EntryCount() > 0 ? EntryText(driver_.EntryName(driver_.CurrentEntry())) : QString();
  for (uint16_t i = 0; i < driver_.EntryCount(); ++i) {
    const QString name = EntryText(driver_.EntryName(i));
    list_->addItem(name);
    if (name == current) list_->setCurrentRow(i);
  }
}

// The readers listed again; the open reader, if any, stays connected.
void ReaderSelectionDialog::Scan() {
  driver_.Rescan();
  list_->clear();
  FillList();
}

void ReaderSelectionDialog::Error(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, Texts().error, text, QMessageBox::Ok, this);
  box.exec();
}

void ReaderSelectionDialog::accept() {
  if (driver_.EntryCount() > 0) {
    const int row = list_->currentRow();
    if (row < 0 || !list_->currentItem()->isSelected()) {
      Error(Texts().noCurrent);
    } else if (driver_.Reopen(driver_.EntryName(static_cast<uint16_t>(row))) < 0) {
      Error(Texts().cannotOpen);
    }
  }
  done(kSelectionOk);
}

}  // namespace lorvane::pellix

// The module's entry point: the dialog, modal and without an owner, on the host's Qt
// application (kSelectionNotShown without one).
extern "C" __attribute__((visibility("default"))) int PellixReaderSelection(
    lorvane::pellix::ReaderChoice* choice) {
  using namespace lorvane::pellix;
  if (choice == nullptr || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return kSelectionNotShown;
  ReaderSelectionDialog dialog(*choice);
  return dialog.exec();
}
