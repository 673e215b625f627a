// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/tests/definition_fixture.h"
#include "viewer/carddef/tests/recording_reader.h"

namespace lorvane::carddef {
namespace {

using Calls = std::vector<std::string>;

const char kTwoSystems[] =
    "CardName=Two systems\r\nSystemCode1=0003,1\r\nSystemCode2=FE00,2\r\n"
    "ServiceCode.01=090F,0,2\r\nServiceCode.02=1317,0,1\r\nServiceCode.03=170F,3,2\r\n"
    "Info.01.BlockSetNo=3\r\nInfo.01.BlockPerRecord=1\r\nInfo.01.Format=\"%s\",1\r\n"
    "Info.01.01.Data=0,1\r\nInfo.01.01.Format=%02X\r\n";

TEST(ReadCard, PollsEachSystemThenReadsItsBlocksInPlanOrder) {
  DefinitionFixture fx;
  const auto def = fx.Load(kTwoSystems);
  RecordingReader reader;
  reader.identities[0xFE00] = {9, 9, 9, 9, 9, 9, 9, 1};
  reader.blocks[{0x170F, 3}] = HexBlock("AA");
  reader.blocks[{0x170F, 4}] = HexBlock("BB");
  ASSERT_EQ(def->ReadCard(reader), 0);
  EXPECT_EQ(reader.calls,
            (Calls{"REQC 0003", "SetCurrentCard 0", "Read 090F 0", "Read 090F 1", "REQC FE00",
                   "SetCurrentCard 0", "Read 1317 0", "Read 170F 3", "Read 170F 4"}));
  EXPECT_EQ(def->GetIDm()[7], 1);  // the IDm reported after the last poll
  EXPECT_EQ(def->blockData()[3 * 16], 0xAA);
  EXPECT_EQ(def->GetInfoLine(0), u"IDm: 0909 0909 0909 0901");
  EXPECT_EQ(def->GetInfoLine(1), u"AA");
  EXPECT_EQ(def->GetInfoLine(2), u"BB");
  EXPECT_EQ(def->GetInfoLine(3), std::nullopt);
}

TEST(ReadCard, FirstFailureEndsTheRead) {
  DefinitionFixture fx;
  const auto def = fx.Load(kTwoSystems);
  {
    RecordingReader reader;
    reader.pollStatus[0x0003] = 5;
    EXPECT_EQ(def->ReadCard(reader), 5);
    EXPECT_EQ(reader.calls, (Calls{"REQC 0003"}));
  }
  {
    RecordingReader reader;
    reader.pollStatus[0xFE00] = -11;
    EXPECT_EQ(def->ReadCard(reader), kReadReaderGone);
  }
  {
    RecordingReader reader;
    reader.pollStatus[0x0003] = -40;
    EXPECT_EQ(def->ReadCard(reader), -40);
  }
  {
    RecordingReader reader;
    reader.failAtRead = 2;
    EXPECT_EQ(def->ReadCard(reader), -53);
    EXPECT_EQ(reader.CountCalls("Read "), 3u);
    EXPECT_EQ(def->GetInfoLine(1), std::nullopt);  // nothing decoded
  }
}

TEST(ReadCard, WithoutSystemsNothingIsCalledAndZeroesAreDecoded) {
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Quiet\r\nServiceCode.01=090F,0,1\r\nInfo.01.BlockSetNo=1\r\n"
      "Info.01.Format=\"v%s\",1\r\nInfo.01.01.Data=0,1\r\nInfo.01.01.Format=%d\r\n");
  RecordingReader reader;
  ASSERT_EQ(def->ReadCard(reader), 0);
  EXPECT_TRUE(reader.calls.empty());
  EXPECT_EQ(def->GetInfoLine(0), u"IDm: 0000 0000 0000 0000");
  EXPECT_EQ(def->GetInfoLine(1), std::nullopt);  // block set not read: no lines
}

TEST(ReadCard, AMissingCardIdentityLeavesTheIdmZero) {
  DefinitionFixture fx;
  const auto def = fx.Load(kTwoSystems);
  RecordingReader reader;
  reader.nullIdentity = true;
  ASSERT_EQ(def->ReadCard(reader), 0);
  EXPECT_EQ(def->GetInfoLine(0), u"IDm: 0000 0000 0000 0000");
}

TEST(ReadCard, NeverReadsMoreThan255BlocksOrPastItsBuffers) {
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Big\r\nSystemCode1=0003,3\r\nServiceCode.01=090F,0,200\r\n"
      "ServiceCode.02=1317,0,200\r\nServiceCode.03=170F,0,300\r\n");
  RecordingReader reader;
  ASSERT_EQ(def->ReadCard(reader), 0);
  EXPECT_EQ(reader.CountCalls("Read "), 255u);
  EXPECT_EQ(reader.calls.back(), "Read 1317 54");
}

}  // namespace
}  // namespace lorvane::carddef
