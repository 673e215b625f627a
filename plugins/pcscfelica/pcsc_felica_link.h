// SPDX-License-Identifier: MIT
// The link of PC/SC FeliCa readers that are not ACR122s (Sony RC-S300, ACS ACR1252U and
// ACR1251, Identiv uTrust 3700 F, and any reader that answers the same way). The reader is
// tried, in this order, with
//   1. the PC/SC transparent exchange through SCardTransmit (a card on the reader);
//   2. the same through the reader driver's escape command, when the driver announces one
//      (this also reaches the reader with no card on it, so polls need no card event);
//   3. the ACS direct transmit, when the reader answers a poll through it.
// A reader that answers none of them is declined. ACR122 readers are Pellix's and declined
// by name. With no card on a reader that offers no escape, the link waits for a card and
// every poll tries to connect again, as Pellix does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pellix/felica_link.h"
#include "pellix/pcsc_connection.h"
#include "pellix/reader_names.h"
#include "plugins/pcscfelica/transparent_frames.h"

namespace lorvane::pcscfelica {

using pellix::PcscConnection;
using pellix::PolledCard;
using pellix::Reply;

// How FeliCa frames reach the card.
enum class Carrier : uint8_t {
  kNone,
  kTransparentTransmit,  // FF C2 through SCardTransmit
  kTransparentEscape,    // FF C2 through the escape command
  kDirectTransmit,       // FF 00 00 00 through SCardTransmit
};

const char* CarrierName(Carrier carrier);

class PcscFeliCaLink final : public pellix::FeliCaLink {
 public:
  explicit PcscFeliCaLink(PcscConnection& pcsc) : pcsc_(pcsc) {}

  bool Serves(const std::string& readerName) const override {
    return !pellix::IsAcr122Reader(readerName);
  }
  int16_t Connect() override;
  int16_t AttachCard() override;
  int16_t Disconnect() override;
  bool connected() const override { return carrier_ != Carrier::kNone; }
  bool awaitingCard() const override { return pcsc_.link() == pellix::Link::kAwaitingCard; }
  int16_t PollCard(uint8_t systemHigh, uint8_t systemLow,
                   std::optional<PolledCard>& found) override;
  int16_t Transceive(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                     int16_t failure) override;

  Carrier carrier() const { return carrier_; }

 private:
  // What one frame sent to the card brought back.
  struct Delivery {
    int16_t status = 0;           // FELICA_OK when `frame` holds the card's answer
    bool cardSilent = false;      // the reader says no card answered
    std::vector<uint8_t> answer;  // the reader's whole reply
    size_t frameAt = 0;           // where the card's frame lies in the reply
    size_t frameLength = 0;
    std::span<const uint8_t> frame() const {
      return std::span(answer).subspan(frameAt, frameLength);
    }
  };

  int16_t ConnectSteps();
  int16_t ConnectWithoutCard();
  // With a shared connection: finds the carrier the reader answers; declines it otherwise.
  int16_t Establish();
  bool StartTransparentSession(Carrier carrier);
  bool AnswersDirectPolls();
  LONG SendApdu(std::span<const uint8_t> apdu, std::vector<uint8_t>& answer);
  bool Accepted(std::span<const uint8_t> apdu);
  Delivery Deliver(std::span<const uint8_t> frame, int16_t failure);
  void TakeTransparent(Delivery& delivery, int16_t failure);
  void TakeDirect(Delivery& delivery, int16_t failure);
  int16_t CardLeft(LONG result);
  void Lose();

  PcscConnection& pcsc_;
  Carrier carrier_ = Carrier::kNone;
};

}  // namespace lorvane::pcscfelica
