// SPDX-License-Identifier: MIT
// Splits the comma lists of card definition files: system and service lists, field places
// and the Format list with its quoted line format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lorvane::carddef {

class ListTokenizer {
 public:
  // With a text: start splitting a copy of it; with nullopt: continue where the last call
  // stopped. Returns nullopt when the rest is empty, or when a quoted text has no closing
  // quote. With `quoted` the token is the text inside the quotes (when the list quotes it);
  // without, leading blanks and tabs are skipped and the token runs to the next comma.
  std::optional<std::u16string> NextToken(std::optional<std::u16string_view> text, bool quoted);

  // The next token as a signed 32-bit number in base 16 or 10: optional sign, in base 16 an
  // optional "0x", conversion stops at the first non-digit (a token without digits is 0).
  std::optional<int32_t> NextNumber(std::optional<std::u16string_view> text, bool hexadecimal);

 private:
  std::optional<std::u16string> QuotedToken(std::u16string_view rest);

  std::u16string copy_;
  size_t position_ = 0;
};

// The number at the start of `text` as NextNumber converts it.
int32_t ParseListNumber(std::u16string_view text, bool hexadecimal);

}  // namespace lorvane::carddef
