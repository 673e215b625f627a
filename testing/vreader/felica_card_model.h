// SPDX-License-Identifier: MIT
// A FeliCa card as the PN532 sees it, served from a card image: polling with system code
// wildcards, Request System Code, Search Service Code over areas and services, and Read and
// Write Without Encryption with their status flags and per-command limits. A packet the
// card does not understand, or addressed to another IDm, gets no answer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "cardimage/card_image.h"

namespace lorvane::vreader {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kMaxServicesPerCommand = 16;
inline constexpr size_t kMaxBlocksPerCommand = 12;

class FeliCaCardModel {
 public:
  explicit FeliCaCardModel(cardimage::CardImage image) : image_(std::move(image)) {}

  // The polling response (01 IDm PMm, then the system code when asked for with request
  // code 01), or nothing when no system matches.
  std::optional<Bytes> Poll(uint16_t systemCode, uint8_t requestCode);
  // A FeliCa command packet (its first byte is its length) and the card's response packet.
  std::optional<Bytes> Command(std::span<const uint8_t> packet);

  const cardimage::CardImage& image() const { return image_; }

 private:
  struct BlockAccess {
    std::vector<uint16_t> services;
    std::vector<std::pair<size_t, uint16_t>> blocks;  // service index, block number
    size_t end = 0;                                   // where the packet continues
  };

  cardimage::CardSystem* SystemFor(std::span<const uint8_t> idm);
  Bytes RequestSystemCode(const cardimage::CardSystem& system) const;
  Bytes SearchServiceCode(const cardimage::CardSystem& system, uint16_t index) const;
  std::optional<Bytes> Read(cardimage::CardSystem& system, std::span<const uint8_t> packet);
  std::optional<Bytes> Write(cardimage::CardSystem& system, std::span<const uint8_t> packet);
  static std::optional<BlockAccess> ParseAccess(std::span<const uint8_t> packet);
  // Status flags for the block list: {0, 0} when every block may be accessed.
  std::pair<uint8_t, uint8_t> Check(cardimage::CardSystem& system, const BlockAccess& access,
                                    bool write) const;
  Bytes Header(uint8_t response, const cardimage::CardSystem& system) const;

  cardimage::CardImage image_;
};

}  // namespace lorvane::vreader
