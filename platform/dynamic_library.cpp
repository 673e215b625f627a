#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace lorvane::platform {

LibraryHandle LoadLibrary(const std::filesystem::path& path) {
  if (path.empty()) return nullptr;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void FreeLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

void* FindSymbol(LibraryHandle library, const char* name) {
  return library == nullptr ? nullptr : dlsym(library, name);
}

}  // namespace lorvane::platform
