// SPDX-License-Identifier: MIT
// A reader plug-in's driver object: reader entries, the open reader, the cards found by the
// last poll and the current card's system codes, and the operations the exported entry
// points are made of. The reader family's link (felica_link.h) decides how FeliCa packets
// reach the card; everything else is the same for every family. One instance per process,
// created when the library is loaded.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pellix/felica_commands.h"
#include "pellix/felica_link.h"
#include "pellix/pcsc_connection.h"
#include "pellix/reader_choice.h"
#include "plugin-api/felica_plugin.h"

namespace lorvane::pellix {

inline constexpr size_t kMaxCards = 16;
inline constexpr size_t kMaxBlocksPerCommand = 12;
inline constexpr uint16_t kFeliCa212 = 0x1100;
inline constexpr uint16_t kFeliCa424 = 0x1200;

struct ReaderEntry {
  std::string name;  // "group""reader", each in double quotes
  uint32_t group = 0;
  uint32_t reader = 0;
  std::string readerName;  // as PC/SC lists it
};

struct CardEntry {
  uint16_t kind = 0;
  std::array<uint8_t, 16> identity{};  // IDm then PMm, contiguous
};

// The service list and block list elements of one read or write command.
struct BlockList {
  std::vector<uint16_t> services;
  std::vector<uint8_t> elements;  // two bytes per block
};

BlockList BuildBlockList(const BlockRef* refs, size_t count);

class FeliCaDriver : public ReaderChoice {
 public:
  // `link` is made for the driver's own connection.
  explicit FeliCaDriver(std::unique_ptr<FeliCaLink> (*makeLink)(PcscConnection&));
  virtual ~FeliCaDriver();
  FeliCaDriver(const FeliCaDriver&) = delete;
  FeliCaDriver& operator=(const FeliCaDriver&) = delete;

  // The reader selection dialog's view of the driver.
  uint16_t EntryCount() const override { return entryCount(); }
  const char* EntryName(uint16_t index) const override { return ReaderEntryName(index); }
  uint16_t CurrentEntry() const override { return currentEntry(); }
  int16_t Reopen(const char* name) override;
  void Rescan() override { ScanReaders(); }

  int16_t ScanReaders();
  int16_t Open(const char* name);
  int16_t Close();
  int16_t SelectCard(uint8_t index);
  void ClearCard();

  // The exported operations (status text reset to "Success." by the caller).
  int16_t Initialize() { return ScanReaders(); }
  const char* ReaderEntryName(uint32_t index) const;
  int16_t Poll(uint16_t systemCode);
  const uint8_t* SetCurrentCard(uint8_t index);
  uint16_t SystemCode(uint32_t index) const;
  int16_t ServiceCode(uint16_t index, uint32_t* code, uint32_t* endCode);
  int16_t Read(uint32_t serviceCode, uint8_t block, uint8_t* data);
  int16_t Write(uint32_t serviceCode, uint8_t block, const uint8_t* data);
  int16_t Read2(const BlockRef* refs, uint8_t* count, uint8_t* data);
  int16_t Write2(const BlockRef* refs, uint8_t count, const uint8_t* data);
  // The 256-byte settings data: the current entry's name, zero-filled.
  void WriteSettingsData(uint8_t* data) const;

  uint16_t entryCount() const { return static_cast<uint16_t>(entries_.size()); }
  uint16_t currentEntry() const { return currentEntry_; }
  bool isOpen() const { return open_; }
  bool cardActive() const { return cardActive_; }
  const std::string& statusText() const { return pcsc_.statusText(); }
  void ResetStatusText() { pcsc_.ResetStatusText(); }
  Link link() const { return pcsc_.link(); }
  PcscConnection& connection() { return pcsc_; }

 protected:
  FeliCaLink& felicaLink() { return *link_; }

 private:
  int16_t ScanSteps();
  int16_t OpenSteps(const char* name);
  int16_t Detached();
  Idm CurrentIdm() const;
  int16_t Report(Outcome outcome) { return pcsc_.Report(outcome); }

  PcscConnection pcsc_;
  std::unique_ptr<FeliCaLink> link_;
  FeliCaCommands commands_;
  bool open_ = false;
  std::vector<ReaderEntry> entries_;
  uint16_t currentEntry_ = 0;
  bool cardActive_ = false;
  std::array<CardEntry, kMaxCards> cards_{};
  uint8_t cardCount_ = 0;
  uint8_t currentCardIndex_ = 0;
  std::array<uint8_t, 16> currentCard_{};
  std::vector<std::array<uint8_t, 2>> systemCodes_;
};

}  // namespace lorvane::pellix
