// SPDX-License-Identifier: MIT
#include "viewer/ui/qt_host_ui.h"

#include <QFileDialog>
#include <QMessageBox>

#include "viewer/ui/phrase_translator.h"

namespace lorvane::ui {
namespace {

QMessageBox::Icon IconOf(pluginhost::MessageKind kind) {
  switch (kind) {
    case pluginhost::MessageKind::kInformation:
      return QMessageBox::Information;
    case pluginhost::MessageKind::kWarning:
      return QMessageBox::Warning;
    case pluginhost::MessageKind::kError:
      return QMessageBox::Critical;
    case pluginhost::MessageKind::kPlain:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void ShowMessageBox(QWidget* owner, const std::u16string& text, const std::u16string& caption,
                    pluginhost::MessageKind kind) {
  QMessageBox box(IconOf(kind), Phrase(caption), Phrase(text), QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::optional<std::u16string> QtHostUi::BrowseFolder(const std::u16string& initial) {
  QString start = QString::fromStdU16String(initial);
  // The folder itself is selected, so a trailing separator goes (a root keeps its own).
  if (start.size() > 1 && (start.endsWith('/') || start.endsWith('\\'))) start.chop(1);
  const QString chosen = QFileDialog::getExistingDirectory(mainWindow_, folderTitle_, start,
                                                           QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdU16String();
}

void QtHostUi::ShowMessage(const std::u16string& text, const std::u16string& caption,
                           pluginhost::MessageKind kind) {
  // The plug-in information box belongs to the main window; the others have no owner.
  QWidget* owner = kind == pluginhost::MessageKind::kInformation ? mainWindow_.data() : nullptr;
  ShowMessageBox(owner, text, caption, kind);
}

}  // namespace lorvane::ui
