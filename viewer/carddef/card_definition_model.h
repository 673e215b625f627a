// SPDX-License-Identifier: MIT
// The records a loaded card definition is made of.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lorvane::carddef {

// The roles a card field can play; minus the code is a format item.
enum FieldFunction : uint8_t {
  kNoFunction = 0,
  kDY = 1,   // year of the computed date; the field must be non-zero
  kDM = 2,   // month of the computed date; the field must be non-zero
  kDD = 3,   // day count since 2000-01-01, shown as the day of the month; must be non-zero
  kTH = 4,   // hours
  kTM = 5,   // minutes
  kTS = 6,   // seconds count
  kMR = 7,   // balance
  kMP = 8,   // payment
  kMD = 9,   // record kind; its replace table gives the payment mode
  kST = 10,  // UTF-8 text
};
inline constexpr int kFunctionCount = 11;

inline constexpr size_t kMaxSystems = 8;
inline constexpr size_t kMaxServices = 100;
inline constexpr size_t kMaxInfos = 50;
inline constexpr size_t kMaxFields = 16;
inline constexpr size_t kMaxItems = 16;
inline constexpr size_t kMaxReplaceTables = 100;
inline constexpr size_t kMaxReplaceEntries = 256;
inline constexpr size_t kBlockSize = 16;
inline constexpr size_t kMaxPathChars = 259;
inline constexpr size_t kNameChars = 79;

struct SystemEntry {
  uint16_t systemCode = 0;
  uint16_t serviceCount = 0;
};

struct ServiceEntry {
  uint16_t serviceCode = 0;
  uint16_t firstBlock = 0;
  uint16_t blockCount = 0;
};

struct ReadPlanEntry {
  uint32_t serviceCode = 0;
  uint8_t blockNumber = 0;
};

struct FieldSpec {
  bool valid = false;
  bool invert = false;
  bool bcd = false;
  uint8_t function = kNoFunction;
  int32_t offset = 0;
  uint16_t replaceTable = 0;  // 1-based, 0 when none
  uint8_t byteOffset = 0;
  uint8_t byteLength = 0;
  uint8_t bitOffset = 0;
  uint8_t bitLength = 0;
  // max(byteLength, 4) bytes (byteLength + 1 for text); the first 4 are the value.
  std::vector<uint8_t> value;
  std::u16string title;
  std::u16string format;

  size_t BufferSize() const;
  int32_t Value() const;
};

struct ItemDescriptor {
  std::u16string title;
  std::u16string format;
  int32_t offset = 0;
};

// One item of a decoded record as it goes into the line, with the number behind it when it
// is an amount (a balance or a payment).
struct DecodedItem {
  std::u16string text;
  std::optional<int64_t> amount;
};

// One decoded record: its items in line order, the line the format makes of them, and the
// record's raw bytes.
struct DecodedRow {
  std::vector<DecodedItem> items;
  std::u16string line;
  std::vector<uint8_t> raw;
};

// What an item of a history line is: its title and the role it plays (a FieldFunction, or
// kNoFunction for a plain field).
struct ItemColumn {
  std::u16string title;
  uint8_t role = kNoFunction;
  bool IsAmount() const { return role == kMR || role == kMP; }
};

struct InfoRecord {
  uint16_t blockSetNo = 0;
  uint16_t blockPerRecord = 0;
  std::u16string lineFormat;
  std::array<int16_t, kMaxItems> items{};  // field numbers, or minus a function code
  std::array<uint16_t, 10> functionField{};
  std::array<ItemDescriptor, kFunctionCount> itemDescriptors;
  bool history = false;
  size_t dataOffset = 0;  // byte position of the block set in blockData
  uint8_t fieldCount = 0;
  std::array<FieldSpec, kMaxFields> fields;
  std::vector<std::u16string> rows;
  uint16_t rowsFilled = 0;
  std::vector<DecodedRow> decoded;  // the records behind the rows (a history's title aside)
};

struct ReplaceEntry {
  int16_t value = 0;
  uint8_t mode = 0;
  std::u16string name;
};

}  // namespace lorvane::carddef
