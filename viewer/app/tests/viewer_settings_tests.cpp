// SPDX-License-Identifier: MIT
// The settings file is saved in one piece: a save killed at any moment leaves every key as it
// was before or as it is after, never some of each.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/viewer_settings.h"

namespace lorvane::app {
namespace {

TEST(ViewerSettings, AKilledSaveLeavesTheOldSettingsOrTheNew) {
  lorvane::testing::TempDir dir;
  const auto file = dir.path() / "lorvane.INI";
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      for (int32_t n = 0;; ++n) {
        ViewerSettings settings;
        settings.window = {n, n, n, n};
        settings.Write(file, platform::U16("language " + std::to_string(n)));
        platform::ClearProfileCache();
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + 3 * round));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    platform::ClearProfileCache();
    const ViewerSettings read = ViewerSettings::Read(file);
    if (read.window[0] == -1) continue;  // killed before the first save
    EXPECT_EQ(read.window[1], read.window[0]) << "round " << round;
    EXPECT_EQ(read.window[3], read.window[0]) << "round " << round;
    EXPECT_EQ(platform::U8(read.language), "language " + std::to_string(read.window[0]));
  }
}

}  // namespace
}  // namespace lorvane::app
