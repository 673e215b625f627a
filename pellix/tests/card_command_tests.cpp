// SPDX-License-Identifier: MIT
// Card operations through pcscd and the virtual reader: the frames sent, byte for byte,
// what was made of the answers, the trace lines, and the answers that lie.
#include <gtest/gtest.h>

#include <cstring>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

using Lines = std::vector<std::string>;
const std::string kIdmHex = "01 01 02 14 FB 0B 39 06";

class PellixCard : public PellixOnEveryReader {
 protected:
  void SetUp() override {
    PellixOnEveryReader::SetUp();
    ASSERT_EQ(p_->REQC(0x0003), 0);
    Sent();
    trace_->Take();
  }
  static std::string BlockHex(uint16_t service, uint8_t block) {
    const auto b = TestBlock(service, block);
    return Hex(b.data(), b.size());
  }
};

TEST_P(PellixOnEveryReader, PollFindsTheCardAndItsSystemCodes) {
  ASSERT_EQ(p_->Initialize(0), 0);
  Sent();
  ASSERT_EQ(p_->REQC(0x0003), 0);
  EXPECT_EQ(Sent(), AsSent({"FF 00 00 00 06 D4 32 05 00 00 00", "FF C0 00 00 04",
                            "FF 00 00 00 09 D4 4A 01 01 00 00 03 00 00", "FF C0 00 00 18",
                            "FF 00 00 00 0D D4 40 01 0A 0C " + kIdmHex, "FF C0 00 00 14"}));
  const uint8_t* card = nullptr;
  EXPECT_EQ(p_->SetCurrentCard(0, &card), 0);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(Hex(card, 16), kIdmHex + " " + Hex(kPmm, 8));
  EXPECT_EQ(p_->GetSystemCode(0), 0x0003);
  EXPECT_EQ(p_->GetSystemCode(1), 0xFE00);
  EXPECT_EQ(p_->GetSystemCode(2), 0xFFFF);
  const Lines trace = trace_->Take();
  const Lines tail(trace.end() - 4, trace.end());
  EXPECT_EQ(tail, (Lines{"REQC(0003) : Success.", "System code : 0003 ", "System code : FE00 ",
                         "RequestSystemCode() : Success."}));
  // FF in the system code is a wildcard; each system answers with its own IDm.
  ASSERT_EQ(p_->REQC(0xFEFF), 0);
  p_->SetCurrentCard(0, &card);
  EXPECT_EQ(Hex(card, 8), Hex(kFeIdm, 8));
}

TEST_P(PellixOnEveryReader, PollWithoutACard) {
  ASSERT_EQ(p_->REQC(0x0003), 0);
  TakeCardAway();
  trace_->Take();
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  EXPECT_EQ(trace_->TakeLast(), "REQC(0003) : Card nothing.");
  const uint8_t* card = reinterpret_cast<const uint8_t*>(1);
  p_->SetCurrentCard(0, &card);
  EXPECT_EQ(card, nullptr);
  EXPECT_EQ(p_->GetSystemCode(1), 0xFE00);  // the last card's codes stay
  PutCardBack();
  EXPECT_EQ(p_->REQC(0x1234), FELICA_NOTHING);  // a system the card does not hold
}

TEST_P(PellixCard, ReadsOneBlockPerCommand) {
  uint8_t data[16] = {};
  ASSERT_EQ(p_->Read(0x090F, 0, data), 0);
  EXPECT_EQ(Sent(), AsSent({"FF 00 00 00 13 D4 40 01 10 06 " + kIdmHex + " 01 0F 09 01 80 00",
                            "FF C0 00 00 22"}));
  EXPECT_EQ(Hex(data, 16), BlockHex(0x090F, 0));
  EXPECT_EQ(trace_->Take(), (Lines{"Service code list :", "090F,", "Block list :", "8000,",
                                   "FeliCaRead() : Success."}));
  EXPECT_EQ(p_->Read(0x0048, 0, data), FELICA_NOTHING);  // exists, needs a key: A6
  EXPECT_EQ(p_->Read(0x090F, 20, data), FELICA_E_READ);  // beyond the service: A8
  EXPECT_EQ(trace_->TakeLast(), "FeliCaRead() : Card status : f1=0xA8, f2=0x01.");
  EXPECT_EQ(p_->Read(0x090F, 0, nullptr), FELICA_E_PARAMETER);
  EXPECT_EQ(p_->Read(0x0813, 0, data), FELICA_NOTHING);  // purse cashback element 0x90
  EXPECT_EQ(Commands().back(), "FF 00 00 00 13 D4 40 01 10 06 " + kIdmHex + " 01 13 08 01 90 00");
}

TEST_P(PellixCard, ReadsThirtyBlocksInBatchesOfTwelve) {
  std::vector<BlockRef> refs;
  for (uint8_t b = 0; b < 20; ++b) refs.push_back({0x090F, b});
  for (uint8_t b = 0; b < 10; ++b) refs.push_back({0x2A0B, static_cast<uint8_t>(100 + b)});
  std::vector<uint8_t> data(16 * refs.size() + 16, 0x55);
  uint8_t count = static_cast<uint8_t>(refs.size());
  ASSERT_EQ(p_->Read2(refs.data(), &count, data.data()), 0);
  EXPECT_EQ(count, 30);
  const Lines commands = Commands();
  ASSERT_EQ(commands.size(), 3u);
  // 12 blocks of one service; then 8 of 090F and 4 of 2A0B; then 6 of 2A0B.
  std::string second = "FF 00 00 00 2B D4 40 01 28 06 " + kIdmHex + " 02 0F 09 0B 2A 0C";
  for (int b = 12; b < 20; ++b) second += " 80 " + Hex(reinterpret_cast<const uint8_t*>(&b), 1);
  for (int b = 100; b < 104; ++b) second += " 81 " + Hex(reinterpret_cast<const uint8_t*>(&b), 1);
  EXPECT_EQ(commands[1], second);
  EXPECT_EQ(commands[2].substr(0, 50), "FF 00 00 00 1D D4 40 01 1A 06 " + kIdmHex.substr(0, 20));
  for (size_t i = 0; i < refs.size(); ++i) {
    EXPECT_EQ(Hex(&data[16 * i], 16),
              BlockHex(static_cast<uint16_t>(refs[i].ServiceCode), refs[i].Block))
        << i;
  }
  EXPECT_EQ(data[16 * 30], 0x55);  // nothing past the blocks asked for
}

TEST_P(PellixCard, ARefusalInTheSecondBatchStopsTheRead) {
  std::vector<BlockRef> refs(30, BlockRef{0x090F, 0});
  refs[15] = {0x0048, 0};  // needs a key: A6
  std::vector<uint8_t> data(16 * 30);
  uint8_t count = 30;
  EXPECT_EQ(p_->Read2(refs.data(), &count, data.data()), FELICA_NOTHING);
  EXPECT_EQ(count, 12);
  EXPECT_EQ(Commands().size(), 2u);
  count = 0;
  EXPECT_EQ(p_->Read2(refs.data(), &count, data.data()), 0);
  EXPECT_EQ(Commands().size(), 0u);
}

TEST_P(PellixCard, WritesInBatchesAndTheCardKeepsThem) {
  std::vector<BlockRef> refs;
  for (int i = 0; i < 13; ++i) refs.push_back({0x1009, static_cast<uint8_t>(i % 4)});
  std::vector<uint8_t> data(16 * 13);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(p_->Write2(refs.data(), 13, data.data()), 0);
  const Lines commands = Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1].substr(0, 30), "FF 00 00 00 23 D4 40 01 20 08 ");  // 1 service, 1 block
  uint8_t block[16];
  ASSERT_EQ(p_->Read(0x1009, 0, block), 0);
  EXPECT_EQ(Hex(block, 16), Hex(&data[16 * 12], 16));      // the last write to block 0 wins
  EXPECT_EQ(p_->Write(0x090F, 0, block), FELICA_E_WRITE);  // read-only service: A5
  trace_->Take();
  EXPECT_EQ(p_->Write(0x0048, 0, block), FELICA_NOTHING);  // A6: no trace line
  EXPECT_EQ(trace_->Take(), Lines{});
  EXPECT_EQ(p_->Write(0x1009, 0, nullptr), FELICA_E_PARAMETER);
}

TEST_P(PellixCard, WalksTheServicesUntilTheCardSaysFFFF) {
  struct Node {
    uint32_t code, end;
  } expected[] = {{0x0000, 0xFFFE}, {0x0040, 0x07FF}, {0x0048, 0xFFFF}, {0x008B, 0xFFFF},
                  {0x090F, 0xFFFF}, {0x1009, 0xFFFF}, {0x2A0B, 0xFFFF}};
  for (int i = 0; i < 7; ++i) {
    uint32_t code = 0, end = 0;
    ASSERT_EQ(p_->GetServiceCode(i, &code, &end), 0) << i;
    EXPECT_EQ(code, expected[i].code) << i;
    EXPECT_EQ(end, expected[i].end) << i;
  }
  uint32_t code = 0, end = 1;
  EXPECT_EQ(p_->GetServiceCode(7, &code, &end), FELICA_E_READ);
  EXPECT_EQ(code, 0xFFFFu);
  EXPECT_EQ(Commands().back(), "FF 00 00 00 0F D4 40 01 0C 0A " + kIdmHex + " 07 00");
  EXPECT_EQ(p_->GetServiceCode(0, nullptr, &end), FELICA_E_PARAMETER);
}

TEST_P(PellixCard, SelectingACardBeyondTheTableDetachesIt) {
  const uint8_t* card = nullptr;
  EXPECT_EQ(p_->SetCurrentCard(5, &card), 0);
  ASSERT_NE(card, nullptr);  // still row 0
  uint8_t data[16];
  EXPECT_EQ(p_->Read(0x090F, 0, data), FELICA_E_NO_CARD);
  uint32_t code, end;
  EXPECT_EQ(p_->GetServiceCode(0, &code, &end), FELICA_E_NO_CARD);
  EXPECT_EQ(p_->SetCurrentCard(0, &card), 0);
  EXPECT_EQ(p_->Read(0x090F, 0, data), 0);
  EXPECT_EQ(p_->Close(), 0);
  EXPECT_EQ(p_->GetSystemCode(0), 0xFFFF);
}

TEST_P(PellixCard, CardRemovedBetweenCommands) {
  TakeCardAway();
  uint8_t data[16];
  uint32_t code, end;
  if (GetParam() == ReaderKind::kSam) {
    // The SAM stays; the PN532 finds the card silent.
    EXPECT_EQ(p_->Read(0x090F, 0, data), FELICA_E_READ);
    EXPECT_EQ(trace_->TakeLast(), "FeliCaRead() : Reader Error : 0x01.");
    EXPECT_EQ(p_->GetServiceCode(0, &code, &end), FELICA_E_SEARCH);
  } else {
    // The card was the connection: it is gone, and the reader waits for the next.
    EXPECT_EQ(p_->Read(0x090F, 0, data), FELICA_E_TRANSMIT);
    EXPECT_EQ(trace_->TakeLast(), "FeliCaRead() : SmartCard API Error : -2146434967 (0x80100069)");
    EXPECT_EQ(p_->GetServiceCode(0, &code, &end), FELICA_E_NO_CONTEXT);
  }
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  PutCardBack();
  EXPECT_EQ(p_->REQC(0x0003), 0);
  EXPECT_EQ(p_->Read(0x090F, 0, data), 0);
}

TEST_P(PellixCard, AnswersThatClaimMoreThanTheyCarry) {
  uint8_t guarded[16 * 3];
  std::memset(guarded, 0x77, sizeof guarded);
  pcscd_->SetFault("extra-blocks");
  EXPECT_EQ(p_->Read(0x090F, 0, guarded + 16), FELICA_E_READ);
  EXPECT_EQ(guarded[32], 0x77);  // nothing written past the block asked for
  EXPECT_EQ(guarded[15], 0x77);
  BlockRef refs[2] = {{0x090F, 0}, {0x090F, 1}};
  uint8_t count = 2;
  EXPECT_EQ(p_->Read2(refs, &count, guarded), FELICA_E_READ);
  EXPECT_EQ(guarded[32], 0x77);
  const bool sam = GetParam() == ReaderKind::kSam;
  if (sam) {  // "61 L" claims more than GET RESPONSE brings
    pcscd_->SetFault("long-length");
    EXPECT_EQ(p_->Read(0x090F, 0, guarded + 16), FELICA_E_READ);
    EXPECT_EQ(guarded[32], 0x77);
  }
  pcscd_->SetFault("short-reply");  // on the reader without a SAM: no status word either
  EXPECT_EQ(p_->Read(0x090F, 0, guarded + 16), sam ? FELICA_E_READ : FELICA_E_TRANSMIT);
  uint32_t code, end;
  EXPECT_EQ(p_->GetServiceCode(0, &code, &end), sam ? FELICA_E_SEARCH : FELICA_E_TRANSMIT);
  pcscd_->SetFault("syscode-count");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_FATAL);  // the system codes could not be read
  pcscd_->SetFault("");
  EXPECT_EQ(p_->REQC(0x0003), 0);
}

TEST_P(PellixCard, AStuckTraceViewerDoesNotStopTheDriver) {
  trace_->Pause();
  uint8_t data[16];
  for (int i = 0; i < 200; ++i) ASSERT_EQ(p_->Read(0x090F, static_cast<uint8_t>(i % 20), data), 0);
}

// PellixOnEveryReader is instantiated once, with the reader tests.
INSTANTIATE_TEST_SUITE_P(Readers, PellixCard,
                         ::testing::Values(ReaderKind::kSam, ReaderKind::kPicc), KindName);

}  // namespace
}  // namespace lorvane::pellix
