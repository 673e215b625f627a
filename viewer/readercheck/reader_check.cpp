// SPDX-License-Identifier: MIT
#include "viewer/readercheck/reader_check.h"

#include <strings.h>

#include "cardimage/card_image.h"
#include "platform/text_codec.h"
#include "plugin-api/felica_plugin.h"

namespace lorvane::readercheck {
namespace {

constexpr char16_t kPellixName[] = u"pellix.so";
constexpr int32_t kMaxEntries = 64;
constexpr uint16_t kAnySystem = 0xFFFF;

const char kInstallPcscd[] =
    "  Fix: install and start the PC/SC service:\n"
    "    sudo apt install pcscd libccid\n"
    "    sudo systemctl enable --now pcscd.socket";
const char kPlugTheReaderIn[] =
    "  Fix: plug the reader in. If it is plugged in and lsusb lists it (072f:2200 for an\n"
    "  ACR122U), a kernel NFC driver may hold it (see below), or the reader driver is\n"
    "  missing: install it (sudo apt install libccid), then unplug and replug the reader.";
const char kRemoveKernelDrivers[] =
    "  Fix: unload them, keep them from loading again, then unplug and replug the reader:\n"
    "    sudo modprobe -r";
const char kBlacklistKernelDrivers[] =
    "    printf 'blacklist %s\\n' pn533_usb port100 pn533 nfc | sudo tee "
    "/etc/modprobe.d/blacklist-nfc.conf";
const char kAllowEscape[] =
    "  Pellix still reads a card that lies on the reader; it only cannot ask the reader for\n"
    "  a card while none lies on it. To allow it, set ifdDriverOptions to 0x0001 in\n"
    "  /etc/libccid_Info.plist and restart the PC/SC service:\n"
    "    sudo sed -i '/<key>ifdDriverOptions<\\/key>/{n;s/0x0000/0x0001/}' "
    "/etc/libccid_Info.plist\n"
    "    sudo systemctl restart pcscd";

// The reader part of a Pellix entry "group""reader".
std::string ReaderOfEntry(const std::string& entry) {
  const size_t split = entry.find("\"\"");
  if (split == std::string::npos || entry.size() < split + 3) return entry;
  return entry.substr(split + 2, entry.size() - split - 3);
}

std::string KindOf(const SurveyedReader& reader) {
  if (reader.withoutSam) return "ACR122U, no SAM";
  if (reader.name.find("ACR122") != std::string::npos) return "ACR122 with a SAM";
  return "not an ACR122: Pellix may not understand it";
}

void AddReaders(const PcscSurvey& survey, std::vector<std::string>& lines) {
  if (survey.listing != SCARD_S_SUCCESS || survey.readers.empty()) {
    lines.push_back("Readers: the PC/SC service lists none (" + PcscResultText(survey.listing) +
                    ").");
    lines.push_back(kPlugTheReaderIn);
    return;
  }
  lines.push_back("Readers: " + std::to_string(survey.readers.size()) + ".");
  for (const SurveyedReader& reader : survey.readers)
    lines.push_back("  " + reader.name + " (" + KindOf(reader) + ")");
}

std::string PellixProblem(const PellixView& pellix) {
  if (!pellix.found) return "pellix.so is not among the reader plug-ins in the plug-in folder.";
  if (pellix.initialize == FELICA_E_NO_CONTEXT) return "it cannot reach the PC/SC service.";
  if (pellix.initialize < 0)
    return "it finds no reader (status " + std::to_string(pellix.initialize) + ").";
  return "it could not open " + ReaderOfEntry(pellix.used) + " (status " +
         std::to_string(pellix.open) + ").";
}

bool Opened(const PellixView& pellix) {
  return pellix.found && pellix.initialize >= 0 &&
         (pellix.open == FELICA_OK || pellix.open == FELICA_ALREADY_OPEN);
}

void AddPellix(const PellixView& pellix, std::vector<std::string>& lines) {
  if (!Opened(pellix)) {
    lines.push_back("Pellix: " + PellixProblem(pellix));
    return;
  }
  lines.push_back("Pellix uses: " + ReaderOfEntry(pellix.used) + ".");
  if (pellix.poll == FELICA_OK) {
    lines.push_back("Card: a FeliCa card lies on the reader (IDm " + pellix.idm + ").");
  } else if (pellix.poll == FELICA_NOTHING) {
    lines.push_back("Card: none on the reader. Hold a FeliCa card on it to read it.");
  } else {
    lines.push_back("Card: the reader failed while looking for one (status " +
                    std::to_string(pellix.poll) + ").");
  }
}

void AddKernelDrivers(const std::vector<std::string>& drivers, std::vector<std::string>& lines) {
  if (drivers.empty()) {
    lines.push_back("Kernel NFC drivers: none loaded.");
    return;
  }
  std::string names, unload = kRemoveKernelDrivers;
  for (const std::string& d : drivers) {
    names += (names.empty() ? "" : ", ") + d;
    unload += " " + d;
  }
  lines.push_back("Kernel NFC drivers: " + names +
                  " loaded; they take NFC readers away from the PC/SC service.");
  lines.push_back(unload);
  lines.push_back(kBlacklistKernelDrivers);
}

void AddEscape(const PcscSurvey& survey, std::vector<std::string>& lines) {
  for (const SurveyedReader& reader : survey.readers) {
    if (!reader.withoutSam) continue;
    const std::string lead = "Polling without a card (" + reader.name + "): ";
    if (!reader.escapeAllowed) {
      lines.push_back(lead + "could not be asked (" + PcscResultText(reader.escapeProblem) + ").");
    } else if (*reader.escapeAllowed) {
      lines.push_back(lead + "allowed.");
    } else {
      lines.push_back(lead + "not allowed by the reader driver (libccid).");
      lines.push_back(kAllowEscape);
    }
  }
}

}  // namespace

PellixView AskPellix(pluginhost::FeliCaDLLHost& host) {
  PellixView view;
  uint16_t index = 0;
  while (index < host.GetCount() && host.GetName(index) != kPellixName) ++index;
  if (index == host.GetCount()) return view;
  view.found = true;
  // Pellix is asked even when the probe passed it by, as the probe itself asks.
  pluginhost::DLLInfo& record = host.record(index);
  const bool answered = record.HasValidReader;
  record.HasValidReader = true;
  host.SelectCurrent(index);
  record.HasValidReader = answered;
  host.SetCurrentFunction(0);
  view.initialize = static_cast<int16_t>(host.ReaderInitialize(0));
  if (view.initialize < 0) return view;
  for (int32_t i = 0; i < kMaxEntries; ++i) {
    const auto entry = host.ReaderGetName(i);
    if (!entry) break;
    view.entries.push_back(platform::U8(*entry));
  }
  const auto stored = host.StoredReaderName();
  view.used = view.entries.empty() ? "" : view.entries.front();
  for (const std::string& entry : view.entries) {
    if (stored && strcasecmp(entry.c_str(), platform::U8(*stored).c_str()) == 0) view.used = entry;
  }
  view.open = static_cast<int16_t>(host.ReaderOpen(stored));
  if (view.open < 0) return view;
  view.poll = static_cast<int16_t>(host.ReaderREQC(kAnySystem));
  const uint8_t* card = nullptr;
  if (view.poll == FELICA_OK && static_cast<int16_t>(host.ReaderSetCurrentCard(0, &card)) == 0 &&
      card != nullptr) {
    view.idm = cardimage::HexBytes(card, 8);
  }
  host.ReaderClose();
  return view;
}

CheckReport CheckReaders(const PcscSurvey& survey, const PellixView& pellix,
                         const std::vector<std::string>& kernelDrivers) {
  CheckReport report;
  auto& lines = report.lines;
  if (survey.service != SCARD_S_SUCCESS) {
    lines.push_back("PC/SC service: does not answer (" + PcscResultText(survey.service) + ").");
    lines.push_back(kInstallPcscd);
  } else {
    lines.push_back("PC/SC service: answers.");
    AddReaders(survey, lines);
    AddPellix(pellix, lines);
  }
  AddKernelDrivers(kernelDrivers, lines);
  AddEscape(survey, lines);
  report.usable = survey.service == SCARD_S_SUCCESS && Opened(pellix);
  lines.push_back(report.usable ? "Result: a usable reader was found."
                                : "Result: no usable reader.");
  return report;
}

}  // namespace lorvane::readercheck
