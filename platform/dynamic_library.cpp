// SPDX-License-Identifier: MIT
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include "platform/elf_check.h"
#include "platform/file_io.h"

namespace lorvane::platform {

LibraryHandle LoadLibrary(const std::filesystem::path& path, std::string* error) {
  std::string reason;
  if (path.empty()) {
    reason = "no file";
  } else if (IsReadableRegularFile(path, reason) && IsLoadableLibrary(path, reason)) {
    if (LibraryHandle library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
    const char* text = dlerror();
    reason = text != nullptr ? text : "cannot be loaded";
  }
  if (error != nullptr) *error = reason;
  return nullptr;
}

void FreeLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

void* FindSymbol(LibraryHandle library, const char* name) {
  return library == nullptr ? nullptr : dlsym(library, name);
}

}  // namespace lorvane::platform
