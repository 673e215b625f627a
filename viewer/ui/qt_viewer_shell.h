// SPDX-License-Identifier: MIT
// Start-up's window system on Qt: the start-up error box and the modal main dialog.
#pragma once

#include "viewer/app/viewer_app.h"
#include "viewer/ui/main_dialog.h"
#include "viewer/ui/qt_host_ui.h"

namespace lorvane::ui {

class QtViewerShell final : public app::ViewerShell {
 public:
  explicit QtViewerShell(MainDialog::Setup setup) : setup_(std::move(setup)) {}

  void ShowStartupError(const std::u16string& text, const std::u16string& caption) override;
  std::unique_ptr<app::ModalDialog> CreateMainDialog(app::ViewerApp& app) override;

 private:
  MainDialog::Setup setup_;
  QtHostUi hostUi_;
};

}  // namespace lorvane::ui
