// SPDX-License-Identifier: MIT
// The history archive through the program: reads from a reader are kept (and not with
// --no-archive, nor from a card image), --history in text, JSON and CSV with its exit
// statuses, --card-id, --history-import twice, --history-forget, and an archive that is
// damaged or locked never stopping a read.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "testing/support/program_folder.h"
#include "testing/support/program_runner.h"
#include "testing/support/transit_card.h"
#include "testing/vreader/private_pcscd.h"
#include "viewer/app/command_line.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::ProgramResult;
using lorvane::testing::RunProgram;
using lorvane::testing::TransitCard;

class HistoryProgram : public ::testing::Test {
 protected:
  fs::path Archive() const { return program_.dir().path() / "history.sqlite"; }
  fs::path Card(int uses, const std::string& name) const {
    return program_.dir().Write(name, cardimage::SerializeCardImageJson(TransitCard(uses)));
  }
  ProgramResult Run(std::vector<std::string> args) { return RunProgram(program_.Lorvane(), args); }
  nlohmann::json HistoryJson() {
    const auto r = Run({"--history", "--json", "--language", "English"});
    EXPECT_EQ(r.status, 0) << r.err;
    return nlohmann::json::parse(r.out.empty() ? "{}" : r.out);
  }
  lorvane::testing::ProgramFolder program_{LORVANE_BIN_DIR};
};

TEST_F(HistoryProgram, ImportedImagesMergeIntoOneHistory) {
  const ProgramResult none = Run({"--history"});
  EXPECT_EQ(none.status, 1);  // no archive file: an empty archive
  EXPECT_NE(none.err.find("holds no card"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(Archive()));

  ASSERT_EQ(
      Run({"--history-import", Card(20, "a.json").string(), Card(35, "b.json").string()}).status,
      0);
  EXPECT_EQ(fs::status(Archive()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  auto json = HistoryJson();
  ASSERT_EQ(json["cards"].size(), 1u);
  const auto& card = json["cards"][0];
  EXPECT_EQ(card["idm"], "012E4C66778899AA");
  EXPECT_EQ(card["name"], "Transit IC card");
  EXPECT_EQ(card["records"], 35);
  EXPECT_EQ(card["history"].size(), 35u);
  EXPECT_EQ(std::string(card["first_read"]).back(), 'Z');
  // The same image again adds nothing.
  ASSERT_EQ(Run({"--history-import", Card(35, "b.json").string()}).status, 0);
  EXPECT_EQ(HistoryJson()["cards"][0]["records"], 35);

  // Text: name, IDm line, title and every line; CSV with a byte order mark and CRLF.
  const ProgramResult text = Run({"--history", "--language", "English"});
  EXPECT_EQ(lorvane::testing::SplitLines(text.out).size(), 3u + 35u);
  EXPECT_EQ(text.out.rfind("Transit IC card\nIDm  : 012E 4C66 7788 99AA\n", 0), 0u) << text.out;
  const ProgramResult csv = Run({"--history", "--csv", "--card-id", "012E 4C66 7788 99AA"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out.rfind("\xEF\xBB\xBFIDm,Card,", 0), 0u);
  EXPECT_NE(csv.out.find("\r\n012E4C66778899AA,"), std::string::npos);

  EXPECT_EQ(Run({"--history", "--card-id", "0000000000000000"}).status, 1);
  EXPECT_EQ(Run({"--history", "--card-id", "12"}).status, 2);
  EXPECT_EQ(Run({"--history-forget", "012E4C66778899AA"}).status, 0);
  EXPECT_EQ(Run({"--history-forget", "012E4C66778899AA"}).status, 1);
  EXPECT_EQ(Run({"--history"}).status, 1);
}

TEST_F(HistoryProgram, AFileThatCannotBeImportedIsNamed) {
  program_.dir().Write("broken.json", "{ not json");
  const ProgramResult r = Run({"--history-import", Card(20, "a.json").string(),
                               (program_.dir().path() / "broken.json").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("broken.json"), std::string::npos) << r.err;
}

TEST_F(HistoryProgram, ADamagedArchiveIsToldAndLeftAsItWas) {
  program_.dir().Write("history.sqlite", "not a database at all");
  const ProgramResult history = Run({"--history"});
  EXPECT_EQ(history.status, 2);
  EXPECT_NE(history.err.find("history.sqlite: not an SQLite database"), std::string::npos)
      << history.err;
  EXPECT_EQ(Run({"--history-import", Card(20, "a.json").string()}).status, 2);
  EXPECT_EQ(program_.dir().Read("history.sqlite"), "not a database at all");
}

// Reads from a reader are kept; a damaged or locked archive is told but the read is shown.
TEST_F(HistoryProgram, ReadsFromAReaderAreKeptAndAFailingArchiveNeverStopsOne) {
  vreader::PrivatePcscd pcscd(1, vreader::ReaderKind::kSam, Card(30, "in-reader.json"));
  ASSERT_TRUE(pcscd.running());
  EXPECT_EQ(Run({"--read", "--no-archive"}).status, 0);
  EXPECT_FALSE(fs::exists(Archive()));
  const ProgramResult first = Run({"--read", "--language", "English"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  pcscd.SetCard(Card(42, "later.json"));
  const ProgramResult second = Run({"--read", "--language", "English"});
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(HistoryJson()["cards"][0]["records"], 32);  // uses 11..30 and 23..42
  // A card image read is not kept.
  ASSERT_EQ(Run({"--read", "--card", Card(60, "image.json").string()}).status, 0);
  EXPECT_EQ(HistoryJson()["cards"][0]["records"], 32);

  // Another program holds the archive locked: the read waits 5 s, then is shown all the same.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Archive().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const ProgramResult locked = Run({"--read", "--language", "English"});
  EXPECT_EQ(locked.status, 0);
  EXPECT_EQ(locked.out, second.out);
  EXPECT_NE(locked.err.find("history.sqlite"), std::string::npos) << locked.err;
  EXPECT_NE(locked.err.find("locked"), std::string::npos) << locked.err;
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  const fs::path damaged = program_.dir().Write("damaged.sqlite", "garbage, not SQLite");
  const ProgramResult r = Run({"--read", "--archive", damaged.string(), "--language", "English"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, second.out);
  EXPECT_NE(r.err.find("damaged.sqlite: not an SQLite database"), std::string::npos) << r.err;
  EXPECT_EQ(program_.dir().Read("damaged.sqlite"), "garbage, not SQLite");
}

TEST_F(HistoryProgram, ReadCsvHasTheColumnsOfTheCardJustRead) {
  const ProgramResult r =
      Run({"--read", "--csv", "--card", Card(25, "c.json").string(), "--language", "English"});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = lorvane::testing::SplitLines(r.out);
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "\xEF\xBB\xBFIDm,Card,Date,,,Terminal,Kind,Payment,Balance\r");
  EXPECT_EQ(lines[1], "012E4C66778899AA,Transit IC card,2020/,01/,25,Ticket gate,Fare,210,8950\r");
  EXPECT_EQ(Run({"--csv", "--json", "--read"}).status, 2);
  EXPECT_EQ(Run({"--csv"}).status, 2);
}

}  // namespace
}  // namespace lorvane::app
