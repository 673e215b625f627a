// SPDX-License-Identifier: MIT
// Runs the lorvane executable from the program folder, as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/text_codec.h"
#include "testing/support/program_runner.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/command_line.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::TempDir;

const fs::path kBin = LORVANE_BIN_DIR;
const fs::path kSample = kBin / "samples/sample-transit.json";
const fs::path kSharedCards = fs::path(LORVANE_SOURCE_DIR) / "../shared/cards";

using Result = lorvane::testing::ProgramResult;

Result RunLorvane(const std::vector<std::string>& args, const fs::path& exe = kBin / "lorvane") {
  return lorvane::testing::RunProgram(exe, args);
}

std::vector<std::string> Lines(const std::string& text) {
  return lorvane::testing::SplitLines(text);
}

TEST(CommandLine, ReadsTheBundledSampleCard) {
  const Result r = RunLorvane({"--read", "--card", kSample.string(), "--language", "English"});
  ASSERT_EQ(r.status, kExitRead) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u + 14u);
  EXPECT_EQ(lines[0], "Transit IC card");
  EXPECT_EQ(lines[1], "IDm  : 0123 4567 89AB CDEF");
  EXPECT_EQ(lines[2], "Balance: 272 yen");
  EXPECT_EQ(lines[3], "Date        Terminal          Kind                   Payment  Balance");
  EXPECT_EQ(lines[4], "2026/04/10  Ticket gate       Fare                       210      272");
  EXPECT_EQ(lines[8], "2026/04/07  Charge machine    Charge                   2,000    2,680");
  EXPECT_EQ(lines.back(), "2026/04/01  Ticket machine    New card                            500");
}

TEST(CommandLine, JsonFollowsTheContract) {
  const Result r =
      RunLorvane({"--read", "--card", kSample.string(), "--language", "日本語", "--json"});
  ASSERT_EQ(r.status, kExitRead) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  ASSERT_EQ(doc["cards"].size(), 1u);
  const auto& card = doc["cards"][0];
  EXPECT_EQ(card["name"], "交通系ICカード");
  EXPECT_EQ(card["info"], nlohmann::json::array({"IDm  : 0123 4567 89AB CDEF", "残額: 272円"}));
  EXPECT_EQ(card["history"].size(), 14u);
  EXPECT_TRUE(card["title"].is_string());
  std::vector<std::string> keys;
  const auto ordered = nlohmann::ordered_json::parse(r.out);
  for (const auto& item : ordered["cards"][0].items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"name", "info", "title", "history"}));
}

TEST(CommandLine, JapaneseHistoryLinesLineUpInATerminal) {
  const Result r = RunLorvane({"--read", "--card", kSample.string(), "--language", "日本語"});
  ASSERT_EQ(r.status, kExitRead) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_GT(lines.size(), 5u);
  // Every history line ends its last column at the same terminal column.
  const size_t width = platform::TerminalColumns(platform::U16(lines[4]));
  for (size_t i = 5; i < lines.size(); ++i)
    EXPECT_EQ(platform::TerminalColumns(platform::U16(lines[i])), width) << lines[i];
}

TEST(CommandLine, DefinitionsFromAFolderAndTheExitStatus) {
  TempDir dir;
  dir.Write(
      "defs/CardDef_Plain.ini",
      "[Card Definition]\r\nCardName=Plain\r\nSystemCode1=0003,1\r\nServiceCode.01=008B,0,1\r\n"
      "Info.01.BlockSetNo=1\r\nInfo.01.Format=\"Kind %s\",1\r\nInfo.01.01.Data=8,1\r\n"
      "Info.01.01.Format=%02X\r\n");
  dir.Write(
      "defs/CardDef_Other.ini",
      "[Card Definition]\r\nCardName=Other\r\nSystemCode1=8008,1\r\nServiceCode.01=0117,0,1\r\n");
  Result r = RunLorvane({"--read", "--card", kSample.string(), "--definitions",
                         (dir.path() / "defs").string(), "--json"});
  ASSERT_EQ(r.status, kExitRead) << r.err;
  EXPECT_EQ(r.out,
            "{\n  \"cards\": [\n    {\n      \"name\": \"Plain\",\n      \"info\": [\n"
            "        \"IDm: 0123 4567 89AB CDEF\",\n        \"Kind 20\"\n      ],\n"
            "      \"title\": \"\",\n      \"history\": []\n    }\n  ]\n}\n");
  dir.Write("empty/README", "no definitions here");
  r = RunLorvane({"--read", "--card", kSample.string(), "--definitions",
                  (dir.path() / "empty").string(), "--json"});
  EXPECT_EQ(r.status, kExitNotRead);
  EXPECT_EQ(r.out, "{\n  \"cards\": []\n}\n");
}

TEST(CommandLine, UsageErrorsAndUnreadableFiles) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--bogus"}, "unknown argument \"--bogus\""},
      {{"--read", "--card"}, "--card needs a value"},
      {{"--json"}, "go with --read"},
      {{"--definitions", "/tmp"}, "go with --read"},
      {{"--read", "--screenshot", "x.png"}, "does not go with --read"},
      {{"--dump", "x.json", "--read"}, "--dump goes with neither --read nor --screenshot"},
      {{"--check-reader", "--dump", "x.json"}, "--check-reader goes with no other command"},
      {{"--verbose"}, "--verbose goes with --read, --dump or --check-reader"},
      {{"--read", "--card", "/no/such/card.json"},
       "/no/such/card.json: cannot be read: No such file or directory"},
      {{"--read", "--card", kSample.string(), "--definitions", "/no/such/folder"},
       "/no/such/folder"},
      {{"--read", "--card", (kBin / "Define/Language/English/Language.ini").string()},
       "Language.ini: not valid JSON"},
  };
  for (const auto& c : cases) {
    const Result r = RunLorvane(c.args);
    EXPECT_EQ(r.status, kExitUsage) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_EQ(RunLorvane({"--version"}).out, "lorvane 1.00\n");
  EXPECT_EQ(RunLorvane({"--help"}).status, 0);
}

TEST(CommandLine, TheProgramFolderIsPortableAndReadWritesNoSettings) {
  TempDir dir;
  fs::copy(kBin / "lorvane", dir.path() / "lorvane");
  fs::copy(kBin / "Define", dir.path() / "Define", fs::copy_options::recursive);
  Result r = RunLorvane({"--read", "--card", kSample.string(), "--json"}, dir.path() / "lorvane");
  EXPECT_EQ(r.status, kExitRead) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "lorvane.INI"));
  fs::remove_all(dir.path() / "Define/Language");  // a program folder without languages
  r = RunLorvane({"--read", "--card", kSample.string()}, dir.path() / "lorvane");
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.err,
            "Language Initialize Error!\nlorvane: no language of the program \"lorvane\" in " +
                (dir.path() / "Define/Language/").string() + "\n");
  EXPECT_FALSE(fs::exists(dir.path() / "lorvane.INI"));
}

TEST(CommandLine, ADefinitionErrorIsPrintedAndTheReadGoesOn) {
  TempDir dir;
  dir.Write("CardDef_Odd.ini",
            "[Card Definition]\r\nCardName=Odd\r\nSystemCode1=0003,1\r\nServiceCode.01=008B,0,1\r\n"
            "Info.01.BlockSetNo=1\r\nInfo.01.Format=\"%s\",1\r\nInfo.01.01.Data=8\r\nInfo.01.01."
            "Format=%d\r\n");
  const Result r =
      RunLorvane({"--read", "--card", kSample.string(), "--definitions", dir.path().string()});
  EXPECT_EQ(r.status, kExitRead);
  EXPECT_NE(r.err.find("Error: .def file read error"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Info.01.01.Data"), std::string::npos) << r.err;
}

// Each real card dump is read by the shipped definition a card owner would expect.
TEST(CommandLine, RealCardDumps) {
  if (!fs::exists(kSharedCards)) GTEST_SKIP() << "shared/cards is not beside the checkout";
  struct Case {
    const char* file;
    const char* name;
    size_t history;
    const char* newest;
  } cases[] = {
      {"suica-farebot.json", "Transit IC card", 20,
       "2011/03/12  Ticket gate       Fare                       160       10"},
      {"suica-farebot.nfc", "Transit IC card", 20,
       "2011/03/12  Ticket gate       Fare                       160       10"},
      {"pasmo-farebot.json", "Transit IC card", 11,
       "2011/06/14  Shop register     Purchase                   420        0"},
      {"icoca-farebot.json", "Transit IC card", 20,
       "2018/09/17  Ticket gate       Fare                       260      175"},
      {"suica-nfcpy.json", "Transit IC card", 20,
       "2012/06/25  Shop register     Purchase                   150    2,300"},
      {"edy-tret.json", "Edy", 4, "2019/10/05 15:11  Payment        150       35"},
      {"edy-nfcpy.json", "Edy", 4, "2016/02/15 12:23  Payment        586      414"},
      {"nanaco-tret.json", "nanaco", 5, "2020/03/07 04:24  Purchase         1,089      363"},
      {"waon-tret.json", "WAON", 3, "2019/09/01 10:42  Purchase         2,025       0       43"},
      {"sapica-tret.json", "SAPICA", 0, nullptr},
  };
  for (const auto& c : cases) {
    const Result r = RunLorvane(
        {"--read", "--card", (kSharedCards / c.file).string(), "--language", "English", "--json"});
    ASSERT_EQ(r.status, kExitRead) << c.file << r.err;
    const auto card = nlohmann::json::parse(r.out)["cards"][0];
    EXPECT_EQ(card["name"], c.name) << c.file;
    EXPECT_EQ(card["history"].size(), c.history) << c.file;
    if (c.newest != nullptr) {
      EXPECT_EQ(card["history"][0], c.newest) << c.file;
    }
  }
}

}  // namespace
}  // namespace lorvane::app
