// SPDX-License-Identifier: MIT
// The archive with the shipped transit definition: reads of one card merged into its whole
// history in any order, gaps, two cards, definitions applied after the reads; CSV; and the
// faults a file can have: not a database, a damaged page, a read-only folder, a full disk, a
// kill while storing, two programs storing at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "cardimage/card_image_reader.h"
#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "testing/support/transit_card.h"
#include "viewer/archive/card_history.h"
#include "viewer/archive/history_csv.h"

namespace lorvane::archive {
namespace {

namespace fs = std::filesystem;
using carddef::CardDefinition;
using lorvane::testing::TransitCard;

const fs::path kLanguages = fs::path(LORVANE_BIN_DIR) / "Define/Language";

std::unique_ptr<CardDefinition> Transit(const char* language = "English") {
  return std::make_unique<CardDefinition>(
      platform::U16((kLanguages / language / "CardDef_Transit.ini").string()), -1);
}

class ArchiveTest : public ::testing::Test {
 protected:
  fs::path File() const { return dir_.path() / "history.sqlite"; }
  void Store(int uses, int64_t at, const Id8& idm = TransitCard(0).idm) {
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(File(), error);
    ASSERT_NE(archive, nullptr) << error;
    ASSERT_TRUE(archive->Store(FromCardImage(TransitCard(uses, idm), at), error)) << error;
  }
  std::vector<CardHistory> Histories(CardDefinition& definition) {
    std::string error;
    auto archive = HistoryArchive::OpenForReading(File(), error);
    EXPECT_NE(archive, nullptr) << error;
    if (archive == nullptr) return {};
    auto histories = LoadCardHistories(*archive, {&definition}, std::nullopt, error);
    EXPECT_TRUE(histories) << error;
    return histories.value_or(std::vector<CardHistory>{});
  }
  std::vector<std::u16string> Lines(CardDefinition& definition) {
    const auto histories = Histories(definition);
    std::vector<std::u16string> lines;
    if (histories.size() == 1) {
      for (const auto& row : histories[0].rows) lines.push_back(row.line);
    }
    return lines;
  }
  lorvane::testing::TempDir dir_;
};

// What the card itself shows after `uses` uses, line by line.
std::vector<std::u16string> CardLines(int uses, size_t count) {
  std::vector<std::u16string> all;
  for (int newest = uses; newest > 0; newest -= 20) {
    cardimage::CardImageReader reader(TransitCard(newest));
    auto definition = Transit();
    EXPECT_EQ(definition->ReadCard(reader), 0);
    for (const auto& row : definition->HistoryRows()) all.push_back(row.line);
  }
  return std::vector<std::u16string>(all.begin(), all.begin() + std::min(count, all.size()));
}

TEST_F(ArchiveTest, ReadsOfOneCardInEveryOrderGiveItsWholeHistory) {
  const std::vector<int> reads = {20, 33, 45, 58, 70};
  std::vector<std::u16string> first;
  for (int order = 0; order < 5; ++order) {
    const fs::path file = File();
    fs::remove(file);
    for (size_t i = 0; i < reads.size(); ++i)
      Store(reads[(i + order) % reads.size()], 1000 + reads[i]);
    auto definition = Transit();
    const auto lines = Lines(*definition);
    ASSERT_EQ(lines.size(), 70u) << "order " << order;
    if (order == 0) first = lines;
    EXPECT_EQ(lines, first) << "order " << order;
  }
  // The newest 19 are what the card shows now; its 20th has its payment here, since the
  // archive knows the record before it.
  const auto card = CardLines(70, 20);
  EXPECT_EQ(std::vector<std::u16string>(first.begin(), first.begin() + 19),
            std::vector<std::u16string>(card.begin(), card.begin() + 19));
  EXPECT_NE(first[19], card[19]);
}

TEST_F(ArchiveTest, TheSameReadTwiceAddsNothingButWidensItsTimes) {
  Store(30, 100);
  Store(30, 500);
  Store(30, 50);
  auto definition = Transit();
  const auto histories = Histories(*definition);
  ASSERT_EQ(histories.size(), 1u);
  EXPECT_EQ(histories[0].rows.size(), 20u);
  EXPECT_EQ(histories[0].firstAt, 50);
  EXPECT_EQ(histories[0].lastAt, 500);
}

TEST_F(ArchiveTest, AGapStaysAGapAndTheOldestRecordOfARunShowsNoPayment) {
  Store(20, 1);  // uses 1..20
  Store(54, 2);  // uses 35..54
  auto definition = Transit();
  auto histories = Histories(*definition);
  ASSERT_EQ(histories.size(), 1u);
  const auto& rows = histories[0].rows;
  ASSERT_EQ(rows.size(), 40u);
  const auto& columns = histories[0].columns;
  const auto payment =
      static_cast<size_t>(std::find_if(columns.begin(), columns.end(),
                                       [](const auto& c) { return c.role == carddef::kMP; }) -
                          columns.begin());
  ASSERT_LT(payment, columns.size());
  EXPECT_FALSE(rows[19].items[payment].amount);  // use 35: its older neighbour is unknown
  EXPECT_TRUE(rows[18].items[payment].amount);
  // A read of uses 19..38 bridges the gap: use 35 gets its payment, nothing is invented.
  Store(38, 3);
  histories = Histories(*definition);
  ASSERT_EQ(histories[0].rows.size(), 54u);
  EXPECT_EQ(histories[0].rows[19].items[payment].amount, 210);
  EXPECT_EQ(histories[0].rows.back().items[payment].amount, std::nullopt);  // use 1
}

TEST_F(ArchiveTest, TwoCardsStayApartTheLatestReadFirst) {
  Store(25, 10);
  Store(40, 20, {0x01, 0x2E, 0x4C, 0x66, 0x77, 0x88, 0x99, 0xBB});
  auto definition = Transit();
  const auto histories = Histories(*definition);
  ASSERT_EQ(histories.size(), 2u);
  EXPECT_EQ(histories[0].idm[7], 0xBB);
  EXPECT_EQ(histories[0].rows.size(), 20u);
  EXPECT_EQ(histories[1].idm[7], 0xAA);
  bool found = false;
  std::string error;
  auto archive = HistoryArchive::OpenForWriting(File(), error);
  ASSERT_TRUE(archive->Forget(histories[0].idm, found, error)) << error;
  EXPECT_TRUE(found);
  ASSERT_TRUE(archive->Forget(histories[0].idm, found, error)) << error;
  EXPECT_FALSE(found);
  EXPECT_EQ(Histories(*definition).size(), 1u);
}

TEST_F(ArchiveTest, ReadsAreDecodedByTheDefinitionsOfToday) {
  Store(21, 1);
  auto english = Transit("English");
  auto japanese = Transit("Japanese");
  const auto inEnglish = Lines(*english);
  const auto inJapanese = Lines(*japanese);
  ASSERT_EQ(inEnglish.size(), 20u);
  ASSERT_EQ(inJapanese.size(), 20u);
  EXPECT_NE(inEnglish[0], inJapanese[0]);
  EXPECT_NE(platform::U8(inJapanese[0]).find("改札機"), std::string::npos)
      << platform::U8(inJapanese[0]);
}

TEST_F(ArchiveTest, CsvForSpreadsheets) {
  EXPECT_EQ(CsvField("plain"), "plain");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  Store(22, 1);
  auto definition = Transit();
  const std::string csv = HistoriesCsv(Histories(*definition));
  std::ifstream golden(fs::path(LORVANE_SOURCE_DIR) / "viewer/archive/tests/golden/transit.csv",
                       std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(golden)), {});
  EXPECT_EQ(csv, expected);
}

TEST_F(ArchiveTest, AFileThatIsNoDatabaseIsToldAndLeftAsItWas) {
  std::ofstream(File()) << "my notes, not a database\n";
  std::string error;
  EXPECT_EQ(HistoryArchive::OpenForWriting(File(), error), nullptr);
  EXPECT_EQ(error, "not an SQLite database");
  EXPECT_EQ(HistoryArchive::OpenForReading(File(), error), nullptr);
  EXPECT_EQ(error, "not an SQLite database");
  EXPECT_EQ(dir_.Read("history.sqlite"), "my notes, not a database\n");
  fs::remove(File());
  fs::create_directory(File());
  EXPECT_EQ(HistoryArchive::OpenForWriting(File(), error), nullptr);
  EXPECT_EQ(error, "not a regular file");
}

TEST_F(ArchiveTest, ADamagedPageFailsTheCheck) {
  for (int uses = 20; uses <= 400; uses += 20) Store(uses, uses);
  {
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(File(), error);
    ASSERT_TRUE(archive->Check(error)) << error;
  }
  std::error_code ec;
  fs::remove(dir_.path() / "history.sqlite-wal", ec);
  const auto size = fs::file_size(File());
  ASSERT_GT(size, 3 * 4096u);
  std::fstream file(File(), std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(4096 + 8);  // every page after the first, from its header on
  const std::string garbage(size - 4096 - 8, '\x5A');
  file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  file.close();
  std::string error;
  auto archive = HistoryArchive::OpenForReading(File(), error);
  ASSERT_NE(archive, nullptr) << error;
  EXPECT_FALSE(archive->Check(error));
  EXPECT_FALSE(error.empty());
}

TEST_F(ArchiveTest, AReadOnlyFolderAndAFullDiskAreToldNotFatal) {
  if (geteuid() == 0) {
    // root writes anywhere: the folder is made unwritable by a file standing in its way.
    std::ofstream(dir_.path() / "blocked") << "x";
    std::string error;
    EXPECT_EQ(HistoryArchive::OpenForWriting(dir_.path() / "blocked/history.sqlite", error),
              nullptr);
    EXPECT_FALSE(error.empty());
  }
  Store(20, 1);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{0, 0};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(File(), error);
    bool stored = archive != nullptr;
    for (int uses = 40; stored && uses < 4000; uses += 20)
      stored = archive->Store(FromCardImage(TransitCard(uses), uses), error);
    _exit(!stored && !error.empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string error;
  auto archive = HistoryArchive::OpenForReading(File(), error);
  ASSERT_NE(archive, nullptr) << error;
  EXPECT_TRUE(archive->Check(error)) << error;
}

TEST_F(ArchiveTest, AKillWhileStoringLeavesAConsistentArchive) {
  for (int round = 0; round < 8; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      std::string error;
      auto archive = HistoryArchive::OpenForWriting(File(), error);
      for (int uses = 20 + round * 1000;; uses += 7)
        archive->Store(FromCardImage(TransitCard(uses), uses), error);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30 + 11 * round));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(File(), error);
    ASSERT_NE(archive, nullptr) << error;
    ASSERT_TRUE(archive->Check(error)) << error;
    const auto read = archive->LatestRead(TransitCard(0).idm, error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(read->blocks.empty() || read->blocks.size() == 21u);  // all of a read or none
  }
}

TEST_F(ArchiveTest, TwoProgramsStoringAtOnceBothSucceed) {
  Store(20, 1);
  const auto writer = [this](int first, bool& ok) {
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(File(), error);
    ok = archive != nullptr;
    for (int uses = first; ok && uses < first + 200; uses += 20)
      ok = archive->Store(FromCardImage(TransitCard(uses), uses), error);
  };
  bool a = false, b = false;
  std::thread one(writer, 40, std::ref(a)), two(writer, 50, std::ref(b));
  one.join();
  two.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
  auto definition = Transit();
  EXPECT_EQ(Lines(*definition).size(), 230u);  // uses 1..230
}

}  // namespace
}  // namespace lorvane::archive
