// SPDX-License-Identifier: MIT
// The ACR122's two kinds as smart card readers; PN532 commands travel in the direct-transmit
// APDU FF 00 00 00 Lc D4 .. for both.
//   The ACR122 with a SAM: a T=0 reader whose card is the SAM. Every pseudo-APDU is answered
//   "61 L" and its answer fetched with GET RESPONSE (FF C0 00 00 L).
//   The ACR122U's PICC interface (no SAM): a T=1 reader whose card is the FeliCa card on it.
//   Every pseudo-APDU is answered in one reply, D5 .. 90 00; so is the driver's escape.
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

// The ATR of a FeliCa card on the ACR122U (212 kbps), offering T=0 and T=1.
inline constexpr unsigned char kFeliCaAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                               0xA0, 0x00, 0x00, 0x03, 0x06, 0x03, 0xF0,
                                               0x11, 0x00, 0x00, 0x00, 0x00, 0x8A};

// The PC/SC storage-card ATR of a FeliCa card (RID A0 00 00 03 06, standard 11, card name
// 00 3B) that the RC-S300 and the ACR1252U give for every FeliCa card.
inline constexpr unsigned char kStorageFeliCaAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                                      0xA0, 0x00, 0x00, 0x03, 0x06, 0x11, 0x00,
                                                      0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};

// The virtual readers: the ACR122 with a SAM, the ACR122U's PICC interface, and FeliCa
// readers of other makes (transparent_reader_model.h).
enum class ReaderKind { kSam, kPicc, kRcS300, kAcr1252, kPlain };

class Acr122Model {
 public:
  explicit Acr122Model(ReaderKind kind = ReaderKind::kSam) : kind_(kind) {}

  // The reader's answer to one APDU; `card` is the card in the field, or null.
  Bytes Transmit(std::span<const uint8_t> apdu, FeliCaCardModel* card, const ControlState& control);
  ReaderKind kind() const { return kind_; }

 private:
  Bytes Pn532(std::span<const uint8_t> command, FeliCaCardModel* card, const ControlState& control);
  Bytes InListPassiveTarget(std::span<const uint8_t> command, FeliCaCardModel* card);
  Bytes InDataExchange(std::span<const uint8_t> command, FeliCaCardModel* card,
                       const ControlState& control);

  ReaderKind kind_;
  Bytes pending_;
  size_t exchanges_ = 0;      // card commands so far, for the "blink" fault
  bool missedAPoll_ = false;  // the card is away for the poll after a blink
  bool targetSelected_ = false;
};

}  // namespace lorvane::vreader
