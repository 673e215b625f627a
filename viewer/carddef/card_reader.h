// SPDX-License-Identifier: MIT
// What a card definition needs of a reader to read a card: the three card calls of a reader
// plug-in, plus opening and closing the reader around one round of reads. The plug-in host
// serves it through a reader plug-in; a card image file serves it without any reader.
#pragma once

#include <cstdint>

namespace lorvane::carddef {

class CardReader {
 public:
  virtual ~CardReader() = default;

  // Opens the default reader; the result is informational (a failed open shows up as reads
  // that fail).
  virtual int32_t ReaderOpen() = 0;
  virtual int32_t ReaderClose() = 0;

  // Polls for a card holding the system code. Low 16 bits: 0 found and made current, 5 no
  // card, -11 (0xFFF5) the reader became unavailable, other negatives failures.
  virtual int32_t ReaderREQC(uint32_t systemCode) = 0;

  // Sets *card to the current card's 16-byte identity (IDm then PMm), or null when the last
  // poll found no card. The identity stays the reader's and is valid until the next poll.
  virtual int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) = 0;

  // Reads one 16-byte block into `data` (the caller's buffer of 16 bytes). 0 on success;
  // 5 when the card refuses the service, -53 when reading failed, -12 without a card.
  virtual int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) = 0;
};

}  // namespace lorvane::carddef
