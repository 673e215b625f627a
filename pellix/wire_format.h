// SPDX-License-Identifier: MIT
// The three layers on the wire, outside in: the ACR122's pseudo-APDUs (PC/SC), the PN532
// commands they carry, and the FeliCa packets those carry. Codes and offsets by name, and
// small encoders for what Pellix sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lorvane::pellix::wire {

using Idm = std::array<uint8_t, 8>;

// ---- ACR122 pseudo-APDUs -------------------------------------------------------------------
inline constexpr uint8_t kApduClass = 0xFF;
inline constexpr uint8_t kInsDirectTransmit = 0x00;  // FF 00 00 00 Lc <PN532 command>
inline constexpr uint8_t kInsGetResponse = 0xC0;     // FF C0 00 00 L
inline constexpr uint8_t kInsReaderCommand = 0x00;   // FF 00 P1 P2 .. for the reader itself
inline constexpr uint8_t kP1FirmwareVersion = 0x48;  // FF 00 48 00 00: 10 ASCII bytes
inline constexpr size_t kMaxDirectTransmit = 255;    // Lc
// Status words: "61 L" (L bytes, its own 90 00 included, wait for GET RESPONSE), "90 00".
inline constexpr uint8_t kSwBytesWaiting = 0x61;
inline constexpr uint8_t kSwOk1 = 0x90;
inline constexpr uint8_t kSwOk2 = 0x00;
inline constexpr size_t kStatusWordBytes = 2;
// The firmware version answer ("ACR122U203"): 10 ASCII bytes, no status word. A reader
// without a SAM (the ACR122U's PICC interface) names itself so.
inline constexpr size_t kFirmwareVersionBytes = 10;
inline constexpr char kPiccFirmwarePrefix[] = "ACR122U";

// PC/SC control codes on pcsc-lite: SCARD_CTL_CODE(c) is 0x42000000 + c. The reader driver's
// escape (the reader's own commands without a card) is code 1; the feature list is 3400,
// where tag 0x13 (the CCID escape command) appears only when the driver allows escapes.
inline constexpr unsigned long kControlCodeBase = 0x42000000;
inline constexpr unsigned long kEscapeControlCode = kControlCodeBase + 1;
inline constexpr unsigned long kGetFeatureRequest = kControlCodeBase + 3400;
inline constexpr uint8_t kFeatureCcidEscape = 0x13;

// The direct-transmit APDU around a PN532 command.
std::vector<uint8_t> DirectTransmit(std::span<const uint8_t> pn532Command);
std::array<uint8_t, 5> GetResponse(uint8_t length);
inline constexpr std::array<uint8_t, 5> kFirmwareVersion = {kApduClass, kInsReaderCommand,
                                                            kP1FirmwareVersion, 0x00, 0x00};

// ---- PN532 commands ------------------------------------------------------------------------
inline constexpr uint8_t kHostToPn532 = 0xD4;
inline constexpr uint8_t kPn532ToHost = 0xD5;
enum Pn532Command : uint8_t {
  kRfConfiguration = 0x32,
  kInDataExchange = 0x40,
  kInListPassiveTarget = 0x4A,
};
inline constexpr uint8_t kRfItemMaxRetries = 0x05;
inline constexpr uint8_t kOneTarget = 0x01;
inline constexpr uint8_t kFeliCa212kbps = 0x01;
inline constexpr uint8_t kTarget1 = 0x01;

// Offsets in a PN532 reply: D5, the command's code + 1, then its data.
inline constexpr size_t kReplyTargetCount = 2;  // InListPassiveTarget: targets found
inline constexpr size_t kReplyStatus = 2;       // InDataExchange: status, 00 when all went well
// InListPassiveTarget for FeliCa: D5 4B NbTg Tg LEN 01 IDm PMm.
inline constexpr size_t kPolledIdm = 6;
inline constexpr size_t kPolledPmm = 14;
inline constexpr size_t kPolledLast = 21;
// InDataExchange: D5 41 ST, then the FeliCa response packet.
inline constexpr size_t kReplyPacket = 3;

// RFConfiguration: no retries for the passive activation.
std::vector<uint8_t> MaxRetriesZero();
// InListPassiveTarget of one FeliCa card at 212 kbps polling for a system code (high byte
// first), no request code, one time slot.
std::vector<uint8_t> ListFeliCaTarget(uint8_t systemHigh, uint8_t systemLow);
// InDataExchange with target 1 carrying a FeliCa packet.
std::vector<uint8_t> DataExchange(std::span<const uint8_t> feliCaPacket);

// ---- FeliCa packets ------------------------------------------------------------------------
enum FeliCaCommand : uint8_t {
  kReadWithoutEncryption = 0x06,
  kWriteWithoutEncryption = 0x08,
  kSearchServiceCode = 0x0A,
  kRequestSystemCode = 0x0C,
};
// Search Service Code takes the node index low byte first.
std::array<uint8_t, 2> SearchIndex(uint16_t index);
// What Read and Write Without Encryption carry after the IDm: the number of services, their
// codes (low byte first), the number of blocks and the block list elements (2 bytes each).
std::vector<uint8_t> ServiceAndBlockList(std::span<const uint16_t> services,
                                         std::span<const uint8_t> blockList);

// Offsets in a FeliCa response packet: LEN (counting itself), code, IDm, then the answer.
inline constexpr size_t kPacketLength = 0;
inline constexpr size_t kPacketCode = 1;
inline constexpr size_t kPacketIdm = 2;
inline constexpr size_t kPacketAnswer = 10;
// Request System Code: n, then n codes of 2 bytes (high byte first).
inline constexpr size_t kSystemCount = kPacketAnswer;
inline constexpr size_t kSystemCodes = kPacketAnswer + 1;
// Search Service Code: the code (low byte first), for an area its end code after it.
inline constexpr size_t kFoundCode = kPacketAnswer;
inline constexpr size_t kFoundEndCode = kPacketAnswer + 2;
// Read and Write Without Encryption: status flags 1 and 2; a read then has n and the data.
inline constexpr size_t kStatusFlag1 = kPacketAnswer;
inline constexpr size_t kStatusFlag2 = kPacketAnswer + 1;
inline constexpr size_t kBlockData = kPacketAnswer + 3;
inline constexpr size_t kBlockBytes = 16;
// A response's code is its command's code plus one.
inline constexpr uint8_t kResponseCodeStep = 1;
// The Polling command and its response: LEN 00 SC(2) RC TSN, and LEN 01 IDm PMm [RD(2)].
inline constexpr uint8_t kPolling = 0x00;
inline constexpr uint8_t kNoRequest = 0x00;
inline constexpr uint8_t kOneSlot = 0x00;
inline constexpr size_t kPollingPacketBytes = 6;
inline constexpr size_t kPolledPacketIdm = 2;
inline constexpr size_t kPolledPacketPmm = 10;
inline constexpr size_t kPolledPacketBytes = 18;
// Search Service Code's answer past the last node.
inline constexpr uint16_t kEndOfNodes = 0xFFFF;
// Status flag 2 values Pellix tells apart.
inline constexpr uint8_t kServiceMissing = 0xA6;  // no such service, or not without a key

// A FeliCa command packet: LEN, the command, the IDm, then `rest`.
std::vector<uint8_t> FeliCaPacket(FeliCaCommand command, const Idm& idm,
                                  std::span<const uint8_t> rest = {});
// The Polling command packet for a system code (high byte first), no request, one slot.
std::array<uint8_t, kPollingPacketBytes> PollingPacket(uint8_t systemHigh, uint8_t systemLow);
// Whether `frame` answers the command packet `sent`: its LEN byte is its length, its code
// follows the command's, and it carries the same IDm.
bool WholeFrame(std::span<const uint8_t> frame);
bool Answers(std::span<const uint8_t> sent, std::span<const uint8_t> frame);
// A service code as the card takes it, low byte first.
std::array<uint8_t, 2> ServiceCodeBytes(uint16_t serviceCode);
// A 2-byte block list element: 1 AAA SSSS (access mode, the service's index in the service
// list), then the block number. Purse services are read with their cashback access mode.
std::array<uint8_t, 2> BlockListElement(uint16_t serviceCode, size_t serviceIndex, uint8_t block);

}  // namespace lorvane::pellix::wire
