// SPDX-License-Identifier: MIT
// A call that may never come back (a service that accepts and never answers), waited for at
// most a time limit. The call runs on a thread of its own; when it is not back in time the
// caller goes on without it and the call is left to finish (or not) on its own.
//
// Ownership: the call must own everything it reads or writes (captures by value or shared
// pointers): the caller's frame may be gone when it finishes. `anchor` is the address of a
// function of the module that runs the call: that module is kept loaded for the rest of the
// process once a call is left running, so the call never returns into unmapped code.
#pragma once

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace lorvane::platform {

// Keeps the module holding `anchor` loaded until the process ends.
inline void PinModuleOf(void* anchor) {
  Dl_info info{};
  if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr) return;
  dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// The call's result, or nothing when it was not back within `limit`.
template <class Result>
std::optional<Result> CallWithin(std::function<Result()> call, std::chrono::milliseconds limit,
                                 void* anchor) {
  struct Pending {
    std::function<Result()> call;
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<Result> result;
  };
  auto pending = std::make_shared<Pending>();
  pending->call = std::move(call);
  std::thread worker;
  try {
    worker = std::thread([pending] {
      Result result = pending->call();
      const std::lock_guard lock(pending->mutex);
      pending->result = std::move(result);
      pending->finished.notify_all();
    });
  } catch (const std::system_error&) {
    return pending->call();  // no thread to be had: the call as it is
  }
  bool inTime = false;
  {
    std::unique_lock lock(pending->mutex);
    inTime = pending->finished.wait_for(lock, limit, [&] { return pending->result.has_value(); });
  }
  if (inTime) {
    worker.join();  // it is done; joined, it runs no more code of the module
    return std::move(pending->result);
  }
  worker.detach();
  PinModuleOf(anchor);
  return std::nullopt;
}

}  // namespace lorvane::platform
