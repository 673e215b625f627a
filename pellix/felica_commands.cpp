// SPDX-License-Identifier: MIT
#include "pellix/felica_commands.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "pellix/trace_channel.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {
namespace {

using namespace wire;

// The blocks a read answer claims by its length: block k (from 0) ends 16 (k + 1) bytes after
// the data's start, and the status word follows.
size_t AnnouncedBlocks(const Reply& reply) {
  size_t blocks = 0;
  while (reply.packet + kBlockData + kBlockBytes * (blocks + 1) < reply.announced) ++blocks;
  return blocks;
}

// An area's answer carries its end code: 14 bytes in the packet against 12 for a service.
constexpr size_t kAreaPacketBytes = 14;
bool AnnouncesArea(const Reply& reply) {
  return reply.announced >= reply.packet + kAreaPacketBytes + kStatusWordBytes;
}

}  // namespace

int16_t FeliCaCommands::NotConnected() { return Report(Outcome::kNotConnected); }

int16_t FeliCaCommands::DataExchange(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                                     size_t lastByte, int16_t failure) {
  int16_t status = link_.Transceive(packet, capacity, reply, failure);
  if (status == FELICA_OK && !reply.HasInPacket(lastByte))
    status = Report(Outcome::kReplyTooShort, failure);
  return status;
}

void FeliCaCommands::CardStatus(uint8_t flag1, uint8_t flag2) {
  status_.SetStatusText(CardStatusText(flag1, flag2));
}

int16_t FeliCaCommands::REQC(uint8_t s1, uint8_t s2, std::optional<PolledCard>& found) {
  found.reset();
  int16_t status = link_.AttachCard();
  if (status == FELICA_OK) status = link_.PollCard(s1, s2, found);
  if (status == FELICA_E_TRANSMIT && link_.awaitingCard()) {
    // The card on a reader that needs one left; another may be there already.
    status = link_.AttachCard();
    if (status == FELICA_OK) status = link_.PollCard(s1, s2, found);
  }
  DebugTrace("REQC(%02X%02X) : %s", s1, s2, statusText().c_str());
  return status;
}

int16_t FeliCaCommands::RequestSystemCode(const Idm& idm,
                                          std::vector<std::array<uint8_t, 2>>& codes) {
  codes.clear();
  if (!link_.connected()) return NotConnected();
  Reply reply;
  int16_t status = DataExchange(FeliCaPacket(kRequestSystemCode, idm), kReplyCapacity, reply,
                                kSystemCount, FELICA_E_SEARCH);
  if (status == FELICA_OK) {
    const size_t count = reply.InPacket(kSystemCount);
    for (size_t i = 0; i < count; ++i) {
      const size_t at = kSystemCodes + 2 * i;
      if (!reply.HasInPacket(at + 1)) {
        status = Report(Outcome::kFewerSystemCodes);
        break;
      }
      codes.push_back({reply.InPacket(at), reply.InPacket(at + 1)});
      DebugTrace("System code : %02X%02X ", codes.back()[0], codes.back()[1]);
    }
  }
  DebugTrace("RequestSystemCode() : %s", statusText().c_str());
  return status;
}

int16_t FeliCaCommands::SearchServiceCode(const Idm& idm, uint16_t position, uint8_t* code,
                                          uint8_t* endCode) {
  if (!link_.connected()) return NotConnected();
  if (code == nullptr || endCode == nullptr) return Report(Outcome::kInvalidParameter);
  Reply reply;
  int16_t status = DataExchange(FeliCaPacket(kSearchServiceCode, idm, SearchIndex(position)),
                                kReplyCapacity, reply, kFoundCode + 1, FELICA_E_SEARCH);
  if (status == FELICA_OK) {
    code[0] = reply.InPacket(kFoundCode), code[1] = reply.InPacket(kFoundCode + 1);
    code[2] = 0, code[3] = 0;
    if (AnnouncesArea(reply) && reply.HasInPacket(kFoundEndCode + 1)) {
      endCode[0] = reply.InPacket(kFoundEndCode), endCode[1] = reply.InPacket(kFoundEndCode + 1);
      endCode[2] = 0, endCode[3] = 0;
    } else {
      endCode[0] = 0xFF, endCode[1] = 0xFF;
    }
  }
  DebugTrace("SearchServiceCode() : %s", statusText().c_str());
  return status;
}

int16_t FeliCaCommands::FeliCaRead(const Idm& idm, std::span<const uint16_t> services,
                                   std::span<const uint8_t> blockList, uint8_t* data,
                                   uint8_t* received) {
  if (!link_.connected()) return NotConnected();
  if (received == nullptr) return Report(Outcome::kInvalidParameter);
  const size_t n = blockList.size() / 2;
  if (n == 0) {
    *received = 0;
    return FELICA_OK;
  }
  if (services.empty() || data == nullptr) return Report(Outcome::kInvalidParameter);
  TraceLists(services, blockList);
  Reply reply;
  int16_t status = DataExchange(
      FeliCaPacket(kReadWithoutEncryption, idm, ServiceAndBlockList(services, blockList)),
      kReadReplyCapacity, reply, kStatusFlag2, FELICA_E_READ);
  if (status == FELICA_OK) status = TakeBlocks(reply, n, data, received);
  DebugTrace("FeliCaRead() : %s", statusText().c_str());
  return status;
}

void FeliCaCommands::TraceLists(std::span<const uint16_t> services,
                                std::span<const uint8_t> blockList) {
  DebugTrace("Service code list :");
  for (uint16_t s : services) DebugTrace("%02X%02X,", s >> 8, s & 0xFF);
  DebugTrace("Block list :");
  for (size_t i = 0; i + 1 < blockList.size(); i += 2)
    DebugTrace("%02X%02X,", blockList[i], blockList[i + 1]);
}

// Copies the blocks a read answer carries, no more than were asked for and only as far as
// the answer reaches, and judges the card's status flags.
int16_t FeliCaCommands::TakeBlocks(const Reply& reply, size_t n, uint8_t* data, uint8_t* received) {
  const size_t announced = AnnouncedBlocks(reply);
  const size_t first = reply.packet + kBlockData;
  size_t count = 0;
  while (count < std::min(announced, n) && reply.Has(first + kBlockBytes * (count + 1) - 1)) {
    std::memcpy(data + kBlockBytes * count, &reply.bytes[first + kBlockBytes * count], kBlockBytes);
    ++count;
  }
  *received = static_cast<uint8_t>(count);
  if (announced > n) return Report(Outcome::kMoreBlocks);
  const uint8_t flag1 = reply.InPacket(kStatusFlag1), flag2 = reply.InPacket(kStatusFlag2);
  if (flag1 == 0 && flag2 == 0 && count == n) return FELICA_OK;
  if (flag2 == kServiceMissing && count == 0) return Report(Outcome::kServiceRefused);
  CardStatus(flag1, flag2);
  return FELICA_E_READ;
}

int16_t FeliCaCommands::FeliCaWrite(const Idm& idm, std::span<const uint16_t> services,
                                    std::span<const uint8_t> blockList, const uint8_t* data) {
  if (!link_.connected()) return NotConnected();
  const size_t n = blockList.size() / 2;
  if (n == 0) return FELICA_OK;
  if (services.empty() || data == nullptr) return Report(Outcome::kInvalidParameter);
  std::vector<uint8_t> rest = ServiceAndBlockList(services, blockList);
  rest.insert(rest.end(), data, data + kBlockBytes * n);
  Reply reply;
  int16_t status = DataExchange(FeliCaPacket(kWriteWithoutEncryption, idm, rest), kReplyCapacity,
                                reply, kStatusFlag2, FELICA_E_WRITE);
  const uint8_t flag1 = reply.InPacket(kStatusFlag1), flag2 = reply.InPacket(kStatusFlag2);
  if (status == FELICA_OK && (flag1 != 0 || flag2 != 0)) {
    CardStatus(flag1, flag2);
    if (flag2 == kServiceMissing) return FELICA_NOTHING;
    status = FELICA_E_WRITE;
  }
  DebugTrace("FeliCaWrite() : %s", statusText().c_str());
  return status;
}

}  // namespace lorvane::pellix
