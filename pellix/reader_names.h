// SPDX-License-Identifier: MIT
// What a reader's name, as pcscd lists it, says about the reader. pcscd builds the name from
// the driver's friendly name, the USB interface and serial strings and two index fields, so
// names are matched by the part that stays the same, never as a whole.
#pragma once

#include <string>

namespace lorvane::pellix {

// An ACR122 of either kind (with a SAM, or the ACR122U's PICC interface): Pellix's readers.
bool IsAcr122Reader(const std::string& name);
// An ACR122 with a SAM, whose "card" is the SAM and always there. On any other reader, the
// ACR122U's PICC interface included, the card is the card in the field: without one, PC/SC
// refuses a connection, and that is no failure.
bool IsSamReader(const std::string& name);
// A FeliCa reader of another make that speaks the PC/SC transparent exchange or a direct
// transmit of its own (the Sony RC-S300 and RC-S660, the ACS ACR1251 and ACR1252, the
// Identiv uTrust 3700 F and 3701 F). Such a reader is served by the PC/SC FeliCa plug-in;
// whether it really carries FeliCa commands its answers tell.
bool IsOtherFeliCaReader(const std::string& name);

}  // namespace lorvane::pellix
