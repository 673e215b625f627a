// SPDX-License-Identifier: MIT
#include "viewer/carddef/field_extraction.h"

#include <gtest/gtest.h>

#include <vector>

namespace lorvane::carddef {
namespace {

uint32_t Extract(std::vector<uint8_t> record, uint8_t byteOffset, uint8_t byteLength,
                 uint8_t bitOffset, uint8_t bitLength, bool invert = false, bool bcd = false) {
  FieldSpec f;
  f.byteOffset = byteOffset;
  f.byteLength = byteLength;
  f.bitOffset = bitOffset;
  f.bitLength = bitLength;
  f.invert = invert;
  f.bcd = bcd;
  ExtractField(record, f);
  EXPECT_TRUE(f.valid);
  return static_cast<uint32_t>(f.Value());
}

TEST(ExtractField, WholeRanges) {
  const std::vector<uint8_t> r = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  EXPECT_EQ(Extract(r, 0, 3, 0, 24), 0x332211u);
  EXPECT_EQ(Extract(r, 0, 6, 0, 48), 0x44332211u);  // first four bytes only
  EXPECT_EQ(Extract(r, 0, 2, 0, 16, true), 0x1122u);
  EXPECT_EQ(Extract(r, 4, 2, 0, 0), 0x6655u);
}

TEST(ExtractField, BitFieldsCountFromTheMostSignificantBit) {
  // 0x166C: year 11 in the top 7 bits, month 3 in the next 4, day 12 in the low 5.
  const std::vector<uint8_t> r = {0, 0, 0, 0, 0x16, 0x6C};
  EXPECT_EQ(Extract(r, 4, 2, 0, 7, true), 11u);
  EXPECT_EQ(Extract(r, 4, 2, 7, 4, true), 3u);
  EXPECT_EQ(Extract(r, 4, 2, 11, 5, true), 12u);
  // Not inverted: bits 11..4 of the little-endian number, byte 1's low nibble over byte 0's high.
  EXPECT_EQ(Extract({0xAB, 0xCD}, 0, 2, 4, 8), 0xDAu);
  // A field that runs past its range only cuts to its length.
  EXPECT_EQ(Extract({0xFF, 0x0F}, 0, 2, 10, 12), 0xFFFu);
}

TEST(ExtractField, Bcd) {
  EXPECT_EQ(Extract({0x12, 0x34}, 0, 2, 0, 16, true, true), 1234u);
  EXPECT_EQ(Extract({0x12, 0x34}, 0, 2, 0, 16, false, true), 3412u);
  // Six bytes, twelve digits: wraps in 32 bits.
  EXPECT_EQ(Extract({0x01, 0x00, 0x00, 0x00, 0x00, 0x99}, 0, 6, 0, 48, true, true),
            static_cast<uint32_t>(10000000099ull));
  EXPECT_EQ(Extract({0x1A}, 0, 1, 0, 8, false, true), 20u);  // nibbles are not checked
}

TEST(ExtractField, StaysInsideItsBuffers) {
  // A bit length beyond the buffer keeps the whole buffer.
  EXPECT_EQ(Extract({0x01, 0x02}, 0, 2, 0, 200), 0x0201u);
  // Bytes past the end of the record read as zero.
  EXPECT_EQ(Extract({0x01, 0x02}, 1, 4, 0, 32), 0x02u);
  EXPECT_EQ(Extract({}, 250, 255, 3, 255, true, true), 0u);
  FieldSpec text;
  text.function = kST;
  text.byteLength = 3;
  ExtractField(std::vector<uint8_t>{'a', 'b', 'c', 'd'}, text);
  ASSERT_EQ(text.value.size(), 4u);
  EXPECT_EQ(DecodeUtf8Text(text.value), u"abc");
}

TEST(DateFromDayCount, GregorianDates) {
  struct Case {
    int32_t days;
    int year, month, day;
  } cases[] = {{0, 2000, 1, 1},       {59, 2000, 2, 29},    {366, 2001, 1, 1},
               {-1, 1999, 12, 31},    {1, 2000, 1, 2},      {7217, 2019, 10, 5},
               {36524, 2099, 12, 31}, {-36524, 1900, 1, 1}, {-51544, 1858, 11, 17},
               {-51545, 1858, 11, 16}};
  for (const auto& c : cases) {
    const CalendarDate d = DateFromDayCount(c.days);
    EXPECT_EQ(d.year, c.year) << c.days;
    EXPECT_EQ(d.month, c.month) << c.days;
    EXPECT_EQ(d.day, c.day) << c.days;
  }
  DateFromDayCount(INT32_MAX);  // no overflow
  DateFromDayCount(INT32_MIN);
}

TEST(InsertThousandsSeparators, Examples) {
  struct Case {
    std::u16string in, out;
  } cases[] = {{u"1234567", u"1,234,567"},
               {u"1234.56", u"1,234.56"},
               {u"-123", u"- 123"},
               {u"123", u"123"},
               {u"12.5", u"12.5"},
               {u"1234yen", u"1,234,yen"},
               {u"", u""},
               {u"-1234", u"-1,234"}};
  for (auto& c : cases) {
    std::u16string text = c.in;
    InsertThousandsSeparators(text, 80);
    EXPECT_EQ(text, c.out);
  }
  std::u16string longText(55, u'1');
  InsertThousandsSeparators(longText, 80);
  EXPECT_EQ(longText.size(), 55u);
  std::u16string fits(54, u'1');
  InsertThousandsSeparators(fits, 80);
  EXPECT_EQ(fits.size(), 54u + 17u);
}

TEST(DecodeUtf8Text, RejectsMalformedText) {
  const std::vector<uint8_t> bad = {0xE3, 0x81, 0};
  EXPECT_FALSE(DecodeUtf8Text(bad));
  const std::vector<uint8_t> good = {0xE6, 0x97, 0xA5, 0, 0xFF};
  EXPECT_EQ(DecodeUtf8Text(good), u"日");
}

}  // namespace
}  // namespace lorvane::carddef
