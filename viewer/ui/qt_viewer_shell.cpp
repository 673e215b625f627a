// SPDX-License-Identifier: MIT
#include "viewer/ui/qt_viewer_shell.h"

namespace lorvane::ui {
namespace {

class ModalMainDialog final : public app::ModalDialog {
 public:
  ModalMainDialog(app::ViewerApp& app, QtHostUi& hostUi, MainDialog::Setup setup)
      : dialog_(app, hostUi, std::move(setup)) {
    hostUi.SetMainWindow(&dialog_);
  }
  void RunModal() override { dialog_.exec(); }

 private:
  MainDialog dialog_;
};

}  // namespace

void QtViewerShell::ShowStartupError(const std::u16string& text, const std::u16string& caption) {
  ShowMessageBox(nullptr, text, caption, pluginhost::MessageKind::kPlain);
}

std::unique_ptr<app::ModalDialog> QtViewerShell::CreateMainDialog(app::ViewerApp& app) {
  return std::make_unique<ModalMainDialog>(app, hostUi_, std::move(setup_));
}

}  // namespace lorvane::ui
