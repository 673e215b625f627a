// SPDX-License-Identifier: MIT
// Whether a file is a shared library this program can load, judged from its bytes before the
// loader maps it: an ELF shared object of this build's class, byte order and machine, whose
// program headers and loadable segments lie within the file. A library cut short (a copy
// that did not finish) would otherwise kill the process inside dlopen with SIGBUS.
#pragma once

#include <filesystem>
#include <string>

namespace lorvane::platform {

// True when the file looks loadable; otherwise false with the reason in words.
bool IsLoadableLibrary(const std::filesystem::path& path, std::string& reason);

}  // namespace lorvane::platform
