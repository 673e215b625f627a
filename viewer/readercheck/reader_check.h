// SPDX-License-Identifier: MIT
// lorvane --check-reader: the reader set-up checked step by step, in plain words, with the
// fix for what does not work: the PC/SC service, the readers it lists and the plug-in that
// serves each, the one Pellix would use, how FeliCa commands reach each reader of another
// make, a card on them, the kernel's NFC drivers, and whether the readers' escape commands
// are allowed where they are needed.
#pragma once

#include <string>
#include <vector>

#include "viewer/pluginhost/felica_dll_host.h"
#include "viewer/readercheck/felica_probe.h"
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
// Whether the started host's registry holds the plug-in file named.
bool HasPlugin(pluginhost::FeliCaDLLHost& host, const std::u16string& fileName);

// What the PC/SC FeliCa plug-in's side showed: whether it is in the plug-in folder, and the
// readers of other makes tried as it tries them.
struct OtherReadersView {
  bool pluginFound = true;
  std::vector<FeliCaProbe> probes;
  bool verbose = false;  // show the probes' exchanges in bytes
};

struct CheckReport {
  std::vector<std::string> lines;
  bool usable = false;  // a reader Pellix opens was found
};

CheckReport CheckReaders(const PcscSurvey& survey, const PellixView& pellix,
                         const std::vector<std::string>& kernelDrivers,
                         const OtherReadersView& others = {});

}  // namespace lorvane::readercheck
