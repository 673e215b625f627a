// SPDX-License-Identifier: MIT
// A menu of the window system as the plug-in host fills it: one command item per registered
// plug-in.
#pragma once

#include <string>
#include <vector>

namespace lorvane::pluginhost {

// The plug-in commands occupy first id to first id + 49.
inline constexpr int kPluginMenuRange = 50;

// What an item appended by AppendPluginMenu shows.
enum class PluginMenuText { kName = 0, kDescription = 1 };

class PluginMenu {
 public:
  virtual ~PluginMenu() = default;
  // The command of every command item, in menu order.
  virtual std::vector<int> Commands() const = 0;
  virtual void DeleteCommand(int command) = 0;
  // Appends a command item at the end; false when the menu refused it.
  virtual bool AppendCommand(int command, const std::u16string& text) = 0;
  // Enables the command's item and reports its previous state as the window system's
  // enable call does: 0 enabled, 1 disabled, -1 no such item.
  virtual int EnableCommand(int command) = 0;
};

}  // namespace lorvane::pluginhost
