// SPDX-License-Identifier: MIT
// The dialogs of a plug-in (its own settings) in a module of their own, kept in the folder
// "dialogs" beside the plug-in. The module is loaded only into a process that already runs
// Qt Widgets, the host's toolkit, so a plug-in never brings a toolkit into a host without
// one; there its dialogs cannot be shown. C++ helper for plug-ins written in C++.
#pragma once

#include <dlfcn.h>

#include <string>

namespace lorvane::plugin {

class DialogModule {
 public:
  // `fileName`: the module in the folder "dialogs" beside the library that holds
  // `addressInPlugin`.
  DialogModule(const void* addressInPlugin, const char* fileName)
      : anchor_(addressInPlugin), fileName_(fileName) {}
  ~DialogModule() {
    if (module_ != nullptr) dlclose(module_);
  }
  DialogModule(const DialogModule&) = delete;
  DialogModule& operator=(const DialogModule&) = delete;

  // The module's entry point `name`, or null when this process runs no Qt Widgets or the
  // module cannot be loaded.
  void* Find(const char* name) {
    if (!HostRunsQtWidgets()) return nullptr;
    if (module_ == nullptr) module_ = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL);
    return module_ != nullptr ? dlsym(module_, name) : nullptr;
  }

 private:
  static bool HostRunsQtWidgets() {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (widgets == nullptr) return false;
    dlclose(widgets);
    return true;
  }
  std::string Path() const {
    Dl_info info{};
    if (dladdr(anchor_, &info) == 0 || info.dli_fname == nullptr) return {};
    std::string path = info.dli_fname;
    path.erase(path.find_last_of('/') + 1);
    return path + "dialogs/" + fileName_;
  }

  const void* anchor_;
  const char* fileName_;
  void* module_ = nullptr;
};

}  // namespace lorvane::plugin
