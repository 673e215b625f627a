// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/language_table.h"

namespace lorvane::app {
namespace {

using lorvane::testing::TempDir;

class LanguageTest : public ::testing::Test {
 protected:
  void Language(const std::string& folder, const std::string& application, const std::string& name,
                const std::string& extra = "") {
    std::string text = "[Information]\r\nApplication=" + application + "\r\n";
    if (!name.empty()) text += "Name=" + name + "\r\n";
    dir_.Write(folder + "/Language.ini", text + extra);
  }
  uint16_t Load(const std::u16string& wanted) {
    return table_.LoadLanguages(u"lorvane", dir_.path(), wanted);
  }
  std::string Current() { return platform::U8(table_.GetCurrentLanguageName()); }

  TempDir dir_;
  LanguageTable table_;
};

TEST_F(LanguageTest, SelectsTheWantedLanguageOrTheFirst) {
  Language("English", "lorvane", "English");
  Language("Japanese", "LORVANE", "日本語");
  ASSERT_EQ(Load(u"english"), kLanguageOk);
  EXPECT_EQ(Current(), "English");
  ASSERT_EQ(Load(u" 日本語 "), kLanguageOk);
  EXPECT_EQ(Current(), "日本語");
  EXPECT_EQ(table_.GetCurrentFolder(), dir_.path() / "Japanese");
  ASSERT_EQ(Load(u"Deutsch"), kLanguageOk);
  EXPECT_EQ(Current(), "English");
  EXPECT_EQ(table_.GetLanguageCount(), 2);
  EXPECT_EQ(table_.GetLanguageName(2), std::nullopt);
}

TEST_F(LanguageTest, OnlyFoldersThatNameThisProgramAreLanguages) {
  Language("A-other", "OtherTool", "Other");
  Language("B-noname", "lorvane", "");
  Language(".hidden", "lorvane", "Hidden");
  Language("C-spaced", "lorvane", "  Spaced  ");
  Language("D-twin", "lorvane", "Spaced");
  dir_.Write("E-file", "not a folder");
  dir_.Write("F-empty/readme.txt", "no language here");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(Load(u"spaced"), kLanguageOk);
  // The language files that cannot serve are named, with why; a folder without one is not.
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find((dir_.path() / "A-other/Language.ini").string() +
                      ": its [Information] Application is not lorvane"),
            std::string::npos)
      << told;
  EXPECT_NE(told.find((dir_.path() / "B-noname/Language.ini").string() +
                      ": its [Information] has no Name"),
            std::string::npos)
      << told;
  EXPECT_EQ(told.find("F-empty"), std::string::npos) << told;
  EXPECT_EQ(table_.GetLanguageCount(), 2);
  EXPECT_EQ(table_.GetCurrentIndex(), 0);  // the first of two equal names
  EXPECT_EQ(table_.SelectLanguage(1), kLanguageOk);
  EXPECT_EQ(table_.GetCurrentFolder(), dir_.path() / "D-twin");
  EXPECT_EQ(table_.SelectLanguage(2), kNoSuchLanguage);
  EXPECT_EQ(table_.SelectLanguageByName(u"nothing"), kNoSuchLanguage);
}

TEST_F(LanguageTest, NoLanguagesAtAll) {
  EXPECT_EQ(table_.LoadLanguages(u"lorvane", dir_.path() / "missing", u""), kNoLanguages);
  Language("A", "OtherTool", "Other");
  EXPECT_EQ(Load(u""), kNoLanguages);
  LanguageList bare;  // the base list holds no languages
  EXPECT_EQ(bare.LoadLanguages(u"OtherTool", dir_.path(), u""), kNoLanguages);
}

TEST_F(LanguageTest, ASelectionWhoseFileChangedIsRefused) {
  Language("A", "lorvane", "First");
  Language("B", "lorvane", "Second");
  ASSERT_EQ(Load(u"First"), kLanguageOk);
  Language("B", "OtherTool", "Second");
  EXPECT_EQ(table_.SelectLanguage(1), kNotThisProgram);
  EXPECT_EQ(Current(), "First");
}

TEST_F(LanguageTest, MissingTextsShowTheirKeyNames) {
  Language("A", "lorvane", "First",
           "[String]\r\nSTRING001=Caption\r\nSTRING002=\r\n[Menu]\r\nDLLInfo=Plug-ins\r\n"
           "[Message]\r\nMESSAGE001=Hold a card\r\n");
  ASSERT_EQ(Load(u""), kLanguageOk);
  EXPECT_EQ(table_.String(1), u"Caption");
  EXPECT_EQ(table_.String(2), u"");
  EXPECT_EQ(table_.String(3), u"STRING003");
  EXPECT_EQ(table_.Message(1), u"Hold a card");
  EXPECT_EQ(table_.Message(2), u"MESSAGE002");
  EXPECT_EQ(table_.MenuText(LanguageTable::kDllInfo), u"Plug-ins");
  EXPECT_EQ(table_.MenuText(LanguageTable::kDllPath), u"DLLPath");
}

TEST_F(LanguageTest, BrokenLanguageFilesNeverCrash) {
  dir_.Write("A/Language.ini", std::string("\xFF\xFE[\x00", 4));
  dir_.Write("B/Language.ini", std::string("\x00\x01\x02[Information]\n\xFF\xFF", 19));
  dir_.Write("C/Language.ini",
             "[Information]\nApplication=lorvane\nName=" + std::string(500, 'x') + "\n");
  ASSERT_EQ(Load(u""), kLanguageOk);
  EXPECT_EQ(table_.GetLanguageCount(), 1);
  EXPECT_EQ(Current().size(), 199u);
}

}  // namespace
}  // namespace lorvane::app
