// SPDX-License-Identifier: MIT
// A FeliCa reader of another make tried the way the PC/SC FeliCa plug-in tries it: which way
// it carries FeliCa commands, whether a card answers a poll, and (for a bug report) the
// first exchanges in bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lorvane::readercheck {

struct FeliCaProbe {
  std::string reader;
  int16_t connect = 0;        // the link's connection status
  std::string carrier;        // how FeliCa commands reach the card ("none" when they do not)
  bool awaitingCard = false;  // no card, and no escape command to poll without one
  int16_t poll = 0;           // a poll for any system
  std::string idm;            // of the card that answered
  std::string status;         // the link's last status text
  std::vector<std::string> exchanges;  // "> FF C2 ..." and "< C0 03 ...", the first ones
};

// Tries the reader named as pcscd lists it.
FeliCaProbe ProbeFeliCaReader(const std::string& reader);

}  // namespace lorvane::readercheck
