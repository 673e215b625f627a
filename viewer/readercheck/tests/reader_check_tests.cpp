// SPDX-License-Identifier: MIT
// The reader check's verdicts and fixes, from what the PC/SC service, Pellix and the kernel
// showed; and the kernel's module list read as it is written.
#include <gtest/gtest.h>

#include <algorithm>

#include "testing/support/temp_dir.h"
#include "viewer/readercheck/kernel_nfc_drivers.h"
#include "viewer/readercheck/reader_check.h"

namespace lorvane::readercheck {
namespace {

const char kPicc[] = "ACS ACR122U PICC Interface 00 00";

bool Has(const CheckReport& report, const std::string& text) {
  return std::any_of(report.lines.begin(), report.lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

PcscSurvey OneReader(const std::string& name, std::optional<bool> escape = std::nullopt) {
  PcscSurvey survey;
  SurveyedReader reader{name, IsReaderWithoutSam(name), escape};
  survey.readers.push_back(reader);
  return survey;
}

PellixView Opened(const std::string& reader, int16_t poll) {
  PellixView view;
  view.found = true;
  view.entries = {"\"SCard$DefaultReaders\"\"" + reader + "\""};
  view.used = view.entries.front();
  view.poll = poll;
  view.idm = poll == FELICA_OK ? "01010214FB0B3906" : "";
  return view;
}

TEST(ReaderCheck, NoServiceNoReaderAndWhatToDo) {
  PcscSurvey down;
  down.service = SCARD_E_NO_SERVICE;
  const CheckReport noService = CheckReaders(down, PellixView{}, {});
  EXPECT_FALSE(noService.usable);
  EXPECT_EQ(noService.lines.front(),
            "PC/SC service: does not answer (SCARD_E_NO_SERVICE (0x8010001D)).");
  EXPECT_TRUE(Has(noService, "sudo apt install pcscd"));
  EXPECT_EQ(noService.lines.back(), "Result: no usable reader.");

  PcscSurvey empty;
  empty.listing = SCARD_E_NO_READERS_AVAILABLE;
  PellixView none;
  none.found = true;
  none.initialize = FELICA_E_LIST_READERS;
  const CheckReport noReader = CheckReaders(empty, none, {});
  EXPECT_FALSE(noReader.usable);
  EXPECT_TRUE(Has(noReader, "Readers: the PC/SC service lists none"));
  EXPECT_TRUE(Has(noReader, "plug the reader in"));
  EXPECT_TRUE(Has(noReader, "Pellix: it finds no reader (status -40)."));
}

TEST(ReaderCheck, AReaderWithOrWithoutACard) {
  const CheckReport noCard =
      CheckReaders(OneReader("ACS ACR122 00 00"), Opened("ACS ACR122 00 00", FELICA_NOTHING), {});
  EXPECT_TRUE(noCard.usable);
  EXPECT_TRUE(Has(noCard, "  ACS ACR122 00 00 (ACR122 with a SAM)"));
  EXPECT_TRUE(Has(noCard, "Pellix uses: ACS ACR122 00 00."));
  EXPECT_TRUE(Has(noCard, "Card: none on the reader."));
  EXPECT_FALSE(Has(noCard, "Polling without a card"));  // a SAM reader polls anyway
  const CheckReport card =
      CheckReaders(OneReader("ACS ACR122 00 00"), Opened("ACS ACR122 00 00", FELICA_OK), {});
  EXPECT_TRUE(Has(card, "Card: a FeliCa card lies on the reader (IDm "));
  EXPECT_EQ(card.lines.back(), "Result: a usable reader was found.");
  // The SAM reader that refuses to connect is no usable reader.
  PellixView refused = Opened("ACS ACR122 00 00", 0);
  refused.open = FELICA_E_CONNECT;
  const CheckReport notOpened = CheckReaders(OneReader("ACS ACR122 00 00"), refused, {});
  EXPECT_FALSE(notOpened.usable);
  EXPECT_TRUE(Has(notOpened, "Pellix: it could not open ACS ACR122 00 00 (status -42)."));
}

TEST(ReaderCheck, TheAcr122uWithAndWithoutEscapeCommands) {
  const CheckReport off = CheckReaders(OneReader(kPicc, false), Opened(kPicc, FELICA_NOTHING), {});
  EXPECT_TRUE(off.usable);
  EXPECT_TRUE(Has(off, "(ACR122U, no SAM)"));
  EXPECT_TRUE(Has(off, std::string("Polling without a card (") + kPicc +
                           "): not allowed by the reader driver"));
  EXPECT_TRUE(Has(off, "ifdDriverOptions"));
  EXPECT_TRUE(Has(off, "/etc/libccid_Info.plist"));
  EXPECT_TRUE(Has(off, "restart pcscd"));
  const CheckReport on = CheckReaders(OneReader(kPicc, true), Opened(kPicc, FELICA_NOTHING), {});
  EXPECT_TRUE(Has(on, std::string("Polling without a card (") + kPicc + "): allowed."));
  EXPECT_FALSE(Has(on, "ifdDriverOptions"));
}

TEST(ReaderCheck, KernelDriversThatHoldTheReader) {
  const char modules[] =
      "pn533_usb 20480 0 - Live 0x0000000000000000\n"
      "pn533 45056 1 pn533_usb, Live 0x0000000000000000\n"
      "nfc 135168 1 pn533, Live 0x0000000000000000\n"
      "nfc_digital 1 0 - Live 0x0\n"
      "snd 1 0 - Live 0x0";  // no line feed at the end
  const auto loaded = LoadedNfcDrivers(std::string_view(modules));
  EXPECT_EQ(loaded, (std::vector<std::string>{"pn533_usb", "pn533", "nfc"}));
  EXPECT_EQ(LoadedNfcDrivers(std::string_view("")), std::vector<std::string>{});
  lorvane::testing::TempDir dir;
  EXPECT_EQ(LoadedNfcDrivers(dir.Write("modules", "port100 1 0 - Live 0x0\n")),
            std::vector<std::string>{"port100"});
  EXPECT_EQ(LoadedNfcDrivers(dir.path() / "missing"), std::vector<std::string>{});

  const CheckReport report = CheckReaders(PcscSurvey{}, PellixView{}, loaded);
  EXPECT_TRUE(Has(report, "Kernel NFC drivers: pn533_usb, pn533, nfc loaded"));
  EXPECT_TRUE(Has(report, "sudo modprobe -r pn533_usb"));
  EXPECT_TRUE(Has(report, "/etc/modprobe.d/blacklist-nfc.conf"));
}

TEST(ReaderCheck, AnAcsReaderOfAnotherMakeIsNoAcr122U) {
  const std::string acr1252 = "ACS ACR1252 Reader [ACR1252 Reader PICC] 00 00";
  EXPECT_FALSE(IsReaderWithoutSam(acr1252));
  PcscSurvey survey = OneReader(acr1252, false);
  survey.acsDriver = true;
  OtherReadersView others;
  others.pluginFound = false;
  const CheckReport missing = CheckReaders(survey, PellixView{}, {}, others);
  EXPECT_TRUE(Has(missing, "(FeliCa reader, served by the PC/SC FeliCa plug-in)"));
  EXPECT_TRUE(Has(missing, "pcscfelica.so is not among the reader plug-ins"));
  EXPECT_TRUE(Has(missing, "Pellix: no ACR122 is attached"));
  EXPECT_TRUE(Has(missing, "libacsccid1"));
  EXPECT_FALSE(Has(missing, "ACR122U"));
  EXPECT_FALSE(missing.usable);

  others.pluginFound = true;
  FeliCaProbe probe;
  probe.reader = acr1252;
  probe.carrier = "direct transmit";
  probe.poll = FELICA_NOTHING;
  others.probes = {probe};
  const CheckReport found = CheckReaders(survey, PellixView{}, {}, others);
  EXPECT_TRUE(Has(found, "FeliCa on " + acr1252 + ": through the direct transmit."));
  EXPECT_TRUE(Has(found, "Escape commands (" + acr1252 + "): not allowed"));
  EXPECT_TRUE(found.usable);
}

}  // namespace
}  // namespace lorvane::readercheck
