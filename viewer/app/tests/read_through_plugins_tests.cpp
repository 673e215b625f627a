// SPDX-License-Identifier: MIT
// lorvane --read without a card image: the host starts, the probe finds the plug-in with a
// reader, and the card is read through it. Through Pellix, pcscd and the virtual reader when
// a reader is attached; through the card-image plug-in and the sample card when none is.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cardimage/card_image.h"
#include "testing/support/program_folder.h"
#include "testing/support/program_runner.h"
#include "testing/support/temp_dir.h"
#include "testing/vreader/private_pcscd.h"
#include "viewer/app/command_line.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::RunProgram;

const fs::path kBin = LORVANE_BIN_DIR;

class ProgramFolder : public lorvane::testing::ProgramFolder {
 public:
  ProgramFolder() : lorvane::testing::ProgramFolder(kBin) {}
};

nlohmann::json ReadJson(const ProgramFolder& program, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"--read", "--json", "--language", "English"});
  const auto r = RunProgram(program.Lorvane(), args);
  EXPECT_EQ(r.status, kExitRead) << r.err;
  return nlohmann::json::parse(r.out.empty() ? "{}" : r.out);
}

class ReadThroughPellix : public ::testing::TestWithParam<vreader::ReaderKind> {};

// Both kinds of reader give the same lines.
TEST_P(ReadThroughPellix, ThroughPellixAndTheReaderItServes) {
  ProgramFolder program;
  std::string error;
  auto card = cardimage::LoadCardImage(kBin / "samples/sample-transit.json", error);
  ASSERT_TRUE(card) << error;
  card->idm = {0x01, 0x2E, 0x4C, 0x66, 0x77, 0x88, 0x99, 0xAA};
  for (auto& system : card->systems) system.idm = card->idm;
  const auto cardFile =
      program.dir().Write("in-reader.json", cardimage::SerializeCardImageJson(*card));

  vreader::PrivatePcscd pcscd(1, GetParam(), cardFile);
  ASSERT_TRUE(pcscd.running());
  const auto viaReader = ReadJson(program);
  ASSERT_EQ(viaReader["cards"].size(), 1u);
  EXPECT_EQ(viaReader["cards"][0]["info"][0], "IDm  : 012E 4C66 7788 99AA");
  // The same lines as the card image read directly.
  const auto direct = ReadJson(program, {"--card", cardFile.string()});
  EXPECT_EQ(viaReader, direct);
  const auto exchanges = pcscd.TakeExchanges();
  EXPECT_FALSE(exchanges.empty());
  const std::string registry = program.Registry();
  EXPECT_NE(registry.find("DLLInfo[3].name=pellix.so"), std::string::npos) << registry;
  EXPECT_NE(registry.find("DLLInfo[3].IOFeliCaSettingBytes[1]=256"), std::string::npos) << registry;

  // No card in the field: no definition reads it.
  pcscd.RemoveCard();
  if (GetParam() == vreader::ReaderKind::kPicc) pcscd.WaitForCard(false);
  const auto r = RunProgram(program.Lorvane(), {"--read", "--json"});
  EXPECT_EQ(r.status, kExitNotRead) << r.err;
  EXPECT_EQ(r.out, "{\n  \"cards\": []\n}\n");
  EXPECT_NE(r.err.find("no card"), std::string::npos) << r.err;
}

// The dump of the card on the reader, read back, gives the lines the reader gave.
TEST_P(ReadThroughPellix, ADumpReadsBackAsTheCardOnTheReader) {
  ProgramFolder program;
  const auto cardFile = program.dir().path() / "samples/sample-transit.json";
  vreader::PrivatePcscd pcscd(1, GetParam(), cardFile);
  ASSERT_TRUE(pcscd.running());
  const auto dump = program.dir().path() / "dump.json";
  const auto r = RunProgram(program.Lorvane(), {"--dump", dump.string()});
  ASSERT_EQ(r.status, kExitDumped) << r.err;
  EXPECT_EQ(r.err.find("card image"), std::string::npos) << r.err;  // it came from the reader
  const auto fromReader = RunProgram(program.Lorvane(), {"--read", "--language", "English"});
  const auto fromDump =
      RunProgram(program.Lorvane(), {"--read", "--card", dump.string(), "--language", "English"});
  ASSERT_EQ(fromReader.status, kExitRead) << fromReader.err;
  EXPECT_EQ(fromDump.out, fromReader.out);

  // With no card on the reader, nothing is written.
  pcscd.RemoveCard();
  if (GetParam() == vreader::ReaderKind::kPicc) pcscd.WaitForCard(false);
  const auto none = RunProgram(program.Lorvane(), {"--dump", (dump.string() + "2")});
  EXPECT_EQ(none.status, kExitNotDumped);
  EXPECT_NE(none.err.find("nothing was saved: no card on the reader"), std::string::npos)
      << none.err;
  EXPECT_FALSE(std::filesystem::exists(dump.string() + "2"));
}

// A card lifted for a moment, again and again, is dumped whole; a card whose read answers
// are cut short is not dumped at all.
TEST_P(ReadThroughPellix, ADumpIsCompleteOrNotWritten) {
  ProgramFolder program;
  const auto cardFile = program.dir().path() / "samples/sample-transit.json";
  vreader::PrivatePcscd pcscd(1, GetParam(), cardFile);
  ASSERT_TRUE(pcscd.running());
  const auto still = program.dir().path() / "still.json";
  ASSERT_EQ(RunProgram(program.Lorvane(), {"--dump", still.string()}).status, kExitDumped);

  pcscd.SetFault("blink");
  const auto blinking = program.dir().path() / "blinking.json";
  const auto r = RunProgram(program.Lorvane(), {"--dump", blinking.string()});
  ASSERT_EQ(r.status, kExitDumped) << r.err;
  std::string error;
  auto a = cardimage::LoadCardImage(still, error);
  const auto b = cardimage::LoadCardImage(blinking, error);
  ASSERT_TRUE(a && b) << error;
  a->scanned = b->scanned;
  EXPECT_EQ(cardimage::SerializeCardImageJson(*a), cardimage::SerializeCardImageJson(*b));

  pcscd.SetFault("cut-reads");
  const auto cut = program.dir().path() / "cut.json";
  const auto c = RunProgram(program.Lorvane(), {"--dump", cut.string()});
  EXPECT_EQ(c.status, kExitNotDumped) << c.err;
  EXPECT_NE(c.err.find("nothing was saved: reading failed (status -13) at system 0003, service "),
            std::string::npos)
      << c.err;
  EXPECT_FALSE(std::filesystem::exists(cut));
}

// A reader that refuses every command is named with what to do (the bundled sample is not
// shown: a reader is attached).
TEST_P(ReadThroughPellix, AReaderRefusingEveryCommandIsNamedWithAFix) {
  ProgramFolder program;
  vreader::PrivatePcscd pcscd(1, GetParam(), program.dir().path() / "samples/sample-transit.json");
  ASSERT_TRUE(pcscd.running());
  pcscd.SetFault("reader-error");
  const auto r = RunProgram(program.Lorvane(), {"--read", "--language", "English"});
  EXPECT_EQ(r.status, kExitNotRead) << r.err;
  EXPECT_NE(r.err.find("\n  pellix.so: its reader did not open (status -13): the reader "
                       "refused every command; unplug it"),
            std::string::npos)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(Readers, ReadThroughPellix,
                         ::testing::Values(vreader::ReaderKind::kSam, vreader::ReaderKind::kPicc),
                         [](const auto& kind) {
                           return kind.param == vreader::ReaderKind::kPicc ? "WithoutSam"
                                                                           : "WithSam";
                         });

// A card image with its own IDm, as a card on a reader.
fs::path CardInReader(const ProgramFolder& program) {
  std::string error;
  auto card = cardimage::LoadCardImage(kBin / "samples/sample-transit.json", error);
  EXPECT_TRUE(card) << error;
  card->idm = {0x01, 0x2E, 0x4C, 0x66, 0x77, 0x88, 0x99, 0xAA};
  for (auto& system : card->systems) system.idm = card->idm;
  return program.dir().Write("in-reader.json", cardimage::SerializeCardImageJson(*card));
}

struct OtherReader {
  vreader::ReaderKind kind;
  const char* faults;
};

class ReadThroughPcscFeliCa : public ::testing::TestWithParam<OtherReader> {};

// With only another make's reader attached, the read goes through the PC/SC FeliCa plug-in
// with no setting changed, and gives the lines the card image gives.
TEST_P(ReadThroughPcscFeliCa, TheOnlyReaderIsReadWithNoSettingChanged) {
  ProgramFolder program;
  const auto cardFile = CardInReader(program);
  vreader::PrivatePcscd pcscd(1, GetParam().kind, cardFile);
  ASSERT_TRUE(pcscd.running());
  pcscd.SetFault(GetParam().faults);
  const auto r = RunProgram(program.Lorvane(), {"--read", "--json", "--verbose"});
  ASSERT_EQ(r.status, kExitRead) << r.err;
  EXPECT_NE(r.err.find("reads go to pcscfelica.so"), std::string::npos) << r.err;
  const auto viaReader = nlohmann::json::parse(r.out);
  EXPECT_EQ(viaReader, ReadJson(program, {"--card", cardFile.string()}));
  EXPECT_NE(program.Registry().find("DLLInfo[2].name=pcscfelica.so"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReadThroughPcscFeliCa,
    ::testing::Values(OtherReader{vreader::ReaderKind::kRcS300, ""},
                      OtherReader{vreader::ReaderKind::kAcr1252, "transmit-refused"}),
    [](const auto& reader) {
      return reader.param.kind == vreader::ReaderKind::kRcS300 ? "Rcs300" : "Acr1252DirectTransmit";
    });

// Whether the reader was sent FeliCa commands (not only the probe's), in its framing.
bool ReadFrom(const vreader::PrivatePcscd& pcscd, size_t reader, const std::string& framing) {
  const auto lines = pcscd.TakeExchanges(reader);
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(framing) == 2; });
}
const char kPn532DataExchange[] = "FF 00 00 00 ";
const char kTransparentExchange[] = "FF C2 00 01 ";

// An ACR122 and an RC-S300: the probe takes the plug-in first in the registry; put the other
// first and the read goes through its reader. Both give the same lines.
TEST(ReadThroughPlugins, TwoReadersEachThroughItsOwnPlugIn) {
  ProgramFolder program;
  const auto cardFile = CardInReader(program);
  vreader::PrivatePcscd pcscd({vreader::ReaderKind::kSam, vreader::ReaderKind::kRcS300}, cardFile);
  ASSERT_TRUE(pcscd.running());
  const auto first = ReadJson(program);
  EXPECT_TRUE(ReadFrom(pcscd, 1, kTransparentExchange));
  pcscd.TakeExchanges(0);

  std::string text = program.Registry();
  const auto swap = [&](const std::string& a, const std::string& b) {
    const size_t at = text.find(a);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, a.size(), b);
  };
  swap("DLLInfo[2].name=pcscfelica.so", "DLLInfo[2].name=@");
  swap("DLLInfo[3].name=pellix.so", "DLLInfo[3].name=pcscfelica.so");
  swap("DLLInfo[2].name=@", "DLLInfo[2].name=pellix.so");
  program.dir().Write("FeliCaDLL.INI", text);
  const auto second = ReadJson(program);
  EXPECT_FALSE(ReadFrom(pcscd, 1, kTransparentExchange));
  const auto lines = pcscd.TakeExchanges(0);
  EXPECT_GT(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find(kPn532DataExchange) == 2; }),
            5);
  EXPECT_EQ(first, second);
}

TEST(ReadThroughPlugins, WithoutAReaderTheSampleCardIsRead) {
  ProgramFolder program;
  vreader::PrivatePcscd::UsePrivateSocket();  // no pcscd listens there: no reader
  const auto json = ReadJson(program);
  ASSERT_EQ(json["cards"].size(), 1u);
  EXPECT_EQ(json["cards"][0]["info"][0], "IDm  : 0123 4567 89AB CDEF");
  EXPECT_EQ(json["cards"][0]["history"].size(), 14u);
  const std::string registry = program.Registry();
  EXPECT_NE(registry.find("DLLNum=3"), std::string::npos) << registry;
  EXPECT_NE(registry.find("DLLDirectory=" + program.dir().path().string() + "/"), std::string::npos)
      << registry;
}

}  // namespace
}  // namespace lorvane::app
