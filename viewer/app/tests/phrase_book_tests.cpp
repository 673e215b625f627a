// SPDX-License-Identifier: MIT
// Composed texts in the shipped languages: errors built from several phrases read as one
// sentence in Japanese with the names in them untouched, every phrase has its Japanese text
// with the same parts, and the English texts stay plain.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "cardimage/card_image.h"
#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/language_table.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using platform::U16;
using platform::U8;

const fs::path kShippedLanguages = fs::path(LORVANE_SOURCE_DIR) / "resources/Define/Language";

class PhraseTest : public ::testing::Test {
 protected:
  std::string InJapanese(const std::string& english) {
    EXPECT_EQ(japanese_.LoadLanguages(u"lorvane", kShippedLanguages, u"日本語"), kLanguageOk);
    return U8(japanese_.Translate(U16(english)));
  }

  LanguageTable japanese_;
};

// The slots of a text: {"%1", "%2"}.
std::set<std::string> Slots(const std::string& text) {
  std::set<std::string> slots;
  static const std::regex kSlot("%[1-9]");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kSlot);
       it != std::sregex_iterator(); ++it)
    slots.insert(it->str());
  return slots;
}

TEST_F(PhraseTest, ComposedErrorsReadAsOneJapaneseSentenceWithTheNamesKept) {
  const std::map<std::string, std::string> expected = {
      {"/home/a: b/card.json: cannot be read: is larger than 16 MB",
       "/home/a: b/card.json を読み込めません: 16 MB より大きいファイルです"},
      {"/home/a/FeliCaDLL.INI: cannot be written: Permission denied",
       "/home/a/FeliCaDLL.INI に書き込めません: アクセスが拒否されました"},
      {"the card did not answer a poll of system 0003 at system 0003, service 090F",
       "カードがシステム 0003 のポーリングに応答しませんでした（システム 0003、サービス 090F）"},
      {"reading failed (status -13) at system FE00, service 1A8B, block 4",
       "読み出しに失敗しました（ステータス -13）（システム FE00、サービス 1A8B、ブロック 4）"},
      {"/x/a.nfc: line 3: expected a 4-digit system code",
       "/x/a.nfc: 3 行目: 4 桁のシステムコードではありません"},
      {"No plug-in is loaded from /tmp/p: the folder is writable by every user.",
       "/tmp/p からはプラグインを読み込みません。このフォルダはすべてのユーザーが書き込めます。"},
      {"Pellix\nVer 1.0.0\n(c) 2026\nDate:2026-12-01",
       "Pellix\nバージョン 1.0.0\n(c) 2026\n日付: 2026-12-01"},
      {"Lorvane\nlorvane Version 1.00", "Lorvane\nlorvane バージョン 1.00"},
      {"Warning", "警告"},
      {"プラグイン情報", "プラグイン情報"},
      // Text no phrase knows stays as it is; so does a line past the bound.
      {"something else entirely", "something else entirely"},
      {std::string(PhraseBook::kMaxLineChars + 1, 'x') + ": cannot be read: Permission denied",
       std::string(PhraseBook::kMaxLineChars + 1, 'x') + ": cannot be read: Permission denied"},
  };
  for (const auto& [english, japanese] : expected) EXPECT_EQ(InJapanese(english), japanese);
  // Line by line.
  EXPECT_EQ(InJapanese("The card image was not saved.\n\nno reader plug-in answered"),
            "The card image was not saved.\n\n応答したリーダー用プラグインがありません");
}

TEST_F(PhraseTest, ACardImageErrorOfTheLoaderIsTranslated) {
  lorvane::testing::TempDir dir;
  const fs::path file = dir.Write("other.json", R"({"format": "something", "version": 1})");
  std::string error;
  ASSERT_FALSE(cardimage::LoadCardImage(file, error));
  EXPECT_EQ(InJapanese(error), file.string() + ": format: 「felica-card-image」ではありません");
  ASSERT_FALSE(cardimage::LoadCardImage(dir.path(), error));
  EXPECT_EQ(InJapanese(error),
            dir.path().string() + " を読み込めません: ファイルではなくフォルダです");
}

// A language file without a text for a phrase shows the program's English for that part
// only; one without the section shows every text as composed.
TEST_F(PhraseTest, APhraseWithoutATextStaysEnglishAndItsPartsAreStillTranslated) {
  lorvane::testing::TempDir dir;
  dir.Write("Test/Language.ini",
            "[Information]\nApplication=lorvane\nName=Test\n[Phrases]\nDenied=DENIED\n");
  LanguageTable table;
  ASSERT_EQ(table.LoadLanguages(u"lorvane", dir.path(), u"Test"), kLanguageOk);
  EXPECT_EQ(U8(table.Translate(u"/f: cannot be read: Permission denied")),
            "/f: cannot be read: DENIED");
  dir.Write("Test/Language.ini", "[Information]\nApplication=lorvane\nName=Test\n");
  platform::ClearProfileCache();
  ASSERT_EQ(table.LoadLanguages(u"lorvane", dir.path(), u"Test"), kLanguageOk);
  for (const Phrase& phrase : PhraseCatalog())
    EXPECT_EQ(table.Translate(phrase.english), phrase.english) << U8(phrase.key);
}

// Every phrase has its Japanese text with the same parts, in full-width kana; the English
// texts given instead of the program's own say no "DLL".
TEST_F(PhraseTest, TheShippedLanguagesCarryEveryPhrase) {
  InJapanese("");
  LanguageTable english;
  ASSERT_EQ(english.LoadLanguages(u"lorvane", kShippedLanguages, u"English"), kLanguageOk);
  for (const Phrase& phrase : PhraseCatalog()) {
    const std::string key = U8(phrase.key);
    SCOPED_TRACE(key);
    const std::string japanese = U8(japanese_.Text(kPhrasesSection, phrase.key, u""));
    ASSERT_FALSE(japanese.empty());
    EXPECT_EQ(Slots(japanese), Slots(U8(phrase.english)));
    for (const char16_t c : U16(japanese)) EXPECT_FALSE(c >= 0xFF61 && c <= 0xFF9F);
    const std::string plain = U8(english.Text(kPhrasesSection, phrase.key, phrase.english));
    if (plain != U8(phrase.english)) {
      EXPECT_EQ(Slots(plain), Slots(U8(phrase.english)));
    }
    const std::u16string shown = english.Translate(phrase.english);
    EXPECT_EQ(U8(shown).find("DLL"), std::string::npos);
    for (const char16_t c : shown) EXPECT_LT(c, 0x3000);
    // Two parts side by side could not be told apart.
    EXPECT_EQ(U8(phrase.english).find("%1%"), std::string::npos);
  }
}

}  // namespace
}  // namespace lorvane::app
