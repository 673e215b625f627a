// SPDX-License-Identifier: MIT
// Calls into a reader plug-in, guarded: a C++ exception that escapes an entry point is
// caught at the boundary and counted as that call's failure, and a fatal signal raised
// inside one (a crash, an abort) names the plug-in and the entry point on standard error
// before the process ends as it would have.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>

#include "plugin-api/felica_plugin.h"

namespace lorvane::pluginhost {

// While it lives, a fatal signal is reported as raised in `entry` of `plugin`; then the
// signal takes its course as before.
class PluginCallScope {
 public:
  PluginCallScope(const std::string& plugin, const char* entry);
  ~PluginCallScope();
  PluginCallScope(const PluginCallScope&) = delete;
  PluginCallScope& operator=(const PluginCallScope&) = delete;
};

// What a failed call gives in place of its result: a null pointer, "no system code", or the
// fatal status.
template <typename Result>
Result FailedCall() {
  if constexpr (std::is_pointer_v<Result>) {
    return nullptr;
  } else if constexpr (std::is_same_v<Result, uint16_t>) {
    return static_cast<uint16_t>(FELICA_NO_SYSTEM_CODE);
  } else {
    return static_cast<Result>(FELICA_E_FATAL);
  }
}

// An entry point of a loaded plug-in, callable like the function itself.
template <typename Function>
class GuardedEntry;

template <typename Result, typename... Args>
class GuardedEntry<Result (*)(Args...)> {
 public:
  using Notify = void (*)(void* context, const std::string& message);
  GuardedEntry(Result (*function)(Args...), std::string plugin, const char* entry, Notify notify,
               void* context)
      : function_(function),
        plugin_(std::move(plugin)),
        entry_(entry),
        notify_(notify),
        context_(context) {}

  explicit operator bool() const { return function_ != nullptr; }
  bool operator==(std::nullptr_t) const { return function_ == nullptr; }

  Result operator()(Args... args) const {
    const PluginCallScope scope(plugin_, entry_);
    try {
      return function_(args...);
    } catch (...) {
      if (notify_ != nullptr)
        notify_(context_,
                plugin_ + ": " + entry_ + " let an exception escape; the call counts as failed");
      return FailedCall<Result>();
    }
  }

 private:
  Result (*function_)(Args...);
  std::string plugin_;
  const char* entry_;
  Notify notify_;
  void* context_;
};

}  // namespace lorvane::pluginhost
