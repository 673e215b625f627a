// SPDX-License-Identifier: MIT
#include "viewer/ui/definition_error_box.h"

#include "viewer/ui/qt_host_ui.h"

namespace lorvane::ui {

// The box shows the fixed text; the file and key go to standard error for whoever looks.
void DefinitionErrorBox::DefinitionReadError(const std::u16string& file,
                                             const std::u16string& key) {
  standardError_.DefinitionReadError(file, key);
  ShowMessageBox(nullptr, carddef::kDefinitionErrorText, carddef::kDefinitionErrorCaption,
                 pluginhost::MessageKind::kPlain);
}

}  // namespace lorvane::ui
