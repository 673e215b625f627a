// SPDX-License-Identifier: MIT
// What the PC/SC service shows, asked directly: whether it answers, the readers it lists,
// and for each ACR122U whether its driver allows escape commands (which poll for a card
// without one on the reader).
#pragma once

#include <PCSC/winscard.h>

#include <optional>
#include <string>
#include <vector>

namespace lorvane::readercheck {

struct SurveyedReader {
  std::string name;
  bool withoutSam = false;               // the ACR122U's PICC interface
  std::optional<bool> escapeAllowed;     // ACR122U only; nullopt when it could not be asked
  LONG escapeProblem = SCARD_S_SUCCESS;  // why it could not be asked
};

struct PcscSurvey {
  LONG service = SCARD_S_SUCCESS;  // establishing a context
  LONG listing = SCARD_S_SUCCESS;  // listing the readers
  std::vector<SurveyedReader> readers;
};

PcscSurvey SurveyPcsc();

// Whether a reader name is an ACR122U's PICC interface (a reader without a SAM).
bool IsReaderWithoutSam(const std::string& name);

// "0x8010001D" and the constant's name where it is a common one.
std::string PcscResultText(LONG result);

}  // namespace lorvane::readercheck
