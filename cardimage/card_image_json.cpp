// SPDX-License-Identifier: MIT
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include "cardimage/card_image.h"

namespace lorvane::cardimage {
namespace {

constexpr size_t kMaxJsonDepth = 64;

using nlohmann::json;
using ojson = nlohmann::ordered_json;

// Collects the first fault while walking the document.
class JsonReader {
 public:
  std::string error;

  template <size_t N>
  bool HexArray(const json& parent, const char* key, const std::string& place,
                std::array<uint8_t, N>& out, bool required) {
    if (!parent.contains(key)) {
      if (required) Fail(place, std::string("missing \"") + key + "\"");
      return !required;
    }
    const json& value = parent[key];
    const auto bytes = value.is_string() ? ParseHexBytes(value.get<std::string>()) : std::nullopt;
    if (!bytes || bytes->size() != N) {
      return Fail(place + "." + key,
                  "expected " + std::to_string(N) + " bytes in hexadecimal digits");
    }
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return true;
  }

  bool Code(const json& parent, const char* key, const std::string& place, uint16_t& out) {
    std::array<uint8_t, 2> bytes{};
    if (!HexArray(parent, key, place, bytes, true)) return false;
    out = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    return true;
  }

  bool Fail(const std::string& place, const std::string& what) {
    if (error.empty()) error = place + ": " + what;
    return false;
  }

  bool List(const json& parent, const char* key, const std::string& place, bool required) {
    if (!parent.contains(key))
      return required ? Fail(place, std::string("missing \"") + key + "\"") : true;
    if (!parent[key].is_array()) return Fail(place + "." + key, "expected a list");
    return true;
  }
};

bool ReadService(JsonReader& r, const json& node, const std::string& place, CardService& service) {
  if (!node.is_object()) return r.Fail(place, "expected an object");
  if (!r.Code(node, "code", place, service.code) || !r.List(node, "blocks", place, false))
    return false;
  if (!node.contains("blocks")) return true;
  const json& blocks = node["blocks"];
  for (size_t i = 0; i < blocks.size(); ++i) {
    const json holder = {{"block", blocks[i]}};
    Block block{};
    if (!r.HexArray(holder, "block", place + ".blocks[" + std::to_string(i) + "]", block, true)) {
      return false;
    }
    service.blocks.push_back(block);
  }
  return true;
}

bool ReadSystem(JsonReader& r, const json& node, const std::string& place, const Id8& cardIdm,
                CardSystem& system) {
  if (!node.is_object()) return r.Fail(place, "expected an object");
  system.idm = cardIdm;
  if (!r.Code(node, "code", place, system.code) ||
      !r.HexArray(node, "idm", place, system.idm, false) || !r.List(node, "areas", place, false) ||
      !r.List(node, "services", place, false)) {
    return false;
  }
  if (node.contains("areas")) {
    const json& areas = node["areas"];
    for (size_t i = 0; i < areas.size(); ++i) {
      const std::string at = place + ".areas[" + std::to_string(i) + "]";
      CardArea area;
      if (!areas[i].is_object()) return r.Fail(at, "expected an object");
      if (!r.Code(areas[i], "code", at, area.code) || !r.Code(areas[i], "end", at, area.end))
        return false;
      system.areas.push_back(area);
    }
  }
  if (node.contains("services")) {
    const json& services = node["services"];
    for (size_t i = 0; i < services.size(); ++i) {
      CardService service;
      if (!ReadService(r, services[i], place + ".services[" + std::to_string(i) + "]", service))
        return false;
      system.services.push_back(std::move(service));
    }
  }
  return true;
}

std::string HexCode(uint16_t code) {
  const uint8_t bytes[] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
  return HexBytes(bytes, 2);
}

// Whether arrays and objects nest deeper than `limit` anywhere in the text (brackets inside
// strings do not count).
bool NestsDeeperThan(std::string_view text, size_t limit) {
  size_t depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

// The time of the scan, kept only when it reads like one; a reader does not need it.
std::string ScanTime(const json& document) {
  constexpr size_t kMaxChars = 40;
  if (!document.contains("scanned") || !document["scanned"].is_string()) return {};
  const std::string text = document["scanned"].get<std::string>();
  if (text.size() > kMaxChars) return {};
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != ':' && c != '-' && c != '.' &&
        c != '+')
      return {};
  }
  return text;
}

}  // namespace

std::optional<CardImage> ParseCardImageJson(std::string_view text, std::string& error) {
  // A card image nests four levels; anything far deeper is refused before it is parsed.
  if (NestsDeeperThan(text, kMaxJsonDepth)) {
    error = "nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
    return std::nullopt;
  }
  json document;
  try {
    document = json::parse(text);
  } catch (const json::parse_error& e) {
    const size_t at = std::min<size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
    const size_t line = 1 + static_cast<size_t>(std::count(
                                text.begin(), text.begin() + static_cast<ptrdiff_t>(at), '\n'));
    error = "not valid JSON (line " + std::to_string(line) + ")";
    return std::nullopt;
  } catch (const json::exception&) {
    error = "not valid JSON (a number out of range)";
    return std::nullopt;
  } catch (const std::exception&) {
    error = "too large to read";
    return std::nullopt;
  }
  JsonReader r;
  CardImage image;
  const auto fail = [&] {
    error = r.error;
    return std::nullopt;
  };
  if (!document.is_object()) {
    r.Fail("top level", "expected an object");
    return fail();
  }
  if (!document.contains("format") || document["format"] != "felica-card-image") {
    r.Fail("format", "expected \"felica-card-image\"");
    return fail();
  }
  if (!document.contains("version") || document["version"] != 1) {
    r.Fail("version", "expected 1");
    return fail();
  }
  if (!r.HexArray(document, "idm", "card", image.idm, true) ||
      !r.HexArray(document, "pmm", "card", image.pmm, false) ||
      !r.List(document, "systems", "card", true)) {
    return fail();
  }
  const json& systems = document["systems"];
  for (size_t i = 0; i < systems.size(); ++i) {
    CardSystem system;
    if (!ReadSystem(r, systems[i], "systems[" + std::to_string(i) + "]", image.idm, system))
      return fail();
    image.systems.push_back(std::move(system));
  }
  image.scanned = ScanTime(document);
  return image;
}

std::string SerializeCardImageJson(const CardImage& image) {
  ojson systems = ojson::array();
  for (const CardSystem& system : image.systems) {
    ojson node = {{"code", HexCode(system.code)}, {"idm", HexBytes(system.idm.data(), 8)}};
    if (!system.areas.empty()) {
      ojson areas = ojson::array();
      for (const CardArea& area : system.areas)
        areas.push_back({{"code", HexCode(area.code)}, {"end", HexCode(area.end)}});
      node["areas"] = areas;
    }
    ojson services = ojson::array();
    for (const CardService& service : system.services) {
      ojson s = {{"code", HexCode(service.code)}};
      if (!service.blocks.empty()) {
        ojson blocks = ojson::array();
        for (const Block& block : service.blocks)
          blocks.push_back(HexBytes(block.data(), block.size()));
        s["blocks"] = blocks;
      }
      services.push_back(s);
    }
    node["services"] = services;
    systems.push_back(node);
  }
  ojson document = {{"format", "felica-card-image"},
                    {"version", 1},
                    {"idm", HexBytes(image.idm.data(), 8)},
                    {"pmm", HexBytes(image.pmm.data(), 8)}};
  if (!image.scanned.empty()) document["scanned"] = image.scanned;
  document["systems"] = systems;
  return document.dump(1) + "\n";
}

}  // namespace lorvane::cardimage
