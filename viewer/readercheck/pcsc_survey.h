// SPDX-License-Identifier: MIT
// What the PC/SC service shows, asked directly: whether it answers, the readers it lists,
// and for each reader that needs a card to be reached (the ACR122U, FeliCa readers of other
// makes) whether its driver allows escape commands (which reach it without a card).
#pragma once

#include <PCSC/winscard.h>

#include <optional>
#include <string>
#include <vector>

namespace lorvane::readercheck {

struct SurveyedReader {
  std::string name;
  bool withoutSam = false;               // the ACR122U's PICC interface
  std::optional<bool> escapeAllowed;     // nullopt when it could not be asked (or an ACR122
                                         // with a SAM, which needs none)
  LONG escapeProblem = SCARD_S_SUCCESS;  // why it could not be asked
  DWORD escapeCode = 0;                  // the escape command's control code, when allowed
};

struct PcscSurvey {
  LONG service = SCARD_S_SUCCESS;  // establishing a context
  LONG listing = SCARD_S_SUCCESS;  // listing the readers
  std::vector<SurveyedReader> readers;
  bool acsDriver = false;  // ACS's own reader driver (libacsccid1) is installed
};

PcscSurvey SurveyPcsc();

// Whether a reader name is an ACR122U's PICC interface (a reader without a SAM).
bool IsReaderWithoutSam(const std::string& name);
// Whether pcscd has ACS's own reader driver in its driver folder.
bool AcsDriverInstalled();

// "0x8010001D" and the constant's name where it is a common one.
std::string PcscResultText(LONG result);

}  // namespace lorvane::readercheck
