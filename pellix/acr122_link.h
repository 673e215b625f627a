// SPDX-License-Identifier: MIT
// The ACR122 family's link: FeliCa packets travel inside PN532 commands (InListPassiveTarget
// polls, InDataExchange carries a packet), and PN532 commands inside the reader's
// direct-transmit pseudo-APDU FF 00 00 00 Lc D4 ...
//
// Two kinds of reader answer the same pseudo-APDUs. The ACR122 with a SAM is a T=0 reader
// whose "card" is the SAM, always there: it answers "61 L" and the answer is fetched with GET
// RESPONSE. The ACR122U (its PICC interface, no SAM) is a T=1 reader whose "card" exists only
// while a FeliCa card lies on it: it answers in one reply ending 90 00, and without a card
// PC/SC refuses a connection. For that reader a direct connection with the driver's escape
// command takes the pseudo-APDUs when the driver allows it; otherwise the reader waits for a
// card, and every poll tries to connect again.
#pragma once

#include <span>
#include <string>

#include "pellix/felica_link.h"
#include "pellix/pcsc_connection.h"
#include "pellix/reader_names.h"

namespace lorvane::pellix {

class Acr122Link : public FeliCaLink {
 public:
  explicit Acr122Link(PcscConnection& pcsc) : pcsc_(pcsc) {}

  bool Serves(const std::string& readerName) const override {
    return !IsOtherFeliCaReader(readerName);
  }
  int16_t Connect() override;
  int16_t AttachCard() override;
  int16_t Disconnect() override { return pcsc_.Disconnect(); }
  bool connected() const override {
    return pcsc_.link() == Link::kCard || pcsc_.link() == Link::kEscape;
  }
  bool awaitingCard() const override { return pcsc_.link() == Link::kAwaitingCard; }
  int16_t PollCard(uint8_t systemHigh, uint8_t systemLow,
                   std::optional<PolledCard>& found) override;
  int16_t Transceive(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                     int16_t failure) override;

  // Sends one PN532 command (D4 ..) in the direct-transmit pseudo-APDU and takes its answer:
  // "61 L" then GET RESPONSE, or one reply ending 90 00. FELICA_E_TRANSMIT when a
  // transmission fails or the answer is neither; with `unavailableStatus` set, a first
  // transmission that fails because the reader is gone gives that status instead. A reader
  // without a SAM whose card has left goes back to waiting for a card.
  int16_t Exchange(std::span<const uint8_t> pn532Command, size_t capacity, Reply& reply,
                   int16_t unavailableStatus = 0);
  // The reader's firmware version when the escape path asked for it ("ACR122U203").
  const std::string& firmware() const { return firmware_; }

 private:
  int16_t ConnectSteps();
  int16_t ConnectWithoutCard();
  bool ProbeEscape();
  int16_t SetRetryTime();
  int16_t TakeAnswer(size_t capacity, Reply& reply);
  static std::span<const uint8_t> FrameOf(const Reply& reply);

  PcscConnection& pcsc_;
  std::string firmware_;
};

}  // namespace lorvane::pellix
