// SPDX-License-Identifier: MIT
#include "viewer/readercheck/kernel_nfc_drivers.h"

#include <algorithm>

#include "platform/file_io.h"

namespace lorvane::readercheck {
namespace {

constexpr size_t kModuleListLimit = 1024 * 1024;

}  // namespace

std::vector<std::string> LoadedNfcDrivers(std::string_view moduleList) {
  std::vector<std::string_view> loaded;
  while (!moduleList.empty()) {
    const size_t end = std::min(moduleList.find('\n'), moduleList.size());
    const std::string_view line = moduleList.substr(0, end);
    loaded.push_back(line.substr(0, line.find(' ')));  // each line starts with the name
    moduleList.remove_prefix(std::min(end + 1, moduleList.size()));
  }
  std::vector<std::string> found;
  for (std::string_view driver : kNfcDrivers) {
    if (std::find(loaded.begin(), loaded.end(), driver) != loaded.end()) found.emplace_back(driver);
  }
  return found;
}

std::vector<std::string> LoadedNfcDrivers(const std::filesystem::path& modules) {
  const platform::FileRead list = platform::ReadRegularFile(modules, kModuleListLimit);
  return list.bytes ? LoadedNfcDrivers(std::string_view(*list.bytes)) : std::vector<std::string>{};
}

}  // namespace lorvane::readercheck
