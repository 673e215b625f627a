// SPDX-License-Identifier: MIT
// The driver against recorded reader frames, without pcscd: what it sent (checked frame by
// frame by the scripted service), what came back, and what it made of it. The same card
// session runs on the three ways a reader is reached: the SAM reader over T=0 ("61 L", GET
// RESPONSE), the reader without a SAM over T=1 (one reply), and that reader with no card
// on it through the driver's escape command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pellix/acs_reader.h"
#include "pellix/tests/hex_text.h"
#include "pellix/tests/scripted_pcsc.h"

namespace lorvane::pellix {
namespace {

using testing::BytesOf;
using testing::Connection;
using testing::Frame;
using testing::ScriptedPcsc;

const std::string kIdm = "01 02 03 04 05 06 07 08";
const std::string kPmm = "10 0B 4B 42 84 85 D0 FF";
const std::string kBlock = "16 05 00 00 D0 2B 2B A0 E8 03 00 00 33 70 00 00";
const std::string kMaxRetries = "FF 00 00 00 06 D4 32 05 00 00 00";
const std::string kPoll0003 = "FF 00 00 00 09 D4 4A 01 01 00 00 03 00 00";
const std::string kPolled = "D5 4B 01 01 12 01 " + kIdm + " " + kPmm + " 90 00";
const std::string kNoTarget = "D5 4B 00 90 00";
const std::string kRequestSystems = "FF 00 00 00 0D D4 40 01 0A 0C " + kIdm;
const std::string kSystems = "D5 41 00 11 0D " + kIdm + " 03 00 03 FE 00 86 A7 90 00";
const std::string kFirmware = "41 43 52 31 32 32 55 32 30 33";  // "ACR122U203"
const char kPiccName[] = "ACS ACR122U PICC Interface 00 00";

enum class Kind { kSam, kPicc, kPiccEscape };

std::vector<Frame> Frames(Kind kind, const std::string& sent, const std::string& answer) {
  switch (kind) {
    case Kind::kSam:
      return testing::T0(sent, answer);
    case Kind::kPicc:
      return testing::T1(sent, answer);
    case Kind::kPiccEscape:
      return testing::Escape(sent, answer);
  }
  return {};
}

class RecordedFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    // The driver's trace lines must not reach a trace viewer of this user (another test's).
    setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
    pcsc().Reset();
  }
  void TearDown() override {
    reader_.reset();
    EXPECT_EQ(pcsc().problems, std::vector<std::string>{});
    EXPECT_TRUE(pcsc().frames.empty())
        << pcsc().frames.size() << " frames not sent, first " << pcsc().frames.front().sent;
    EXPECT_EQ(pcsc().openHandles, 0u);
  }
  static ScriptedPcsc& pcsc() { return ScriptedPcsc::Current(); }

  // The reader as the kind presents itself, up to an open connection.
  void Connects(Kind kind) {
    if (kind == Kind::kSam) {
      pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T0}};
    } else if (kind == Kind::kPicc) {
      pcsc().readers = {kPiccName};
      pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
    } else {
      pcsc().readers = {kPiccName};
      pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                            {SCARD_SHARE_DIRECT, SCARD_S_SUCCESS}};
      pcsc().Expect(testing::Escape("FF 00 48 00 00", kFirmware));
    }
    pcsc().Expect(Frames(kind, kMaxRetries, "D5 33 90 00"));
  }
  std::unique_ptr<AcsReader> reader_ = std::make_unique<AcsReader>();
};

class EveryReader : public RecordedFrames, public ::testing::WithParamInterface<Kind> {
 protected:
  void Expect(const std::string& sent, const std::string& answer) {
    pcsc().Expect(Frames(GetParam(), sent, answer));
  }
};

TEST_P(EveryReader, PollsTheCardAndReadsItsSystemCodes) {
  Connects(GetParam());
  Expect(kPoll0003, kPolled);
  Expect(kRequestSystems, kSystems);
  ASSERT_EQ(reader_->Open(nullptr), FELICA_OK);
  if (GetParam() == Kind::kPiccEscape) {
    EXPECT_EQ(reader_->firmware(), "ACR122U203");
  }
  ASSERT_EQ(reader_->Poll(0x0003), FELICA_OK);
  EXPECT_EQ(Hex(reader_->SetCurrentCard(0), 16), kIdm + " " + kPmm);
  EXPECT_EQ(reader_->SystemCode(0), 0x0003);
  EXPECT_EQ(reader_->SystemCode(1), 0xFE00);
  EXPECT_EQ(reader_->SystemCode(2), 0x86A7);
  EXPECT_EQ(reader_->SystemCode(3), FELICA_NO_SYSTEM_CODE);
  // No card in the field: the PN532 finds no target.
  Expect(kPoll0003, kNoTarget);
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_NOTHING);
  EXPECT_EQ(reader_->statusText(), "Card nothing.");
  EXPECT_EQ(reader_->SetCurrentCard(0), nullptr);
}

class EveryReaderWithACard : public EveryReader {
 protected:
  void SetUp() override {
    EveryReader::SetUp();
    Connects(GetParam());
    Expect(kPoll0003, kPolled);
    Expect(kRequestSystems, kSystems);
    ASSERT_EQ(reader_->Poll(0x0003), FELICA_OK);
  }
};

TEST_P(EveryReaderWithACard, WalksServicesAndAreas) {
  Expect("FF 00 00 00 0F D4 40 01 0C 0A " + kIdm + " 02 00",
         "D5 41 00 0C 0B " + kIdm + " 48 00 90 00");
  Expect("FF 00 00 00 0F D4 40 01 0C 0A " + kIdm + " 03 00",
         "D5 41 00 0E 0B " + kIdm + " 40 00 FF 07 90 00");
  Expect("FF 00 00 00 0F D4 40 01 0C 0A " + kIdm + " 04 00",
         "D5 41 00 0C 0B " + kIdm + " FF FF 90 00");
  uint32_t code = 0, end = 0;
  ASSERT_EQ(reader_->ServiceCode(2, &code, &end), FELICA_OK);
  EXPECT_EQ(code, 0x0048u);
  EXPECT_EQ(end, 0xFFFFu);
  ASSERT_EQ(reader_->ServiceCode(3, &code, &end), FELICA_OK);
  EXPECT_EQ(code, 0x0040u);
  EXPECT_EQ(end, 0x07FFu);
  EXPECT_EQ(reader_->ServiceCode(4, &code, &end), FELICA_E_READ);
  EXPECT_EQ(reader_->statusText(), "Invalid service code.");
}

TEST_P(EveryReaderWithACard, ReadsABlockAndTellsRefusalsApart) {
  const std::string read = "FF 00 00 00 13 D4 40 01 10 06 " + kIdm + " 01 8B 00 01 80 00";
  Expect(read, "D5 41 00 1D 07 " + kIdm + " 00 00 01 " + kBlock + " 90 00");
  Expect(read, "D5 41 00 0C 07 " + kIdm + " 01 A6 90 00");
  Expect(read, "D5 41 00 0C 07 " + kIdm + " 01 A8 90 00");
  Expect(read, "D5 41 01 90 00");  // the card stayed silent
  uint8_t data[16] = {};
  ASSERT_EQ(reader_->Read(0x008B, 0, data), FELICA_OK);
  EXPECT_EQ(Hex(data, 16), kBlock);
  EXPECT_EQ(reader_->Read(0x008B, 0, data), FELICA_NOTHING);
  EXPECT_EQ(reader_->statusText(), "Service code nothing or cannot access.");
  EXPECT_EQ(reader_->Read(0x008B, 0, data), FELICA_E_READ);
  EXPECT_EQ(reader_->statusText(), "Card status : f1=0xA8, f2=0x01.");
  EXPECT_EQ(reader_->Read(0x008B, 0, data), FELICA_E_READ);
  EXPECT_EQ(reader_->statusText(), "Reader Error : 0x01.");
}

TEST_P(EveryReaderWithACard, ReadsThirteenBlocksInTwoCommands) {
  // 12 blocks of 090F, then block 0 of the purse 0813 (cashback access: element 90 00).
  std::string first = "FF 00 00 00 29 D4 40 01 26 06 " + kIdm + " 01 0F 09 0C";
  std::string answer = "D5 41 00 CD 07 " + kIdm + " 00 00 0C";
  for (int b = 0; b < 12; ++b) {
    const uint8_t block = static_cast<uint8_t>(b);
    first += " 80 " + Hex(&block, 1);
    answer += " " + Hex(std::vector<uint8_t>(16, block).data(), 16);
  }
  Expect(first, answer + " 90 00");
  Expect("FF 00 00 00 13 D4 40 01 10 06 " + kIdm + " 01 13 08 01 90 00",
         "D5 41 00 1D 07 " + kIdm + " 00 00 01 " + kBlock + " 90 00");
  std::vector<BlockRef> refs;
  for (uint8_t b = 0; b < 12; ++b) refs.push_back({0x090F, b});
  refs.push_back({0x0813, 0});
  std::vector<uint8_t> data(16 * 13 + 1, 0x55);
  uint8_t count = 13;
  ASSERT_EQ(reader_->Read2(refs.data(), &count, data.data()), FELICA_OK);
  EXPECT_EQ(count, 13);
  EXPECT_EQ(data[16 * 11], 11);
  EXPECT_EQ(Hex(&data[16 * 12], 16), kBlock);
  EXPECT_EQ(data[16 * 13], 0x55);
}

INSTANTIATE_TEST_SUITE_P(Readers, EveryReader,
                         ::testing::Values(Kind::kSam, Kind::kPicc, Kind::kPiccEscape));
INSTANTIATE_TEST_SUITE_P(Readers, EveryReaderWithACard,
                         ::testing::Values(Kind::kSam, Kind::kPicc, Kind::kPiccEscape));

TEST_F(RecordedFrames, TheSamReaderWithoutItsSamRefusesToOpen) {
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD}};
  EXPECT_EQ(reader_->Open(nullptr), FELICA_E_CONNECT);
  EXPECT_EQ(reader_->statusText(), "SmartCard API Error : -2146435060 (0x8010000C)");
}

TEST_F(RecordedFrames, AnyOtherReaderWithoutACardIsNoCardEither) {
  pcsc().readers = {"Contactless reader of another make 00 00"};
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_DIRECT, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD}};
  ASSERT_EQ(reader_->Open(nullptr), FELICA_OK);
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_NOTHING);
}

TEST_F(RecordedFrames, WithoutEscapeAReaderWithoutCardWaitsForOne) {
  pcsc().readers = {kPiccName};
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_DIRECT, SCARD_S_SUCCESS},
                        {SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD},
                        {SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  pcsc().Expect({{testing::Way::kEscape, "FF 00 48 00 00", "", SCARD_E_NOT_TRANSACTED}});
  ASSERT_EQ(reader_->Open(nullptr), FELICA_OK);
  EXPECT_EQ(reader_->link(), Link::kAwaitingCard);
  EXPECT_EQ(pcsc().openHandles, 0u);  // the direct connection was let go
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_NOTHING);
  EXPECT_EQ(reader_->statusText(), "Card nothing.");
  // A card came: the next poll connects.
  pcsc().Expect(testing::T1(kMaxRetries, "D5 33 90 00"));
  pcsc().Expect(testing::T1(kPoll0003, kPolled));
  pcsc().Expect(testing::T1(kRequestSystems, kSystems));
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_OK);
  EXPECT_EQ(reader_->link(), Link::kCard);
}

TEST_F(RecordedFrames, ACardThatLeftIsNoCardAtTheNextPoll) {
  Connects(Kind::kPicc);
  pcsc().Expect(testing::T1(kPoll0003, kPolled));
  pcsc().Expect(testing::T1(kRequestSystems, kSystems));
  ASSERT_EQ(reader_->Poll(0x0003), FELICA_OK);
  const std::string read = "FF 00 00 00 13 D4 40 01 10 06 " + kIdm + " 01 8B 00 01 80 00";
  pcsc().Expect({{testing::Way::kT1, read, "", SCARD_W_REMOVED_CARD}});
  uint8_t data[16];
  EXPECT_EQ(reader_->Read(0x008B, 0, data), FELICA_E_TRANSMIT);
  EXPECT_EQ(reader_->statusText(), "SmartCard API Error : -2146434967 (0x80100069)");
  EXPECT_EQ(reader_->link(), Link::kAwaitingCard);
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD}};
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_NOTHING);
  // The card leaves between two polls, and another is already there.
  pcsc().connections = {{SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1},
                        {SCARD_SHARE_SHARED, SCARD_S_SUCCESS, SCARD_PROTOCOL_T1}};
  pcsc().Expect(testing::T1(kMaxRetries, "D5 33 90 00"));
  pcsc().Expect({{testing::Way::kT1, kPoll0003, "", SCARD_W_REMOVED_CARD}});
  pcsc().Expect(testing::T1(kMaxRetries, "D5 33 90 00"));
  pcsc().Expect(testing::T1(kPoll0003, kPolled));
  pcsc().Expect(testing::T1(kRequestSystems, kSystems));
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_OK);
}

TEST_F(RecordedFrames, AnswersThatAreNeitherFormAreTransmitErrors) {
  Connects(Kind::kPicc);
  pcsc().Expect(testing::T1(kPoll0003, "63 00"));
  pcsc().Expect(testing::T1(kPoll0003, "D5 4B 01 01 12 01 01 02 90 00"));
  pcsc().Expect(testing::T1(kPoll0003, "90 00"));
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_E_TRANSMIT);
  EXPECT_EQ(reader_->statusText(), "Reader Error : 63,00.");
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_E_TRANSMIT);
  EXPECT_EQ(reader_->statusText(), "Reader Error : reply too short.");
  EXPECT_EQ(reader_->Poll(0x0003), FELICA_E_TRANSMIT);
  EXPECT_EQ(reader_->statusText(), "Reader Error : 90,00.");
}

TEST_F(RecordedFrames, AReadAnswerWithMoreBlocksThanAskedForIsRefused) {
  Connects(Kind::kPicc);
  pcsc().Expect(testing::T1(kPoll0003, kPolled));
  pcsc().Expect(testing::T1(kRequestSystems, kSystems));
  ASSERT_EQ(reader_->Poll(0x0003), FELICA_OK);
  pcsc().Expect(
      testing::T1("FF 00 00 00 13 D4 40 01 10 06 " + kIdm + " 01 8B 00 01 80 00",
                  "D5 41 00 2D 07 " + kIdm + " 00 00 02 " + kBlock + " " + kBlock + " 90 00"));
  uint8_t guarded[48];
  std::memset(guarded, 0x77, sizeof guarded);
  EXPECT_EQ(reader_->Read(0x008B, 0, guarded + 16), FELICA_E_READ);
  EXPECT_EQ(reader_->statusText(), "Reader Error : more blocks than asked for.");
  EXPECT_EQ(guarded[15], 0x77);
  EXPECT_EQ(guarded[32], 0x77);
}

// A block is never taken from an answer cut short (its LEN byte claims more), nor from the
// answer of another card or another command.
TEST_P(EveryReaderWithACard, AnswersThatDoNotFitTheCommandAreNotBelieved) {
  const std::string read = "FF 00 00 00 13 D4 40 01 10 06 " + kIdm + " 01 8B 00 01 80 00";
  const std::string otherIdm = "01 02 03 04 05 06 07 09";
  Expect(read, "D5 41 00 1D 07 " + kIdm + " 00 00 01 16 05 00 00 90 00");
  Expect(read, "D5 41 00 1D 07 " + otherIdm + " 00 00 01 " + kBlock + " 90 00");
  Expect(read, "D5 41 00 1D 0B " + kIdm + " 00 00 01 " + kBlock + " 90 00");
  uint8_t data[16] = {};
  for (const char* text :
       {"Reader Error : malformed answer.", "Reader Error : answer of another command or card.",
        "Reader Error : answer of another command or card."}) {
    EXPECT_EQ(reader_->Read(0x008B, 0, data), FELICA_E_TRANSMIT);  // never the card's refusal
    EXPECT_EQ(reader_->statusText(), text);
  }
  EXPECT_EQ(Hex(data, 16), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(WireFormat, EncodersGiveTheBytesOnTheWire) {
  const wire::Idm idm{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(Hex(wire::DirectTransmit(wire::MaxRetriesZero()).data(), 11), kMaxRetries);
  const auto poll = wire::DirectTransmit(wire::ListFeliCaTarget(0x00, 0x03));
  EXPECT_EQ(Hex(poll.data(), poll.size()), kPoll0003);
  const uint16_t services[] = {0x090F, 0x0813};
  const auto a = wire::BlockListElement(0x090F, 0, 5);
  const auto b = wire::BlockListElement(0x0813, 1, 200);  // purse: cashback access
  const uint8_t elements[] = {a[0], a[1], b[0], b[1]};
  const auto read = wire::FeliCaPacket(wire::kReadWithoutEncryption, idm,
                                       wire::ServiceAndBlockList(services, elements));
  EXPECT_EQ(Hex(read.data(), read.size()), "14 06 " + kIdm + " 02 0F 09 13 08 02 80 05 91 C8");
  const auto search = wire::FeliCaPacket(wire::kSearchServiceCode, idm, wire::SearchIndex(0x0102));
  EXPECT_EQ(Hex(search.data(), search.size()), "0C 0A " + kIdm + " 02 01");
  EXPECT_EQ(BytesOf(Hex(wire::GetResponse(0x22).data(), 5)),
            (std::vector<uint8_t>{0xFF, 0xC0, 0x00, 0x00, 0x22}));
}

TEST(StatusTable, EveryOutcomeHasItsOwnRow) {
  for (size_t i = 0; i <= static_cast<size_t>(Outcome::kEndOfServices); ++i) {
    const auto outcome = static_cast<Outcome>(i);
    EXPECT_EQ(Describe(outcome).outcome, outcome) << i;
    EXPECT_NE(std::string(Describe(outcome).text), "") << i;
  }
  EXPECT_EQ(Describe(Outcome::kCardNothing).status, FELICA_NOTHING);
  EXPECT_EQ(ApiErrorText(static_cast<LONG>(0x8010000C)),
            "SmartCard API Error : -2146435060 (0x8010000C)");
}

}  // namespace
}  // namespace lorvane::pellix
