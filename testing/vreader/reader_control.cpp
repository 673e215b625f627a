// SPDX-License-Identifier: MIT
#include "testing/vreader/reader_control.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace lorvane::vreader {

ControlState ReadControl(const std::filesystem::path& folder) {
  ControlState state;
  std::ifstream card(folder / "card");
  std::getline(card, state.cardPath);
  while (!state.cardPath.empty() &&
         (state.cardPath.back() == '\r' || state.cardPath.back() == ' ')) {
    state.cardPath.pop_back();
  }
  std::ifstream fault(folder / "fault");
  std::string word;
  while (fault >> word) state.faults.insert(word);
  std::error_code ec;
  state.escapeAllowed = std::filesystem::exists(folder / "escape", ec);
  return state;
}

void LogExchange(const std::filesystem::path& folder, char direction, const unsigned char* bytes,
                 unsigned long length) {
  std::string line(1, direction);
  char hex[4];
  for (unsigned long i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  std::ofstream(folder / "exchanges.log", std::ios::app) << line << '\n';
}

}  // namespace lorvane::vreader
