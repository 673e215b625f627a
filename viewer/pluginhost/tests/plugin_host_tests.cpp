// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "platform/ini_profile.h"
#include "viewer/pluginhost/tests/host_fixture.h"

namespace lorvane::pluginhost {
namespace {

using Strings = std::vector<std::string>;
using platform::U16;
using platform::U8;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(HostTest, IdentifiesOnlyReaderPlugins) {
  for (const char* variant : {"alpha", "bravo", "kind_shouting", "kind_short", "version_011",
                              "no_date", "ten_functions", "weird_text"}) {
    Install(variant);
  }
  dir_.Write("bin/readme.so", "not a library");
  std::filesystem::copy_file(std::filesystem::path(TEST_PLUGIN_DIR) / "alpha.so",
                             Bin() / "alpha.txt");
  auto host = StartHost();
  EXPECT_EQ(Names(*host), (Strings{"alpha.so", "bravo.so", "kind_shouting.so", "ten_functions.so",
                                   "weird_text.so"}));
  EXPECT_EQ(host->GetFunctionNumber(1), 2);
  EXPECT_EQ(host->GetFunctionNumber(3), 10);
  EXPECT_EQ(host->record(1).InterfaceVersion, 10);
  EXPECT_EQ(host->record(4).Description.size(), kMaxPluginText);  // copied with bounds
  for (uint16_t i = 0; i < host->GetCount(); ++i) {
    EXPECT_EQ(host->GetMode(i), kModeWhenNeeded);  // found new
    EXPECT_FALSE(host->record(i).InfoUnchanged);
  }
  EXPECT_TRUE(ui_.browsedFrom.size() == 1);  // no folder stored yet: the user was asked
}

TEST_F(HostTest, RegistryFileRoundTrip) {
  Install("alpha");
  Install("bravo");
  {
    auto host = StartHost();
    host->SetMode(1, kModeAlways);
    ASSERT_EQ(host->DLLInfoMove(1, 0), 0);
  }
  const std::string text = RegistryText();
  EXPECT_TRUE(Contains(text, "DLLNum=2\r\n")) << text;
  EXPECT_TRUE(Contains(text, "DLLInfo[1].name=bravo.so\r\nDLLInfo[1].mode=0\r\n")) << text;
  EXPECT_TRUE(Contains(text, "DLLInfo[2].name=alpha.so\r\nDLLInfo[2].mode=1\r\n")) << text;
  EXPECT_TRUE(Contains(text, "DLLInfo[1].FunctionNumber=2\r\n")) << text;
  EXPECT_TRUE(Contains(text, "DLLDirectory=" + Bin().string() + "/\r\n")) << text;
  EXPECT_TRUE(Contains(text, "DLLInfo[1].IOFeliCaSettingBytes[2]=256\r\n")) << text;
  // The saved order and modes come back; the saved setting data is used as it is.
  auto host = StartHost();
  EXPECT_EQ(Names(*host), (Strings{"bravo.so", "alpha.so"}));
  EXPECT_EQ(host->GetMode(0), kModeAlways);
  EXPECT_TRUE(host->record(0).InfoUnchanged);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(host->record(1).Settings[0]->data->data())),
            "alpha");
}

TEST_F(HostTest, DamagedSettingDataReadsAsZeros) {
  Install("alpha");
  StartHost().reset();
  std::string text = RegistryText();
  const size_t at = text.find("IOFeliCaSettingData[1]=") + 23;
  text[at] = text[at] == '0' ? '1' : '0';  // the checksum no longer matches
  WriteRegistry(text);
  auto host = StartHost();
  const auto& data = *host->record(0).Settings[0]->data;
  EXPECT_EQ(std::count(data.begin(), data.end(), 0), static_cast<long>(data.size()));
}

TEST_F(HostTest, ChangedPluginTextsTakeTheSettingDataFromThePlugin) {
  Install("alpha");
  StartHost().reset();
  Install("newer_date", "alpha.so");
  auto host = StartHost();
  EXPECT_FALSE(host->record(0).InfoUnchanged);
  EXPECT_EQ(U8(host->record(0).LatestDate), "2027/01/01");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(host->record(0).Settings[0]->data->data())),
            "newer_date");
}

TEST_F(HostTest, ShrinkingRegistryLeavesStaleKeys) {
  Install("alpha");
  Install("bravo");
  Install("charlie");
  StartHost().reset();
  std::filesystem::remove(Bin() / "bravo.so");
  StartHost().reset();
  const std::string text = RegistryText();
  EXPECT_TRUE(Contains(text, "DLLNum=2\r\n"));
  EXPECT_TRUE(Contains(text, "DLLInfo[3].name=charlie.so"));  // kept, not read
  EXPECT_TRUE(Contains(text, "DLLInfo[2].name=charlie.so"));
}

TEST_F(HostTest, BrokenRegistryFiles) {
  Install("alpha");
  Install("bravo");
  Install("alpha", "evil.so", dir_.path() / "elsewhere");
  WriteRegistry("[KXDLLSettings]\r\nDLLDirectory=" + Bin().string() +
                "/\r\nDLLNum=2000000000\r\n"
                "DLLInfo[1].Name=bravo.so\r\nDLLInfo[1].Mode=-1\r\n"
                "DLLInfo[2].Name=../elsewhere/evil.so\r\n"
                "DLLInfo[3].Name=BRAVO.so\r\n"  // a second entry of the same library
                "DLLInfo[5].Name=alpha.so\r\nDLLInfo[5].Mode=garbage\r\n"
                "\x01\x02 junk line\r\n");
  auto host = StartHost();
  EXPECT_EQ(Names(*host), (Strings{"bravo.so", "alpha.so"}));
  EXPECT_EQ(host->GetMode(0), kModeNotUsed);
  EXPECT_EQ(host->GetMode(1), kModeAlways);  // an unreadable mode reads as 0
  EXPECT_TRUE(ui_.browsedFrom.empty());
}

TEST_F(HostTest, TheSameNameInBothFoldersIsLoadedFromThePluginFolder) {
  Install("alpha", "shared.so", dir_.path() / "plugins");
  Install("bravo", "shared.so");
  WriteRegistry("[KXDLLSettings]\r\nDLLDirectory=" + (dir_.path() / "plugins").string() + "/\r\n");
  auto host = StartHost();
  ASSERT_EQ(host->GetCount(), 1);
  EXPECT_EQ(U8(host->GetPath(0)), (dir_.path() / "plugins/shared.so").string());
  EXPECT_EQ(host->GetFunctionNumber(0), 1);  // alpha's, not bravo's 2
}

TEST_F(HostTest, ProbeChoosesTheFirstPluginThatAnswers) {
  for (const char* variant : {"deaf", "echo", "uninitialised", "charlie", "alpha"})
    Install(variant);
  auto host = StartHost();
  ASSERT_EQ(Names(*host),
            (Strings{"alpha.so", "charlie.so", "deaf.so", "echo.so", "uninitialised.so"}));
  EXPECT_EQ(host->GetCurrent(), 0);
  EXPECT_EQ(host->GetCurrentFunction(), 0);
  EXPECT_TRUE(host->record(0).HasValidReader);
  EXPECT_TRUE(host->record(1).HasValidReader);  // DLL_Open 3 counts as an answer
  EXPECT_FALSE(host->record(2).HasValidReader);
  EXPECT_FALSE(host->record(3).HasValidReader);  // 1 does not
  EXPECT_FALSE(host->record(4).HasValidReader);
  EXPECT_EQ(host->SelectCurrent(2), kNoCurrentPlugin);
  EXPECT_EQ(host->GetCurrent(), 0);
  EXPECT_EQ(host->SelectCurrent(1), 0);
}

TEST_F(HostTest, NoPluginAnswers) {
  for (const char* variant : {"deaf", "echo", "uninitialised"}) Install(variant);
  auto host = StartHost();
  EXPECT_EQ(host->GetCurrent(), 2);  // the last one probed
  EXPECT_EQ(host->GetCurrentFunction(), -1);
}

TEST_F(HostTest, AnExceptionFromAPluginIsThatCallsFailure) {
  Install("thrower");
  Install("alpha");
  auto host = StartHost();
  ASSERT_EQ(Names(*host), (Strings{"alpha.so", "thrower.so"}));
  EXPECT_TRUE(host->record(0).HasValidReader);
  EXPECT_FALSE(host->record(1).HasValidReader);  // its DLL_Open threw: no answer
  const auto& notes = ui_.notes;
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "thrower.so: DLL_Open let an exception escape; the call counts as failed"),
            notes.end());
}

TEST_F(HostTest, APluginThatCrashesIsNamedBeforeTheProcessEnds) {
  Install("crasher");
  EXPECT_EXIT(
      {
        auto host = StartHost();
        host->SelectCurrent(0);
        host->ReaderOpen(std::nullopt);
        host->ReaderREQC(3);
      },
      [](int status) { return status != 0; },
      "the reader plug-in crasher.so crashed in its entry point DLL_REQC");
}

TEST_F(HostTest, EmptyRegistry) {
  auto host = StartHost();
  EXPECT_EQ(host->GetCount(), 0);
  EXPECT_EQ(host->GetCurrent(), -1);
  EXPECT_EQ(host->ReaderOpen(std::nullopt), kNoCurrentPlugin);
  EXPECT_EQ(host->ReaderClose(), kCloseNotPossible);
  EXPECT_EQ(host->ReaderREQC(3), kPluginNotLoaded);
}

TEST_F(HostTest, LoadModesDecideWhenALibraryIsLoaded) {
  Install("alpha");
  StartHost().reset();
  Calls();
  {
    auto host = StartHost();  // mode 1: freed after the probe; the first open loads it
    EXPECT_EQ(host->record(0).Module, nullptr);
    Calls();
    EXPECT_EQ(host->ReaderOpen(std::nullopt), 0);
    EXPECT_EQ(Calls(), (Strings{"alpha load", "alpha DLL_Initialize", "alpha DLL_Open"}));
    host->SetMode(0, kModeAlways);
  }
  auto host = StartHost();  // mode 0: stays loaded, opened without a new initialisation
  EXPECT_NE(host->record(0).Module, nullptr);
  Calls();
  EXPECT_EQ(host->ReaderOpen(U16("\"g\"\"r\"")), 0);
  EXPECT_EQ(Calls(), (Strings{"alpha DLL_Open \"g\"\"r\""}));
  host->SetMode(0, kModeNotUsed);
  host->Unload(0);
  EXPECT_EQ(host->Load(0), kPluginNotUsed);
  EXPECT_EQ(host->ReaderInitialize(0), kEntryPointMissing);
}

TEST_F(HostTest, APluginWithoutGetSettingStopsThePreparation) {
  Install("alpha");
  Install("bravo");
  Install("no_setting");
  auto host = StartHost();
  ASSERT_EQ(Names(*host), (Strings{"alpha.so", "bravo.so", "no_setting.so"}));
  EXPECT_EQ(host->GetCurrent(), -1);  // the probe did not run
  EXPECT_FALSE(host->record(1).Settings.empty());
  EXPECT_EQ(host->OpenSettings(false, 2, 0), kEntryPointMissing);
}

TEST_F(HostTest, OpenSettingsPreparesAnEntryTheStartUpNeverMade) {
  Install("alpha");
  auto host = StartHost();
  Install("bravo", "", dir_.path() / "more");
  ui_.folderAnswer = U16((dir_.path() / "more").string());
  host->ChangeFolder(std::nullopt);
  ASSERT_EQ(Names(*host), (Strings{"bravo.so", "alpha.so"}));
  EXPECT_TRUE(host->modified());
  EXPECT_TRUE(Contains(RegistryText(), "DLLDirectory=" + (dir_.path() / "more").string() + "/"));
  Calls();
  EXPECT_EQ(host->OpenSettings(false, 0, 1), 0);
  const Strings calls = Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "bravo GetSetting 1 2"), calls.end());
  ASSERT_TRUE(host->record(0).Settings[1]);
  EXPECT_EQ(host->record(0).Settings[1]->bytes, FELICA_SETTING_BYTES);
}

TEST_F(HostTest, AboutBoxShowsThePluginTexts) {
  Install("alpha");
  auto host = StartHost();
  host->ShowAbout(0);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0],
            "プラグイン情報|Test plug-in alpha\nVer 1.00\nCopyright test\nDate:2026/01/01");
}

std::string EntryText(const DLLHost& host, uint16_t index) {
  return reinterpret_cast<const char*>(host.record(index).Settings.at(0)->data->data());
}

TEST_F(HostTest, SettingDataStaysWithItsPluginWhenAnotherVanishes) {
  Install("alpha");
  Install("bravo");
  Install("charlie");
  StartHost().reset();
  std::filesystem::remove(Bin() / "bravo.so");
  {
    auto host = StartHost();
    ASSERT_EQ(Names(*host), (Strings{"alpha.so", "charlie.so"}));
    EXPECT_EQ(EntryText(*host, 1), "charlie");  // its own data, not bravo's
  }
  // Written at its new position.
  auto host = StartHost();
  EXPECT_TRUE(host->record(1).InfoUnchanged);
  EXPECT_EQ(EntryText(*host, 1), "charlie");
}

TEST_F(HostTest, SettingDataFollowsItsPluginThroughAFolderChange) {
  Install("alpha");
  Install("bravo");
  {
    auto host = StartHost();
    setenv("TEST_PLUGIN_CHOICE", "chosen for alpha", 1);
    host->OpenSettings(false, 0, 0);
    unsetenv("TEST_PLUGIN_CHOICE");
    Install("charlie", "", dir_.path() / "more");
    ui_.folderAnswer = U16((dir_.path() / "more").string());
    host->ChangeFolder(std::nullopt);
    ASSERT_EQ(Names(*host), (Strings{"charlie.so", "alpha.so", "bravo.so"}));
    EXPECT_EQ(EntryText(*host, 1), "chosen for alpha");
  }
  // charlie now stands where alpha's data was stored: it must not be handed it.
  auto host = StartHost();
  ASSERT_EQ(Names(*host), (Strings{"charlie.so", "alpha.so", "bravo.so"}));
  EXPECT_EQ(EntryText(*host, 0), "charlie");
  EXPECT_EQ(EntryText(*host, 1), "chosen for alpha");
  EXPECT_EQ(EntryText(*host, 2), "bravo");
}

TEST_F(HostTest, AChoiceInAPluginsOwnSettingsIsKeptAndUsedForReads) {
  Install("alpha");
  auto host = StartHost();
  ASSERT_EQ(host->GetCurrent(), 0);
  setenv("TEST_PLUGIN_CHOICE", "cancel", 1);
  EXPECT_EQ(host->OpenSettings(false, 0, 0), 0);
  EXPECT_EQ(EntryText(*host, 0), "alpha");  // cancelled: as it was
  setenv("TEST_PLUGIN_CHOICE", "\"Group\"\"Second reader\"", 1);
  Calls();
  EXPECT_EQ(host->OpenSettings(false, 0, 0), 0);
  unsetenv("TEST_PLUGIN_CHOICE");
  EXPECT_EQ(Calls(), (Strings{"alpha load", "alpha GetSetting 0 2", "alpha GetSetting 0 0",
                              "alpha unload"}));
  EXPECT_EQ(EntryText(*host, 0), "\"Group\"\"Second reader\"");
  HostCardReader reader(*host);
  reader.ReaderOpen();
  EXPECT_EQ(Calls(), (Strings{"alpha load", "alpha DLL_Initialize",
                              "alpha DLL_Open \"Group\"\"Second reader\""}));
  host.reset();
  // After a restart the reads still go to the chosen reader.
  host = StartHost();
  Calls();
  HostCardReader again(*host);
  again.ReaderOpen();
  EXPECT_EQ(Calls().back(), "alpha DLL_Open \"Group\"\"Second reader\"");
}

TEST_F(HostTest, StoredReaderNamesThatAreNoTextAreNotPassedOn) {
  Install("alpha");
  auto host = StartHost();
  auto& data = *host->record(0).Settings[0]->data;
  std::fill(data.begin(), data.end(), 0);
  EXPECT_EQ(host->StoredReaderName(), std::nullopt);  // empty
  data[0] = 'a';
  data[1] = '\n';
  EXPECT_EQ(host->StoredReaderName(), std::nullopt);  // a control character
  std::fill(data.begin(), data.begin() + FELICA_SETTING_BYTES, 'x');
  EXPECT_EQ(host->StoredReaderName(), std::nullopt);  // not terminated within its bytes
  data[3] = 0;
  EXPECT_EQ(host->StoredReaderName(), u"xxx");
}

TEST_F(HostTest, TheCurrentPluginFollowsItsEntryWhenEntriesMove) {
  Install("deaf");
  Install("echo");
  Install("alpha", "zulu.so");
  auto host = StartHost();
  ASSERT_EQ(Names(*host), (Strings{"deaf.so", "echo.so", "zulu.so"}));
  ASSERT_EQ(host->GetCurrent(), 2);  // the only one with a reader
  host->DLLInfoMove(2, 0);           // zulu, deaf, echo
  EXPECT_EQ(host->GetCurrent(), 0);
  host->DLLInfoMove(1, 2);  // zulu, echo, deaf
  EXPECT_EQ(host->GetCurrent(), 0);
  host->DLLInfoMove(2, 0);  // deaf, zulu, echo
  EXPECT_EQ(host->GetCurrent(), 1);
  EXPECT_EQ(U8(host->GetName(1)), "zulu.so");
}

TEST(DLLHostRegistry, GrowthAndMoves) {
  RecordingUi ui;
  DLLHost host(ui, "/nonexistent");
  auto named = [](const char* name) {
    DLLInfo r;
    r.Name = U16(name);
    return r;
  };
  ASSERT_EQ(host.DLLInfoSetAtGrow(0, named("A")), 0);
  EXPECT_EQ(host.capacity(), 20);
  EXPECT_EQ(host.GetCount(), 1);
  host.DLLInfoSetAtGrow(20, named("U"));
  EXPECT_EQ(host.capacity(), 40);
  EXPECT_EQ(host.GetCount(), 21);
  host.DLLInfoReset();
  for (const char* n : {"A", "B", "C"}) host.DLLInfoSetAtGrow(host.GetCount(), named(n));
  host.DLLInfoMove(2, 0);
  EXPECT_EQ(U8(host.GetName(0)) + U8(host.GetName(1)) + U8(host.GetName(2)), "CAB");
  host.DLLInfoMove(0, 2);
  EXPECT_EQ(U8(host.GetName(0)) + U8(host.GetName(1)) + U8(host.GetName(2)), "ABC");
  host.DLLInfoRemoveAt(1);
  EXPECT_EQ(U8(host.GetName(0)) + U8(host.GetName(1)), "AC");
  EXPECT_TRUE(host.modified());
  EXPECT_EQ(ParseVersionList(u"010;;11.x:3"), (std::vector<uint16_t>{10, 11, 0, 3}));
  EXPECT_EQ(RegistryKey(3, u"IOFeliCaSettingData", 2), u"DLLInfo[3].IOFeliCaSettingData[2]");
  const std::u16string* message = nullptr;
  EXPECT_EQ(host.GetMessage(&message), 0);
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(message->empty());
}

}  // namespace
}  // namespace lorvane::pluginhost
