// SPDX-License-Identifier: MIT
#include "pellix/felica_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "pellix/trace_channel.h"

namespace lorvane::pellix {
namespace {

constexpr size_t kBlockBytes = 16;
constexpr int16_t kReaderGone = -11;
constexpr int16_t kMalformed = -13;

std::string Format(const char* format, unsigned a, unsigned b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

void AppendServices(std::vector<uint8_t>& frame, std::span<const uint16_t> services,
                    std::span<const uint8_t> blockList) {
  frame.push_back(static_cast<uint8_t>(services.size()));
  for (uint16_t code : services) {
    frame.push_back(static_cast<uint8_t>(code & 0xFF));
    frame.push_back(static_cast<uint8_t>(code >> 8));
  }
  frame.push_back(static_cast<uint8_t>(blockList.size() / 2));
  frame.insert(frame.end(), blockList.begin(), blockList.end());
}

void SetLengths(std::vector<uint8_t>& frame) {
  frame[4] = static_cast<uint8_t>(frame.size() - 5);
  frame[8] = static_cast<uint8_t>(frame.size() - 8);
}

}  // namespace

int16_t FeliCaCommands::NotConnected() {
  SetStatusText("Not ready : smart card disconnected.");
  return -9;
}

std::vector<uint8_t> FeliCaCommands::DataExchangeFrame(uint8_t command, const Idm& idm) const {
  std::vector<uint8_t> frame = {0xFF, 0x00, 0x00, 0x00, 0x00, 0xD4, 0x40, 0x01, 0x00, command};
  frame.insert(frame.end(), idm.begin(), idm.end());
  return frame;
}

// The PN532 status byte of an InDataExchange answer; a missing byte counts as a failure.
int16_t FeliCaCommands::ReaderStatus(const Reply& reply, int16_t status) {
  if (!reply.Has(2)) {
    SetStatusText("Reader Error : reply too short.");
    return status;
  }
  if (reply[2] == 0) return 0;
  SetStatusText(Format("Reader Error : 0x%02X.", reply[2], 0));
  return status;
}

int16_t FeliCaCommands::DataExchange(std::vector<uint8_t>& frame, size_t capacity, Reply& reply,
                                     size_t lastByte, int16_t failure) {
  SetLengths(frame);
  int16_t status = Exchange(frame, capacity, reply);
  if (status == 0) status = ReaderStatus(reply, failure);
  if (status == 0 && !reply.Has(lastByte)) {
    SetStatusText("Reader Error : reply too short.");
    status = failure;
  }
  return status;
}

void FeliCaCommands::CardStatus(uint8_t flag1, uint8_t flag2) {
  SetStatusText(Format("Card status : f1=0x%02X, f2=0x%02X.", flag2, flag1));
}

int16_t FeliCaCommands::REQC(uint8_t s1, uint8_t s2, std::optional<PolledCard>& found) {
  const uint8_t frame[] = {0xFF, 0x00, 0x00, 0x00, 0x09, 0xD4, 0x4A,
                           0x01, 0x01, 0x00, s1,   s2,   0x00, 0x00};
  Reply reply;
  int16_t status = Exchange(frame, kReplyCapacity, reply, kReaderGone);
  if (status == 0) {
    found.reset();
    if (reply.Has(2) && reply[2] != 0) {
      if (reply.Has(21)) {
        PolledCard card;
        std::memcpy(card.idm.data(), &reply.bytes[6], 8);
        std::memcpy(card.pmm.data(), &reply.bytes[14], 8);
        found = card;
      } else {
        SetStatusText("Reader Error : reply too short.");
        status = kMalformed;
      }
    }
    if (status == 0 && !found) {
      SetStatusText("Card nothing.");
      status = 5;
    }
  }
  DebugTrace("REQC(%02X%02X) : %s", s1, s2, statusText().c_str());
  return status;
}

int16_t FeliCaCommands::RequestSystemCode(const Idm& idm,
                                          std::vector<std::array<uint8_t, 2>>& codes) {
  codes.clear();
  if (!connected()) return NotConnected();
  std::vector<uint8_t> frame = DataExchangeFrame(0x0C, idm);
  Reply reply;
  int16_t status = DataExchange(frame, kReplyCapacity, reply, 13, -52);
  if (status == 0) {
    const size_t count = reply[13];
    for (size_t i = 0; i < count; ++i) {
      if (!reply.Has(15 + 2 * i)) {
        SetStatusText("Reader Error : fewer system codes than announced.");
        status = -52;
        break;
      }
      codes.push_back({reply[14 + 2 * i], reply[15 + 2 * i]});
      DebugTrace("System code : %02X%02X ", codes.back()[0], codes.back()[1]);
    }
  }
  DebugTrace("RequestSystemCode() : %s", statusText().c_str());
  return status;
}

int16_t FeliCaCommands::SearchServiceCode(const Idm& idm, uint16_t position, uint8_t* code,
                                          uint8_t* endCode) {
  if (!connected()) return NotConnected();
  if (code == nullptr || endCode == nullptr) {
    SetStatusText("Invalid parameter.");
    return -5;
  }
  std::vector<uint8_t> frame = DataExchangeFrame(0x0A, idm);
  frame.push_back(static_cast<uint8_t>(position & 0xFF));
  frame.push_back(static_cast<uint8_t>(position >> 8));
  Reply reply;
  int16_t status = DataExchange(frame, kReplyCapacity, reply, 14, -52);
  if (status == 0) {
    code[0] = reply[13], code[1] = reply[14], code[2] = 0, code[3] = 0;
    if (reply.announced >= 19 && reply.Has(16)) {
      endCode[0] = reply[15], endCode[1] = reply[16], endCode[2] = 0, endCode[3] = 0;
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
  if (!connected()) return NotConnected();
  if (received == nullptr) {
    SetStatusText("Invalid parameter.");
    return -5;
  }
  const size_t n = blockList.size() / 2;
  if (n == 0) {
    *received = 0;
    return 0;
  }
  if (services.empty() || data == nullptr) {
    SetStatusText("Invalid parameter.");
    return -5;
  }
  DebugTrace("Service code list :");
  for (uint16_t s : services) DebugTrace("%02X%02X,", s >> 8, s & 0xFF);
  DebugTrace("Block list :");
  for (size_t i = 0; i < n; ++i) DebugTrace("%02X%02X,", blockList[2 * i], blockList[2 * i + 1]);
  std::vector<uint8_t> frame = DataExchangeFrame(0x06, idm);
  AppendServices(frame, services, blockList);
  Reply reply;
  int16_t status = DataExchange(frame, kReadReplyCapacity, reply, 14, -53);
  if (status == 0) {
    // Block k (from 1) lies at 16k; the reader's L covers the blocks and the status word.
    size_t announcedBlocks = 0;
    while (kBlockBytes * (announcedBlocks + 2) < reply.announced) ++announcedBlocks;
    size_t count = 0;
    for (size_t k = 1; k <= std::min(announcedBlocks, n) && reply.Has(kBlockBytes * k + 15); ++k) {
      std::memcpy(data + kBlockBytes * count, &reply.bytes[kBlockBytes * k], kBlockBytes);
      ++count;
    }
    if (announcedBlocks > n) count = n + 1;  // the answer claims more blocks than were asked for
    *received = static_cast<uint8_t>(std::min(count, n));
    if (count > n) {
      SetStatusText("Reader Error : more blocks than asked for.");
      status = -53;
    } else if (reply[13] == 0 && reply[14] == 0 && count == n) {
      status = 0;
    } else if (reply[14] == 0xA6 && count == 0) {
      SetStatusText("Service code nothing or cannot access.");
      status = 5;
    } else {
      CardStatus(reply[13], reply[14]);
      status = -53;
    }
  }
  DebugTrace("FeliCaRead() : %s", statusText().c_str());
  return status;
}

int16_t FeliCaCommands::FeliCaWrite(const Idm& idm, std::span<const uint16_t> services,
                                    std::span<const uint8_t> blockList, const uint8_t* data) {
  if (!connected()) return NotConnected();
  const size_t n = blockList.size() / 2;
  if (n == 0) return 0;
  if (services.empty() || data == nullptr) {
    SetStatusText("Invalid parameter.");
    return -5;
  }
  std::vector<uint8_t> frame = DataExchangeFrame(0x08, idm);
  AppendServices(frame, services, blockList);
  frame.insert(frame.end(), data, data + kBlockBytes * n);
  Reply reply;
  int16_t status = DataExchange(frame, kReplyCapacity, reply, 14, -54);
  if (status == 0 && (reply[13] != 0 || reply[14] != 0)) {
    CardStatus(reply[13], reply[14]);
    if (reply[14] == 0xA6) return 5;
    status = -54;
  }
  DebugTrace("FeliCaWrite() : %s", statusText().c_str());
  return status;
}

}  // namespace lorvane::pellix
