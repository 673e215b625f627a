// SPDX-License-Identifier: MIT
// What a FeliCa card shows to a reader, as saved in a card image file: its IDm and PMm, its
// systems, and per system its areas and services with the blocks readable without a key.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvane::cardimage {

using Block = std::array<uint8_t, 16>;
using Id8 = std::array<uint8_t, 8>;

struct CardArea {
  uint16_t code = 0;
  uint16_t end = 0;
};

struct CardService {
  uint16_t code = 0;
  std::vector<Block> blocks;  // block i is block number i; empty: needs a key
};

struct CardSystem {
  uint16_t code = 0;
  Id8 idm{};
  std::vector<CardArea> areas;
  std::vector<CardService> services;

  const CardService* FindService(uint16_t code) const;
  CardService* FindService(uint16_t code);
};

struct CardImage {
  Id8 idm{};
  Id8 pmm{};
  std::string scanned;              // when it was read from a card (ISO 8601 UTC), or empty
  std::vector<CardSystem> systems;  // in the order Request System Code reports them
};

// One node of a system as Search Service Code walks them: areas and services in order of
// code, an area before a service of the same code.
struct CardNode {
  uint16_t code = 0;
  bool isArea = false;
  uint16_t end = 0;  // areas only
};
std::vector<CardNode> SearchOrder(const CardSystem& system);

// Polling matches FF in either byte of the requested system code against any byte.
bool SystemCodeMatches(uint16_t requested, uint16_t held);

// Reads a card image: native JSON, or a Flipper FeliCa dump. On failure returns nullopt and
// sets `error` to a message naming the file and the place of the fault.
std::optional<CardImage> LoadCardImage(const std::filesystem::path& file, std::string& error);

// The parsers behind LoadCardImage; `error` gets the place of the fault without the file.
std::optional<CardImage> ParseCardImageJson(std::string_view text, std::string& error);
std::optional<CardImage> ParseFlipperDump(std::string_view text, std::string& error);

// The native JSON form of a card image.
std::string SerializeCardImageJson(const CardImage& image);

// Parses `bytes` hexadecimal byte pairs, blanks allowed between pairs.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text);
// `size` bytes as upper-case hexadecimal pairs without blanks, as card images write them.
std::string HexBytes(const uint8_t* bytes, size_t size);

}  // namespace lorvane::cardimage
