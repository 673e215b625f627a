// SPDX-License-Identifier: MIT
// Loading shared libraries and looking up their symbols by name.
#pragma once

#include <filesystem>
#include <string>

namespace lorvane::platform {

using LibraryHandle = void*;

// dlopen(RTLD_NOW | RTLD_LOCAL) of a regular file (checked first without blocking: a FIFO
// would make the loader wait for ever); null when the file is missing, is no regular file or
// is not a loadable library, with the reason in `error` when given.
LibraryHandle LoadLibrary(const std::filesystem::path& path, std::string* error = nullptr);
void FreeLibrary(LibraryHandle library);
// Null when the library is null or does not export the name.
void* FindSymbol(LibraryHandle library, const char* name);

}  // namespace lorvane::platform
