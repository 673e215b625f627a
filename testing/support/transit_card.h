// SPDX-License-Identifier: MIT
// A made-up transit IC card after any number of uses, as the shipped transit definition
// reads it: service 090F holds the last 20 uses (newest first, then empty records), 008B the
// balance. Use n is a fare of 210 (every tenth a charge of 1,890) on day n after 2020-01-01,
// its serial number n, so any two windows of the same card share exactly their common uses.
#pragma once

#include <array>
#include <cstdint>

#include "cardimage/card_image.h"

namespace lorvane::testing {

inline constexpr size_t kTransitRecords = 20;

// The card after uses 1..`uses`.
cardimage::CardImage TransitCard(int uses, const std::array<uint8_t, 8>& idm = {
                                               0x01, 0x2E, 0x4C, 0x66, 0x77, 0x88, 0x99, 0xAA});
// Its balance after `uses` uses.
int TransitBalance(int uses);

}  // namespace lorvane::testing
