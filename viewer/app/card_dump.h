// SPDX-License-Identifier: MIT
// A card dump: everything the card on the reader shows without a key, walked through a
// reader plug-in's calls and kept as a card image. The card's IDm and PMm come from a first
// poll; each system (in the order the card reports them) from a poll of that system, with
// its areas and services in the order Search Service Code walks them; each service readable
// without a key gives its blocks from 0 up to the first the card refuses. A read the card
// refuses counts as the end of a service only when the card refused it twice, each time
// answering a poll of its IDm right after; a read that failed while the card was away is
// read again when the same card comes back within a time limit. The search of services is
// bounded: a repeated or backward entry, or more entries than a card can hold, ends the dump
// with a failure. A last poll checks that the same card is still there.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cardimage/card_image.h"
#include "plugin-api/felica_plugin.h"

namespace lorvane::app {

// What a dump needs of a reader plug-in; statuses as the plug-in returns them.
class DumpReader {
 public:
  virtual ~DumpReader() = default;
  virtual int32_t Open() = 0;
  virtual int32_t Close() = 0;
  virtual int32_t REQC(uint16_t systemCode) = 0;
  // The 16-byte identity (IDm, PMm) of the card polled last, or null.
  virtual const uint8_t* CurrentCard() = 0;
  // FELICA_NO_SYSTEM_CODE past the last system.
  virtual uint16_t SystemCode(int32_t index) = 0;
  virtual int32_t ServiceCode(int32_t index, uint32_t* code, uint32_t* endCode) = 0;
  virtual int32_t Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) = 0;
};

// Reads of one service are batches of this many blocks, as a card answers them.
inline constexpr size_t kDumpBatchBlocks = 12;

// Search Service Code past this many entries of one system is a card answering nonsense.
inline constexpr int32_t kMaxNodesPerSystem = 1024;

struct DumpLimits {
  std::chrono::milliseconds cardReturn{10000};  // how long a lifted card may stay away
  std::chrono::milliseconds pollPause{50};      // between polls while it is away
};

struct DumpResult {
  std::optional<cardimage::CardImage> image;  // set when the dump is complete
  std::string failure;                        // else where it stopped and why
};

// Dumps the card; `progress` gets a line per system and per service. The image's `scanned`
// time is left for the caller.
DumpResult DumpCard(DumpReader& reader, const std::function<void(const std::string&)>& progress,
                    const DumpLimits& limits = {});

// The current time as the card image's "scanned" field: "2026-12-08T10:15:00Z".
std::string ScanTimeNow();

}  // namespace lorvane::app
