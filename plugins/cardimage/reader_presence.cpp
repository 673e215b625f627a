// SPDX-License-Identifier: MIT
#include "plugins/cardimage/reader_presence.h"

#include <dlfcn.h>

#include <cstdint>
#include <optional>

#include "pellix/pcsc_hung_mark.h"
#include "platform/bounded_call.h"

namespace lorvane::cardimageplugin {
namespace {

// The PC/SC calls, bound at run time so the plug-in needs no PC/SC library to load.
using Context = intptr_t;
using EstablishFn = long (*)(unsigned long, const void*, const void*, Context*);
using ListFn = long (*)(Context, const char*, char*, unsigned long*);
using ReleaseFn = long (*)(Context);
constexpr unsigned long kScopeSystem = 2;

// Asks the service, through the library's calls, whether it lists a reader.
bool AnyReaderListed(EstablishFn establish, ListFn list, ReleaseFn release) {
  Context context = 0;
  if (establish(kScopeSystem, nullptr, nullptr, &context) != 0) return false;
  unsigned long length = 0;
  const bool attached = list(context, nullptr, nullptr, &length) == 0 && length > 1;
  release(context);
  return attached;
}

void Anchor() {}

}  // namespace

// A service that does not answer within the bound lists no reader; the library then stays
// loaded for the call left waiting in it.
bool SmartCardReaderAttached() {
  if (pellix::PcscServiceHung()) return false;
  void* library = dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  const auto establish = reinterpret_cast<EstablishFn>(dlsym(library, "SCardEstablishContext"));
  const auto list = reinterpret_cast<ListFn>(dlsym(library, "SCardListReaders"));
  const auto release = reinterpret_cast<ReleaseFn>(dlsym(library, "SCardReleaseContext"));
  if (establish == nullptr || list == nullptr || release == nullptr) {
    dlclose(library);
    return false;
  }
  const std::optional<bool> attached = platform::CallWithin<bool>(
      [establish, list, release] { return AnyReaderListed(establish, list, release); },
      pellix::kPcscCallLimit, reinterpret_cast<void*>(&Anchor));
  if (!attached) {
    pellix::MarkPcscServiceHung();
    return false;
  }
  dlclose(library);
  return *attached;
}

}  // namespace lorvane::cardimageplugin
