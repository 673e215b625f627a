// SPDX-License-Identifier: MIT
#include "cardimage/card_image.h"

#include <cctype>

#include "platform/file_io.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

namespace lorvane::cardimage {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr size_t kMaxImageBytes = platform::kMaxFileBytes;

}  // namespace

const CardService* CardSystem::FindService(uint16_t serviceCode) const {
  for (const CardService& service : services) {
    if (service.code == serviceCode) return &service;
  }
  return nullptr;
}

CardService* CardSystem::FindService(uint16_t serviceCode) {
  return const_cast<CardService*>(std::as_const(*this).FindService(serviceCode));
}

std::vector<CardNode> SearchOrder(const CardSystem& system) {
  std::vector<CardNode> nodes;
  for (const CardArea& area : system.areas) nodes.push_back({area.code, true, area.end});
  for (const CardService& service : system.services) nodes.push_back({service.code, false, 0});
  std::stable_sort(nodes.begin(), nodes.end(), [](const CardNode& a, const CardNode& b) {
    return a.code != b.code ? a.code < b.code : (a.isArea && !b.isArea);
  });
  return nodes;
}

bool SystemCodeMatches(uint16_t requested, uint16_t held) {
  const bool highOk = (requested >> 8) == 0xFF || (requested >> 8) == (held >> 8);
  const bool lowOk = (requested & 0xFF) == 0xFF || (requested & 0xFF) == (held & 0xFF);
  return highOk && lowOk;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return std::nullopt;
    const int hi = HexValue(text[i]);
    const int lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    i += 2;
  }
  return bytes;
}

std::string HexBytes(const uint8_t* bytes, size_t size) {
  std::string out;
  char pair[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    out += pair;
  }
  return out;
}

namespace {

constexpr char kFlipperExtension[] = ".nfc";
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

std::optional<CardImage> LoadCardImage(const std::filesystem::path& file, std::string& error) {
  platform::FileRead read = platform::ReadRegularFile(file, kMaxImageBytes);
  if (!read.bytes) {
    error = file.string() + ": cannot be read: " + read.reason;
    return std::nullopt;
  }
  std::string_view text = *read.bytes;
  if (text.rfind(kUtf8ByteOrderMark, 0) == 0) text.remove_prefix(sizeof kUtf8ByteOrderMark - 1);
  std::string place;
  // A Flipper dump by its first line or by its name: a broken .nfc file is told as a broken
  // Flipper dump, not as broken JSON.
  std::string extension = file.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool flipper =
      text.rfind("Filetype: Flipper NFC device", 0) == 0 || extension == kFlipperExtension;
  auto image = flipper ? ParseFlipperDump(text, place) : ParseCardImageJson(text, place);
  if (!image) error = file.string() + ": " + place;
  return image;
}

}  // namespace lorvane::cardimage
