// SPDX-License-Identifier: MIT
// Import of the FeliCa dumps a Flipper Zero saves ("Data format version: 2"): header, the
// systems with their service lists, and the "Block" lines of the public services.
#include <charconv>
#include <sstream>

#include "cardimage/card_image.h"

namespace lorvane::cardimage {
namespace {

std::string_view Strip(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::optional<uint32_t> HexNumber(std::string_view s) {
  s = Strip(s);
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// The text after "name" in a "| name value |" column list.
std::optional<std::string_view> Column(std::string_view line, std::string_view name) {
  size_t at = 0;
  while ((at = line.find('|', at)) != std::string_view::npos) {
    std::string_view cell = line.substr(at + 1);
    cell = cell.substr(0, cell.find('|'));
    cell = Strip(cell);
    if (StartsWith(cell, name)) return Strip(cell.substr(name.size()));
    ++at;
  }
  return std::nullopt;
}

class FlipperParser {
 public:
  std::optional<CardImage> Parse(std::string_view text, std::string& error);

 private:
  bool Line(std::string_view line);
  bool Header(std::string_view key, std::string_view value);
  bool BlockLine(std::string_view line);
  bool Fail(const std::string& what) {
    error_ = "line " + std::to_string(lineNo_) + ": " + what;
    return false;
  }

  CardImage image_;
  std::string error_;
  size_t lineNo_ = 0;
  bool flipper_ = false, felica_ = false, version2_ = false;
};

std::optional<CardImage> FlipperParser::Parse(std::string_view text, std::string& error) {
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    ++lineNo_;
    if (!Line(Strip(line))) {
      error = error_;
      return std::nullopt;
    }
  }
  if (!flipper_ || !felica_ || !version2_) {
    error = "not a Flipper FeliCa dump of data format version 2";
    return std::nullopt;
  }
  return image_;
}

bool FlipperParser::Line(std::string_view line) {
  if (line.empty() || line.front() == '#' || line.front() == '|' || line.front() == '+' ||
      line.front() == '-') {
    return true;
  }
  if (StartsWith(line, "Block ")) return BlockLine(line);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return true;
  const std::string_view key = Strip(line.substr(0, colon));
  const std::string_view value = Strip(line.substr(colon + 1));
  if (StartsWith(key, "System ") && key != "System found") {
    const auto code = HexNumber(value);
    if (!code || *code > 0xFFFF) return Fail("expected a 4-digit system code");
    CardSystem system;
    system.code = static_cast<uint16_t>(*code);
    system.idm = image_.idm;
    image_.systems.push_back(std::move(system));
    return true;
  }
  if (StartsWith(key, "Service ") && key != "Service found") {
    if (image_.systems.empty()) return Fail("service before any system");
    const auto code = Column(line, "Code");
    const auto value16 = code ? HexNumber(*code) : std::nullopt;
    if (!value16 || *value16 > 0xFFFF) return Fail("expected \"| Code XXXX |\"");
    CardService service;
    service.code = static_cast<uint16_t>(*value16);
    image_.systems.back().services.push_back(std::move(service));
    return true;
  }
  return Header(key, value);
}

bool FlipperParser::Header(std::string_view key, std::string_view value) {
  if (key == "Filetype") flipper_ = value == "Flipper NFC device";
  if (key == "Device type") felica_ = value == "FeliCa";
  if (key == "Data format version") version2_ = value == "2";
  if (key == "Manufacture id" || key == "Manufacture parameter") {
    const auto bytes = ParseHexBytes(value);
    if (!bytes || bytes->size() != 8)
      return Fail("expected 8 bytes after \"" + std::string(key) + "\"");
    auto& target = key == "Manufacture id" ? image_.idm : image_.pmm;
    std::copy(bytes->begin(), bytes->end(), target.begin());
  }
  return true;
}

bool FlipperParser::BlockLine(std::string_view line) {
  if (image_.systems.empty()) return Fail("block before any system");
  const auto service = Column(line, "Service code");
  const auto index = Column(line, "Block index");
  const auto data = Column(line, "Data:");
  constexpr uint32_t kMissing = 0xFFFFFFFF;
  const uint32_t code = service ? HexNumber(*service).value_or(kMissing) : kMissing;
  const uint32_t number = index ? HexNumber(*index).value_or(kMissing) : kMissing;
  const auto bytes = data ? ParseHexBytes(*data) : std::nullopt;
  if (code > 0xFFFF || number == kMissing || !bytes || bytes->size() != 16) {
    return Fail("expected \"| Service code XXXX | Block index XX | Data: 16 bytes |\"");
  }
  CardSystem& system = image_.systems.back();
  CardService* target = system.FindService(static_cast<uint16_t>(code));
  if (target == nullptr) {
    system.services.push_back(CardService{static_cast<uint16_t>(code), {}});
    target = &system.services.back();
  }
  if (number != target->blocks.size()) return Fail("block index out of order");
  Block block{};
  std::copy(bytes->begin(), bytes->end(), block.begin());
  target->blocks.push_back(block);
  return true;
}

}  // namespace

std::optional<CardImage> ParseFlipperDump(std::string_view text, std::string& error) {
  return FlipperParser().Parse(text, error);
}

}  // namespace lorvane::cardimage
