// SPDX-License-Identifier: MIT
// The trace reaches only a viewer of the same user: its socket lies in a folder of the
// user's that nobody else can enter, and the driver checks that before it sends.
#include "pellix/trace_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "testing/support/temp_dir.h"

namespace lorvane::pellix {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process (the driver remembers a checked folder for its life);
// true when it exited with 0.
bool InChild(const std::function<bool()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class TraceChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
  fs::path Folder() const { return dir_.path() / kTraceFolderName; }
  lorvane::testing::TempDir dir_;
};

TEST_F(TraceChannelTest, AViewerOfTheSameUserGetsEachLine) {
  std::string error;
  const int fd = ListenForTrace(error);
  ASSERT_GE(fd, 0) << error;
  EXPECT_EQ(TraceSocketPath(), (Folder() / kTraceSocketName).string());
  EXPECT_EQ(fs::status(Folder()).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_TRUE(InChild([] { return DebugTrace("REQC(%02X%02X) : %s", 0, 3, "Success.") == 1; }));
  char message[64] = {};
  ASSERT_EQ(recv(fd, message, sizeof message, MSG_DONTWAIT), 4 + 21 + 1);
  EXPECT_EQ(message[0], 1);
  EXPECT_STREQ(message + 4, "REQC(0003) : Success.");
  // A second viewer cannot take the socket over while the first listens.
  EXPECT_LT(ListenForTrace(error), 0);
  close(fd);
  const int again = ListenForTrace(error);  // the socket left behind is replaced
  EXPECT_GE(again, 0) << error;
  close(again);
}

TEST_F(TraceChannelTest, NoLineGoesToAFolderOthersCouldEnterOrOwn) {
  std::string error;
  const int fd = ListenForTrace(error);
  ASSERT_GE(fd, 0) << error;
  chmod(Folder().c_str(), 0755);
  EXPECT_TRUE(InChild([] { return DebugTrace("seen by others") == 0; }));
  chmod(Folder().c_str(), 0700);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(Folder().c_str(), 65534, 65534), 0);  // another user's folder
    EXPECT_TRUE(InChild([] { return DebugTrace("to another user") == 0; }));
    ASSERT_EQ(chown(Folder().c_str(), 0, 0), 0);
  }
  EXPECT_TRUE(InChild([] { return DebugTrace("private") == 1; }));
  close(fd);
}

}  // namespace
}  // namespace lorvane::pellix
