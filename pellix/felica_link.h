// SPDX-License-Identifier: MIT
// What the FeliCa command layer needs of a reader: connect to it, poll for a card, and carry
// one FeliCa command packet to the card and its answer back. Each reader family frames the
// packets its own way (the ACR122's PN532 pseudo-APDUs, the PC/SC transparent exchange, the
// ACS direct transmit); the command layer sees only this interface.
//
// Every operation returns a plug-in status (FELICA_OK, FELICA_NOTHING or a negative error)
// and leaves its outcome's text in the connection's status text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "pellix/wire_format.h"

namespace lorvane::pellix {

inline constexpr size_t kReplyCapacity = 200;
inline constexpr size_t kReadReplyCapacity = 400;

// What the reader answered to one exchange. The FeliCa response packet starts at `packet`;
// what comes before it is the reader's own framing.
struct Reply {
  std::array<uint8_t, kReadReplyCapacity> bytes{};
  size_t length = 0;     // bytes received (and believed)
  size_t announced = 0;  // the answer's length as the reader announced it, counted from its
                         // first byte to the end of a two-byte status word after the packet
  size_t packet = 0;     // where the FeliCa response packet starts

  // Byte i of the answer, or nothing when the answer is shorter.
  bool Has(size_t i) const { return i < length; }
  uint8_t operator[](size_t i) const { return i < length ? bytes[i] : 0; }
  // The same, counted from the start of the FeliCa response packet.
  bool HasInPacket(size_t i) const { return Has(packet + i); }
  uint8_t InPacket(size_t i) const { return (*this)[packet + i]; }
};

struct PolledCard {
  wire::Idm idm{};
  std::array<uint8_t, 8> pmm{};
};

class FeliCaLink {
 public:
  virtual ~FeliCaLink() = default;

  // Whether a reader of this name may be this link's: a driver opening no reader by name
  // opens the first reader its link may serve.
  virtual bool Serves(const std::string& readerName) const = 0;
  // Connects to the connection's current reader. A reader that needs a card to be reached
  // and has none waits for one (FELICA_OK; polls say "Card nothing." until one comes).
  virtual int16_t Connect() = 0;
  // For a reader waiting for a card: connects when one has come. FELICA_OK when the link is
  // ready, FELICA_NOTHING while no card is there.
  virtual int16_t AttachCard() = 0;
  virtual int16_t Disconnect() = 0;
  // Whether commands can reach a card now, and whether the link waits for a card to come.
  virtual bool connected() const = 0;
  virtual bool awaitingCard() const = 0;

  // Polls for one card with the system code (high byte first). FELICA_OK with `found` set,
  // FELICA_NOTHING when no card answered, FELICA_E_READER_GONE when the reader is gone,
  // FELICA_E_TRANSMIT otherwise.
  virtual int16_t PollCard(uint8_t systemHigh, uint8_t systemLow,
                           std::optional<PolledCard>& found) = 0;
  // Sends a FeliCa command packet (LEN first) to the card and takes its answer into `reply`,
  // at most `capacity` bytes. FELICA_OK when the reader delivered an answer from the card;
  // `failure` when the reader reports that the card did not answer or the exchange failed;
  // FELICA_E_TRANSMIT when the reader could not be reached.
  virtual int16_t Transceive(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                             int16_t failure) = 0;
};

}  // namespace lorvane::pellix
