// SPDX-License-Identifier: MIT
// Where the running program lies.
#pragma once

#include <filesystem>

namespace lorvane::platform {

// The running executable's real path (links resolved); empty when it cannot be found.
std::filesystem::path ProgramPath();

}  // namespace lorvane::platform
