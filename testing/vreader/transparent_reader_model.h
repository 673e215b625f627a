// SPDX-License-Identifier: MIT
// FeliCa readers of other makes as smart card readers, as the public record describes them
// (T=1, the PC/SC storage-card ATR for FeliCa, FF CA 00 00 00 for the IDm):
//   the Sony RC-S300: the PC/SC transparent exchange FF C2, through SCardTransmit and through
//   the reader driver's escape command;
//   the ACS ACR1252U: FF C2 as well, and the direct transmit FF 00 00 00 Lc <FeliCa frame>;
//   a plain contactless reader that offers neither.
// Faults from the control folder (reader_control.h) make it answer as a reader might where
// the record is uncertain, or as a broken one would.
#pragma once

#include <cstdint>
#include <span>

#include "testing/vreader/felica_card_model.h"
#include "testing/vreader/reader_control.h"

namespace lorvane::vreader {

enum class TransparentKind { kRcS300, kAcr1252, kPlain };

class TransparentReaderModel {
 public:
  explicit TransparentReaderModel(TransparentKind kind) : kind_(kind) {}

  // The reader's answer to one APDU, sent by SCardTransmit or (`escape`) by the driver's
  // escape command; `card` is the card in the field, or null.
  Bytes Transmit(std::span<const uint8_t> apdu, FeliCaCardModel* card, const ControlState& control,
                 bool escape);
  TransparentKind kind() const { return kind_; }

 private:
  Bytes Transparent(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                    const ControlState& control);
  Bytes ManageSession(std::span<const uint8_t> objects);
  Bytes SwitchProtocol(std::span<const uint8_t> objects);
  Bytes Exchange(std::span<const uint8_t> objects, FeliCaCardModel* card,
                 const ControlState& control);
  Bytes DirectTransmit(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                       const ControlState& control);

  TransparentKind kind_;
  bool session_ = false;
  bool feliCa_ = false;
};

// The card's answer to one FeliCa frame (LEN first): polls go to the card's systems, other
// commands to the card model. Nothing when the card stays silent.
std::optional<Bytes> CardAnswer(std::span<const uint8_t> frame, FeliCaCardModel* card);

}  // namespace lorvane::vreader
