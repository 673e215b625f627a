// SPDX-License-Identifier: MIT
// lorvane --check-reader: the reader set-up checked step by step, in plain words, with the
// fix for what does not work: the PC/SC service, the readers it lists and the one Pellix
// would use, a card on it, the kernel's NFC drivers, and for an ACR122U whether it can poll
// without a card.
#pragma once

#include <string>
#include <vector>

#include "viewer/pluginhost/felica_dll_host.h"
#include "viewer/readercheck/pcsc_survey.h"

namespace lorvane::readercheck {

// What Pellix made of its reader, through the plug-in host.
struct PellixView {
  bool found = false;                // the plug-in is in the registry
  int16_t initialize = 0;            // DLL_Initialize
  std::vector<std::string> entries;  // its reader entries, "group""reader"
  std::string used;                  // the entry it opens
  int16_t open = 0;                  // DLL_Open on it
  int16_t poll = 0;                  // DLL_REQC(FFFF)
  std::string idm;                   // of the card that answered, in hexadecimal
};

// Asks Pellix, loaded by the started host, for its readers and polls once for a card.
PellixView AskPellix(pluginhost::FeliCaDLLHost& host);

struct CheckReport {
  std::vector<std::string> lines;
  bool usable = false;  // a reader Pellix opens was found
};

CheckReport CheckReaders(const PcscSurvey& survey, const PellixView& pellix,
                         const std::vector<std::string>& kernelDrivers);

}  // namespace lorvane::readercheck
