// SPDX-License-Identifier: MIT
// What the archive keeps of one read of a card: the raw data the reader gave (IDm, PMm, the
// systems polled with their IDms, every block read) and when it was read. Definitions decode
// it later, also definitions written after the read.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cardimage/card_image.h"

namespace lorvane::archive {

using Id8 = std::array<uint8_t, 8>;
using Block = std::array<uint8_t, 16>;

struct StoredSystem {
  uint16_t code = 0;
  Id8 idm{};
};

struct StoredBlock {
  uint16_t system = 0;   // the system code the block was read under
  uint16_t service = 0;  // the service code
  uint16_t number = 0;   // the block number within the service
  Block data{};
};

struct StoredRead {
  Id8 idm{};
  Id8 pmm{};
  std::vector<StoredSystem> systems;  // in the order they were polled
  std::vector<StoredBlock> blocks;    // in the order they were read
  int64_t readAt = 0;                 // seconds since 1970, UTC
  bool imported = false;              // from a card image file, not a reader

  // A digest of the card data (not of the time): one card image, or one unchanged card,
  // gives the same digest every time.
  uint64_t Digest() const;
};

// Everything a card image holds, as a read at `readAt`.
StoredRead FromCardImage(const cardimage::CardImage& image, int64_t readAt);
// The read as a card image: every system with its stored blocks; a service whose blocks do
// not start at 0 keeps the blocks from 0 up to the first gap.
cardimage::CardImage ToCardImage(const StoredRead& read);

}  // namespace lorvane::archive
