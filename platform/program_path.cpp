// SPDX-License-Identifier: MIT
#include "platform/program_path.h"

namespace lorvane::platform {

std::filesystem::path ProgramPath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return path;
}

}  // namespace lorvane::platform
