// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/tests/definition_fixture.h"
#include "viewer/carddef/tests/recording_reader.h"

namespace lorvane::carddef {
namespace {

using platform::U8;
using Lines = std::vector<std::string>;

std::string Header(int blocks) {
  return "CardName=T\r\nSystemCode1=0003,1\r\nServiceCode.01=090F,0," + std::to_string(blocks) +
         "\r\nInfo.01.BlockSetNo=1\r\n";
}

Lines History(const CardDefinition& def) {
  Lines lines;
  for (uint16_t n = 0; auto line = def.GetHistoryLine(n); ++n) lines.push_back(U8(*line));
  return lines;
}

Lines Info(const CardDefinition& def) {
  Lines lines;
  for (uint16_t n = 1; auto line = def.GetInfoLine(n); ++n) lines.push_back(U8(*line));
  return lines;
}

struct Fixture {
  DefinitionFixture files;
  RecordingReader reader;
  std::unique_ptr<CardDefinition> def;

  void Block(uint8_t n, const std::string& hex) { reader.blocks[{0x090F, n}] = HexBlock(hex); }
  int32_t Read(const std::string& body) {
    def = files.Load(body);
    EXPECT_TRUE(def->loaded());
    return def->ReadCard(reader);
  }
};

const char kHistory[] =
    "Info.01.BlockPerRecord=1\r\nInfo.01.History=1\r\n"
    "Info.01.Format=\"%s/%s/%s %s %s %s\",DY,DM,1,2,MP,3\r\n"
    "Info.01.01.Data=4,2\r\nInfo.01.01.Invert=1\r\nInfo.01.01.Function=DD\r\nInfo.01.01.Format=%"
    "02d\r\n"
    "Info.01.01.Title=Day\r\n"
    "Info.01.02.Data=0,1\r\nInfo.01.02.Function=MD\r\nInfo.01.02.Format=%02X\r\nInfo.01.02.Title="
    "Kind\r\n"
    "Info.01.03.Data=10,2\r\nInfo.01.03.Function=MR\r\nInfo.01.03.Format=%d\r\nInfo.01.03.Title="
    "Balance\r\n"
    "Info.01.DY.Format=%04d\r\nInfo.01.DY.Title=Year\r\nInfo.01.DM.Format=%02d\r\nInfo.01.DM.Title="
    "Mon\r\n"
    "Info.01.MP.Title=Pay\r\nInfo.01.MP.Format=%d\r\n"
    "Replace.01.Data=1,2\r\n"
    "Replace.01.01.Value=16\r\nReplace.01.01.Name=Fare\r\n"
    "Replace.01.02.Value=02\r\nReplace.01.02.Name=Charge\r\nReplace.01.02.Mode=1\r\n"
    "Replace.01.03.Value=07\r\nReplace.01.03.Name=Issue\r\nReplace.01.03.Mode=2\r\n";

TEST(DecodeRecords, HistoryWithPaymentsFromConsecutiveBalances) {
  Fixture f;
  // Newest first: fare (balance 1000), charge (1210), fare (210), issue (500).
  f.Block(0,
          "16000000"
          "1D4C"
          "00000000"
          "E803");  // 7500 days: 2020-07-14
  f.Block(1,
          "02000000"
          "1D4B"
          "00000000"
          "BA04");
  f.Block(2,
          "16000000"
          "1D4A"
          "00000000"
          "D200");
  f.Block(3,
          "07000000"
          "1D49"
          "00000000"
          "F401");
  ASSERT_EQ(f.Read(Header(5) + kHistory), 0);
  EXPECT_EQ(History(*f.def), (Lines{"Year/Mon/Day Kind Pay Balance", "2020/07/14 Fare 210 1,000",
                                    "2020/07/13 Charge 1,000 1,210", "2020/07/12 Fare 290 210",
                                    "2020/07/11 Issue 500 500"}));
}

TEST(DecodeRecords, TheLastRecordHasNoFollowingBalance) {
  Fixture f;
  f.Block(0,
          "16000000"
          "1D4C"
          "00000000"
          "E803");
  f.Block(1,
          "02000000"
          "1D4B"
          "00000000"
          "BA04");
  ASSERT_EQ(f.Read(Header(2) + kHistory), 0);
  const Lines lines = History(*f.def);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "2020/07/13 Charge  1,210");  // mode 1 without an older record: empty
}

TEST(DecodeRecords, AnInvalidHistoryRecordEndsTheHistory) {
  Fixture f;
  f.Block(0,
          "16000000"
          "0001"
          "00000000"
          "0100");  // day 1: 2000-01-02
  f.Block(1,
          "16000000"
          "0002"
          "00000000"
          "0200");
  f.Block(2,
          "16000000"
          "0003"
          "00000000"
          "0300");
  f.Block(3,
          "16000000"
          "0000"
          "00000000"
          "0400");  // day 0: invalid
  f.Block(4,
          "16000000"
          "0005"
          "00000000"
          "0500");
  ASSERT_EQ(f.Read(Header(5) + kHistory), 0);
  const Lines lines = History(*f.def);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "2000/01/02 Fare 1 1");
  EXPECT_EQ(lines[3], "2000/01/04 Fare  3");  // the following record is invalid: no payment
}

TEST(DecodeRecords, CardInformationRecordsStandAlone) {
  Fixture f;
  f.Block(0, "01");
  f.Block(1, "00");
  f.Block(2, "03");
  ASSERT_EQ(f.Read(Header(3) +
                   "Info.01.BlockPerRecord=1\r\nInfo.01.Format=\"v%s\",1\r\n"
                   "Info.01.01.Data=0,1\r\nInfo.01.01.Function=DM\r\nInfo.01.01.Format=%d\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), (Lines{"v1", "v3"}));
  EXPECT_EQ(History(*f.def), Lines{});
}

TEST(DecodeRecords, TimeFromSecondsOrMinutes) {
  Fixture f;
  f.Block(0,
          "F0B0"
          "F202");  // 45296 s = 12:34:56; 754 min = 12:34
  ASSERT_EQ(f.Read(Header(1) +
                   "Info.01.Format=\"%s:%s:%s %s\",TH,TM,1,TH\r\n"
                   "Info.01.01.Data=0,2\r\nInfo.01.01.Function=TS\r\nInfo.01.01.Format=%02d\r\n"
                   "Info.01.TH.Format=%02d\r\nInfo.01.TM.Format=%02d\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), Lines{"12:34:56 12"});
  ASSERT_EQ(f.Read(Header(1) +
                   "Info.01.Format=\"%s:%s\",TH,1\r\n"
                   "Info.01.01.Data=2,2\r\nInfo.01.01.Function=TM\r\nInfo.01.01.Format=%02d\r\n"
                   "Info.01.TH.Format=%d\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), Lines{"12:34"});
}

TEST(DecodeRecords, ItemTextsFromFilesCannotReadMissingArguments) {
  Fixture f;
  f.Block(0, "05");
  ASSERT_EQ(
      f.Read(Header(1) +
             "Info.01.History=1\r\n"
             "Info.01.Format=\"[%s][%s][%s][%d][%s]\",1,9,MP\r\n"
             "Info.01.01.Data=0,1\r\nInfo.01.01.Format=%d%s%n\r\n"
             "Replace.01.Data=1,1\r\nReplace.01.01.Value=5\r\nReplace.01.01.Name=%s 100%% %x\r\n"),
      0);
  // Field 9 does not exist; the MP item has no title; the line has more conversions than items.
  EXPECT_EQ(History(*f.def), (Lines{"[][][][][]", "[ 100% ][][][][]"}));
}

TEST(DecodeRecords, EmptyReplaceNameFallsBackToTheFieldFormat) {
  Fixture f;
  f.Block(0, "46");
  ASSERT_EQ(f.Read(Header(1) +
                   "Info.01.Format=\"%s\",1\r\nInfo.01.01.Data=0,1\r\nInfo.01.01.Format=<%02X>\r\n"
                   "Info.01.01.Offset=1\r\n"
                   "Replace.01.Data=1,1\r\nReplace.01.01.Value=46\r\nReplace.01.01.Name=\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), Lines{"<47>"});
}

TEST(DecodeRecords, TitleRowIsKeptEvenWhenEmptyAndEmptyLinesAreDropped) {
  Fixture f;
  ASSERT_EQ(f.Read(Header(2) +
                   "Info.01.BlockPerRecord=1\r\nInfo.01.History=1\r\nInfo.01.Format=\"%s\",1\r\n"
                   "Info.01.01.Data=0,1\r\n"),
            0);
  EXPECT_EQ(History(*f.def), Lines{""});
}

TEST(DecodeRecords, WholeBlockSetIsOneRecordWithoutBlockPerRecord) {
  Fixture f;
  f.Block(1, "0000000000000000000000000000002A");
  ASSERT_EQ(f.Read(Header(2) +
                   "Info.01.Format=\"%s\",1\r\nInfo.01.01.Data=31,1\r\nInfo.01.01.Format=%d\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), Lines{"42"});
}

TEST(DecodeRecords, ItemCodesBeyondTheFunctionsStopDecoding) {
  Fixture f;
  ASSERT_EQ(f.Read(Header(1) + "Info.01.Format=\"%s\",-12\r\nInfo.01.01.Data=0,1\r\n"), 0);
  EXPECT_EQ(f.def->DecodeRecords(), kOtherFailure);
  EXPECT_EQ(Info(*f.def), Lines{});
}

TEST(DecodeRecords, LongLinesAndLongIdmLines) {
  Fixture f;
  ASSERT_EQ(f.Read("IDmSpaceNum=500\r\n" + Header(1) +
                   "Info.01.Format=\"%s\",1\r\n"
                   "Info.01.01.Data=0,1\r\nInfo.01.01.Format=%0300d\r\n"),
            0);
  EXPECT_EQ(f.def->GetInfoLine(0)->size(), 201u);
  EXPECT_EQ(Info(*f.def)[0].size(), 79u);  // an item text holds at most 79 characters
  ASSERT_EQ(
      f.Read(Header(1) +
             "Info.01.Format=\"%1999s%s\",1,1\r\nInfo.01.01.Data=0,1\r\nInfo.01.01.Format=x\r\n"),
      0);
  EXPECT_EQ(f.def->DecodeRecords(), kOutOfMemory);  // 2000 characters do not fit
}

TEST(DecodeRecords, TextFields) {
  Fixture f;
  f.Block(0, "E697A5E69CAC00FF");
  f.Block(1, "FF");
  ASSERT_EQ(f.Read(Header(2) +
                   "Info.01.BlockPerRecord=1\r\nInfo.01.Format=\"<%s>\",1\r\n"
                   "Info.01.01.Data=0,8\r\nInfo.01.01.Function=ST\r\nInfo.01.01.Format=%d\r\n"),
            0);
  EXPECT_EQ(Info(*f.def), (Lines{"<日本>", "<>"}));
}

}  // namespace
}  // namespace lorvane::carddef
