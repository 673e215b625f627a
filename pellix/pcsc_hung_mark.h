// SPDX-License-Identifier: MIT
// The process-wide mark of a PC/SC service that did not answer within the bound of a call.
// It is an environment variable so that the viewer and every plug-in in the process see it
// (each plug-in has its own copy of the code): once one call was left waiting, later calls
// fail at once instead of waiting again behind the client library's locks that the waiting
// call holds. Restarting the service and the program clears it.
#pragma once

#include <chrono>
#include <cstdlib>

namespace lorvane::pellix {

inline constexpr std::chrono::seconds kPcscCallLimit{10};
inline constexpr char kPcscHungVariable[] = "LORVANE_PCSC_HUNG";

inline bool PcscServiceHung() {
  const char* mark = std::getenv(kPcscHungVariable);
  return mark != nullptr && *mark != '\0';
}

inline void MarkPcscServiceHung() { setenv(kPcscHungVariable, "1", 1); }

}  // namespace lorvane::pellix
