// SPDX-License-Identifier: MIT
// How the keys of card definition files are composed.
#pragma once

#include <string>
#include <string_view>

namespace lorvane::carddef {

// "%02d": at least two digits ("07", "42", "100").
std::u16string TwoDigits(int number);
// "%s.%02d": "Info" and 3 give "Info.03".
std::u16string NumberedKey(std::u16string_view prefix, int number);
// "%s.%02d%s": "Info", 3 and ".BlockSetNo" give "Info.03.BlockSetNo".
std::u16string NumberedKey(std::u16string_view prefix, int number, std::u16string_view suffix);

}  // namespace lorvane::carddef
