// SPDX-License-Identifier: MIT
#include "viewer/carddef/list_tokenizer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/text_codec.h"

namespace lorvane::carddef {
namespace {

using platform::U8;

// The line format and the items of a Format value.
std::vector<std::string> SplitFormat(std::u16string_view value) {
  ListTokenizer t;
  std::vector<std::string> out;
  auto first = t.NextToken(value, true);
  if (!first) return {"<none>"};
  out.push_back(U8(*first));
  while (auto item = t.NextToken(std::nullopt, false)) out.push_back(U8(*item));
  return out;
}

TEST(ListTokenizer, FormatListKeepsCommasInsideTheQuotedLineFormat) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitFormat(u"\"%s, %s\",DY,DM"), (V{"%s, %s", "DY", "DM"}));
  EXPECT_EQ(SplitFormat(u"junk \"%s\",1"), (V{"%s", "1"}));
  EXPECT_EQ(SplitFormat(u"\"a \\\"b, c\\\" d\",1"), (V{"a \\\"b, c\\\" d", "1"}));
  EXPECT_EQ(SplitFormat(u"\"x\"y\",1"), (V{"x\"y"}));  // the comma lies inside quotes
  EXPECT_EQ(SplitFormat(u"%s %s,1, 2"), (V{"%s %s", "1", "2"}));
  EXPECT_EQ(SplitFormat(u"\"%s\""), (V{"\"%s\""}));  // no comma: quotes stay
  EXPECT_EQ(SplitFormat(u"\"%s,1"), (V{"<none>"}));  // unterminated
  EXPECT_EQ(SplitFormat(u"\"%s\",1,,3,"), (V{"%s", "1", "", "3"}));
  EXPECT_EQ(SplitFormat(u""), (V{"<none>"}));
}

TEST(ListTokenizer, NumbersParseLikeStrtol) {
  ListTokenizer t;
  EXPECT_EQ(t.NextNumber(u"0x090F, 12 ,-3,abc", true), 0x090F);
  EXPECT_EQ(t.NextNumber(std::nullopt, false), 12);
  EXPECT_EQ(t.NextNumber(std::nullopt, false), -3);
  EXPECT_EQ(t.NextNumber(std::nullopt, false), 0);
  EXPECT_FALSE(t.NextNumber(std::nullopt, false));
  EXPECT_EQ(ParseListNumber(u"FE00", true), 0xFE00);
  EXPECT_EQ(ParseListNumber(u"12xyz", false), 12);
  EXPECT_EQ(ParseListNumber(u"99999999999", false), INT32_MAX);
  EXPECT_EQ(ParseListNumber(u"-99999999999", false), INT32_MIN);
}

}  // namespace
}  // namespace lorvane::carddef
