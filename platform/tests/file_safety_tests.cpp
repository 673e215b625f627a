// SPDX-License-Identifier: MIT
// Files that are not what they seem (folders, FIFOs, devices, failing reads, links, files too
// large), saves that cannot go the usual way, and two processes saving at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>

#include "platform/file_io.h"
#include "platform/file_problems.h"
#include "platform/folder_trust.h"
#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"

namespace lorvane::platform {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::TempDir;

class RecordingReporter final : public FileProblemReporter {
 public:
  RecordingReporter() : previous_(SetFileProblemReporter(this)) {}
  ~RecordingReporter() override { SetFileProblemReporter(previous_); }
  void Report(const std::string& message) override { messages.push_back(message); }
  std::vector<std::string> messages;

 private:
  FileProblemReporter* previous_;
};

class FileSafetyTest : public ::testing::Test {
 protected:
  std::string Read(const fs::path& file) {
    return U8(GetProfileString(u"S", u"k", u"default", 99, file));
  }
  TempDir dir_;
  RecordingReporter reporter_;
};

TEST_F(FileSafetyTest, WhatIsNoRegularFileReadsAsDefaultsWithoutBlockingAndIsReported) {
  const fs::path folder = dir_.path() / "folder.ini";
  fs::create_directory(folder);
  const fs::path fifo = dir_.path() / "fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const fs::path failing = dir_.path() / "failing.ini";  // reading it gives EIO
  fs::create_symlink("/proc/self/mem", failing);
  const auto start = std::chrono::steady_clock::now();
  for (const fs::path& file : {folder, fifo, failing, fs::path("/dev/zero")}) {
    EXPECT_EQ(Read(file), "default") << file;
    EXPECT_FALSE(ReadFileBytes(file)) << file;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(
      reporter_.messages,
      (std::vector<std::string>{folder.string() + ": cannot be read: is a folder, not a file",
                                fifo.string() + ": cannot be read: is a FIFO, not a regular file",
                                failing.string() + ": cannot be read: Input/output error",
                                "/dev/zero: cannot be read: is not a regular file"}));
  EXPECT_EQ(Read(dir_.path() / "missing.ini"), "default");
  EXPECT_EQ(reporter_.messages.size(), 4u);  // a missing file is no problem
  // Writing into what is not a file changes nothing, once reported.
  EXPECT_FALSE(WriteProfileString(u"S", u"k", u"v", fifo));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FileSafetyTest, AFileOverTheLimitIsRefused) {
  const fs::path big = dir_.Write("big.ini", "[S]\nk=v\n");
  fs::resize_file(big, kMaxFileBytes + 1);
  EXPECT_EQ(Read(big), "default");
  ASSERT_EQ(reporter_.messages.size(), 1u);
  EXPECT_EQ(reporter_.messages[0], big.string() + ": cannot be read: is larger than 16 MB");
  EXPECT_FALSE(WriteProfileString(u"S", u"k", u"new", big));  // not replaced by a partial view
  EXPECT_EQ(fs::file_size(big), kMaxFileBytes + 1);
}

TEST_F(FileSafetyTest, NoLineBreakOrNulEverEntersAValue) {
  const fs::path file = dir_.path() / "reg.ini";
  ASSERT_TRUE(WriteProfileString(u"S", u"Description", u"evil\r\nDLLDirectory=/tmp/x\n", file));
  ASSERT_TRUE(WriteProfileString(u"S", std::u16string(u"k\nx"), std::u16string(u"a\0b", 3), file));
  EXPECT_EQ(dir_.Read("reg.ini"), "[S]\r\nDescription=evil  DLLDirectory=/tmp/x \r\nk x=a b\r\n");
  EXPECT_EQ(GetProfileString(u"S", u"DLLDirectory", u"none", 99, file), u"none");
}

TEST_F(FileSafetyTest, ASaveGoesThroughALinkToItsTarget) {
  const fs::path target = dir_.Write("real/settings.ini", "[S]\nk=old\n");
  const fs::path link = dir_.path() / "settings.ini";
  fs::create_symlink("real/settings.ini", link);
  ASSERT_TRUE(WriteProfileString(u"S", u"k", u"new", link));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(dir_.Read("real/settings.ini"), "[S]\nk=new\n");
}

// A link planted in a folder others can write is never followed: the file it points at stays
// as it was, and the save says why. The same link in the user's own folder is followed.
TEST_F(FileSafetyTest, ALinkInAFolderOthersCanWriteIsNotFollowed) {
  const fs::path victim = dir_.Write("victim.txt", "precious\n");
  const fs::path shared = dir_.path() / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);  // 0777, as a careless folder is
  fs::create_symlink(victim, shared / "lorvane.INI");
  EXPECT_EQ(FolderTrustProblem(shared), "is writable by every user");
  EXPECT_FALSE(WriteProfileString(u"S", u"k", u"new", shared / "lorvane.INI"));
  EXPECT_EQ(dir_.Read("victim.txt"), "precious\n");
  EXPECT_EQ(SaveFile(shared / "lorvane.INI", "x"),
            "is a symbolic link in " + shared.string() +
                ", which is writable by every user: it is not followed");
  EXPECT_EQ(dir_.Read("victim.txt"), "precious\n");

  fs::permissions(shared, fs::perms::owner_all);
  EXPECT_TRUE(IsOwnFolder(shared));
  EXPECT_EQ(SaveFile(shared / "lorvane.INI", "x"), "");
  EXPECT_EQ(dir_.Read("victim.txt"), "x");
  EXPECT_TRUE(fs::is_symlink(shared / "lorvane.INI"));
}

TEST_F(FileSafetyTest, AStaleTemporaryFileIsRemovedByTheNextSave) {
  const fs::path file = dir_.Write("reg.ini", "[S]\nk=1\n");
  const fs::path stale = dir_.Write("reg.ini.lorvane-tmp.Ab12Cd", "half a file");
  const fs::path other = dir_.Write("reg.ini.backup", "kept");
  ASSERT_TRUE(WriteProfileString(u"S", u"k", u"2", file));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(Read(file), "2");
}

// Runs `body` in a child process as user nobody; its exit status.
int AsNobody(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileSafetyTest, AWritableFileInAFolderThatIsNotIsRewrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const fs::path folder = dir_.path() / "locked";
  fs::create_directory(folder);
  const fs::path file = folder / "reg.ini";
  { std::ofstream(file) << "[S]\nk=old\n"; }
  chmod(dir_.path().c_str(), 0755);
  chmod(folder.c_str(), 0755);  // root's folder: nobody cannot create files in it
  chmod(file.c_str(), 0666);    // but may write the file
  EXPECT_EQ(AsNobody([&] { return WriteProfileString(u"S", u"k", u"new", file) ? 0 : 1; }), 0);
  EXPECT_EQ(dir_.Read("locked/reg.ini"), "[S]\nk=new\n");
}

TEST_F(FileSafetyTest, AFileThatMustBeWholeIsNeverRewrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const fs::path folder = dir_.path() / "locked";
  fs::create_directory(folder);
  const fs::path file = folder / "dump.json";
  { std::ofstream(file) << "the old dump"; }
  chmod(dir_.path().c_str(), 0755);
  chmod(folder.c_str(), 0755);
  chmod(file.c_str(), 0666);
  EXPECT_EQ(AsNobody([&] {
              return SaveFile(file, "a new dump", SaveMode::kReplaceOnly).empty() ? 1 : 0;
            }),
            0);
  EXPECT_EQ(dir_.Read("locked/dump.json"), "the old dump");
}

TEST_F(FileSafetyTest, ATemporaryFileInUseIsNotTakenForAStaleOne) {
  const fs::path file = dir_.Write("dump.json", "old");
  const fs::path busy = dir_.Write("dump.json.lorvane-tmp.Ab12Cd", "being written");
  const int fd = ::open(busy.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // its writer is still at work
  EXPECT_EQ(SaveFile(file, "new"), "");
  EXPECT_TRUE(fs::exists(busy));
  ::close(fd);
  EXPECT_EQ(SaveFile(file, "newer"), "");
  EXPECT_FALSE(fs::exists(busy));  // now its writer is gone
}

TEST_F(FileSafetyTest, TwoWritersOfOneWholeFileBothSucceed) {
  const fs::path file = dir_.path() / "dump.json";
  const auto writer = [&](char c) {
    const pid_t child = fork();
    if (child == 0) {
      for (int i = 0; i < 200; ++i) {
        if (!SaveFile(file, std::string(4096, c), SaveMode::kReplaceOnly).empty()) _exit(1);
      }
      _exit(0);
    }
    return child;
  };
  const pid_t a = writer('a'), b = writer('b');
  int statusA = 0, statusB = 0;
  waitpid(a, &statusA, 0);
  waitpid(b, &statusB, 0);
  EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
  EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);
  const std::string last = dir_.Read("dump.json");
  EXPECT_TRUE(last == std::string(4096, 'a') || last == std::string(4096, 'b'));
}

TEST_F(FileSafetyTest, TwoProcessesSavingAtOnceLoseNothing) {
  const fs::path file = dir_.path() / "shared.ini";
  constexpr int kKeys = 60;
  auto writer = [&](const char* prefix) {
    const pid_t child = fork();
    if (child == 0) {
      bool ok = true;
      for (int i = 0; i < kKeys; ++i) {
        ok = WriteProfileString(u"S", U16(prefix + std::to_string(i)), u"x", file) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    return child;
  };
  const pid_t a = writer("a");
  const pid_t b = writer("b");
  for (pid_t child : {a, b}) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ClearProfileCache();
  int present = 0;
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kKeys; ++i)
      present += GetProfileString(u"S", U16(prefix + std::to_string(i)), u"", 9, file) == u"x";
  }
  EXPECT_EQ(present, 2 * kKeys);
}

TEST_F(FileSafetyTest, AFailedSaveIsReportedOnceWithItsReason) {
  const fs::path folder = dir_.path() / "ro";
  fs::create_directory(folder);
  chmod(dir_.path().c_str(), 0755);
  chmod(folder.c_str(), 0555);
  const fs::path file = folder / "reg.ini";
  const auto saveTwice = [&] {
    const bool first = WriteProfileString(u"S", u"k", u"v", file);
    const bool second = WriteProfileString(u"S", u"k", u"v", file);
    const std::vector<std::string> expected = {file.string() +
                                               ": cannot be written: Permission denied"};
    return !first && !second && reporter_.messages == expected ? 0 : 1;
  };
  EXPECT_EQ(geteuid() == 0 ? AsNobody(saveTwice) : saveTwice(), 0);
  chmod(folder.c_str(), 0755);
}

}  // namespace
}  // namespace lorvane::platform
