// SPDX-License-Identifier: MIT
#include "viewer/archive/history_csv.h"

#include "cardimage/card_image.h"
#include "platform/text_codec.h"

namespace lorvane::archive {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kLineEnd[] = "\r\n";

std::string Trimmed(const std::u16string& text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  const size_t last = text.find_last_not_of(u' ');
  return platform::U8(text.substr(first, last - first + 1));
}

void AddRow(std::string& out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    out += CsvField(fields[i]);
  }
  out += kLineEnd;
}

void AddHistory(std::string& out, const CardHistory& history) {
  std::vector<std::string> header = {"IDm", "Card"};
  for (const auto& column : history.columns) header.push_back(Trimmed(column.title));
  AddRow(out, header);
  const std::string idm = cardimage::HexBytes(history.idm.data(), history.idm.size());
  const std::string card = platform::U8(history.name);
  for (const carddef::DecodedRow& row : history.rows) {
    std::vector<std::string> fields = {idm, card};
    for (size_t i = 0; i < history.columns.size(); ++i) {
      if (i >= row.items.size()) {
        fields.emplace_back();
      } else if (history.columns[i].IsAmount()) {
        const auto& amount = row.items[i].amount;
        fields.push_back(amount ? std::to_string(*amount) : std::string());
      } else {
        fields.push_back(Trimmed(row.items[i].text));
      }
    }
    AddRow(out, fields);
  }
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string HistoriesCsv(const std::vector<CardHistory>& histories) {
  std::string out = kByteOrderMark;
  for (const CardHistory& history : histories) AddHistory(out, history);
  return out;
}

}  // namespace lorvane::archive
