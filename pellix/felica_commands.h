// SPDX-License-Identifier: MIT
// The FeliCa commands, whatever reader carries them: the poll, Request System Code, Search
// Service Code, Read and Write Without Encryption. The reader family's link (felica_link.h)
// carries the packets; every answer is read only as far as the reader actually sent it, and
// outcomes go to the connection's status text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pellix/felica_link.h"
#include "pellix/pcsc_connection.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {

using wire::Idm;

class FeliCaCommands {
 public:
  FeliCaCommands(FeliCaLink& link, PcscConnection& status) : link_(link), status_(status) {}

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
  // Sends a FeliCa packet through the link and checks that the answer reaches byte
  // `lastByte` of its packet; `failure` is the status of an answer that does not.
  int16_t DataExchange(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                       size_t lastByte, int16_t failure);
  void TraceLists(std::span<const uint16_t> services, std::span<const uint8_t> blockList);
  int16_t TakeBlocks(const Reply& reply, size_t n, uint8_t* data, uint8_t* received);
  // Writes the card's status flags into the status text.
  void CardStatus(uint8_t flag1, uint8_t flag2);
  int16_t Report(Outcome outcome) { return status_.Report(outcome); }
  int16_t Report(Outcome outcome, int16_t status) { return status_.Report(outcome, status); }
  const std::string& statusText() const { return status_.statusText(); }

  FeliCaLink& link_;
  PcscConnection& status_;
};

}  // namespace lorvane::pellix
