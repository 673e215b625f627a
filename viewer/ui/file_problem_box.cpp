// SPDX-License-Identifier: MIT
#include "viewer/ui/file_problem_box.h"

#include <cstdio>

#include "platform/text_codec.h"
#include "viewer/app/viewer_app.h"
#include "viewer/ui/qt_host_ui.h"

namespace lorvane::ui {

void FileProblemBox::Report(const std::string& message) {
  std::fprintf(stderr, "lorvane: %s\n", message.c_str());
  ShowMessageBox(nullptr, platform::U16(message), app::kErrorCaption,
                 pluginhost::MessageKind::kError);
}

}  // namespace lorvane::ui
