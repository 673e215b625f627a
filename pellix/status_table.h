// SPDX-License-Identifier: MIT
// Every outcome Pellix reports: the status an entry point returns for it and the status text
// the trace shows. The texts with figures in them are made by the functions below.
#pragma once

#include <PCSC/wintypes.h>

#include <cstdint>
#include <string>

#include "plugin-api/felica_plugin.h"

namespace lorvane::pellix {

enum class Outcome : uint8_t {
  kSuccess,
  kCardNothing,
  kAlreadyOpen,
  kAlreadyDisconnected,
  kServiceRefused,
  kUnknownFatal,
  kMemory,
  kGroupListMemory,
  kInvalidParameter,
  kInvalidGroupIndex,
  kInvalidReaderIndex,
  kReadInvalidParameter,
  kWriteInvalidParameter,
  kNoContext,
  kNotConnected,
  kCardDetached,
  kNoReader,
  kReplyTooShort,
  kFewerSystemCodes,
  kMoreBlocks,
  kEndOfServices,
  kReaderOfAnotherKind,
  kNoFeliCaPath,
  kCardSilent,
  kMalformedAnswer,
  kWrongAnswer,
};
inline constexpr Outcome kLastOutcome = Outcome::kWrongAnswer;

struct OutcomeEntry {
  Outcome outcome;
  int16_t status;
  const char* text;
};

const OutcomeEntry& Describe(Outcome outcome);

// Disconnecting what is not connected: a note, not a failure.
inline constexpr int16_t kAlreadyDisconnectedStatus = FELICA_ALREADY_OPEN;

// "SmartCard API Error : <decimal> (0x<hex>)" for a failed PC/SC call.
std::string ApiErrorText(LONG result);
// "Reader Error : SW1,SW2." for a status word where an answer was expected.
std::string StatusWordText(uint8_t sw1, uint8_t sw2);
// "Reader Error : 0xST." for the PN532's error status of an exchange with the card.
std::string Pn532ErrorText(uint8_t status);
// "Reader Error : object N, SW1,SW2." for a failure the PC/SC transparent exchange reports
// in its generic status object (N: the failing data object, 0 for the command as a whole).
std::string TransparentStatusText(uint8_t object, uint8_t sw1, uint8_t sw2);
// "Card status : f1=.., f2=..": the card's two status flags, as the trace has always shown
// them (flag 2 first).
std::string CardStatusText(uint8_t flag1, uint8_t flag2);

}  // namespace lorvane::pellix
