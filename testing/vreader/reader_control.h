// SPDX-License-Identifier: MIT
// The control folder of one virtual reader, read again on every call so that a test can
// change the card or inject a fault while pcscd runs:
//   card      path of the card image on the reader; absent or empty: no card in the field
//   fault     one word per line, any of:
//               unplugged     the reader is gone (transmit and presence fail)
//               comm-error    transmissions fail
//               no-sam        the SAM does not answer: connecting is refused
//               reader-error  every command is answered 63 00
//               long-length   "61 L" announces 40 bytes more than the answer holds
//               extra-blocks  read answers carry one block more than asked for
//               syscode-count Request System Code claims 255 codes
//               blink         the card is lifted for a moment: every 7th card command goes
//                             unanswered and the poll after it finds no card
//               cut-reads     read answers end half-way through their first block (LEN
//                             still counts the whole answer)
//               short-reply   GET RESPONSE returns only the first 3 bytes (on readers of
//                             other makes: the answer is cut short)
//             and on readers of other makes (transparent_reader_model.h):
//               transmit-refused    FF C2 only through the escape command, 6D 00 by transmit
//               c0-failure          every transparent exchange fails (C0 02 6F 00)
//               wrong-code          the card's answer carries another response code
//               wrong-idm           the card's answer carries another IDm
//               no-response-object  an exchange's answer holds no 97 object
//               long-length         the 97 object claims 40 bytes more than it holds
//   escape    present: the reader driver allows escape commands (the ACR122U polls through
//             them without a card)
//   exchanges.log  written by the reader: "> apdu" and "< answer" in hexadecimal, a line each
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace lorvane::vreader {

struct ControlState {
  std::string cardPath;  // empty: no card
  std::set<std::string> faults;
  bool escapeAllowed = false;
  bool Has(const std::string& fault) const { return faults.count(fault) != 0; }
};

ControlState ReadControl(const std::filesystem::path& folder);
void LogExchange(const std::filesystem::path& folder, char direction, const unsigned char* bytes,
                 unsigned long length);

}  // namespace lorvane::vreader
