// SPDX-License-Identifier: MIT
// What the history archive window does with a card's history apart from its widgets: the
// date of each record (for the date-range filter), the cell texts, the sum of the payments
// of a selection and the selection as tab-separated text for the clipboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/archive/card_history.h"

namespace lorvane::app {

struct RecordDate {
  int year = 0, month = 0, day = 0;
  auto operator<=>(const RecordDate&) const = default;
};

// The date a record shows in its year, month and day items; nullopt when it shows none.
std::optional<RecordDate> DateOf(const archive::CardHistory& history, size_t row);
// A cell: the item's text without blanks around it.
std::u16string CellText(const archive::CardHistory& history, size_t row, size_t column);
// The sum of the payments of `rows` (the items playing the payment role).
int64_t PaymentTotal(const archive::CardHistory& history, const std::vector<size_t>& rows);
// `rows` as tab-separated lines under a header of the column titles, each line ending "\n".
std::u16string RowsAsTabText(const archive::CardHistory& history, const std::vector<size_t>& rows);
// "1,234" for 1234.
std::u16string Grouped(int64_t number);

}  // namespace lorvane::app
