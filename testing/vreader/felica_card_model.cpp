// SPDX-License-Identifier: MIT
#include "testing/vreader/felica_card_model.h"

#include <algorithm>
#include <cstring>

namespace lorvane::vreader {
namespace {

constexpr size_t kIdmOffset = 2;
constexpr size_t kBlockBytes = 16;

void Finish(Bytes& response) { response[0] = static_cast<uint8_t>(response.size()); }

// Writable without a key: random (09) and cyclic (0D) read-write services.
bool Writable(uint16_t code) {
  const unsigned attribute = code & 0x3F;
  return attribute == 0x09 || attribute == 0x0D;
}

}  // namespace

std::optional<Bytes> FeliCaCardModel::Poll(uint16_t systemCode, uint8_t requestCode) {
  for (const cardimage::CardSystem& system : image_.systems) {
    if (!cardimage::SystemCodeMatches(systemCode, system.code)) continue;
    Bytes response = {0x01};
    response.insert(response.end(), system.idm.begin(), system.idm.end());
    response.insert(response.end(), image_.pmm.begin(), image_.pmm.end());
    if (requestCode == 0x01) {
      response.push_back(static_cast<uint8_t>(system.code >> 8));
      response.push_back(static_cast<uint8_t>(system.code & 0xFF));
    }
    return response;
  }
  return std::nullopt;
}

cardimage::CardSystem* FeliCaCardModel::SystemFor(std::span<const uint8_t> idm) {
  for (cardimage::CardSystem& system : image_.systems) {
    if (std::equal(system.idm.begin(), system.idm.end(), idm.begin(), idm.end())) return &system;
  }
  return nullptr;
}

Bytes FeliCaCardModel::Header(uint8_t response, const cardimage::CardSystem& system) const {
  Bytes out = {0x00, response};
  out.insert(out.end(), system.idm.begin(), system.idm.end());
  return out;
}

std::optional<Bytes> FeliCaCardModel::Command(std::span<const uint8_t> packet) {
  if (packet.size() < 10 || packet[0] != packet.size()) return std::nullopt;
  cardimage::CardSystem* system = SystemFor(packet.subspan(kIdmOffset, 8));
  if (system == nullptr) return std::nullopt;
  switch (packet[1]) {
    case 0x0C:
      return packet.size() == 10 ? std::optional(RequestSystemCode(*system)) : std::nullopt;
    case 0x0A:
      if (packet.size() != 12) return std::nullopt;
      return SearchServiceCode(*system, static_cast<uint16_t>(packet[10] | packet[11] << 8));
    case 0x06:
      return Read(*system, packet);
    case 0x08:
      return Write(*system, packet);
    default:
      return std::nullopt;
  }
}

Bytes FeliCaCardModel::RequestSystemCode(const cardimage::CardSystem& system) const {
  Bytes out = Header(0x0D, system);
  out.push_back(static_cast<uint8_t>(image_.systems.size()));
  for (const auto& s : image_.systems) {
    out.push_back(static_cast<uint8_t>(s.code >> 8));
    out.push_back(static_cast<uint8_t>(s.code & 0xFF));
  }
  Finish(out);
  return out;
}

Bytes FeliCaCardModel::SearchServiceCode(const cardimage::CardSystem& system,
                                         uint16_t index) const {
  const auto nodes = cardimage::SearchOrder(system);
  Bytes out = Header(0x0B, system);
  if (index >= nodes.size()) {
    out.insert(out.end(), {0xFF, 0xFF});
  } else {
    const cardimage::CardNode& node = nodes[index];
    out.push_back(static_cast<uint8_t>(node.code & 0xFF));
    out.push_back(static_cast<uint8_t>(node.code >> 8));
    if (node.isArea) {
      out.push_back(static_cast<uint8_t>(node.end & 0xFF));
      out.push_back(static_cast<uint8_t>(node.end >> 8));
    }
  }
  Finish(out);
  return out;
}

std::optional<FeliCaCardModel::BlockAccess> FeliCaCardModel::ParseAccess(
    std::span<const uint8_t> packet) {
  BlockAccess access;
  size_t at = 10;
  if (at >= packet.size()) return std::nullopt;
  const size_t m = packet[at++];
  if (at + 2 * m >= packet.size()) return std::nullopt;
  for (size_t i = 0; i < m; ++i, at += 2)
    access.services.push_back(static_cast<uint16_t>(packet[at] | packet[at + 1] << 8));
  const size_t n = packet[at++];
  for (size_t i = 0; i < n; ++i) {
    if (at + 1 >= packet.size()) return std::nullopt;
    const uint8_t head = packet[at];
    if ((head & 0x80) != 0) {
      access.blocks.emplace_back(head & 0x0F, packet[at + 1]);
      at += 2;
    } else {
      if (at + 2 >= packet.size()) return std::nullopt;
      access.blocks.emplace_back(head & 0x0F,
                                 static_cast<uint16_t>(packet[at + 1] | packet[at + 2] << 8));
      at += 3;
    }
  }
  access.end = at;
  return access;
}

std::pair<uint8_t, uint8_t> FeliCaCardModel::Check(cardimage::CardSystem& system,
                                                   const BlockAccess& access, bool write) const {
  if (access.services.empty() || access.services.size() > kMaxServicesPerCommand)
    return {0xFF, 0xA1};
  if (access.blocks.empty() || access.blocks.size() > kMaxBlocksPerCommand) return {0xFF, 0xA2};
  for (size_t i = 0; i < access.blocks.size(); ++i) {
    const auto position = static_cast<uint8_t>(i + 1);
    const auto [serviceIndex, block] = access.blocks[i];
    if (serviceIndex >= access.services.size()) return {position, 0xA3};
    const cardimage::CardService* service = system.FindService(access.services[serviceIndex]);
    if (service == nullptr || service->blocks.empty()) return {position, 0xA6};
    if (write && !Writable(service->code)) return {position, 0xA5};
    if (block >= service->blocks.size()) return {position, 0xA8};
  }
  return {0, 0};
}

std::optional<Bytes> FeliCaCardModel::Read(cardimage::CardSystem& system,
                                           std::span<const uint8_t> packet) {
  const auto access = ParseAccess(packet);
  if (!access || access->end != packet.size()) return std::nullopt;
  Bytes out = Header(0x07, system);
  const auto [flag1, flag2] = Check(system, *access, false);
  out.push_back(flag1);
  out.push_back(flag2);
  if (flag1 == 0) {
    out.push_back(static_cast<uint8_t>(access->blocks.size()));
    for (const auto& [serviceIndex, block] : access->blocks) {
      const auto& data = system.FindService(access->services[serviceIndex])->blocks[block];
      out.insert(out.end(), data.begin(), data.end());
    }
  }
  Finish(out);
  return out;
}

std::optional<Bytes> FeliCaCardModel::Write(cardimage::CardSystem& system,
                                            std::span<const uint8_t> packet) {
  const auto access = ParseAccess(packet);
  if (!access || access->end + kBlockBytes * access->blocks.size() != packet.size())
    return std::nullopt;
  Bytes out = Header(0x09, system);
  const auto [flag1, flag2] = Check(system, *access, true);
  out.push_back(flag1);
  out.push_back(flag2);
  if (flag1 == 0) {
    for (size_t i = 0; i < access->blocks.size(); ++i) {
      const auto& [serviceIndex, block] = access->blocks[i];
      auto& data = system.FindService(access->services[serviceIndex])->blocks[block];
      std::memcpy(data.data(), packet.data() + access->end + kBlockBytes * i, kBlockBytes);
    }
  }
  Finish(out);
  return out;
}

}  // namespace lorvane::vreader
