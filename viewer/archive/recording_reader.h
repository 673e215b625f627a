// SPDX-License-Identifier: MIT
// A card reader that passes every call on to another and keeps what the card gave: the
// systems polled with their IDms and PMm, and every block read, as a read for the archive.
#pragma once

#include <cstdint>

#include "viewer/archive/stored_read.h"
#include "viewer/carddef/card_reader.h"

namespace lorvane::archive {

class RecordingReader final : public carddef::CardReader {
 public:
  explicit RecordingReader(carddef::CardReader& reader) : reader_(reader) {}

  int32_t ReaderOpen() override { return reader_.ReaderOpen(); }
  int32_t ReaderClose() override { return reader_.ReaderClose(); }
  int32_t ReaderREQC(uint32_t systemCode) override;
  int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) override;
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) override;

  // What was read; empty (no blocks) when no card answered.
  const StoredRead& recorded() const { return read_; }
  bool sawCard() const { return sawCard_; }

 private:
  void NoteSystem(const uint8_t* identity);

  carddef::CardReader& reader_;
  StoredRead read_;
  uint16_t polled_ = 0;
  bool polledCard_ = false;
  bool sawCard_ = false;
};

}  // namespace lorvane::archive
