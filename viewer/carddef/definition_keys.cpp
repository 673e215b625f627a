// SPDX-License-Identifier: MIT
#include "viewer/carddef/definition_keys.h"

#include "platform/text_codec.h"

namespace lorvane::carddef {

std::u16string TwoDigits(int number) {
  const std::string digits = std::to_string(number);
  return platform::U16(number >= 0 && digits.size() < 2 ? "0" + digits : digits);
}

std::u16string NumberedKey(std::u16string_view prefix, int number) {
  return std::u16string(prefix) + u"." + TwoDigits(number);
}

std::u16string NumberedKey(std::u16string_view prefix, int number, std::u16string_view suffix) {
  return NumberedKey(prefix, number) + std::u16string(suffix);
}

}  // namespace lorvane::carddef
