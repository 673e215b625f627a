// SPDX-License-Identifier: MIT
// What the polls of one read found, to tell the user why nothing was read.
#pragma once

#include <cstdint>
#include <optional>

#include "viewer/carddef/card_reader.h"

namespace lorvane::app {

struct ReadOutcome {
  int polls = 0;
  int cardsFound = 0;                  // polls a card answered
  int noCard = 0;                      // polls no card answered (status 5)
  std::optional<int16_t> pollFailure;  // the last failing poll's status
};

// A reader that counts what its polls answered, for the reader it wraps.
class CountingReader final : public carddef::CardReader {
 public:
  explicit CountingReader(carddef::CardReader& reader) : reader_(reader) {}

  int32_t ReaderOpen() override { return reader_.ReaderOpen(); }
  int32_t ReaderClose() override { return reader_.ReaderClose(); }
  int32_t ReaderREQC(uint32_t systemCode) override;
  int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) override {
    return reader_.ReaderSetCurrentCard(index, card);
  }
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) override {
    return reader_.ReaderRead(serviceCode, block, data);
  }

  const ReadOutcome& outcome() const { return outcome_; }

 private:
  carddef::CardReader& reader_;
  ReadOutcome outcome_;
};

}  // namespace lorvane::app
