// SPDX-License-Identifier: MIT
#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"

namespace lorvane::platform {
namespace {

using lorvane::testing::TempDir;

class IniProfileTest : public ::testing::Test {
 protected:
  std::string Get(std::string_view bytes, std::u16string_view section, std::u16string_view key,
                  size_t maxChars = 200) {
    const auto file = dir_.Write("t.ini", bytes);
    return U8(GetProfileString(section, key, u"d", maxChars, file));
  }
  TempDir dir_;
};

TEST_F(IniProfileTest, LineStructureFollowsTheProfileRules) {
  struct Case {
    const char* file;
    const char16_t* section;
    const char16_t* key;
    const char* expected;
  } cases[] = {
      {"[ section1 ]\r\nk=v\r\n", u"section1", u"k", "v"},
      {"[SectionName   \r\nk=v", u"SectionName", u"k", "v"},
      {"[S]k=v\r\n", u"S", u"k", "d"},
      {"[[sec]\nk=v\n", u"[sec", u"k", "v"},
      {"[sec]whoops]\nk=v\n", u"sec", u"k", "v"},
      {"[S]\r\n\tk\t=\tv\t\r\n", u"S", u"k", "v"},
      {"[S]\r\n ;k=v\r\n", u"S", u"k", "d"},
      {"[S]\r\n ;k=v\r\n", u"S", u";k", "d"},
      {"[S]\r\nk=;nocomment\r\n", u"S", u"k", ";nocomment"},
      {"[S]\r\n#k=v\r\n", u"S", u"#k", "v"},
      {"\r\nkey=val_no_section\r\n[]\r\nkey=val_e_section\r\n", u"", u"key", "val_e_section"},
      {"[s]\r\n=val_no_key\r\n", u"s", u"", "val_no_key"},
      {"[S]\r\n[S]\r\nk=v", u"S", u"k", "d"},
      {"[S]\r\nk=1\r\nk=2", u"S", u"k", "1"},
      {"[name1]\rNaMe1=x\r", u"NAME1", u"name1", "x"},
      {"['S']\nk=v\n", u"'S'", u"k", "v"},
      {"['S']\nk=v\n", u"S", u"k", "d"},
      {"[S]\nk=  \"   v   \"  \n", u"S", u"k", "   v   "},
      {"[S]\nk='\"v\"'\n", u"S", u"k", "\"v\""},
      {"[S]\nk='\"v'\"\n", u"S", u"k", "'\"v'\""},
      {"[S]\nk=\"v'\n", u"S", u"k", "\"v'"},
      {"[S]\nk=\n", u"S", u"k", ""},
      {"[S]\nk\n", u"S", u"k", "d"},
      {" [S] \n k = v \n", u" S ", u" k ", "v"},
      {"[S]\nk=v\n", u"\tS", u"k", "d"},
      {"\f[\fS\x1A]\x1A\n\x1Ak\f=\fv\x1A\n", u"S", u"k", "v"},  // form feed, DOS end mark
      {"[S]\nk=v\x1A", u"S", u"k", "v"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Get(c.file, c.section, c.key), c.expected) << c.file;
  }
}

TEST_F(IniProfileTest, DefaultLosesTrailingSpacesOnlyAndIsCutLikeAValue) {
  const auto file = dir_.Write("t.ini", "[S]\nk=value\n");
  EXPECT_EQ(GetProfileString(u"S", u"x", u"default  ", 99, file), u"default");
  EXPECT_EQ(GetProfileString(u"S", u"x", u"   default   ", 99, file), u"   default");
  EXPECT_EQ(GetProfileString(u"S", u"x", u"\tdefault\t", 99, file), u"\tdefault\t");
  EXPECT_EQ(GetProfileString(u"S", u"x", u"default", 3, file), u"def");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 3, file), u"val");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 0, file), u"");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"fallback", 9, dir_.path() / "missing.ini"), u"fallback");
  EXPECT_EQ(GetProfileString(u"S", u"x", u"\"quoted\"  ", 99, file), u"quoted");
}

TEST_F(IniProfileTest, QuotesAreStrippedBeforeTheValueIsCut) {
  EXPECT_EQ(Get("[S]\nname2=\"val2\"\n", u"S", u"name2", 4), "val2");
}

TEST_F(IniProfileTest, IntegersFollowTheProfileVectors) {
  struct Case {
    const char* value;
    uint32_t expected;
  } cases[] = {{"-1", 4294967295u}, {"1", 1},           {"+1", 1},
               {"4294967296", 0},   {"4294967297", 1},  {"-4294967297", 4294967295u},
               {"42A94967297", 42}, {"B4294967297", 0}, {"0x1F", 31},
               {"0X1F", 0},         {"0b101", 5},       {"0o17", 15},
               {"\"12\"", 12},      {"  7  ", 7},       {"0", 0}};
  for (const auto& c : cases) {
    const auto file = dir_.Write("t.ini", std::string("[S]\nk=") + c.value + "\n");
    EXPECT_EQ(GetProfileInt(u"S", u"k", -1, file), c.expected) << c.value;
  }
  const auto file = dir_.Write("t.ini", "[S]\nempty=\n");
  EXPECT_EQ(GetProfileInt(u"S", u"empty", 5, file), 5u);
  EXPECT_EQ(GetProfileInt(u"S", u"missing", -1, file), 4294967295u);
}

TEST_F(IniProfileTest, EncodingsAreDetected) {
  // UTF-16LE with BOM.
  const std::u16string text = u"[S]\r\nk=日本語\r\n";
  const auto utf16 = dir_.Write("u16.ini", "\xFF\xFE" + TextToUtf16LeBytes(text));
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 99, utf16), u"日本語");
  // UTF-8 with and without BOM.
  const auto bom = dir_.Write("bom.ini", "\xEF\xBB\xBF[S]\r\nk=日本語\r\n");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 99, bom), u"日本語");
  const auto plain = dir_.Write("plain.ini", "[S]\nk=日本語\n");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 99, plain), u"日本語");
  // CP932: 日本 is 93 FA 96 7B.
  const auto sjis = dir_.Write("sjis.ini", "[S]\r\nk=\x93\xFA\x96\x7B\r\n");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 99, sjis), u"日本");
  // Limits count UTF-16 code units.
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 2, plain), u"日本");
}

TEST_F(IniProfileTest, WritesFollowTheProfileVectors) {
  const auto file = dir_.path() / "w.ini";
  ASSERT_TRUE(WriteProfileString(u"App", u"key", u"", file));
  EXPECT_EQ(dir_.Read("w.ini"), "[App]\r\nkey=\r\n");

  dir_.Write("w.ini", "");
  WriteProfileString(u"App1", u"key1", u"string1", file);
  WriteProfileString(u"App1", u"key2", u"string2", file);
  WriteProfileString(u"App1", u"key3", u"string3", file);
  WriteProfileString(u"App2", u"key4", u"string4", file);
  WriteProfileString(u"App3", u"key5", u"string5", file);
  EXPECT_EQ(dir_.Read("w.ini"),
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
            "[App3]\r\nkey5=string5\r\n");

  dir_.Write("w.ini", std::string("Data \0 before \0 first \0 section", 31));
  WriteProfileString(u"section1", u"key1", u"string1", file);
  EXPECT_EQ(dir_.Read("w.ini"), std::string("Data \0 before \0 first \0 section", 31) +
                                    "\r\n[section1]\r\nkey1=string1\r\n");
}

TEST_F(IniProfileTest, NewKeysGoAfterTheLastKeyLine) {
  const auto file = dir_.Write("w.ini", ";c0\r\n[S]\r\n;c1\r\nb=value\r\n;c2\r\na=value\r\n");
  for (const char16_t* key : {u"z", u";x", u"y", u"a", u"b"}) {
    WriteProfileString(u"S", key, u"", file);
  }
  EXPECT_EQ(dir_.Read("w.ini"), ";c0\r\n[S]\r\n;c1\r\nb=\r\n;c2\r\na=\r\nz=\r\ny=\r\n;x=\r\n");
}

TEST_F(IniProfileTest, ReplacingKeepsCaseAndLineEnds) {
  auto file = dir_.Write("w.ini", "[SectionName]\r\nTestKey=TestValue");
  WriteProfileString(u"SECTIONNAME", u"TESTKEY", u"TestValue2", file);
  EXPECT_EQ(dir_.Read("w.ini"), "[SectionName]\r\nTestKey=TestValue2\r\n");

  file = dir_.Write("lf.ini", "# top\n[S]\nk=1\n\n[T]\nx=2\n");
  WriteProfileString(u"S", u"k", u" v ", file);
  WriteProfileString(u"T", u"y", u"3", file);
  EXPECT_EQ(dir_.Read("lf.ini"), "# top\n[S]\nk= v \n\n[T]\nx=2\ny=3\n");
  EXPECT_EQ(GetProfileString(u"S", u"k", u"", 99, file), u"v");
}

TEST_F(IniProfileTest, DeletingKeysAndSectionsKeepsComments) {
  auto file = dir_.Write("w.ini", ";c0\r\n[S]\r\n;c1\r\nk=v\r\n[S2]\r\n;c2\r\n");
  const std::u16string key = u"k";
  WriteProfileString(u"S", &key, nullptr, file);
  EXPECT_EQ(dir_.Read("w.ini"), ";c0\r\n[S]\r\n;c1\r\n[S2]\r\n;c2\r\n");
  WriteProfileString(u"S", nullptr, nullptr, file);
  WriteProfileString(u"S2", nullptr, nullptr, file);
  EXPECT_EQ(dir_.Read("w.ini"), ";c0\r\n;c1\r\n;c2\r\n");
}

TEST_F(IniProfileTest, WritesKeepTheFileEncoding) {
  const auto utf16 = dir_.Write("u16.ini", "\xFF\xFE" + TextToUtf16LeBytes(u"[S]\r\nk=v\r\n"));
  WriteProfileString(u"S", u"名前", u"値", utf16);
  EXPECT_EQ(dir_.Read("u16.ini"), "\xFF\xFE" + TextToUtf16LeBytes(u"[S]\r\nk=v\r\n名前=値\r\n"));
  EXPECT_EQ(GetProfileString(u"S", u"名前", u"", 9, utf16), u"値");

  const auto sjis = dir_.Write("sjis.ini", "[S]\r\nk=\x93\xFA\r\n");
  WriteProfileString(u"S", u"j", u"本❤", sjis);
  EXPECT_EQ(dir_.Read("sjis.ini"), "[S]\r\nk=\x93\xFA\r\nj=\x96\x7B?\r\n");
}

TEST_F(IniProfileTest, WriteIntoAMissingFolderFails) {
  EXPECT_FALSE(WriteProfileString(u"S", u"k", u"v", dir_.path() / "no" / "such.ini"));
}

TEST_F(IniProfileTest, StructsCarryAChecksum) {
  const auto file = dir_.path() / "s.ini";
  const uint8_t abacus[] = {'a', 'b', 'a', 'c', 'u', 's', 0};
  ASSERT_TRUE(WriteProfileStruct(u"s", u"key", abacus, 7, file));
  EXPECT_EQ(dir_.Read("s.ini"), "[s]\r\nkey=616261637573006F\r\n");
  auto read = GetProfileStruct(u"s", u"key", 7, file);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read->begin(), read->end()), std::string("abacus\0", 7));
  EXPECT_FALSE(GetProfileStruct(u"s", u"key", 6, file));
  EXPECT_FALSE(GetProfileStruct(u"s", u"key", 8, file));
  EXPECT_FALSE(GetProfileStruct(u"s", u"missing", 7, file));
  struct Case {
    const char* value;
    bool ok;
  } cases[] = {{"636163747573006F", false},
               {"6361637475730083", true},
               {"636163747573008Q", false},
               {"16361637475730083", false},
               {"6361637475730083 ", true}};
  for (const auto& c : cases) {
    const auto f = dir_.Write("s2.ini", std::string("[s]\nkey=") + c.value + "\n");
    EXPECT_EQ(GetProfileStruct(u"s", u"key", 7, f).has_value(), c.ok) << c.value;
  }
  WriteProfileStruct(u"s", u"key", nullptr, 0, file);
  EXPECT_EQ(dir_.Read("s.ini"), "[s]\r\n");
}

}  // namespace
}  // namespace lorvane::platform
