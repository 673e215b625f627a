// SPDX-License-Identifier: MIT
#include "pellix/status_table.h"

#include <array>
#include <cstdio>

namespace lorvane::pellix {
namespace {

constexpr std::array kOutcomes = {
    OutcomeEntry{Outcome::kSuccess, FELICA_OK, "Success."},
    OutcomeEntry{Outcome::kCardNothing, FELICA_NOTHING, "Card nothing."},
    OutcomeEntry{Outcome::kAlreadyOpen, FELICA_ALREADY_OPEN, "already open."},
    OutcomeEntry{Outcome::kAlreadyDisconnected, kAlreadyDisconnectedStatus,
                 "Already disconnected."},
    OutcomeEntry{Outcome::kServiceRefused, FELICA_NOTHING,
                 "Service code nothing or cannot access."},
    OutcomeEntry{Outcome::kUnknownFatal, FELICA_E_FATAL, "Unknown fatal error."},
    OutcomeEntry{Outcome::kMemory, FELICA_E_MEMORY, "Memory allocate error."},
    OutcomeEntry{Outcome::kGroupListMemory, FELICA_E_MEMORY,
                 "Smart card reader group name list : memory allocate error."},
    OutcomeEntry{Outcome::kInvalidParameter, FELICA_E_PARAMETER, "Invalid parameter."},
    OutcomeEntry{Outcome::kInvalidGroupIndex, FELICA_E_PARAMETER,
                 "GetSCReaderGroupName() : Invalid parameter."},
    OutcomeEntry{Outcome::kInvalidReaderIndex, FELICA_E_PARAMETER,
                 "GetReaderName() : Invalid parameter."},
    OutcomeEntry{Outcome::kReadInvalidParameter, FELICA_E_PARAMETER, "Read() : Invalid parameter."},
    OutcomeEntry{Outcome::kWriteInvalidParameter, FELICA_E_PARAMETER,
                 "Write() : Invalid parameter."},
    OutcomeEntry{Outcome::kNoContext, FELICA_E_NO_CONTEXT,
                 "Not ready : Smart Card Context nothing."},
    OutcomeEntry{Outcome::kNotConnected, FELICA_E_NO_CONTEXT,
                 "Not ready : smart card disconnected."},
    OutcomeEntry{Outcome::kCardDetached, FELICA_E_NO_CARD, "Card detached."},
    OutcomeEntry{Outcome::kNoReader, FELICA_E_CONNECT, "Not find : Smart Card reader nothing."},
    OutcomeEntry{Outcome::kReplyTooShort, FELICA_E_TRANSMIT, "Reader Error : reply too short."},
    OutcomeEntry{Outcome::kFewerSystemCodes, FELICA_E_SEARCH,
                 "Reader Error : fewer system codes than announced."},
    OutcomeEntry{Outcome::kMoreBlocks, FELICA_E_READ, "Reader Error : more blocks than asked for."},
    OutcomeEntry{Outcome::kEndOfServices, FELICA_E_READ, "Invalid service code."},
    OutcomeEntry{Outcome::kReaderOfAnotherKind, FELICA_E_CONNECT,
                 "Not find : this reader is served by another plug-in."},
    OutcomeEntry{Outcome::kNoFeliCaPath, FELICA_E_CONNECT,
                 "Not find : the reader carries no FeliCa commands."},
    OutcomeEntry{Outcome::kCardSilent, FELICA_E_TRANSMIT,
                 "Reader Error : no answer from the card."},
    OutcomeEntry{Outcome::kMalformedAnswer, FELICA_E_TRANSMIT, "Reader Error : malformed answer."},
    OutcomeEntry{Outcome::kWrongAnswer, FELICA_E_TRANSMIT,
                 "Reader Error : answer of another command or card."},
};

}  // namespace

const OutcomeEntry& Describe(Outcome outcome) {
  static_assert(kOutcomes.size() == static_cast<size_t>(kLastOutcome) + 1);
  return kOutcomes[static_cast<size_t>(outcome)];
}

std::string ApiErrorText(LONG result) {
  char text[64];
  const auto code = static_cast<int32_t>(result);  // as the 32-bit LONG of the platform API
  std::snprintf(text, sizeof text, "SmartCard API Error : %ld (0x%08X)", static_cast<long>(code),
                static_cast<uint32_t>(code));
  return text;
}

std::string StatusWordText(uint8_t sw1, uint8_t sw2) {
  char text[48];
  std::snprintf(text, sizeof text, "Reader Error : %02X,%02X.", sw1, sw2);
  return text;
}

std::string Pn532ErrorText(uint8_t status) {
  char text[48];
  std::snprintf(text, sizeof text, "Reader Error : 0x%02X.", status);
  return text;
}

std::string TransparentStatusText(uint8_t object, uint8_t sw1, uint8_t sw2) {
  char text[64];
  std::snprintf(text, sizeof text, "Reader Error : object %u, %02X,%02X.", object, sw1, sw2);
  return text;
}

std::string CardStatusText(uint8_t flag1, uint8_t flag2) {
  char text[64];
  std::snprintf(text, sizeof text, "Card status : f1=0x%02X, f2=0x%02X.", flag2, flag1);
  return text;
}

}  // namespace lorvane::pellix
