// Loading shared libraries and looking up their symbols by name.
#pragma once

#include <filesystem>

namespace lorvane::platform {

using LibraryHandle = void*;

// dlopen(RTLD_NOW | RTLD_LOCAL); null when the file is missing or is not a loadable library.
LibraryHandle LoadLibrary(const std::filesystem::path& path);
void FreeLibrary(LibraryHandle library);
// Null when the library is null or does not export the name.
void* FindSymbol(LibraryHandle library, const char* name);

}  // namespace lorvane::platform
