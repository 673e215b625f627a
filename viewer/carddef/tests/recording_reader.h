// SPDX-License-Identifier: MIT
// A reader for tests: serves blocks from a map, answers polls as told, and records every
// call it receives.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "viewer/carddef/card_reader.h"

namespace lorvane::carddef {

class RecordingReader : public CardReader {
 public:
  std::vector<std::string> calls;
  std::map<uint16_t, int32_t> pollStatus;  // default 0
  std::map<std::pair<uint16_t, uint8_t>, std::array<uint8_t, 16>> blocks;
  std::map<uint16_t, std::array<uint8_t, 16>> identities;  // per system code
  int failAtRead = -1;                                     // 0-based read call that fails with -53
  bool nullIdentity = false;

  int32_t ReaderOpen() override {
    calls.push_back("open");
    return 0;
  }
  int32_t ReaderClose() override {
    calls.push_back("close");
    return 0;
  }
  int32_t ReaderREQC(uint32_t systemCode) override {
    calls.push_back("REQC " + Hex4(systemCode));
    current_ = static_cast<uint16_t>(systemCode);
    const auto it = pollStatus.find(current_);
    return it == pollStatus.end() ? 0 : it->second;
  }
  int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) override {
    calls.push_back("SetCurrentCard " + std::to_string(index));
    const auto it = identities.find(current_);
    *card = nullIdentity             ? nullptr
            : it != identities.end() ? it->second.data()
                                     : defaultIdentity_.data();
    return 0;
  }
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) override {
    calls.push_back("Read " + Hex4(serviceCode) + " " + std::to_string(block));
    if (failAtRead == reads_++) return -53;
    const auto it = blocks.find({static_cast<uint16_t>(serviceCode), static_cast<uint8_t>(block)});
    std::array<uint8_t, 16> bytes{};
    if (it != blocks.end()) bytes = it->second;
    std::copy(bytes.begin(), bytes.end(), data);
    return 0;
  }

  size_t CountCalls(const std::string& prefix) const {
    size_t n = 0;
    for (const auto& call : calls) n += call.rfind(prefix, 0) == 0;
    return n;
  }

 private:
  static std::string Hex4(uint32_t v) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", v & 0xFFFF);
    return buffer;
  }
  uint16_t current_ = 0;
  int reads_ = 0;
  std::array<uint8_t, 16> defaultIdentity_{1, 2, 3, 4, 5, 6, 7, 8};
};

}  // namespace lorvane::carddef
