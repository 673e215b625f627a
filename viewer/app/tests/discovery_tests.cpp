// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/definition_discovery.h"
#include "viewer/app/viewer_app.h"
#include "viewer/carddef/definition_notifier.h"

namespace lorvane::app {
namespace {

using lorvane::testing::TempDir;
using platform::U8;

std::vector<std::string> Names(const CardDefinitions& definitions) {
  std::vector<std::string> names;
  for (const auto& d : definitions) names.push_back(U8(d->GetCardName()));
  return names;
}

std::string Section(const std::string& section, const std::string& name) {
  return "[" + section + "]\r\nCardName=" + name + "\r\n";
}

// Records the definitions named as broken.
class SkippedDefinitions final : public carddef::DefinitionNotifier {
 public:
  SkippedDefinitions() : previous_(carddef::SetDefinitionNotifier(this)) {}
  ~SkippedDefinitions() override { carddef::SetDefinitionNotifier(previous_); }
  void DefinitionReadError(const std::u16string&, const std::u16string&) override {}
  void DefinitionSkipped(const std::u16string& file, const std::string& reason) override {
    lines.push_back(U8(file) + ": " + reason);
  }
  std::vector<std::string> lines;

 private:
  carddef::DefinitionNotifier* previous_;
};

TEST(DefinitionDiscovery, CardDefineSectionsThenSingleFilesWithoutRepeats) {
  SkippedDefinitions skipped;
  TempDir dir;
  dir.Write("CardDefine.ini", Section("Service01", "Transit") + Section("Service02", "Edy") +
                                  Section("Service04", "Never"));
  dir.Write("CardDef_b.ini", Section("Card Definition", "TRANSIT"));  // repeats a name
  dir.Write("carddef_a.INI", Section("Card Definition", "nanaco"));   // sorts last: a repeat
  dir.Write("CardDef_c.ini", Section("Card Definition", "Nanaco"));
  dir.Write("CardDef_d.ini", "[Other]\r\nCardName=x\r\n");  // fails to load, still listed
  dir.Write("Other.ini", Section("Card Definition", "Other"));
  EXPECT_EQ(Names(LoadCardDefinitions(dir.path())),
            (std::vector<std::string>{"Transit", "Edy", "Nanaco", "不明カード"}));
  // The one that reads no card is named, with why.
  EXPECT_EQ(skipped.lines, (std::vector<std::string>{(dir.path() / "CardDef_d.ini").string() +
                                                     ": has no CardName: it is not a card "
                                                     "definition"}));
}

TEST(DefinitionDiscovery, AtMostTwentyDefinitions) {
  TempDir dir;
  std::string file;
  for (int n = 1; n <= 22; ++n) {
    char section[16];
    std::snprintf(section, sizeof section, "Service%02d", n);
    file += Section(section, "Card " + std::to_string(n));
  }
  dir.Write("CardDefine.ini", file);
  dir.Write("CardDef_x.ini", Section("Card Definition", "Extra"));
  const auto definitions = LoadCardDefinitions(dir.path());
  ASSERT_EQ(definitions.size(), 20u);
  EXPECT_EQ(U8(definitions.back()->GetCardName()), "Card 20");
  EXPECT_TRUE(LoadCardDefinitions(dir.path() / "missing").empty());
}

// A portable program folder's two languages, English and 日本語.
void WriteTwoLanguages(TempDir& dir) {
  dir.Write("Define/Language/English/Language.ini",
            "[Information]\nApplication=lorvane\nName=English\n");
  dir.Write("Define/Language/Japanese/Language.ini",
            "[Information]\nApplication=lorvane\nName=日本語\n");
}

TEST(ViewerSettings, FirstRunWritesDefaultsAndCarriesWindowKeysThrough) {
  TempDir dir;
  const auto exe = dir.path() / "lorvane";
  WriteTwoLanguages(dir);
  {
    ViewerApp app(exe);
    ASSERT_TRUE(app.Start(u"日本語"));
    EXPECT_EQ(app.paths().settingsFile, dir.path() / "lorvane.INI");
    EXPECT_EQ(app.languages().GetCurrentFolder(), dir.path() / "Define/Language/Japanese");
    ASSERT_TRUE(app.SaveSettings());
  }
  EXPECT_EQ(dir.Read("lorvane.INI"),
            "[Setting]\r\nLanguageDirectory=Define\\Language\r\n[Property]\r\nLanguage=日本語\r\n"
            "WindowLeft=-1\r\nWindowRight=-1\r\nWindowtop=-1\r\nWindowbottom=-1\r\n");
  dir.Write("lorvane.INI",
            "[Setting]\nLanguageDirectory=\n[Property]\nLanguage=Klingon\nWindowLeft=120\n");
  ViewerApp app(exe);
  ASSERT_TRUE(app.Start());
  EXPECT_EQ(app.settings().languageDirectory, kDefaultLanguageDirectory);
  EXPECT_EQ(app.settings().window[0], 120);
  EXPECT_EQ(U8(app.languages().GetCurrentLanguageName()), "English");
  ASSERT_TRUE(app.SaveSettings());
  EXPECT_EQ(dir.Read("lorvane.INI"),
            "[Setting]\nLanguageDirectory=Define\\Language\n[Property]\nLanguage="
            "English\nWindowLeft=120\n"
            "WindowRight=-1\nWindowtop=-1\nWindowbottom=-1\n");
}

// --language is for one run: the stored language stays unless one is chosen in the window.
TEST(ViewerSettings, ALanguageGivenForOneRunIsNotSaved) {
  TempDir dir;
  const auto exe = dir.path() / "lorvane";
  WriteTwoLanguages(dir);
  dir.Write("lorvane.INI", "[Property]\nLanguage=English\n");
  ViewerApp app(exe);
  ASSERT_TRUE(app.Start(u"日本語"));
  EXPECT_EQ(U8(app.languages().GetCurrentLanguageName()), "日本語");
  ASSERT_TRUE(app.SaveSettings());
  EXPECT_NE(dir.Read("lorvane.INI").find("Language=English\n"), std::string::npos);
  app.LanguageChosen();
  ASSERT_TRUE(app.SaveSettings());
  EXPECT_NE(dir.Read("lorvane.INI").find("Language=日本語\n"), std::string::npos);
}

// A window system that records what start-up asked of it, and what the settings file held
// while the dialog ran and when it was destroyed.
class RecordingShell final : public ViewerShell {
 public:
  explicit RecordingShell(std::filesystem::path settings) : settings_(std::move(settings)) {}
  std::vector<std::string> events;

  void ShowStartupError(const std::u16string& text, const std::u16string& caption) override {
    events.push_back("box " + U8(caption) + ": " + U8(text));
  }
  std::unique_ptr<ModalDialog> CreateMainDialog(ViewerApp&) override {
    events.push_back("create");
    return std::make_unique<Dialog>(*this);
  }

 private:
  struct Dialog final : ModalDialog {
    explicit Dialog(RecordingShell& s) : shell(s) {}
    ~Dialog() override { shell.events.push_back("destroy, settings " + shell.SettingsState()); }
    void RunModal() override { shell.events.push_back("run, settings " + shell.SettingsState()); }
    RecordingShell& shell;
  };
  std::string SettingsState() const {
    return std::filesystem::exists(settings_) ? "written" : "absent";
  }
  std::filesystem::path settings_;
};

TEST(ViewerSettings, RunWritesTheSettingsAfterTheDialogClosedAndBeforeItGoes) {
  TempDir dir;
  dir.Write("Define/Language/English/Language.ini",
            "[Information]\nApplication=lorvane\nName=English\n");
  ViewerApp app(dir.path() / "lorvane");
  RecordingShell shell(dir.path() / "lorvane.INI");
  EXPECT_TRUE(app.Run(shell, std::nullopt));
  EXPECT_EQ(shell.events, (std::vector<std::string>{"create", "run, settings absent",
                                                    "destroy, settings written"}));

  TempDir empty;
  ViewerApp lost(empty.path() / "lorvane");
  RecordingShell refused(empty.path() / "lorvane.INI");
  EXPECT_FALSE(lost.Run(refused, std::nullopt));
  EXPECT_EQ(refused.events, (std::vector<std::string>{"box Error: Language Initialize Error!"}));
  EXPECT_FALSE(std::filesystem::exists(empty.path() / "lorvane.INI"));
}

TEST(ViewerSettings, AnotherProgramNameUsesItsOwnFiles) {
  TempDir dir;
  dir.Write("Define/Language/English/Language.ini",
            "[Information]\nApplication=lorvane\nName=English\n");
  ViewerApp renamed(dir.path() / "viewer2");
  EXPECT_EQ(renamed.paths().settingsFile, dir.path() / "viewer2.INI");
  EXPECT_FALSE(renamed.Start());  // no language names "viewer2"
  dir.Write("lorvane.INI", "[Setting]\nLanguageDirectory=..\\elsewhere\n");
  ViewerApp moved(dir.path() / "lorvane");
  EXPECT_FALSE(moved.Start());
  EXPECT_EQ(moved.LanguageBaseFolder(), dir.path().parent_path() / "elsewhere/");
}

TEST(ViewerSettings, AnInstalledProgramKeepsItsFilesInTheUsersFolders) {
  TempDir dir;
  dir.Write("share/lorvane/Define/Language/English/Language.ini",
            "[Information]\nApplication=lorvane\nName=English\n");
  setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
  ViewerApp installed(dir.path() / "bin/lorvane");
  EXPECT_FALSE(installed.paths().portable);
  EXPECT_EQ(installed.paths().settingsFile, dir.path() / "config/lorvane/lorvane.INI");
  EXPECT_EQ(installed.paths().pluginFolder, dir.path() / "lib/lorvane/plugins");
  ASSERT_TRUE(installed.Start());
  EXPECT_EQ(installed.languages().GetCurrentFolder(),
            dir.path() / "share/lorvane/Define/Language/English");
  ASSERT_TRUE(installed.SaveSettings());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "config/lorvane/lorvane.INI"));
  // The user's own languages, once they exist, take the shipped ones' place.
  dir.Write("data/lorvane/Define/Language/Mine/Language.ini",
            "[Information]\nApplication=lorvane\nName=Mine\n");
  ViewerApp again(dir.path() / "bin/lorvane");
  ASSERT_TRUE(again.Start());
  EXPECT_EQ(U8(again.languages().GetCurrentLanguageName()), "Mine");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
  // With Define/ beside it, a program folder is portable and keeps everything there.
  dir.Write("bin/Define/Language/English/Language.ini",
            "[Information]\nApplication=lorvane\nName=English\n");
  ViewerApp portable(dir.path() / "bin/lorvane");
  EXPECT_TRUE(portable.paths().portable);
  EXPECT_EQ(portable.paths().settingsFile, dir.path() / "bin/lorvane.INI");
  EXPECT_EQ(portable.paths().pluginFolder, dir.path() / "bin");
}

TEST(ViewerSettings, DefaultLanguageFollowsTheLocale) {
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved != nullptr ? saved : "";
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  EXPECT_EQ(DefaultLanguageName(), u"日本語");
  setenv("LC_ALL", "en_GB", 1);
  EXPECT_EQ(DefaultLanguageName(), u"English");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(DefaultLanguageName(), u"");
  if (saved != nullptr) {
    setenv("LC_ALL", keep.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace lorvane::app
