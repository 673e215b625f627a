// SPDX-License-Identifier: MIT
#include "viewer/app/archive_view.h"

namespace lorvane::app {
namespace {

// The first number in a text ("2026/" gives 2026), or nothing.
std::optional<int> NumberIn(const std::u16string& text) {
  std::optional<int> number;
  for (char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      number = number.value_or(0) * 10 + (c - u'0');
      if (*number > 99999) return std::nullopt;
    } else if (number) {
      break;
    }
  }
  return number;
}

std::u16string Trim(const std::u16string& text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace

std::optional<RecordDate> DateOf(const archive::CardHistory& history, size_t row) {
  if (row >= history.rows.size()) return std::nullopt;
  std::optional<int> year, month, day;
  const auto& items = history.rows[row].items;
  for (size_t k = 0; k < history.columns.size() && k < items.size(); ++k) {
    const uint8_t role = history.columns[k].role;
    if (role == carddef::kDY) year = NumberIn(items[k].text);
    if (role == carddef::kDM) month = NumberIn(items[k].text);
    if (role == carddef::kDD) day = NumberIn(items[k].text);
  }
  if (!year || !month || !day) return std::nullopt;
  return RecordDate{*year, *month, *day};
}

std::u16string CellText(const archive::CardHistory& history, size_t row, size_t column) {
  if (row >= history.rows.size() || column >= history.rows[row].items.size()) return {};
  return Trim(history.rows[row].items[column].text);
}

int64_t PaymentTotal(const archive::CardHistory& history, const std::vector<size_t>& rows) {
  int64_t total = 0;
  for (size_t row : rows) {
    if (row >= history.rows.size()) continue;
    const auto& items = history.rows[row].items;
    for (size_t k = 0; k < history.columns.size() && k < items.size(); ++k) {
      if (history.columns[k].role == carddef::kMP && items[k].amount) total += *items[k].amount;
    }
  }
  return total;
}

std::u16string RowsAsTabText(const archive::CardHistory& history, const std::vector<size_t>& rows) {
  std::u16string text;
  for (size_t k = 0; k < history.columns.size(); ++k)
    text += (k == 0 ? u"" : u"\t") + Trim(history.columns[k].title);
  text += u'\n';
  for (size_t row : rows) {
    for (size_t k = 0; k < history.columns.size(); ++k)
      text += (k == 0 ? u"" : u"\t") + CellText(history, row, k);
    text += u'\n';
  }
  return text;
}

std::u16string Grouped(int64_t number) {
  const std::string digits = std::to_string(number < 0 ? -number : number);
  std::u16string text = number < 0 ? u"-" : u"";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += u',';
    text += static_cast<char16_t>(digits[i]);
  }
  return text;
}

}  // namespace lorvane::app
