// SPDX-License-Identifier: MIT
// What sets one reader plug-in apart from another behind the shared entry points
// (plugin_exports.cpp): its driver and the texts GetInformation gives. Each plug-in defines
// these once, in a file of its own.
#pragma once

#include "pellix/felica_driver.h"

namespace lorvane::pellix::identity {

// The plug-in's driver, or null when it cannot be made (no memory).
FeliCaDriver* NewDriver() noexcept;
// GetInformation items 10 and 13.
extern const char kDescription[];
extern const char kDate[];

}  // namespace lorvane::pellix::identity
