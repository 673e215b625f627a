// SPDX-License-Identifier: MIT
// FeliCa commands carried in the ACR122's pseudo-APDUs: the poll (InListPassiveTarget) and
// Request System Code, Search Service Code, Read and Write Without Encryption
// (InDataExchange). Every answer is read only as far as the reader actually sent it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pellix/pcsc_connection.h"

namespace lorvane::pellix {

using Idm = std::array<uint8_t, 8>;

struct PolledCard {
  Idm idm{};
  std::array<uint8_t, 8> pmm{};
};

class FeliCaCommands : public PcscConnection {
 public:
  // Polls for a card with the system code (high byte first). 0 with `found` set, 5 when no
  // card answered ("Card nothing."), -11 when the reader is gone, -13 otherwise.
  int16_t REQC(uint8_t s1, uint8_t s2, std::optional<PolledCard>& found);
  // The card's system codes as received (high byte first), at most 255.
  int16_t RequestSystemCode(const Idm& idm, std::vector<std::array<uint8_t, 2>>& codes);
  // The service or area at `position`: code and end code as little-endian 4-byte values.
  int16_t SearchServiceCode(const Idm& idm, uint16_t position, uint8_t* code, uint8_t* endCode);
  // Reads the blocks of `blockList` (two bytes per block) into `data` (16 bytes per block).
  int16_t FeliCaRead(const Idm& idm, std::span<const uint16_t> services,
                     std::span<const uint8_t> blockList, uint8_t* data, uint8_t* received);
  int16_t FeliCaWrite(const Idm& idm, std::span<const uint16_t> services,
                      std::span<const uint8_t> blockList, const uint8_t* data);

 private:
  int16_t NotConnected();
  std::vector<uint8_t> DataExchangeFrame(uint8_t command, const Idm& idm) const;
  int16_t ReaderStatus(const Reply& reply, int16_t status);
  // Sends an InDataExchange frame and checks the answer: the PN532 status byte, and that the
  // answer reaches byte `lastByte`; `failure` is the status of an answer that does not.
  int16_t DataExchange(std::vector<uint8_t>& frame, size_t capacity, Reply& reply, size_t lastByte,
                       int16_t failure);
  // Writes the card's status flags into the status text.
  void CardStatus(uint8_t flag1, uint8_t flag2);
};

}  // namespace lorvane::pellix
