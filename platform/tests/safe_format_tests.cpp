// SPDX-License-Identifier: MIT
#include "platform/safe_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/text_codec.h"

namespace lorvane::platform {
namespace {

std::string Fmt(std::u16string_view format, std::vector<FormatArg> args = {}) {
  return U8(SafeFormat(format, args));
}

TEST(SafeFormat, IntegerConversionsMatchPrintf) {
  EXPECT_EQ(Fmt(u"%d|%i|%u", {-5, 7, -1}), "-5|7|4294967295");
  EXPECT_EQ(Fmt(u"%04d|%-4d|%4d|%+d|% d", {42, 42, 42, 42, 42}), "0042|42  |  42|+42| 42");
  EXPECT_EQ(Fmt(u"%02X|%x|%#x|%#X|%o|%#o", {10, 255, 255, 255, 8, 8}), "0A|ff|0xff|0XFF|10|010");
  EXPECT_EQ(Fmt(u"%.3d|%8.3d|%-06d", {5, -5, 7}), "005|    -005|7     ");
  EXPECT_EQ(Fmt(u"%ld|%lld|%hd", {1, 2, 3}), "1|2|3");
  EXPECT_EQ(Fmt(u"%05d", {-12}), "-0012");
  EXPECT_EQ(Fmt(u"%c%c", {0x41, 0x65E5}), "A日");
}

TEST(SafeFormat, TextConversions) {
  EXPECT_EQ(Fmt(u"[%s][%5s][%-5s][%.2s]", {u"ab", u"ab", u"ab", u"abc"}), "[ab][   ab][ab   ][ab]");
  EXPECT_EQ(Fmt(u"%S", {u"wide"}), "wide");
  EXPECT_EQ(Fmt(u"100%% sure"), "100% sure");
}

TEST(SafeFormat, NeverReadsMissingArguments) {
  EXPECT_EQ(Fmt(u"a%sb%dc%x"), "abc");
  EXPECT_EQ(Fmt(u"%s-%s-%s", {u"x"}), "x--");
  EXPECT_EQ(Fmt(u"Fare %d%%"), "Fare %");
}

TEST(SafeFormat, MismatchedArgumentsAreConvertedNotReinterpreted) {
  EXPECT_EQ(Fmt(u"%d", {u"text"}), "text");
  EXPECT_EQ(Fmt(u"%5d", {u"ab"}), "   ab");
  EXPECT_EQ(Fmt(u"%s", {-42}), "-42");
  EXPECT_EQ(Fmt(u"%5s", {42}), "   42");
}

TEST(SafeFormat, UnsupportedConversionsProduceNothing) {
  EXPECT_EQ(Fmt(u"[%n][%p][%f][%*d]", {1, 2, 3, 4}), "[][][][]");
  EXPECT_EQ(Fmt(u"%f%d", {7}), "7");
  EXPECT_EQ(Fmt(u"end%", {1}), "end");
  EXPECT_EQ(Fmt(u"end%-08", {1}), "end");
  EXPECT_EQ(Fmt(u"%999999999999d", {1}).size(), 4096u);
}

TEST(SafeFormat, WidthsCountTerminalColumnsWhenAskedTo) {
  EXPECT_EQ(TerminalColumns(u"改札機 ab"), 9u);
  EXPECT_EQ(TerminalColumns(u"ﾊﾞｰｼﾞｮﾝ"), 7u);     // half-width katakana: one column each
  EXPECT_EQ(TerminalColumns(u"e\u0301\t"), 1u);   // a combining accent and a tab take none
  EXPECT_EQ(TerminalColumns(u"\U0002000B"), 2u);  // beyond the first plane, as a pair
  const std::vector<FormatArg> args = {u"改札機", 42};
  EXPECT_EQ(SafeFormat(u"[%-8s|%5d]", args), u"[改札機     |   42]");
  EXPECT_EQ(SafeFormat(u"[%-8s|%5d]", args, WidthUnit::kTerminalColumns), u"[改札機  |   42]");
  // Precision still counts characters.
  EXPECT_EQ(SafeFormat(u"[%.2s]", args, WidthUnit::kTerminalColumns), u"[改札]");
}

}  // namespace
}  // namespace lorvane::platform
