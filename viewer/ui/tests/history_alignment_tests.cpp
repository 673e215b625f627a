// SPDX-License-Identifier: MIT
// History lines in the window, in both shipped languages, for the sample card and every real
// card: each is the line --read prints, and in the window's font every character starts on
// the pixel of its display column, so column starts and right-aligned amounts line up.
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTabBar>
#include <filesystem>
#include <set>

#include "platform/text_codec.h"
#include "viewer/ui/tests/gui_fixture.h"

namespace lorvane::ui {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Cards(const fs::path& sample) {
  std::vector<fs::path> cards = {sample};
  const fs::path shared = fs::path(LORVANE_SOURCE_DIR) / "../shared/cards";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(shared, ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".json" || ext == ".nfc") cards.push_back(entry.path());
  }
  return cards;
}

// The characters of `line` whose left edge is not at their column times the cell width.
std::vector<std::string> Misplaced(const QString& line, const QFontMetrics& metrics) {
  const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
  std::vector<std::string> misplaced;
  for (qsizetype i = 1; i <= line.size(); ++i) {
    if (i < line.size() && line[i].isLowSurrogate()) continue;
    const QString prefix = line.left(i);
    const size_t columns = platform::TerminalColumns(prefix.toStdU16String());
    if (metrics.horizontalAdvance(prefix) != static_cast<int>(columns) * cell)
      misplaced.push_back(line.left(i).right(1).toStdString() + " at " + std::to_string(i));
  }
  return misplaced;
}

TEST_F(GuiTest, HistoryLinesAreTheCommandLinesAndLineUpToThePixel) {
  for (const std::string language : {"English", "日本語"}) {
    auto app = StartApp(language);
    auto dialog = OpenDialog(*app);
    const QFontMetrics metrics(dialog->historyList()->font());
    for (const fs::path& card : Cards(Folder() / "samples/sample-transit.json")) {
      SCOPED_TRACE(language + " " + card.filename().string());
      ASSERT_TRUE(dialog->ReadCardImageFile(QString::fromStdString(card.string())));
      std::vector<std::string> shown;
      for (int tab = 0; tab < dialog->tabBar()->count(); ++tab) {
        dialog->tabBar()->setCurrentIndex(tab);
        for (int row = 0; row < dialog->historyList()->count(); ++row) {
          const QString line = dialog->historyList()->item(row)->text();
          shown.push_back(line.toStdString());
          EXPECT_EQ(Misplaced(line, metrics), std::vector<std::string>{}) << line.toStdString();
        }
      }
      const auto printed = ReadLines({"--card", card.string(), "--language", language});
      for (const std::string& line : shown)
        EXPECT_NE(std::find(printed.begin(), printed.end(), line), printed.end()) << line;
    }
  }
}

// A card read from a card image is marked inside the window, naming the file, visibly and to
// accessibility tools, even at the window's smallest.
TEST_F(GuiTest, ACardFromACardImageIsMarkedInTheWindow) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  EXPECT_FALSE(dialog->imageMarker()->isVisible());
  const fs::path sample = Folder() / "samples/sample-transit.json";
  ASSERT_TRUE(dialog->ReadCardImageFile(QString::fromStdString(sample.string())));
  EXPECT_TRUE(dialog->imageMarker()->isVisible());
  EXPECT_EQ(dialog->imageMarker()->text().toStdString(), "card image: sample-transit.json");
  EXPECT_EQ(dialog->imageMarker()->accessibleName().toStdString(),
            "card image: sample-transit.json");
  EXPECT_LE(dialog->imageMarker()->geometry().bottom(), dialog->infoGroup()->geometry().top());
  dialog->resize(dialog->minimumSize());
  EXPECT_TRUE(dialog->imageMarker()->text().contains(QStringLiteral("sample")));
  EXPECT_EQ(dialog->size(), dialog->minimumSize());
}

// The history heading reaches into the list's frame: it is drawn over the list, so its
// descenders are not cut off.
TEST_F(GuiTest, TheHistoryHeadingIsDrawnWhole) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  const QObjectList& stack = dialog->children();
  EXPECT_GT(stack.indexOf(dialog->historyTitle()), stack.indexOf(dialog->historyList()));
  EXPECT_TRUE(dialog->historyTitle()->geometry().intersects(dialog->historyList()->geometry()));
}

// The first line of the card information is drawn below the frame of its group, with room
// between them: in the window's picture, the frame's top line and the first row of text
// pixels below it are apart.
TEST_F(GuiTest, TheCardInformationBeginsBelowItsFrame) {
  auto app = StartApp("日本語");
  auto dialog = OpenDialog(*app);
  ASSERT_TRUE(dialog->ReadCardImageFile(
      QString::fromStdString((Folder() / "samples/sample-transit.json").string())));
  const QImage picture = dialog->grab().toImage();
  const QRect group = dialog->infoGroup()->geometry();
  const QRect text = dialog->infoText()->geometry();
  // A row the frame crosses where no text reaches: unlike the rows above it.
  const auto lineAt = [&](int y) {
    for (int x = group.right() - 60; x < group.right() - 20; ++x) {
      const QRgb here = picture.pixel(x, y);
      if (here != picture.pixel(group.right() - 60, y) || here == picture.pixel(x, y - 2))
        return false;
    }
    return true;
  };
  int frame = group.top() + dialog->infoGroup()->fontMetrics().height() / 2;
  while (frame < text.bottom() && !lineAt(frame)) ++frame;
  ASSERT_LT(frame, text.bottom());
  const auto inked = [&](int y) {
    for (int x = text.left(); x < text.left() + 100; ++x)
      if (qGray(picture.pixel(x, y)) < 100) return true;
    return false;
  };
  int first = frame + 1;
  while (first < text.bottom() && !inked(first)) ++first;
  ASSERT_LT(first, text.bottom());
  EXPECT_GE(first - frame, 3);
}

// A read that shows nothing says why, in the chosen language.
TEST_F(GuiTest, AReadThatShowsNothingSaysWhy) {
  const fs::path octopus = fs::path(LORVANE_SOURCE_DIR) / "../shared/cards/octopus-tret.json";
  if (!fs::exists(octopus)) GTEST_SKIP() << "shared/cards is not beside the checkout";
  const fs::path empty = dir_.Write("no-systems.json",
                                    "{\"format\": \"felica-card-image\", \"version\": 1, "
                                    "\"idm\": \"0102030405060708\", \"pmm\": "
                                    "\"0000000000000000\", \"systems\": []}");
  const std::pair<std::string, std::vector<std::string>> expected[] = {
      {"English", {"No card definition could read this card.", "No card on the reader."}},
      {"日本語", {"このカードを読めるカード定義がありません。", "リーダーにカードがありません。"}},
  };
  for (const auto& [language, texts] : expected) {
    auto app = StartApp(language);
    auto dialog = OpenDialog(*app);
    ASSERT_TRUE(dialog->ReadCardImageFile(QString::fromStdString(octopus.string())));
    EXPECT_EQ(dialog->infoText()->text().toStdString(), texts[0]);
    EXPECT_EQ(dialog->tabBar()->count(), 1);
    ASSERT_TRUE(dialog->ReadCardImageFile(QString::fromStdString(empty.string())));
    EXPECT_EQ(dialog->infoText()->text().toStdString(), texts[1]);
  }
}

}  // namespace
}  // namespace lorvane::ui
