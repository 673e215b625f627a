// SPDX-License-Identifier: MIT
// The history archive window, offscreen: cards and their records, numeric sorting of amounts,
// the date range, the selection's total and its copy, CSV export, forgetting a card, texts in
// both languages, and an empty or damaged archive.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <fstream>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "testing/support/transit_card.h"
#include "viewer/archive/history_archive.h"
#include "viewer/ui/archive_dialog.h"

namespace lorvane::ui {
namespace {

namespace fs = std::filesystem;
const fs::path kLanguages = fs::path(LORVANE_BIN_DIR) / "Define/Language";

class ArchiveDialogTest : public ::testing::Test {
 protected:
  fs::path File() const { return dir_.path() / "history.sqlite"; }
  void Store(int uses, const archive::Id8& idm = testing::TransitCard(0).idm) {
    std::string error;
    auto archive = archive::HistoryArchive::OpenForWriting(File(), error);
    ASSERT_NE(archive, nullptr) << error;
    ASSERT_TRUE(
        archive->Store(archive::FromCardImage(testing::TransitCard(uses, idm), uses), error));
  }
  std::unique_ptr<ArchiveDialog> Open(const char* language = "English") {
    const fs::path folder = kLanguages / language;
    auto dialog = std::make_unique<ArchiveDialog>(File(), folder,
                                                  app::LoadArchiveTexts(folder / "Language.ini"));
    return dialog;
  }
  static int Column(const QTableView& table, const QString& title) {
    for (int c = 0; c < table.model()->columnCount(); ++c) {
      if (table.model()->headerData(c, Qt::Horizontal).toString() == title) return c;
    }
    return -1;
  }
  static QString Cell(const QTableView& table, int row, int column) {
    return table.model()->index(row, column).data().toString();
  }
  lorvane::testing::TempDir dir_;
};

TEST_F(ArchiveDialogTest, ShowsEveryRecordOfEachCardSortedAndFiltered) {
  Store(20);
  Store(33);
  Store(25, {0x01, 0x2E, 0x4C, 0x66, 0x77, 0x88, 0x99, 0xBB});
  auto dialog = Open();
  ASSERT_TRUE(dialog->Reload()) << dialog->problem().toStdString();
  ASSERT_EQ(dialog->cardList()->count(), 2);
  EXPECT_EQ(dialog->cardList()->itemText(0).toStdString(), "Transit IC card  012E 4C66 7788 99AA");
  dialog->cardList()->setCurrentIndex(0);
  QTableView& table = *dialog->table();
  ASSERT_EQ(table.model()->rowCount(), 33);
  const int balance = Column(table, QStringLiteral("Balance"));
  const int payment = Column(table, QStringLiteral("Payment"));
  ASSERT_GE(balance, 0);
  ASSERT_GE(payment, 0);
  // Amounts sort as numbers: 8,110 is less than 10,000.
  table.sortByColumn(balance, Qt::AscendingOrder);
  EXPECT_EQ(Cell(table, 0, balance).toStdString(), "8,110");
  table.sortByColumn(balance, Qt::DescendingOrder);
  EXPECT_EQ(Cell(table, 0, balance).toStdString(), "10,000");

  // A week of records: the date range keeps them.
  dialog->fromDate()->setDate(QDate(2020, 1, 11));
  dialog->toDate()->setDate(QDate(2020, 1, 17));
  EXPECT_EQ(table.model()->rowCount(), 7);
  table.sortByColumn(balance, Qt::AscendingOrder);
  table.selectRow(0);
  table.selectionModel()->select(table.model()->index(1, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(dialog->statusLine()->text().toStdString(), "2 selected, amounts total 420");
  const QStringList copied = dialog->SelectionText().split('\n');
  ASSERT_EQ(copied.size(), 4);  // header, two rows, the end of the last line
  EXPECT_TRUE(copied[0].startsWith(QStringLiteral("Date\t\t\tTerminal\tKind\tPayment\tBalance")))
      << copied[0].toStdString();
  EXPECT_EQ(copied[1].split(QChar(u'\t')).last().toStdString(), "8,530");

  const QString csv = QString::fromStdString((dir_.path() / "out.csv").string());
  EXPECT_TRUE(dialog->WriteCsv(csv).isEmpty());
  const std::string written = dir_.Read("out.csv");
  EXPECT_EQ(written.rfind("\xEF\xBB\xBFIDm,Card,Date,", 0), 0u);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 8);

  ASSERT_TRUE(dialog->ForgetShownCard());
  EXPECT_EQ(dialog->cardList()->count(), 1);
}

TEST_F(ArchiveDialogTest, TextsInJapanese) {
  Store(20);
  auto dialog = Open("Japanese");
  ASSERT_TRUE(dialog->Reload());
  EXPECT_EQ(dialog->windowTitle().toStdString(), "履歴アーカイブ");
  EXPECT_EQ(dialog->statusLine()->text().toStdString(), "0件を選択、金額の合計 0");
  EXPECT_GE(Column(*dialog->table(), QStringLiteral("残額")), 0);
}

TEST_F(ArchiveDialogTest, AnEmptyOrDamagedArchiveIsSaidSo) {
  auto empty = Open();
  EXPECT_TRUE(empty->Reload());
  EXPECT_EQ(empty->cardList()->count(), 0);
  std::ofstream(File()) << "not a database";
  auto damaged = Open();
  EXPECT_FALSE(damaged->Reload());
  EXPECT_NE(damaged->problem().toStdString().find("history.sqlite cannot be used: not an SQLite"),
            std::string::npos)
      << damaged->problem().toStdString();
}

}  // namespace
}  // namespace lorvane::ui
