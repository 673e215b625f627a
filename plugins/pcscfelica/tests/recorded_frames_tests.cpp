// SPDX-License-Identifier: MIT
// The PC/SC FeliCa link against recorded reader frames, without pcscd: every APDU sent is
// checked frame by frame, and what came back is judged. One card session runs on each way
// the link reaches a card: the transparent exchange through SCardTransmit, the same through
// the escape command with no card on the reader, and the ACS direct transmit. The FeliCa
// packets inside are Pellix's, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "pellix/felica_driver.h"
#include "pellix/tests/hex_text.h"
#include "pellix/tests/scripted_pcsc.h"
#include "plugins/pcscfelica/pcsc_felica_link.h"

namespace lorvane::pcscfelica {
namespace {

using pellix::FeliCaDriver;
using pellix::Hex;
using pellix::testing::Frame;
using pellix::testing::ScriptedPcsc;
using pellix::testing::Way;

const std::string kIdm = "01 02 03 04 05 06 07 08";
const std::string kPmm = "10 0B 4B 42 84 85 D0 FF";
const std::string kBlock = "16 05 00 00 D0 2B 2B A0 E8 03 00 00 33 70 00 00";
const std::string kPoll0003 = "06 00 00 03 00 00";
const std::string kPolled = "12 01 " + kIdm + " " + kPmm;
const std::string kRequestSystems = "0A 0C " + kIdm;
const std::string kSystems = "11 0D " + kIdm + " 03 00 03 FE 00 86 A7";
const std::string kRead008B = "10 06 " + kIdm + " 01 8B 00 01 80 00";
const std::string kAccepted = "C0 03 00 90 00 90 00";
const std::string kCardSilent = "C0 03 02 64 01 90 00";
const char kRcS300[] = "SONY FeliCa RC-S300/P (0201504) 00 00";
const std::string kWithEscape = "12 04 42 33 00 12 13 04 42 00 00 01";

enum class Way3 { kTransmit, kEscape, kDirect };

std::string Byte(size_t n) {
  const auto b = static_cast<uint8_t>(n);
  return Hex(&b, 1);
}
size_t Count(const std::string& hex) { return (hex.size() + 1) / 3; }

// The transparent exchange around a FeliCa frame, and the reader's answer around the card's.
std::string Exchange(const std::string& frame) {
  const std::string objects = "5F 46 04 A0 86 01 00 95 " + Byte(Count(frame)) + " " + frame;
  return "FF C2 00 01 " + Byte(Count(objects)) + " " + objects + " 00";
}
std::string Answer(const std::string& frame) {
  const size_t n = Count(frame);
  return "C0 03 00 90 00 92 01 00 96 02 00 00 97 " + (n >= 0x80 ? "81 " : std::string()) + Byte(n) +
         " " + frame + " 90 00";
}

class PcscFeliCaFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);  // no trace to another test's viewer
    pcsc().Reset();
    pcsc().readers = {kRcS300};
  }
  void TearDown() override {
    driver_.reset();
    EXPECT_EQ(pcsc().problems, std::vector<std::string>{});
    EXPECT_TRUE(pcsc().frames.empty())
        << pcsc().frames.size() << " frames not sent, first " << pcsc().frames.front().sent;
    EXPECT_EQ(pcsc().openHandles, 0u);
  }
  static ScriptedPcsc& pcsc() { return ScriptedPcsc::Current(); }
  void Expect(Way way, const std::string& sent, const std::string& reply,
              LONG result = SCARD_S_SUCCESS) {
    pcsc().Expect({Frame{way, sent, reply, result}});
  }
  void Session(Way way) {
    for (const char* object : {"02 81 00", "02 83 00", "02 84 00"}) {
      if (std::string(object) == "02 83 00")
        Expect(way, "FF C2 00 02 04 8F 02 03 00 00", kAccepted);
      Expect(way, std::string("FF C2 00 00 ") + object + " 00", kAccepted);
    }
  }
  void EndSession(Way way) { Expect(way, "FF C2 00 00 02 82 00 00", kAccepted); }
  PcscFeliCaLink& link() { return *link_; }

  std::unique_ptr<FeliCaDriver> driver_ = std::make_unique<FeliCaDriver>(
      [](pellix::PcscConnection& pcsc) -> std::unique_ptr<pellix::FeliCaLink> {
        auto link = std::make_unique<PcscFeliCaLink>(pcsc);
        current_ = link.get();
        return link;
      });
  PcscFeliCaLink* link_ = current_;
  static inline PcscFeliCaLink* current_ = nullptr;
};

std::string CarrierName(const ::testing::TestParamInfo<Way3>& way) {
  static const char* const kNames[] = {"Transmit", "Escape", "Direct"};
  return kNames[static_cast<int>(way.param)];
}

class EveryCarrier : public PcscFeliCaFrames, public ::testing::WithParamInterface<Way3> {
 protected:
  // The reader as the carrier finds it, up to the link being ready.
  void Connects() {
    switch (GetParam()) {
      case Way3::kTransmit:
        pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
        Session(Way::kT1);
        break;
      case Way3::kEscape:
        pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                              {SCARD_SHARE_DIRECT, SCARD_S_SUCCESS}};
        pcsc().features = kWithEscape;
        Session(Way::kEscape);
        break;
      case Way3::kDirect:
        pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
        Expect(Way::kT1, "FF C2 00 00 02 81 00 00", "6A 81");
        Expect(Way::kT1, "FF 00 00 00 06 06 00 FF FF 00 00", kPolled + " 90 00");
        break;
    }
  }
  Way way() const { return GetParam() == Way3::kEscape ? Way::kEscape : Way::kT1; }
  void Command(const std::string& frame, const std::string& answer) {
    if (GetParam() == Way3::kDirect) {
      Expect(way(), "FF 00 00 00 " + Byte(Count(frame)) + " " + frame, answer + " 90 00");
    } else {
      Expect(way(), Exchange(frame), Answer(answer));
    }
  }
  void Silent(const std::string& frame) {
    if (GetParam() == Way3::kDirect) {
      Expect(way(), "FF 00 00 00 " + Byte(Count(frame)) + " " + frame, "63 00");
    } else {
      Expect(way(), Exchange(frame), kCardSilent);
    }
  }
  void Ends() {
    if (GetParam() != Way3::kDirect) EndSession(way());
  }
  void PollsTheCard() {
    Connects();
    Command(kPoll0003, kPolled);
    Command(kRequestSystems, kSystems);
    ASSERT_EQ(driver_->Poll(0x0003), FELICA_OK) << driver_->statusText();
  }
};

TEST_P(EveryCarrier, PollsReadsAndTellsRefusalsApart) {
  PollsTheCard();
  EXPECT_EQ(Hex(driver_->SetCurrentCard(0), 16), kIdm + " " + kPmm);
  EXPECT_EQ(driver_->SystemCode(1), 0xFE00);
  Command(kRead008B, "1D 07 " + kIdm + " 00 00 01 " + kBlock);
  Command(kRead008B, "0C 07 " + kIdm + " 01 A6");
  Command(kRead008B, "0C 07 " + kIdm + " 01 A8");
  Silent(kRead008B);
  uint8_t data[16] = {};
  ASSERT_EQ(driver_->Read(0x008B, 0, data), FELICA_OK);
  EXPECT_EQ(Hex(data, 16), kBlock);
  EXPECT_EQ(driver_->Read(0x008B, 0, data), FELICA_NOTHING);
  EXPECT_EQ(driver_->statusText(), "Service code nothing or cannot access.");
  EXPECT_EQ(driver_->Read(0x008B, 0, data), FELICA_E_READ);
  EXPECT_EQ(driver_->statusText(), "Card status : f1=0xA8, f2=0x01.");
  EXPECT_EQ(driver_->Read(0x008B, 0, data), FELICA_E_READ);
  // No card answers a poll any more.
  Silent(kPoll0003);
  EXPECT_EQ(driver_->Poll(0x0003), FELICA_NOTHING);
  EXPECT_EQ(driver_->statusText(), "Card nothing.");
  Ends();
  EXPECT_EQ(driver_->Close(), FELICA_OK);
}

TEST_P(EveryCarrier, ReadsThirteenBlocksInTwoCommandsAndWalksAreas) {
  PollsTheCard();
  std::string first = "26 06 " + kIdm + " 01 0F 09 0C", answer = "CD 07 " + kIdm + " 00 00 0C";
  for (int b = 0; b < 12; ++b) {
    first += " 80 " + Byte(static_cast<size_t>(b));
    answer += " " + Hex(std::vector<uint8_t>(16, static_cast<uint8_t>(b)).data(), 16);
  }
  Command(first, answer);
  Command("10 06 " + kIdm + " 01 13 08 01 90 00", "1D 07 " + kIdm + " 00 00 01 " + kBlock);
  std::vector<BlockRef> refs;
  for (uint8_t b = 0; b < 12; ++b) refs.push_back({0x090F, b});
  refs.push_back({0x0813, 0});
  std::vector<uint8_t> data(16 * 13 + 1, 0x55);
  uint8_t count = 13;
  ASSERT_EQ(driver_->Read2(refs.data(), &count, data.data()), FELICA_OK) << driver_->statusText();
  EXPECT_EQ(count, 13);
  EXPECT_EQ(data[16 * 11], 11);
  EXPECT_EQ(data[16 * 13], 0x55);
  Command("0C 0A " + kIdm + " 03 00", "0E 0B " + kIdm + " 40 00 FF 07");
  Command("0C 0A " + kIdm + " 04 00", "0C 0B " + kIdm + " FF FF");
  uint32_t code = 0, end = 0;
  ASSERT_EQ(driver_->ServiceCode(3, &code, &end), FELICA_OK);
  EXPECT_EQ(code, 0x0040u);
  EXPECT_EQ(end, 0x07FFu);
  EXPECT_EQ(driver_->ServiceCode(4, &code, &end), FELICA_E_READ);
  Ends();
}

TEST_P(EveryCarrier, AnswersThatDoNotFitAreRefusedUnread) {
  PollsTheCard();
  uint8_t guarded[48];
  std::memset(guarded, 0x77, sizeof guarded);
  // Another card's IDm, another command's code, a frame whose LEN lies.
  Command(kRead008B, "1D 07 01 02 03 04 05 06 07 09 00 00 01 " + kBlock);
  Command(kRead008B, "1D 09 " + kIdm + " 00 00 01 " + kBlock);
  Command(kRead008B, "2D 07 " + kIdm + " 00 00 01 " + kBlock);
  Command(kRead008B, "1D");
  // Each is a failed exchange, never the card's refusal.
  EXPECT_EQ(driver_->Read(0x008B, 0, guarded + 16), FELICA_E_TRANSMIT);
  EXPECT_EQ(driver_->statusText(), "Reader Error : answer of another command or card.");
  EXPECT_EQ(driver_->Read(0x008B, 0, guarded + 16), FELICA_E_TRANSMIT);
  EXPECT_EQ(driver_->statusText(), "Reader Error : answer of another command or card.");
  EXPECT_EQ(driver_->Read(0x008B, 0, guarded + 16), FELICA_E_TRANSMIT);
  EXPECT_EQ(driver_->statusText(), "Reader Error : malformed answer.");
  EXPECT_EQ(driver_->Read(0x008B, 0, guarded + 16), FELICA_E_TRANSMIT);
  EXPECT_EQ(guarded[15], 0x77);
  EXPECT_EQ(guarded[16], 0x77);
  EXPECT_EQ(guarded[32], 0x77);
  Ends();
}

INSTANTIATE_TEST_SUITE_P(Carriers, EveryCarrier,
                         ::testing::Values(Way3::kTransmit, Way3::kEscape, Way3::kDirect),
                         CarrierName);

TEST_F(PcscFeliCaFrames, BrokenTransparentAnswersAreRefused) {
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  Session(Way::kT1);
  Expect(Way::kT1, Exchange(kPoll0003), Answer(kPolled));
  Expect(Way::kT1, Exchange(kRequestSystems), Answer(kSystems));
  ASSERT_EQ(driver_->Poll(0x0003), FELICA_OK);
  // Malformed answers are failed exchanges; the reader's and the card's failures are the
  // command's.
  struct Case {
    std::string answer, text;
    int16_t status;
  };
  const Case cases[] = {
      {"C0 03 00 90 00 92 01 00 90 00", "Reader Error : malformed answer.",  // no 97
       FELICA_E_TRANSMIT},
      {"C0 03 00 90 00 97 30 1D 07 90 00", "Reader Error : malformed answer.",  // past the end
       FELICA_E_TRANSMIT},
      {"C0 03 02 6F 00 90 00", "Reader Error : object 2, 6F,00.", FELICA_E_READ},
      {"97 02 02 07 90 00", "Reader Error : malformed answer.",  // no generic status
       FELICA_E_TRANSMIT},
      {"6A 81", "Reader Error : 6A,81.", FELICA_E_READ},
      {kCardSilent, "Reader Error : no answer from the card.", FELICA_E_READ},
  };
  uint8_t data[16];
  for (const auto& [answer, text, status] : cases) {
    Expect(Way::kT1, Exchange(kRead008B), answer);
    EXPECT_EQ(driver_->Read(0x008B, 0, data), status) << answer;
    EXPECT_EQ(driver_->statusText(), text) << answer;
  }
  EndSession(Way::kT1);
}

TEST_F(PcscFeliCaFrames, EscapeIsTriedWhenTransmitIsRefused) {
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  pcsc().features = kWithEscape;
  Expect(Way::kT1, "FF C2 00 00 02 81 00 00", "6D 00");
  Session(Way::kEscape);
  ASSERT_EQ(driver_->Open(nullptr), FELICA_OK);
  EXPECT_EQ(link().carrier(), Carrier::kTransparentEscape);
  EndSession(Way::kEscape);
}

TEST_F(PcscFeliCaFrames, AReaderThatCarriesNoFeliCaIsDeclined) {
  pcsc().readers = {"Contactless Reader 00 00"};
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  Expect(Way::kT1, "FF C2 00 00 02 81 00 00", "6D 00");
  Expect(Way::kT1, "FF 00 00 00 06 06 00 FF FF 00 00", "6D 00");
  EXPECT_EQ(driver_->Open(nullptr), FELICA_E_CONNECT);
  EXPECT_EQ(driver_->statusText(), "Not find : the reader carries no FeliCa commands.");
}

TEST_F(PcscFeliCaFrames, AnAcr122IsPellixsAndDeclinedUntouched) {
  pcsc().readers = {"ACS ACR122U PICC Interface 00 00"};
  EXPECT_EQ(driver_->Open(nullptr), FELICA_E_CONNECT);
  EXPECT_EQ(driver_->statusText(), "Not find : this reader is served by another plug-in.");
}

TEST_F(PcscFeliCaFrames, WithoutEscapeAReaderWaitsForACardAndLetsGoOfALeftOne) {
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_DIRECT, SCARD_S_SUCCESS},
                        {SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  ASSERT_EQ(driver_->Open(nullptr), FELICA_OK);
  EXPECT_TRUE(link().awaitingCard());
  EXPECT_EQ(driver_->Poll(0x0003), FELICA_NOTHING);
  Session(Way::kT1);
  Expect(Way::kT1, Exchange(kPoll0003), Answer(kPolled));
  Expect(Way::kT1, Exchange(kRequestSystems), Answer(kSystems));
  ASSERT_EQ(driver_->Poll(0x0003), FELICA_OK);
  // The card leaves: the handle goes, and the next poll finds no card.
  Expect(Way::kT1, Exchange(kRead008B), "", SCARD_W_REMOVED_CARD);
  uint8_t data[16];
  EXPECT_EQ(driver_->Read(0x008B, 0, data), FELICA_E_TRANSMIT);
  EXPECT_TRUE(link().awaitingCard());
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD}};
  EXPECT_EQ(driver_->Poll(0x0003), FELICA_NOTHING);
}

}  // namespace
}  // namespace lorvane::pcscfelica
