// SPDX-License-Identifier: MIT
// The plug-in host's user interface on Qt: the folder choice and its message boxes.
#pragma once

#include <QPointer>
#include <QWidget>

#include "viewer/pluginhost/host_ui.h"

namespace lorvane::ui {

class QtHostUi final : public pluginhost::HostUi {
 public:
  // The window that owns the boxes that have an owner (the main dialog, once it exists).
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }

  // The folder dialog's title, in the chosen language ("Plug-in folder" until set).
  void SetFolderTitle(const QString& title) { folderTitle_ = title; }
  // An existing folder, or nullopt when the user cancels.
  std::optional<std::u16string> BrowseFolder(const std::u16string& initial) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   pluginhost::MessageKind kind) override;

 private:
  QPointer<QWidget> mainWindow_;
  QString folderTitle_ = QStringLiteral("Plug-in folder");
};

// A message box with an OK button: the icon that goes with the kind, owned by `owner` (none
// when null).
void ShowMessageBox(QWidget* owner, const std::u16string& text, const std::u16string& caption,
                    pluginhost::MessageKind kind);

}  // namespace lorvane::ui
