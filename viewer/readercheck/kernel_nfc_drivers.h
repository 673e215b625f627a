// SPDX-License-Identifier: MIT
// The Linux kernel's own NFC drivers: loaded, they claim an ACR122U (pn533_usb) or a Sony
// reader (port100) before pcscd can, and the reader never appears in PC/SC.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lorvane::readercheck {

// The modules that take NFC readers away from pcscd, in the order they should be removed.
inline constexpr std::string_view kNfcDrivers[] = {"pn533_usb", "port100", "pn533", "nfc"};

// Which of them the module list (the form of /proc/modules) names as loaded.
std::vector<std::string> LoadedNfcDrivers(std::string_view moduleList);
// The same from the running kernel; empty when the list cannot be read.
std::vector<std::string> LoadedNfcDrivers(const std::filesystem::path& modules = "/proc/modules");

}  // namespace lorvane::readercheck
