// SPDX-License-Identifier: MIT
// A reader with a card image lying on it: answers polls, card identity and block reads as
// a FeliCa card would through a reader plug-in.
#pragma once

#include <array>
#include <optional>

#include "cardimage/card_image.h"
#include "viewer/carddef/card_reader.h"

namespace lorvane::cardimage {

// Statuses, as the reader plug-ins give them.
inline constexpr int32_t kNoCard = 5;          // no system answered the poll; or the card
                                               // refused the service (status flags 01 A6)
inline constexpr int32_t kCardDetached = -12;  // no current card
inline constexpr int32_t kReadFailed = -53;    // block number beyond the service (01 A8)

class CardImageReader final : public carddef::CardReader {
 public:
  explicit CardImageReader(CardImage image) : image_(std::move(image)) {}

  int32_t ReaderOpen() override { return 0; }
  int32_t ReaderClose() override { return 0; }
  int32_t ReaderREQC(uint32_t systemCode) override;
  int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) override;
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) override;

 private:
  CardImage image_;
  std::optional<size_t> current_;
  std::array<uint8_t, 16> identity_{};
};

}  // namespace lorvane::cardimage
