// SPDX-License-Identifier: MIT
// A reader plug-in loaded for a test, with its entry points looked up by name.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace lorvane::testing {

class PluginLibrary {
 public:
  explicit PluginLibrary(const std::filesystem::path& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
      throw std::runtime_error(std::string("cannot load plug-in: ") + dlerror());
  }
  ~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  template <typename Function>
  Function Get(const char* name) const {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing entry point ") + name);
    return reinterpret_cast<Function>(symbol);
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace lorvane::testing
