// SPDX-License-Identifier: MIT
// Finding the card definitions of a definition folder: the sections of CardDefine.ini in
// order, then each CardDef_*.ini whose card name is not loaded yet; at most 20 in all.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "viewer/carddef/card_definition.h"

namespace lorvane::app {

inline constexpr size_t kMaxCardDefinitions = 20;

using CardDefinitions = std::vector<std::unique_ptr<carddef::CardDefinition>>;

// Every definition found, in load order, including those whose load failed (they never
// read a card).
// `unit`: what the widths of their line formats count.
CardDefinitions LoadCardDefinitions(const std::filesystem::path& folder,
                                    platform::WidthUnit unit = platform::WidthUnit::kCodeUnits);

}  // namespace lorvane::app
