// SPDX-License-Identifier: MIT
#include "viewer/app/read_output.h"

#include <nlohmann/json.hpp>

#include "platform/text_codec.h"

namespace lorvane::app {

using platform::U8;

std::string FormatReadText(const std::vector<CardView>& cards) {
  std::string out;
  for (const CardView& card : cards) {
    if (!out.empty()) out += "\n";
    out += U8(card.name) + "\n";
    for (const auto& line : card.info) out += U8(line) + "\n";
    if (!card.title.empty()) out += U8(card.title) + "\n";
    for (const auto& line : card.history) out += U8(line) + "\n";
  }
  return out;
}

std::string FormatReadJson(const std::vector<CardView>& cards) {
  auto lines = [](const std::vector<std::u16string>& texts) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& text : texts) list.push_back(U8(text));
    return list;
  };
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const CardView& card : cards) {
    list.push_back({{"name", U8(card.name)},
                    {"info", lines(card.info)},
                    {"title", U8(card.title)},
                    {"history", lines(card.history)}});
  }
  const nlohmann::ordered_json document = {{"cards", list}};
  return document.dump(2) + "\n";
}

}  // namespace lorvane::app
