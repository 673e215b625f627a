// SPDX-License-Identifier: MIT
#include "viewer/readercheck/reader_check.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>

#include "cardimage/card_image.h"
#include "pellix/reader_names.h"
#include "platform/text_codec.h"
#include "plugin-api/felica_plugin.h"
#include "viewer/readercheck/pcsc_service.h"

namespace lorvane::readercheck {
namespace {

constexpr char16_t kPellixName[] = u"pellix.so";
constexpr int32_t kMaxEntries = 64;
constexpr uint16_t kAnySystem = 0xFFFF;

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

const char kAllowOtherEscape[] =
    "  The PC/SC FeliCa plug-in reads a card that lies on the reader without them. With them\n"
    "  it also polls with no card on the reader, and reaches readers whose firmware takes\n"
    "  FeliCa commands only as escape commands. To allow them, set ifdDriverOptions to 0x0001\n"
    "  in /etc/libccid_Info.plist and restart the PC/SC service:\n"
    "    sudo sed -i '/<key>ifdDriverOptions<\\/key>/{n;s/0x0000/0x0001/}' "
    "/etc/libccid_Info.plist\n"
    "    sudo systemctl restart pcscd";
const char kAcsDriver[] =
    "  ACS's own reader driver (libacsccid1) is installed: it serves ACS readers in place of\n"
    "  libccid and allows their escape commands without a setting.";
const char kNoFeliCaPath[] =
    "  It answers neither the PC/SC transparent exchange (FF C2) nor a direct transmit\n"
    "  (FF 00 00 00): Lorvane cannot read FeliCa cards through it. If it is a FeliCa reader,\n"
    "  allow escape commands (below) and check again; run with --verbose and send the bytes\n"
    "  shown in a bug report.";
const char kPcscFeliCaMissing[] =
    "PC/SC FeliCa plug-in: pcscfelica.so is not among the reader plug-ins in the plug-in "
    "folder; readers other than the ACR122 cannot be used without it.";

// The reader part of a Pellix entry "group""reader".
std::string ReaderOfEntry(const std::string& entry) {
  const size_t split = entry.find("\"\"");
  if (split == std::string::npos || entry.size() < split + 3) return entry;
  return entry.substr(split + 2, entry.size() - split - 3);
}

std::string KindOf(const SurveyedReader& reader) {
  if (reader.withoutSam) return "ACR122U, no SAM";
  if (pellix::IsAcr122Reader(reader.name)) return "ACR122 with a SAM";
  if (pellix::IsOtherFeliCaReader(reader.name))
    return "FeliCa reader, served by the PC/SC FeliCa plug-in";
  return "not an ACR122: the PC/SC FeliCa plug-in tries it";
}

bool AnyAcr122(const PcscSurvey& survey) {
  return std::any_of(survey.readers.begin(), survey.readers.end(),
                     [](const SurveyedReader& r) { return pellix::IsAcr122Reader(r.name); });
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

void AddPellix(const PcscSurvey& survey, const PellixView& pellix,
               std::vector<std::string>& lines) {
  if (!survey.readers.empty() && !AnyAcr122(survey)) {
    lines.push_back("Pellix: no ACR122 is attached (Pellix serves only ACR122 readers).");
    return;
  }
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

std::string Hex32(DWORD code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

const FeliCaProbe* ProbeOf(const OtherReadersView& others, const std::string& reader) {
  for (const FeliCaProbe& probe : others.probes) {
    if (probe.reader == reader) return &probe;
  }
  return nullptr;
}

void AddOtherEscape(const SurveyedReader& reader, const FeliCaProbe* probe, bool acsDriver,
                    std::vector<std::string>& lines) {
  const std::string lead = "Escape commands (" + reader.name + "): ";
  if (!reader.escapeAllowed) {
    lines.push_back(lead + "could not be asked (" + PcscResultText(reader.escapeProblem) + ").");
  } else if (*reader.escapeAllowed) {
    lines.push_back(lead + "allowed (control code " + Hex32(reader.escapeCode) + ").");
  } else {
    const bool needed = probe != nullptr && (probe->connect < 0 || probe->awaitingCard);
    lines.push_back(lead + (needed ? "needed here, but not allowed by the reader driver (libccid)."
                                   : "not allowed by the reader driver (libccid)."));
    lines.push_back(kAllowOtherEscape);
  }
  if (acsDriver && reader.name.find("ACS ") != std::string::npos) lines.push_back(kAcsDriver);
}

std::string CardLine(const FeliCaProbe& probe) {
  if (probe.poll == FELICA_OK)
    return "Card: a FeliCa card lies on " + probe.reader + " (IDm " + probe.idm + ").";
  if (probe.poll == FELICA_NOTHING)
    return "Card: none on " + probe.reader + ". Hold a FeliCa card on it to read it.";
  return "Card: " + probe.reader + " failed while looking for one (status " +
         std::to_string(probe.poll) + ": " + probe.status + ").";
}

void AddProbe(const FeliCaProbe& probe, bool verbose, std::vector<std::string>& lines) {
  const std::string lead = "FeliCa on " + probe.reader + ": ";
  if (probe.connect == FELICA_E_CONNECT && probe.carrier == "none" && !probe.awaitingCard &&
      probe.status.find("FeliCa") != std::string::npos) {
    lines.push_back(lead + "not carried.");
    lines.push_back(kNoFeliCaPath);
  } else if (probe.connect < 0) {
    lines.push_back(lead + "the reader could not be reached (status " +
                    std::to_string(probe.connect) + ": " + probe.status + ").");
  } else if (probe.awaitingCard) {
    lines.push_back(lead +
                    "no card on the reader, so it cannot be asked yet; lay a card on "
                    "it and check again.");
  } else {
    lines.push_back(lead + "through the " + probe.carrier + ".");
    lines.push_back(CardLine(probe));
  }
  if (!verbose || probe.exchanges.empty()) return;
  lines.push_back("  The first exchanges with " + probe.reader + " (for a bug report):");
  for (const std::string& exchange : probe.exchanges) lines.push_back("    " + exchange);
}

void AddOtherReaders(const PcscSurvey& survey, const OtherReadersView& others,
                     std::vector<std::string>& lines) {
  const bool anyOther =
      std::any_of(survey.readers.begin(), survey.readers.end(),
                  [](const SurveyedReader& r) { return !pellix::IsAcr122Reader(r.name); });
  if (anyOther && !others.pluginFound) {
    lines.push_back(kPcscFeliCaMissing);
    return;
  }
  for (const FeliCaProbe& probe : others.probes) AddProbe(probe, others.verbose, lines);
}

bool OtherReaderUsable(const OtherReadersView& others) {
  return others.pluginFound && std::any_of(others.probes.begin(), others.probes.end(),
                                           [](const FeliCaProbe& p) { return p.connect >= 0; });
}

void AddEscape(const PcscSurvey& survey, const OtherReadersView& others,
               std::vector<std::string>& lines) {
  for (const SurveyedReader& reader : survey.readers) {
    if (!pellix::IsAcr122Reader(reader.name)) {
      AddOtherEscape(reader, ProbeOf(others, reader.name), survey.acsDriver, lines);
      continue;
    }
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

bool HasPlugin(pluginhost::FeliCaDLLHost& host, const std::u16string& fileName) {
  for (uint16_t i = 0; i < host.GetCount(); ++i) {
    if (host.GetName(i) == fileName) return true;
  }
  return false;
}

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
                         const std::vector<std::string>& kernelDrivers,
                         const OtherReadersView& others) {
  CheckReport report;
  auto& lines = report.lines;
  if (survey.service != SCARD_S_SUCCESS) {
    for (const std::string& line : ServiceCheckLines(survey.service)) lines.push_back(line);
  } else {
    lines.push_back("PC/SC service: answers.");
    AddReaders(survey, lines);
    AddPellix(survey, pellix, lines);
    AddOtherReaders(survey, others, lines);
  }
  AddKernelDrivers(kernelDrivers, lines);
  AddEscape(survey, others, lines);
  report.usable =
      survey.service == SCARD_S_SUCCESS && (Opened(pellix) || OtherReaderUsable(others));
  lines.push_back(report.usable ? "Result: a usable reader was found."
                                : "Result: no usable reader.");
  return report;
}

}  // namespace lorvane::readercheck
