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
  bool unrecognisedCard = false;       // no definition's system answered, but a card did
};

// Why a read showed nothing, as the window tells it.
enum class ReadProblem {
  kNone,
  kNoDefinitions,  // the language folder holds no card definition
  kNoService,      // no PC/SC service listens
  kServiceHung,    // the PC/SC service did not answer within the bound
  kNoPlugin,       // no reader plug-in answered
  kNoCard,         // the reader found no card
  kUnrecognised,   // a card answered that no definition reads
  kReaderFailed,   // the reader failed while looking for a card
};

// Polls for any card after a read that found none of the definitions' systems: a card that
// answers is one no definition recognises.
bool AnyCardAnswers(carddef::CardReader& reader);

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
