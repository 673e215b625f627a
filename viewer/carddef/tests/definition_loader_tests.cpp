// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <filesystem>

#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/definition_notifier.h"
#include "viewer/carddef/tests/definition_fixture.h"
#include "viewer/carddef/tests/recording_reader.h"

namespace lorvane::carddef {
namespace {

using platform::U16;
using platform::U8;

class CountingNotifier : public DefinitionNotifier {
 public:
  CountingNotifier() { previous_ = SetDefinitionNotifier(this); }
  ~CountingNotifier() override { SetDefinitionNotifier(previous_); }
  void DefinitionReadError(const std::u16string& file, const std::u16string& key) override {
    keys.push_back(U8(key));
    EXPECT_FALSE(file.empty());
  }
  void DefinitionSkipped(const std::u16string& file, const std::string& reason) override {
    skipped.push_back(U8(file) + ": " + reason);
  }
  std::vector<std::string> keys;
  std::vector<std::string> skipped;

 private:
  DefinitionNotifier* previous_ = nullptr;
};

// The worked example of the definition format: a 20-record history in service 090F.
const char kTransitExample[] =
    "CardName=Transit card\r\n"
    "SystemCode1=0003,1\r\n"
    "ServiceCode.01=090F,0,20\r\n"
    "Info.01.BlockSetNo=1\r\n"
    "Info.01.BlockPerRecord=1\r\n"
    "Info.01.History=1\r\n"
    "Info.01.Format=\"%s/%s/%s %s %s %s\",DY,DM,1,2,MP,3\r\n"
    "Info.01.01.Data=4,2\r\nInfo.01.01.Invert=1\r\nInfo.01.01.Function=DD\r\nInfo.01.01.Format=%"
    "02d\r\n"
    "Info.01.02.Data=0,1\r\nInfo.01.02.Function=MD\r\nInfo.01.02.Format=%02X\r\n"
    "Info.01.03.Data=10,2\r\nInfo.01.03.Function=MR\r\nInfo.01.03.Format=%d\r\n"
    "Info.01.DY.Format=%04d\r\nInfo.01.DM.Format=%02d\r\n"
    "Info.01.MP.Title=Payment\r\nInfo.01.MP.Format=%d\r\n"
    "Replace.01.Data=1,2\r\n"
    "Replace.01.01.Value=16\r\nReplace.01.01.Name=Fare\r\nReplace.01.01.Mode=0\r\n"
    "Replace.01.02.Value=02\r\nReplace.01.02.Name=Charge\r\nReplace.01.02.Mode=1\r\n";

TEST(DefinitionLoader, LoadsTheWorkedExample) {
  DefinitionFixture fx;
  const auto def = fx.Load(kTransitExample);
  ASSERT_TRUE(def->loaded());
  EXPECT_EQ(def->GetCardName(), u"Transit card");
  EXPECT_EQ(def->system(0).systemCode, 0x0003);
  EXPECT_EQ(def->system(0).serviceCount, 1);
  EXPECT_EQ(def->readBlockCount(), 20);
  ASSERT_EQ(def->readPlan().size(), 20u);
  EXPECT_EQ(def->readPlan()[19].serviceCode, 0x090Fu);
  EXPECT_EQ(def->readPlan()[19].blockNumber, 19);
  EXPECT_EQ(def->historyInfo(), 1);
  const InfoRecord& info = def->info(0);
  EXPECT_EQ(U8(info.lineFormat), "%s/%s/%s %s %s %s");
  const std::array<int16_t, 6> items = {-kDY, -kDM, 1, 2, -kMP, 3};
  for (size_t k = 0; k < items.size(); ++k) EXPECT_EQ(info.items[k], items[k]) << k;
  EXPECT_EQ(info.items[6], 0);
  EXPECT_EQ(info.fieldCount, 3);
  EXPECT_EQ(info.functionField[kDD], 1);
  EXPECT_EQ(info.functionField[kMD], 2);
  EXPECT_EQ(info.functionField[kMR], 3);
  EXPECT_EQ(info.fields[0].bitLength, 16);
  EXPECT_TRUE(info.fields[0].invert);
  EXPECT_EQ(info.fields[1].replaceTable, 1);
  EXPECT_EQ(U8(info.itemDescriptors[kMP].title), "Payment");
  ASSERT_EQ(def->replaceCount(), 1);
  ASSERT_EQ(def->replaceTable(0).size(), 2u);
  EXPECT_EQ(def->replaceTable(0)[0].value, 0x16);
  EXPECT_EQ(def->replaceTable(0)[1].mode, 1);
}

TEST(DefinitionLoader, ListsEndWhereTheirKeysEnd) {
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Lists\r\nSystemCode1=0003,2\r\nSystemCode2=FE00\r\nSystemCode4=1234,1\r\n"
      "ServiceCode.01=008B,0,1\r\nServiceCode.02=090F,5,2\r\nServiceCode.03=FFFF,0,1\r\n"
      "ServiceCode.04=1317,0,1\r\n"
      "Info.01.BlockSetNo=1\r\nInfo.01.Format=\"%s\",1\r\n"
      "Info.01.01.Data=0,1\r\nInfo.01.02.Data=\r\nInfo.01.03.Data=1,1\r\n"
      "Info.02.BlockSetNo=0\r\n"
      "Info.03.BlockSetNo=2\r\nInfo.03.Format=x\r\n"
      "Info.05.BlockSetNo=1\r\n");
  ASSERT_TRUE(def->loaded());
  EXPECT_EQ(def->system(1).systemCode, 0xFE00);
  EXPECT_EQ(def->system(1).serviceCount, 0);
  EXPECT_EQ(def->system(2).systemCode, 0);  // SystemCode3 absent ends the list
  EXPECT_EQ(def->serviceEntryCount(), 2);   // FFFF ends the services
  EXPECT_EQ(def->readBlockCount(), 3);
  ASSERT_EQ(def->readPlan().size(), 3u);
  EXPECT_EQ(def->readPlan()[2].blockNumber, 6);
  EXPECT_EQ(def->infoCount(), 3);           // Info.04 absent ends the Infos
  EXPECT_EQ(def->info(0).fieldCount, 1);    // an empty .Data ends the fields
  EXPECT_EQ(def->info(1).lineFormat, u"");  // BlockSetNo 0: present but empty
  EXPECT_EQ(def->info(2).dataOffset, 16u);
}

TEST(DefinitionLoader, AFieldWithOneOrThreeNumbersIsReportedAndLoadingGoesOn) {
  CountingNotifier notifier;
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Odd data\r\nSystemCode1=0003,1\r\nServiceCode.01=090F,0,1\r\n"
      "Info.01.BlockSetNo=1\r\nInfo.01.Format=\"%s %s %s\",1,2,3\r\n"
      "Info.01.01.Data=3\r\nInfo.01.02.Data=0,2,4\r\nInfo.01.03.Data=0,2,4,8\r\n");
  EXPECT_TRUE(def->loaded());
  EXPECT_EQ(notifier.keys, (std::vector<std::string>{"Info.01.01.Data", "Info.01.02.Data"}));
  EXPECT_EQ(def->info(0).fieldCount, 3);
  EXPECT_EQ(def->info(0).fields[1].bitOffset, 4);
  EXPECT_EQ(def->info(0).fields[1].bitLength, 0);
}

TEST(DefinitionLoader, ReplaceTablesAndTheirAttachments) {
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Tables\r\nSystemCode1=0003,1\r\nServiceCode.01=090F,0,1\r\n"
      "Info.01.BlockSetNo=1\r\nInfo.01.Format=\"%s %s\",1,2\r\n"
      "Info.01.01.Data=0,1\r\nInfo.01.02.Data=1,1\r\n"
      "Replace.01.Data=1,1\r\n"  // no entries: absent, later tables still load
      "Replace.02.Data=1,2\r\nReplace.02.01.Value=46\r\nReplace.02.01.Name=x\r\n"
      "Replace.03.Data=1,7\r\nReplace.03.01.Value=1\r\n"  // field 7 was not loaded
      "Replace.04.Data=2,1\r\nReplace.04.01.Value=1\r\n"  // Info 2 does not exist
      "Replace.05.Data=1\r\nReplace.05.01.Value=1\r\n");  // no field number
  ASSERT_TRUE(def->loaded());
  EXPECT_EQ(def->replaceCount(), 5);
  EXPECT_TRUE(def->replaceTable(0).empty());
  ASSERT_EQ(def->replaceTable(1).size(), 1u);
  EXPECT_EQ(def->replaceTable(1)[0].value, 0x46);
  EXPECT_EQ(def->info(0).fields[0].replaceTable, 1);
  EXPECT_EQ(def->info(0).fields[1].replaceTable, 2);
}

TEST(DefinitionLoader, TwoHistoryInfosShowOnlyTheLast) {
  DefinitionFixture fx;
  const auto def = fx.Load(
      "CardName=Two\r\nSystemCode1=0003,1\r\nServiceCode.01=090F,0,1\r\n"
      "Info.01.BlockSetNo=1\r\nInfo.01.History=1\r\nInfo.01.Format=\"A%s\",1\r\nInfo.01.01.Data=0,"
      "1\r\nInfo.01.01.Format=%d\r\n"
      "Info.02.BlockSetNo=1\r\nInfo.02.History=1\r\nInfo.02.Format=\"B%s\",1\r\nInfo.02.01.Data=0,"
      "1\r\nInfo.02.01.Format=%d\r\n");
  ASSERT_TRUE(def->loaded());
  EXPECT_EQ(def->historyInfo(), 2);
  RecordingReader reader;
  reader.blocks[{0x090F, 0}][0] = 7;
  ASSERT_EQ(def->ReadCard(reader), 0);
  EXPECT_EQ(def->GetHistoryLine(1), u"B7");
  EXPECT_EQ(def->GetInfoLine(1), std::nullopt);  // Info 1 is a history: no info lines
}

TEST(DefinitionLoader, SectionsOfCardDefineIni) {
  DefinitionFixture fx;
  const auto file = fx.Path("CardDefine.ini",
                            "[Service01]\nCardName=First\n[Service02]\nCardName=Second\n"
                            "[Card Definition]\nCardName=Single\n");
  EXPECT_EQ(ReadCardName(file, 1, 99), u"First");
  EXPECT_EQ(ReadCardName(file, 2, 3), u"Sec");
  EXPECT_EQ(ReadCardName(file, 3, 99), u"");
  EXPECT_EQ(ReadCardName(file, -1, 99), u"Single");
  CardDefinition second(file, 2);
  EXPECT_TRUE(second.loaded());
  EXPECT_EQ(second.sectionName(), u"Service02");
  EXPECT_EQ(SectionNameFor(100), u"Service100");
}

TEST(DefinitionLoader, LongPathsAndMissingFiles) {
  CardDefinition tooLong(std::u16string(260, u'a'), -1);
  EXPECT_FALSE(tooLong.loaded());
  EXPECT_EQ(tooLong.LoadDefinition(std::u16string(260, u'a'), -1), kBadPathOrItem);
  CardDefinition missing(u"/no/such/CardDef_x.ini", -1);
  EXPECT_FALSE(missing.loaded());
  EXPECT_EQ(missing.GetCardName(), kUnknownCardName);
  EXPECT_EQ(missing.LoadDefinition(std::nullopt, -1), 0);
  RecordingReader reader;
  EXPECT_EQ(missing.ReadCard(reader), kReadNotLoaded);
  EXPECT_TRUE(reader.calls.empty());
}

// Every file in fixtures/broken loads to its status without crashing, and a definition
// that loaded reads and decodes without touching memory outside its buffers.
TEST(DefinitionLoader, BrokenFixtures) {
  struct Case {
    const char* file;
    int16_t status;
    const char* cardName;  // what GetCardName gives afterwards
  } cases[] = {
      {"no_card_name.ini", kNotADefinition, "不明カード"},
      {"empty_card_name.ini", kNotADefinition, "不明カード"},
      {"wrong_section.ini", kNotADefinition, "不明カード"},
      {"unknown_item.ini", kBadPathOrItem, "Bad item"},
      {"blank_after_item.ini", kBadPathOrItem, "Blank"},
      {"quoted_item.ini", kBadPathOrItem, "Quoted item"},
      {"trailing_garbage_number.ini", kBadPathOrItem, "Number"},
      {"empty_format.ini", kOtherFailure, "No format"},
      {"unterminated_quote.ini", kOtherFailure, "Unterminated"},
      {"garbage_numbers.ini", kLoaded, "Garbage"},
      {"huge_counts.ini", kLoaded, "Huge"},
      {"binary_junk.ini", kNotADefinition, "不明カード"},
      {"utf16_file.ini", kLoaded, "日本"},
  };
  CountingNotifier quiet;
  const std::filesystem::path folder =
      std::filesystem::path(LORVANE_SOURCE_DIR) / "viewer/carddef/tests/fixtures/broken";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::u16string path = U16((folder / c.file).string());
    CardDefinition def(path, -1);
    EXPECT_EQ(def.LoadDefinition(path, -1), c.status);
    EXPECT_EQ(def.loaded(), c.status == kLoaded);
    EXPECT_EQ(U8(def.GetCardName()), c.cardName);
    RecordingReader reader;
    const int32_t read = def.ReadCard(reader);
    EXPECT_EQ(read, c.status == kLoaded ? 0 : kReadNotLoaded);
    EXPECT_LE(reader.CountCalls("Read "), 255u);
    for (uint16_t n = 0; n < 300; ++n) {
      def.GetInfoLine(n);
      def.GetHistoryLine(n);
    }
  }
}

}  // namespace
}  // namespace lorvane::carddef
