// SPDX-License-Identifier: MIT
#include "viewer/ui/qt_plugin_menu.h"

namespace lorvane::ui {
namespace {

bool IsCommand(const QAction* action) {
  return !action->isSeparator() && action->menu() == nullptr &&
         action->data().typeId() == QMetaType::Int;
}

}  // namespace

std::vector<int> QtPluginMenu::Commands() const {
  std::vector<int> commands;
  for (const QAction* action : menu_.actions()) {
    if (IsCommand(action)) commands.push_back(action->data().toInt());
  }
  return commands;
}

QAction* QtPluginMenu::ActionOf(int command) const {
  for (QAction* action : menu_.actions()) {
    if (IsCommand(action) && action->data().toInt() == command) return action;
  }
  return nullptr;
}

void QtPluginMenu::DeleteCommand(int command) {
  if (QAction* action = ActionOf(command)) {
    menu_.removeAction(action);
    delete action;
  }
}

bool QtPluginMenu::AppendCommand(int command, const std::u16string& text) {
  QAction* action = menu_.addAction(QString::fromStdU16String(text));
  if (action == nullptr) return false;
  action->setData(command);
  return true;
}

int QtPluginMenu::EnableCommand(int command) {
  QAction* action = ActionOf(command);
  if (action == nullptr) return -1;
  const int previous = action->isEnabled() ? 0 : 1;
  action->setEnabled(true);
  return previous;
}

}  // namespace lorvane::ui
