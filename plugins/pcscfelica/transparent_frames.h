// SPDX-License-Identifier: MIT
// The wire formats of PC/SC FeliCa readers that are not ACR122s, by name, with small
// encoders and the one parser their answers need.
//
// The PC/SC transparent exchange (FF C2 00 P2 Lc <BER-TLV data objects> Le) opens a session
// in which the host speaks to the card itself: Manage Session (P2 00) starts and ends it and
// switches the field, Switch Protocol (P2 02) selects FeliCa, and Transparent Exchange (P2 01)
// carries one FeliCa frame (LEN first) to the card with a timer, answering with data objects:
// the generic status C0 (failing object, SW1 SW2), and the card's answer in 97 (LEN first),
// then the command's own status word. Sony's RC-S300 takes it through SCardTransmit or through
// the reader driver's escape command; ACS's ACR1252U documents it too.
//
// The ACS direct transmit (FF 00 00 00 Lc <FeliCa frame>) hands one frame to the card and
// answers with the card's frame and 90 00.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pellix/wire_format.h"

namespace lorvane::pcscfelica {

// ---- PC/SC transparent exchange ------------------------------------------------------------
using pellix::wire::kApduClass;  // FF: the class of every reader pseudo-APDU
inline constexpr uint8_t kInsTransparent = 0xC2;
enum TransparentFunction : uint8_t {
  kManageSession = 0x00,
  kTransparentExchange = 0x01,
  kSwitchProtocol = 0x02,
};
// Manage Session's data objects (each with an empty value).
enum SessionObject : uint8_t {
  kStartSession = 0x81,
  kEndSession = 0x82,
  kRfOff = 0x83,
  kRfOn = 0x84,
};
// Switch Protocol: 8F 02 <standard> <layer>; FeliCa, no layer separation.
inline constexpr uint8_t kTagSwitchProtocol = 0x8F;
inline constexpr uint8_t kStandardFeliCa = 0x03;
inline constexpr uint8_t kNoLayerSeparation = 0x00;
// Transparent Exchange: the timer (5F 46 04, microseconds, little-endian) and Transceive.
inline constexpr uint8_t kTagTimer1 = 0x5F;
inline constexpr uint8_t kTagTimer2 = 0x46;
inline constexpr uint8_t kTimerBytes = 4;
inline constexpr uint8_t kTagTransceive = 0x95;
inline constexpr uint32_t kCardTimerMicroseconds = 100'000;
// Answer objects: the generic status and the card's answer.
inline constexpr uint16_t kTagGenericStatus = 0xC0;
inline constexpr uint16_t kTagIccResponse = 0x97;
inline constexpr size_t kGenericStatusBytes = 3;
// Generic status words: all went well (the status word of any APDU); the card did not answer.
using pellix::wire::kStatusWordBytes;
using pellix::wire::kSwOk1;
using pellix::wire::kSwOk2;
inline constexpr uint8_t kSwNoIccResponse1 = 0x64;
inline constexpr uint8_t kSwNoIccResponse2 = 0x01;
// BER length forms: one byte below 0x80, else 81 LL or 82 HH LL.
inline constexpr uint8_t kBerLength1 = 0x81;
inline constexpr uint8_t kBerLength2 = 0x82;
inline constexpr size_t kMaxShortLc = 255;

std::vector<uint8_t> ManageSession(SessionObject object);
std::vector<uint8_t> SwitchToFeliCa();
// Transparent Exchange carrying one FeliCa frame (LEN first) with the card timer.
std::vector<uint8_t> TransparentExchange(std::span<const uint8_t> frame,
                                         uint32_t timerMicroseconds = kCardTimerMicroseconds);

// What a transparent-exchange answer says.
struct TransparentAnswer {
  enum class Kind : uint8_t {
    kOk,          // C0 says 90 00
    kCardSilent,  // C0 says the card did not answer (64 01)
    kFailed,      // C0 reports another failure: object, sw1, sw2
    kStatusWord,  // the command itself failed: sw1, sw2
    kMalformed,   // too short, a length past the end, no C0, two 97 objects
  };
  Kind kind = Kind::kMalformed;
  uint8_t object = 0;
  uint8_t sw1 = 0;
  uint8_t sw2 = 0;
  bool hasResponse = false;  // a 97 object: the card's frame at responseAt
  size_t responseAt = 0;
  size_t responseLength = 0;
};

// Reads the answer's data objects, never past `answer`'s end.
TransparentAnswer ParseTransparentAnswer(std::span<const uint8_t> answer);

// ---- ACS direct transmit -------------------------------------------------------------------
inline constexpr uint8_t kInsDirectTransmit = 0x00;
std::vector<uint8_t> DirectTransmit(std::span<const uint8_t> frame);

}  // namespace lorvane::pcscfelica
