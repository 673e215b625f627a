// SPDX-License-Identifier: MIT
// The real program in a program folder of its own, given files that are not what they seem,
// plug-ins that lie, folders it may not write, a full disk, kills and a second instance:
// it never crashes or hangs, keeps the old or the new file and never a mix, and says what
// went wrong, naming the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/ini_profile.h"
#include "testing/support/program_runner.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/command_line.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::ProgramResult;

class ProgramFolder : public ::testing::Test {
 protected:
  ProgramFolder() {
    const fs::path bin = LORVANE_BIN_DIR;
    for (const char* item : {"lorvane", "cardimage.so", "Define", "samples"})
      fs::copy(bin / item, Path(item), fs::copy_options::recursive);
    chmod(dir_.path().c_str(), 0755);  // another user may run it too
  }

  fs::path Path(const std::string& name) const { return dir_.path() / name; }
  // A hang ends in a kill; the bound leaves room for a 10 MB registry read three times over in
  // a sanitizer build on a busy machine (about 20 s alone).
  ProgramResult Run(const std::vector<std::string>& args, const std::string& prefix = "") const {
    return lorvane::testing::RunProgramAfter(prefix + " timeout -s KILL 90", Path("lorvane"), args);
  }
  ProgramResult Read(const std::string& prefix = "") const {
    return Run({"--read", "--language", "English"}, prefix);
  }
  std::string Registry() const { return dir_.Read("FeliCaDLL.INI"); }
  ProgramResult ReadOnAFullDisk() const;

  lorvane::testing::TempDir dir_;
};

void MakeFolder(const fs::path& path) { fs::create_directories(path); }
void MakeFifo(const fs::path& path) { mkfifo(path.c_str(), 0644); }
void MakeFailingFile(const fs::path& path) { fs::create_symlink("/proc/self/mem", path); }  // EIO

bool Says(const ProgramResult& r, const std::string& text) {
  return r.err.find(text) != std::string::npos;
}

TEST_F(ProgramFolder, FilesThatAreNoFilesAreReportedByNameAndNeverBlock) {
  struct Case {
    const char* file;
    void (*make)(const fs::path&);
    const char* reason;
    int status;
  } cases[] = {
      {"FeliCaDLL.INI", MakeFolder, "is a folder, not a file", kExitRead},
      {"FeliCaDLL.INI", MakeFifo, "is a FIFO, not a regular file", kExitRead},
      {"FeliCaDLL.INI", MakeFailingFile, "Input/output error", kExitRead},
      {"lorvane.INI", MakeFifo, "is a FIFO, not a regular file", kExitRead},
      {"lorvane.INI", MakeFailingFile, "Input/output error", kExitRead},
      {"Define/Language/English/CardDef_Transit.ini", MakeFifo, "is a FIFO, not a regular file",
       kExitNotRead},
      {"Define/Language/English/CardDef_Transit.ini", MakeFailingFile, "Input/output error",
       kExitNotRead},
      {"Define/Language/English/Language.ini", MakeFolder, "is a folder, not a file", kExitRead},
      {"evil.so", MakeFifo, "", kExitRead},
  };
  for (const Case& c : cases) {
    fs::remove_all(Path(c.file));
    c.make(Path(c.file));
    const ProgramResult r = Read();
    EXPECT_EQ(r.status, c.status) << c.file << ": " << r.err;
    EXPECT_TRUE(Says(r, Path(c.file).string() + ": cannot be read: " + c.reason) ||
                *c.reason == '\0')
        << c.file << ": " << r.err;
    EXPECT_TRUE(fs::exists(fs::symlink_status(Path(c.file)))) << c.file << " was removed";
    fs::remove_all(Path(c.file));
    if (std::string_view(c.file).substr(0, 7) == "Define/")
      fs::copy(fs::path(LORVANE_BIN_DIR) / c.file, Path(c.file));
  }
  // The card a user names: a FIFO there must not block either.
  MakeFifo(Path("card.json"));
  ProgramResult r = Run({"--read", "--card", Path("card.json").string()});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_TRUE(Says(r, Path("card.json").string() + ": cannot be read: is a FIFO")) << r.err;
  r = Read("LORVANE_CARD_IMAGE=" + Path("card.json").string());
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_TRUE(Says(r, "LORVANE_CARD_IMAGE names was refused: " + Path("card.json").string() +
                          ": cannot be read: is a FIFO"))
      << r.err;
}

TEST_F(ProgramFolder, APluginsTextCannotWriteALineIntoTheRegistry) {
  fs::copy(fs::path(TEST_PLUGIN_DIR) / "injector.so", Path("injector.so"));
  const ProgramResult r = Read();
  EXPECT_EQ(r.status, kExitRead) << r.err;
  const std::string registry = Registry();
  EXPECT_NE(registry.find("Description=Looks harmless\r\n"), std::string::npos) << registry;
  EXPECT_EQ(registry.find("/tmp/elsewhere"), std::string::npos) << registry;
  EXPECT_NE(registry.find("DLLDirectory=" + dir_.path().string() + "/\r\n"), std::string::npos);
}

TEST_F(ProgramFolder, LargeFilesLoadInLinearTimeAndTooLargeOnesAreRefusedWhole) {
  std::string garbage = "[KXDLLSettings]\nDLLDirectory=" + dir_.path().string() + "/\n";
  for (size_t i = 0; garbage.size() < 10 * 1024 * 1024; ++i)
    garbage += "Key" + std::to_string(i) + "=some garbage value\n";
  dir_.Write("FeliCaDLL.INI", garbage);
  ProgramResult r = Read();
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_NE(Registry().find("DLLInfo[1].name=cardimage.so"), std::string::npos);

  fs::resize_file(Path("FeliCaDLL.INI"), 17 * 1024 * 1024);
  r = Read();
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_TRUE(Says(r, "FeliCaDLL.INI: cannot be read: is larger than 16 MB")) << r.err;
  EXPECT_EQ(fs::file_size(Path("FeliCaDLL.INI")), 17u * 1024 * 1024);  // not overwritten
}

TEST_F(ProgramFolder, OnlyTheDefinitionsFileItselfCounts) {
  dir_.Write("Define/Language/English/CardDefine.ini.bak",
             "[Service01]\nCardName=From a backup\nSystemCode1=0003,1\nServiceCode.01=008B,0,1\n"
             "Info.01.BlockSetNo=1\nInfo.01.Format=\"x%s\",1\nInfo.01.01.Data=0,1\n");
  const ProgramResult r = Read();
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_EQ(r.out.find("From a backup"), std::string::npos);
}

TEST_F(ProgramFolder, PluginFolderNamesAreExactAndNeedNoTrailingSeparator) {
  // A plug-in folder "M" beside a program folder "m": both are searched.
  fs::create_directories(Path("m"));
  for (const char* item : {"lorvane", "Define", "samples"})
    fs::copy(Path(item), Path("m") / item, fs::copy_options::recursive);
  fs::create_directories(Path("M"));
  fs::copy(Path("cardimage.so"), Path("M/cardimage.so"));
  fs::copy(Path("samples"), Path("M/samples"), fs::copy_options::recursive);
  dir_.Write("m/FeliCaDLL.INI", "[KXDLLSettings]\nDLLDirectory=" + Path("M").string() + "\n");
  const ProgramResult r = lorvane::testing::RunProgramAfter("timeout -s KILL 30", Path("m/lorvane"),
                                                            {"--read", "--language", "English"});
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_NE(dir_.Read("m/FeliCaDLL.INI").find("DLLInfo[1].name=cardimage.so"), std::string::npos);
}

TEST_F(ProgramFolder, ARelativePluginFolderLiesBelowTheProgramNotTheCurrentDirectory) {
  dir_.Write("FeliCaDLL.INI", "[KXDLLSettings]\nDLLDirectory=.\n");
  fs::create_directories(Path("elsewhere"));
  fs::copy(fs::path(TEST_PLUGIN_DIR) / "alpha.so", Path("elsewhere/planted.so"));
  const ProgramResult r = Read("cd '" + Path("elsewhere").string() + "' &&");
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_EQ(Registry().find("planted.so"), std::string::npos) << Registry();
  EXPECT_NE(Registry().find("DLLInfo[1].name=cardimage.so"), std::string::npos) << Registry();
}

// A neighbour's folder: a plug-in folder every user can write holds a planted plug-in, and a
// settings folder every user can write holds a planted link to a file of the user's. Nothing
// is loaded from the one, nothing is written through the other, and both are named.
TEST_F(ProgramFolder, FoldersOthersCanWriteAreNamedAndNeitherLoadedFromNorFollowed) {
  fs::create_directories(Path("shared"));
  chmod(Path("shared").c_str(), 0777);
  fs::copy(fs::path(TEST_PLUGIN_DIR) / "alpha.so", Path("shared/planted.so"));
  dir_.Write("FeliCaDLL.INI", "[KXDLLSettings]\nDLLDirectory=" + Path("shared").string() + "/\n");
  const ProgramResult r = Read();
  EXPECT_EQ(r.status, kExitRead) << r.err;  // the plug-ins beside the program still serve
  EXPECT_TRUE(Says(r, "No plug-in is loaded from " + Path("shared").string() +
                          ": the folder is writable by every user."))
      << r.err;
  EXPECT_EQ(Registry().find("planted.so"), std::string::npos) << Registry();

  const fs::path victim = dir_.Write("mine/notes.txt", "precious\n");
  const fs::path program = Path("shared/program");
  fs::create_directories(program);
  for (const char* item : {"lorvane", "cardimage.so", "Define", "samples"})
    fs::copy(Path(item), program / item, fs::copy_options::recursive);
  chmod(program.c_str(), 0777);
  fs::create_symlink(victim, program / "FeliCaDLL.INI");
  const ProgramResult planted = lorvane::testing::RunProgramAfter(
      "timeout -s KILL 90", program / "lorvane", {"--read", "--language", "English"});
  EXPECT_TRUE(Says(planted, "The settings folder " + program.string() +
                                " is writable by every user: symbolic links in it are not "
                                "followed."))
      << planted.err;
  EXPECT_TRUE(Says(planted, "No plug-in is loaded from " + program.string())) << planted.err;
  EXPECT_EQ(dir_.Read("mine/notes.txt"), "precious\n");
}

TEST_F(ProgramFolder, ACopiedPortableFolderUsesThePluginsBesideIt) {
  ASSERT_EQ(Read().status, kExitRead);  // the registry names this folder
  const fs::path copy = dir_.path() / "copy";
  fs::create_directories(copy);
  for (const char* item : {"lorvane", "cardimage.so", "Define", "samples", "FeliCaDLL.INI"})
    fs::copy(Path(item), copy / item, fs::copy_options::recursive);
  fs::remove(Path("cardimage.so"));  // the old folder's plug-in is gone
  const ProgramResult r = lorvane::testing::RunProgram(copy / "lorvane", {"--read"});
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_NE(dir_.Read("copy/FeliCaDLL.INI").find("DLLDirectory=" + copy.string() + "/"),
            std::string::npos)
      << dir_.Read("copy/FeliCaDLL.INI");
}

TEST_F(ProgramFolder, SavesGoThroughLinksAndIntoFoldersThatTakeNoNewFile) {
  fs::create_directories(Path("elsewhere"));
  dir_.Write("elsewhere/registry.ini",
             "[KXDLLSettings]\nDLLDirectory=" + dir_.path().string() + "/\n");
  fs::create_symlink(Path("elsewhere/registry.ini"), Path("FeliCaDLL.INI"));
  EXPECT_EQ(Read().status, kExitRead);
  EXPECT_TRUE(fs::is_symlink(Path("FeliCaDLL.INI")));
  EXPECT_NE(dir_.Read("elsewhere/registry.ini").find("DLLNum=1"), std::string::npos);

  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  fs::remove(Path("FeliCaDLL.INI"));
  dir_.Write("FeliCaDLL.INI", "[KXDLLSettings]\nDLLDirectory=" + dir_.path().string() + "/\n");
  chmod(Path("FeliCaDLL.INI").c_str(), 0666);  // the folder stays root's: 0755
  const ProgramResult r = Read("setpriv --reuid=65534 --regid=65534 --clear-groups");
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_NE(Registry().find("DLLNum=1"), std::string::npos) << r.err;
}

// `lorvane --read` where no file may grow at all (as on a full disk); its standard error
// comes through a pipe, which the limit does not touch.
ProgramResult ProgramFolder::ReadOnAFullDisk() const {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_FSIZE, &none);
    dup2(pipeEnds[1], STDERR_FILENO);
    freopen("/dev/null", "w", stdout);
    execl(Path("lorvane").c_str(), "lorvane", "--read", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  ProgramResult r;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) r.err.append(buffer, n);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST_F(ProgramFolder, AFullDiskKeepsTheOldFileAndSaysWhy) {
  const std::string old = "[KXDLLSettings]\nDLLDirectory=" + dir_.path().string() + "/\n";
  dir_.Write("FeliCaDLL.INI", old);
  const ProgramResult r = ReadOnAFullDisk();
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_TRUE(Says(r, "FeliCaDLL.INI: cannot be written: File too large")) << r.err;
  EXPECT_EQ(Registry(), old);
  size_t reports = 0;
  for (size_t at = 0; (at = r.err.find("cannot be written", at)) != std::string::npos; ++at)
    ++reports;
  EXPECT_EQ(reports, 1u);
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".lorvane-tmp."), std::string::npos);
}

// The registry as a complete save leaves it: the count, then each entry down to its date.
bool Complete(const std::string& registry) {
  return registry.find("DLLNum=1") != std::string::npos &&
         registry.find("DLLInfo[1].LatestDate=") != std::string::npos && registry.back() == '\n';
}

TEST_F(ProgramFolder, KillsAndASecondInstanceNeverLeaveAMix) {
  ASSERT_EQ(Read().status, kExitRead);
  std::mt19937 random(7);
  for (int i = 0; i < 20; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execl(Path("lorvane").c_str(), "lorvane", "--read", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    lorvane::platform::ClearProfileCache();
    ASSERT_TRUE(Complete(Registry())) << "after kill " << i << ":\n" << Registry();
  }
  // Two at once, several times: each save is whole.
  for (int i = 0; i < 5; ++i) {
    std::thread other([&] { Read(); });
    Read();
    other.join();
    ASSERT_TRUE(Complete(Registry())) << Registry();
  }
  // The next save removes what killed writers left.
  EXPECT_EQ(Read().status, kExitRead);
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".lorvane-tmp."), std::string::npos);
}

TEST_F(ProgramFolder, TheCommandLineSaysWhyNothingWasRead) {
  ProgramResult r = Run({"--read", "--language", "Klingon"});
  EXPECT_EQ(r.status, kExitRead);
  EXPECT_TRUE(Says(r, "there is no language \"Klingon\"; using \"English\"")) << r.err;

  dir_.Write("deep.json", std::string(100000, '[') + std::string(100000, ']'));
  r = Run({"--read", "--card", Path("deep.json").string()});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_TRUE(Says(r, "deep.json: nested deeper than 64 levels")) << r.err;

  fs::remove(Path("cardimage.so"));
  dir_.Write("lib.so", "not a library");
  r = Run({"--read", "--verbose"});
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_TRUE(Says(r, "lib.so: cannot be loaded: ")) << r.err;
  EXPECT_TRUE(Says(r, "no reader plug-in was found in " + dir_.path().string())) << r.err;

  fs::copy(fs::path(LORVANE_BIN_DIR) / "cardimage.so", Path("cardimage.so"));
  r = Run({"--read", "--definitions", Path("samples").string()});
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_TRUE(Says(r, "there is no card definition in " + Path("samples").string())) << r.err;
  // The card answers the definition's system but refuses its service.
  dir_.Write("defs/CardDef_Other.ini",
             "[Card Definition]\nCardName=Other\nSystemCode1=0003,1\nServiceCode.01=4321,0,1\n"
             "Info.01.BlockSetNo=1\nInfo.01.Format=\"%s\",1\nInfo.01.01.Data=0,1\n");
  r = Run({"--read", "--definitions", Path("defs").string()});
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_TRUE(Says(r, "the card was read, but no card definition recognised it")) << r.err;
  dir_.Write("defs/CardDef_Other.ini",
             "[Card Definition]\nCardName=Other\nSystemCode1=8008,1\nServiceCode.01=4321,0,1\n");
  r = Run({"--read", "--definitions", Path("defs").string()});
  EXPECT_EQ(r.status, kExitNotRead);
  // A card was there: one that no definition reads, not "no card".
  EXPECT_TRUE(Says(r, "the card was read, but no card definition recognised it")) << r.err;
  // A card image holds the card itself: what it lacks is a system the definitions look for.
  const fs::path empty =
      dir_.Write("no-systems.json",
                 "{\"format\": \"felica-card-image\", \"version\": 1, \"idm\": "
                 "\"0102030405060708\", \"pmm\": \"0000000000000000\", \"systems\": []}");
  r = Run({"--read", "--card", empty.string()});
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_TRUE(Says(r, "the card image holds none of the systems")) << r.err;
  EXPECT_FALSE(Says(r, "no card on the reader")) << r.err;
}

}  // namespace
}  // namespace lorvane::app
