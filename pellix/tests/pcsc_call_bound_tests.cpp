// SPDX-License-Identifier: MIT
// A PC/SC call that does not come back: the caller gets SCARD_E_TIMEOUT at the bound, the
// service is marked hung for the process, and later calls fail at once.
#include "pellix/pcsc_call_bound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace lorvane::pellix {
namespace {

using std::chrono::milliseconds;

TEST(PcscCallBound, ACallThatNeverEndsIsLeftAtTheBoundAndLaterCallsFailAtOnce) {
  unsetenv(kPcscHungVariable);
  EXPECT_EQ(BoundedPcscCall([] { return static_cast<LONG>(SCARD_W_REMOVED_CARD); }),
            SCARD_W_REMOVED_CARD);
  EXPECT_FALSE(PcscServiceHung());

  auto release = std::make_shared<std::atomic<bool>>(false);
  const auto started = std::chrono::steady_clock::now();
  const LONG result = BoundedPcscCall(
      [release] {
        while (!*release) std::this_thread::sleep_for(milliseconds(5));
        return static_cast<LONG>(SCARD_S_SUCCESS);
      },
      milliseconds(100));
  EXPECT_EQ(result, SCARD_E_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - started, milliseconds(100));
  EXPECT_TRUE(PcscServiceHung());

  bool called = false;
  EXPECT_EQ(BoundedPcscCall([&called] {
              called = true;
              return static_cast<LONG>(SCARD_S_SUCCESS);
            }),
            SCARD_E_TIMEOUT);
  EXPECT_FALSE(called);
  *release = true;  // the abandoned call ends on its own, touching only what it owns
  unsetenv(kPcscHungVariable);
}

}  // namespace
}  // namespace lorvane::pellix
