// SPDX-License-Identifier: MIT
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace lorvane::platform {
namespace {

TEST(TextCodec, Utf8RoundTripsThroughUtf16) {
  const std::string text = "ascii 日本語 ❤ 𝄞";
  const auto wide = Utf8ToUtf16(text);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->size(), 14u);  // the clef is a surrogate pair
  EXPECT_EQ(Utf16ToUtf8(*wide), text);
}

TEST(TextCodec, MalformedUtf8IsRejected) {
  for (const char* bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xE3\x81", "\xFF"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_FALSE(Utf8ToUtf16(bad).has_value());
    EXPECT_FALSE(Utf8ToUtf16Lossy(bad).empty());
  }
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(TextCodec, Cp932BothWays) {
  EXPECT_EQ(Cp932ToUtf16("\x93\xFA\x96\x7B\x8C\xEA"), u"日本語");
  EXPECT_EQ(Cp932ToUtf16("a\xFF"
                         "b"),
            u"a\xFFFD"
            u"b");
  EXPECT_EQ(Utf16ToCp932(u"日本語"), "\x93\xFA\x96\x7B\x8C\xEA");
  EXPECT_EQ(Utf16ToCp932(u"a❤b"), "a?b");
}

TEST(TextCodec, Cp932FullOfBadBytesKeepsEveryGoodOne) {
  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 2000; ++i) {
    bytes += "\xFF\x93\xFA";  // a bad byte, then 日
    expected += u"\xFFFD日";
  }
  bytes += "x\x93";  // a lead byte without its second byte at the end
  expected += u"x\xFFFD";
  EXPECT_EQ(Cp932ToUtf16(bytes), expected);
  EXPECT_EQ(Utf16ToCp932(u"❤日❤\xD800"), "?\x93\xFA??");
}

TEST(TextCodec, AsciiCaseFoldingLeavesOtherLettersAlone) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase(u"Language.INI", u"language.ini"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase(u"Ä", u"ä"));
  EXPECT_EQ(Trim(u" \t x y \v", kIniBlanks), u"x y");
  EXPECT_EQ(Trim(u"   ", kIniBlanks), u"");
}

}  // namespace
}  // namespace lorvane::platform
