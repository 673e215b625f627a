// SPDX-License-Identifier: MIT
#include "plugins/cardimage/ui/image_chooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "cardimage/card_image.h"
#include "platform/qt/host_phrases.h"

namespace lorvane::cardimageplugin {
namespace {

// The chooser's title and file filter in the language the host application set as its
// default locale.
bool InJapanese() { return QLocale().language() == QLocale::Japanese; }
QString Title() {
  return InJapanese() ? QStringLiteral("カードイメージ") : QStringLiteral("Card image");
}
QString Filter() {
  return InJapanese() ? QStringLiteral("カードイメージ (*.json *.nfc);;すべてのファイル (*)")
                      : QStringLiteral("Card images (*.json *.nfc);;All files (*)");
}

// Why the file cannot be served, or nothing when it can.
std::optional<std::string> Refusal(const std::filesystem::path& file) {
  if (file.string().size() > kMaxImagePathBytes)
    return file.string() + ": the path is longer than " + std::to_string(kMaxImagePathBytes) +
           " bytes and cannot be kept";
  std::string error;
  if (!cardimage::LoadCardImage(file, error)) return error;
  return std::nullopt;
}

// Until the user picks a card image that can be kept, or gives up.
int Choose(const QString& current, std::string& chosen) {
  QString start = current;
  for (;;) {
    const QString file = QFileDialog::getOpenFileName(nullptr, Title(), start, Filter());
    if (file.isEmpty()) return kChoiceCancelled;
    const std::filesystem::path path = file.toStdString();
    const auto refusal = Refusal(path);
    if (!refusal) {
      chosen = path.string();
      return kImageChosen;
    }
    QMessageBox box(QMessageBox::Warning, Title(), platform::HostPhrase(*refusal), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    start = file;
  }
}

}  // namespace
}  // namespace lorvane::cardimageplugin

extern "C" __attribute__((visibility("default"))) int CardImageChooseFile(const char* current,
                                                                          char* chosen,
                                                                          size_t capacity) {
  using namespace lorvane::cardimageplugin;
  if (current == nullptr || chosen == nullptr || capacity <= kMaxImagePathBytes ||
      qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return kChooserNotShown;
  std::string path;
  const int result = Choose(QString::fromUtf8(current), path);
  if (result == kImageChosen) {
    std::memset(chosen, 0, capacity);
    std::memcpy(chosen, path.data(), path.size());
  }
  return result;
}
