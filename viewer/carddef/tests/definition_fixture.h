// SPDX-License-Identifier: MIT
// Writes a card definition section to a scratch file and loads it.
#pragma once

#include <memory>
#include <string>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/carddef/card_definition.h"

namespace lorvane::carddef {

class DefinitionFixture {
 public:
  // `body` holds the keys of the section "Card Definition".
  std::unique_ptr<CardDefinition> Load(const std::string& body) {
    const auto file = dir_.Write("CardDef_Test.ini", "[Card Definition]\r\n" + body);
    return std::make_unique<CardDefinition>(platform::U16(file.string()), -1);
  }
  std::u16string Path(const std::string& name, const std::string& bytes) {
    return platform::U16(dir_.Write(name, bytes).string());
  }
  const lorvane::testing::TempDir& dir() const { return dir_; }

 private:
  lorvane::testing::TempDir dir_;
};

// A 16-byte block from 32 hex digits.
inline std::array<uint8_t, 16> HexBlock(const std::string& hex) {
  std::array<uint8_t, 16> b{};
  for (size_t i = 0; i < 16 && 2 * i + 1 < hex.size(); ++i) {
    b[i] = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  }
  return b;
}

}  // namespace lorvane::carddef
