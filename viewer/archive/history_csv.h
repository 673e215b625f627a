// SPDX-License-Identifier: MIT
// Card histories as CSV for spreadsheets in Japanese and English locales alike: UTF-8 with a
// byte order mark, CRLF line ends, RFC 4180 quoting. Per card kind a header row (IDm, Card,
// then each item of the history line by its title), then one row per record; an item's text
// without the line's padding, amounts as plain numbers without separators.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "viewer/archive/card_history.h"

namespace lorvane::archive {

// One field, quoted when it holds a comma, a double quote or a line break.
std::string CsvField(std::string_view text);

std::string HistoriesCsv(const std::vector<CardHistory>& histories);

}  // namespace lorvane::archive
