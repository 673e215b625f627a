// SPDX-License-Identifier: MIT
// FeliCa commands carried by the reader's PN532: the poll (InListPassiveTarget) and Request
// System Code, Search Service Code, Read and Write Without Encryption (InDataExchange). Every
// answer is read only as far as the reader actually sent it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pellix/pcsc_connection.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {

using wire::Idm;

struct PolledCard {
  Idm idm{};
  std::array<uint8_t, 8> pmm{};
};

class FeliCaCommands : public PcscConnection {
 public:
  // Polls for a card with the system code (high byte first). FELICA_OK with `found` set,
  // FELICA_NOTHING when no card answered ("Card nothing."), FELICA_E_READER_GONE when the
  // reader is gone, FELICA_E_TRANSMIT otherwise.
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
  int16_t Poll(uint8_t s1, uint8_t s2, std::optional<PolledCard>& found);
  int16_t ReaderStatus(const Reply& reply, int16_t status);
  // Sends a FeliCa packet by InDataExchange and checks the answer: the PN532 status byte, and
  // that the answer reaches byte `lastByte`; `failure` is the status of an answer that does
  // not.
  int16_t DataExchange(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                       size_t lastByte, int16_t failure);
  void TraceLists(std::span<const uint16_t> services, std::span<const uint8_t> blockList);
  int16_t TakeBlocks(const Reply& reply, size_t n, uint8_t* data, uint8_t* received);
  // Writes the card's status flags into the status text.
  void CardStatus(uint8_t flag1, uint8_t flag2);
};

}  // namespace lorvane::pellix
