// SPDX-License-Identifier: MIT
#include "plugins/cardimage/reader_presence.h"

#include <dlfcn.h>

#include <cstdint>

namespace lorvane::cardimageplugin {
namespace {

// The PC/SC calls, bound at run time so the plug-in needs no PC/SC library to load.
using Context = intptr_t;
using EstablishFn = long (*)(unsigned long, const void*, const void*, Context*);
using ListFn = long (*)(Context, const char*, char*, unsigned long*);
using ReleaseFn = long (*)(Context);
constexpr unsigned long kScopeSystem = 2;

}  // namespace

bool SmartCardReaderAttached() {
  void* library = dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  const auto establish = reinterpret_cast<EstablishFn>(dlsym(library, "SCardEstablishContext"));
  const auto list = reinterpret_cast<ListFn>(dlsym(library, "SCardListReaders"));
  const auto release = reinterpret_cast<ReleaseFn>(dlsym(library, "SCardReleaseContext"));
  bool attached = false;
  Context context = 0;
  if (establish != nullptr && list != nullptr && release != nullptr &&
      establish(kScopeSystem, nullptr, nullptr, &context) == 0) {
    unsigned long length = 0;
    attached = list(context, nullptr, nullptr, &length) == 0 && length > 1;
    release(context);
  }
  dlclose(library);
  return attached;
}

}  // namespace lorvane::cardimageplugin
