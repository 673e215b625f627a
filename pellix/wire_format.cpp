// SPDX-License-Identifier: MIT
#include "pellix/wire_format.h"

#include <algorithm>
#include <initializer_list>

namespace lorvane::pellix::wire {
namespace {

constexpr uint8_t kBlockListElementMark = 0x80;     // 2-byte element
constexpr uint8_t kAccessPurseCashback = 0x10;      // access mode 001
constexpr uint16_t kAttributeMask = 0x3E;           // attribute without its "no key" bit
constexpr uint16_t kAttributePurseCashback = 0x12;  // 12 and 13: purse, cashback
constexpr uint8_t kServiceIndexMask = 0x0F;

// `head` followed by `tail`, in one allocation.
std::vector<uint8_t> Join(std::initializer_list<uint8_t> head, std::span<const uint8_t> tail) {
  std::vector<uint8_t> bytes(head.size() + tail.size());
  std::copy(head.begin(), head.end(), bytes.begin());
  std::copy(tail.begin(), tail.end(), bytes.begin() + static_cast<ptrdiff_t>(head.size()));
  return bytes;
}

}  // namespace

std::vector<uint8_t> DirectTransmit(std::span<const uint8_t> pn532Command) {
  return Join(
      {kApduClass, kInsDirectTransmit, 0x00, 0x00, static_cast<uint8_t>(pn532Command.size())},
      pn532Command);
}

std::array<uint8_t, 5> GetResponse(uint8_t length) {
  return {kApduClass, kInsGetResponse, 0x00, 0x00, length};
}

std::vector<uint8_t> MaxRetriesZero() {
  return {kHostToPn532, kRfConfiguration, kRfItemMaxRetries, 0x00, 0x00, 0x00};
}

std::vector<uint8_t> ListFeliCaTarget(uint8_t systemHigh, uint8_t systemLow) {
  return {kHostToPn532, kInListPassiveTarget, kOneTarget, kFeliCa212kbps, kPolling, systemHigh,
          systemLow,    kNoRequest,           kOneSlot};
}

std::vector<uint8_t> DataExchange(std::span<const uint8_t> feliCaPacket) {
  return Join({kHostToPn532, kInDataExchange, kTarget1}, feliCaPacket);
}

std::vector<uint8_t> FeliCaPacket(FeliCaCommand command, const Idm& idm,
                                  std::span<const uint8_t> rest) {
  std::vector<uint8_t> packet = Join({0x00, command}, idm);
  packet.insert(packet.end(), rest.begin(), rest.end());
  packet[0] = static_cast<uint8_t>(packet.size());
  return packet;
}

std::array<uint8_t, kPollingPacketBytes> PollingPacket(uint8_t systemHigh, uint8_t systemLow) {
  return {kPollingPacketBytes, kPolling, systemHigh, systemLow, kNoRequest, kOneSlot};
}

bool WholeFrame(std::span<const uint8_t> frame) {
  return !frame.empty() && frame[kPacketLength] == frame.size();
}

bool Answers(std::span<const uint8_t> sent, std::span<const uint8_t> frame) {
  constexpr size_t kIdmEnd = kPacketIdm + sizeof(Idm);
  if (sent.size() < kIdmEnd || frame.size() < kIdmEnd) return false;
  if (frame[kPacketCode] != sent[kPacketCode] + kResponseCodeStep) return false;
  return std::equal(sent.begin() + kPacketIdm, sent.begin() + kIdmEnd, frame.begin() + kPacketIdm);
}

std::array<uint8_t, 2> ServiceCodeBytes(uint16_t serviceCode) {
  return {static_cast<uint8_t>(serviceCode & 0xFF), static_cast<uint8_t>(serviceCode >> 8)};
}

std::array<uint8_t, 2> SearchIndex(uint16_t index) { return ServiceCodeBytes(index); }

std::vector<uint8_t> ServiceAndBlockList(std::span<const uint16_t> services,
                                         std::span<const uint8_t> blockList) {
  std::vector<uint8_t> list = {static_cast<uint8_t>(services.size())};
  for (uint16_t code : services) {
    const auto bytes = ServiceCodeBytes(code);
    list.insert(list.end(), bytes.begin(), bytes.end());
  }
  list.push_back(static_cast<uint8_t>(blockList.size() / 2));
  list.insert(list.end(), blockList.begin(), blockList.end());
  return list;
}

std::array<uint8_t, 2> BlockListElement(uint16_t serviceCode, size_t serviceIndex, uint8_t block) {
  uint8_t head = kBlockListElementMark | static_cast<uint8_t>(serviceIndex & kServiceIndexMask);
  if ((serviceCode & kAttributeMask) == kAttributePurseCashback) head |= kAccessPurseCashback;
  return {head, block};
}

}  // namespace lorvane::pellix::wire
