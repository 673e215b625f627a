// SPDX-License-Identifier: MIT
// The SAM-equipped ACR122 as a T=0 smart card reader: every pseudo-APDU is answered
// "61 L" and its answer fetched with GET RESPONSE (FF C0 00 00 L); PN532 commands travel
// in the direct-transmit APDU FF 00 00 00 Lc D4 ...
#pragma once

#include <memory>
#include <span>

#include "testing/vreader/felica_card_model.h"
#include "testing/vreader/reader_control.h"

namespace lorvane::vreader {

// The ATR of the reader's SAM, always present.
inline constexpr unsigned char kSamAtr[] = {0x3B, 0xBE, 0x96, 0x00, 0x00, 0x41, 0x03,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x02, 0x90, 0x00};

class Acr122Model {
 public:
  // The reader's answer to one APDU; `card` is the card in the field, or null.
  Bytes Transmit(std::span<const uint8_t> apdu, FeliCaCardModel* card, const ControlState& control);

 private:
  Bytes Pn532(std::span<const uint8_t> command, FeliCaCardModel* card, const ControlState& control);
  Bytes InListPassiveTarget(std::span<const uint8_t> command, FeliCaCardModel* card);
  Bytes InDataExchange(std::span<const uint8_t> command, FeliCaCardModel* card,
                       const ControlState& control);

  Bytes pending_;
  bool targetSelected_ = false;
};

}  // namespace lorvane::vreader
