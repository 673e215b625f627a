// SPDX-License-Identifier: MIT
// The plug-in commands of a window system menu.
#include <algorithm>

#include "viewer/pluginhost/dll_host.h"

namespace lorvane::pluginhost {

int32_t DLLHost::AppendPluginMenu(PluginMenu& menu, int firstId, PluginMenuText item) {
  const auto inRange = [&](int command) {
    return command >= firstId && command < firstId + kPluginMenuRange;
  };
  const std::vector<int> commands = menu.Commands();
  if (modified_) {
    for (int command : commands) {
      if (inRange(command)) menu.DeleteCommand(command);
    }
  } else if (std::any_of(commands.begin(), commands.end(), inRange)) {
    return 1;
  }
  for (uint16_t p = 0; p < count_; ++p) {
    const DLLInfo& r = records_[p];
    const std::u16string& text = item == PluginMenuText::kDescription ? r.Description : r.Name;
    if (!menu.AppendCommand(firstId + p, text)) return 0;
  }
  modified_ = false;
  return 1;
}

int32_t DLLHost::EnablePluginMenu(PluginMenu& menu, int firstId) {
  for (uint16_t p = 0; p < count_; ++p) {
    if (menu.EnableCommand(firstId + p) == 0) return 0;
  }
  return 1;
}

}  // namespace lorvane::pluginhost
