// SPDX-License-Identifier: MIT
// The argument checks that every plug-in's GetSetting makes, in the order the interface
// fixes them, before it looks at the mode (C++ helper for plug-ins written in C++).
#pragma once

#include <optional>

#include "plugin-api/felica_plugin.h"

namespace lorvane::plugin {

// The result GetSetting must return at once, or nothing when the request is valid and the
// plug-in should act on `mode` (0 to 3) with setting->Data holding FELICA_SETTING_BYTES.
inline std::optional<int32_t> CheckSettingRequest(int32_t function, int32_t mode,
                                                  IOFeliCaSetting* setting) {
  if (static_cast<uint16_t>(function) != 0) return FELICA_E_FUNCTION;
  if (setting == nullptr) return FELICA_E_PARAMETER;
  if (setting->Data == nullptr) {  // a size query: the mode is not examined
    setting->Bytes = FELICA_SETTING_BYTES;
    return FELICA_SETTING_OK;
  }
  if (setting->Bytes != FELICA_SETTING_BYTES) return FELICA_E_PARAMETER;
  if (static_cast<uint16_t>(mode) > 3) return FELICA_E_FUNCTION;
  return std::nullopt;
}

}  // namespace lorvane::plugin
