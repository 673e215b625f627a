// SPDX-License-Identifier: MIT
// One registered reader plug-in library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"

namespace lorvane::pluginhost {

enum LoadMode : int32_t { kModeNotUsed = -1, kModeAlways = 0, kModeWhenNeeded = 1 };

inline constexpr size_t kMaxFunctions = 10;

// The setting data of one function of a plug-in. `data` is absent when the start-up
// preparation stopped before filling it.
struct SettingEntry {
  uint16_t bytes = 0;
  std::optional<std::vector<uint8_t>> data;  // bytes + 2 spare bytes
};

struct DLLInfo {
  std::u16string Name;  // file name without folder; the key a plug-in is known by
  std::u16string Path;  // full path it was loaded from
  uint16_t InterfaceVersion = 0;
  platform::LibraryHandle Module = nullptr;
  std::u16string Description;
  std::u16string Version;
  std::u16string LatestDate;
  bool InfoUnchanged = false;
  int32_t Mode = kModeAlways;
  uint16_t FunctionNumber = 0;
  std::vector<std::optional<SettingEntry>> Settings;  // one per function, indexed from 0
  bool HasValidReader = false;
  // The 1-based position the record had in the registry file it was read from (0: found
  // on disk), where its stored setting data lies.
  uint16_t SavedPosition = 0;
};

}  // namespace lorvane::pluginhost
