// SPDX-License-Identifier: MIT
#include "viewer/carddef/list_tokenizer.h"

#include <algorithm>

namespace lorvane::carddef {

std::optional<std::u16string> ListTokenizer::NextToken(std::optional<std::u16string_view> text,
                                                       bool quoted) {
  if (text) {
    copy_.assign(*text);
    position_ = 0;
  }
  if (position_ >= copy_.size()) return std::nullopt;
  std::u16string_view rest = std::u16string_view(copy_).substr(position_);
  if (quoted) {
    const size_t quote = rest.find(u'"');
    const size_t comma = rest.find(u',');
    if (comma != std::u16string_view::npos && quote < comma) return QuotedToken(rest);
  } else {
    const size_t start = rest.find_first_not_of(u" \t");
    position_ += start == std::u16string_view::npos ? rest.size() : start;
    rest = std::u16string_view(copy_).substr(position_);
  }
  const size_t comma = rest.find(u',');
  std::u16string token(rest.substr(0, comma));
  position_ = comma == std::u16string_view::npos ? copy_.size() : position_ + comma + 1;
  return token;
}

// The first element of a list that opens with a quoted text: everything between the opening
// quote and the last quote before the separating comma. A quote after a backslash does not
// close the text.
std::optional<std::u16string> ListTokenizer::QuotedToken(std::u16string_view rest) {
  const size_t open = rest.find(u'"');
  bool inQuotes = true;
  size_t lastQuote = std::u16string_view::npos;
  size_t i = open + 1;
  for (; i < rest.size(); ++i) {
    const char16_t c = rest[i];
    if (c == u'"' && rest[i - 1] != u'\\') {
      inQuotes = !inQuotes;
      lastQuote = i;
    } else if (c == u',' && !inQuotes) {
      break;
    }
  }
  if (lastQuote == std::u16string_view::npos) return std::nullopt;
  std::u16string token(rest.substr(open + 1, lastQuote - open - 1));
  position_ = i >= rest.size() ? copy_.size() : position_ + i + 1;
  return token;
}

std::optional<int32_t> ListTokenizer::NextNumber(std::optional<std::u16string_view> text,
                                                 bool hexadecimal) {
  const auto token = NextToken(text, false);
  if (!token) return std::nullopt;
  return ParseListNumber(*token, hexadecimal);
}

int32_t ParseListNumber(std::u16string_view text, bool hexadecimal) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (hexadecimal && i + 1 < text.size() && text[i] == u'0' &&
      (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    i += 2;
  }
  const uint32_t base = hexadecimal ? 16 : 10;
  // Like strtol with a 32-bit long: out-of-range values saturate.
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    uint32_t digit = base;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    if (digit >= base) break;
    value = std::min<int64_t>(value * base + digit, int64_t{1} << 32);
  }
  if (negative) return static_cast<int32_t>(std::max<int64_t>(-value, INT32_MIN));
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

}  // namespace lorvane::carddef
