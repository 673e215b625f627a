// SPDX-License-Identifier: MIT
// A QMenu as the plug-in host fills it: each command item is an action carrying its command
// number as its data.
#pragma once

#include <QMenu>

#include "viewer/pluginhost/plugin_menu.h"

namespace lorvane::ui {

class QtPluginMenu final : public pluginhost::PluginMenu {
 public:
  explicit QtPluginMenu(QMenu& menu) : menu_(menu) {}

  std::vector<int> Commands() const override;
  void DeleteCommand(int command) override;
  bool AppendCommand(int command, const std::u16string& text) override;
  int EnableCommand(int command) override;

  // The action of a command, or null.
  QAction* ActionOf(int command) const;

 private:
  QMenu& menu_;
};

}  // namespace lorvane::ui
