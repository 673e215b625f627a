// SPDX-License-Identifier: MIT
#include "viewer/app/read_outcome.h"

namespace lorvane::app {

namespace {
constexpr int16_t kNoCardAnswered = 5;
constexpr uint32_t kAnySystem = 0xFFFF;
}  // namespace

bool AnyCardAnswers(carddef::CardReader& reader) {
  reader.ReaderOpen();
  const bool answered = static_cast<int16_t>(reader.ReaderREQC(kAnySystem)) == 0;
  reader.ReaderClose();
  return answered;
}

int32_t CountingReader::ReaderREQC(uint32_t systemCode) {
  const int32_t result = reader_.ReaderREQC(systemCode);
  const auto status = static_cast<int16_t>(result);
  ++outcome_.polls;
  if (status == 0) {
    ++outcome_.cardsFound;
  } else if (status == kNoCardAnswered) {
    ++outcome_.noCard;
  } else if (status < 0) {
    outcome_.pollFailure = status;
  }
  return result;
}

}  // namespace lorvane::app
