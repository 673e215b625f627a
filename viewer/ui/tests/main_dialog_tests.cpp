// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "platform/qt/dialog_template.h"
#include "platform/text_codec.h"
#include "viewer/app/popup_menu.h"
#include "viewer/ui/about_dialog.h"
#include "viewer/ui/qt_plugin_menu.h"
#include "viewer/ui/tests/gui_fixture.h"

namespace lorvane::ui {

using platform::DialogUnits;
namespace {

namespace fs = std::filesystem;
using app::Control;

const fs::path kSample = fs::path(LORVANE_BIN_DIR) / "samples/sample-transit.json";

std::vector<std::string> Tabs(const MainDialog& dialog) {
  std::vector<std::string> tabs;
  for (int i = 0; i < dialog.tabBar()->count(); ++i)
    tabs.push_back(dialog.tabBar()->tabText(i).replace("&&", "&").toStdString());
  return tabs;
}

std::vector<std::string> History(const MainDialog& dialog) {
  std::vector<std::string> lines;
  for (int i = 0; i < dialog.historyList()->count(); ++i)
    lines.push_back(dialog.historyList()->item(i)->text().toStdString());
  return lines;
}

// The selected tab as the command line prints it: caption, information lines, title, history.
std::vector<std::string> Shown(const MainDialog& dialog) {
  std::vector<std::string> lines = {Tabs(dialog).at(dialog.tabBar()->currentIndex())};
  for (const QString& line : dialog.infoText()->text().split('\n', Qt::SkipEmptyParts))
    lines.push_back(line.toStdString());
  if (!dialog.historyTitle()->text().isEmpty())
    lines.push_back(dialog.historyTitle()->text().toStdString());
  for (const auto& line : History(dialog)) lines.push_back(line);
  return lines;
}

cardimage::CardImage SampleImage() {
  std::string error;
  auto image = cardimage::LoadCardImage(kSample, error);
  EXPECT_TRUE(image) << error;
  return *image;
}

// A definition of the sample card's system 0003 that shows `name` and one byte of 008B.
std::string SmallDefinition(const std::string& name) {
  return "[Card Definition]\nCardName=" + name +
         "\nSystemCode1=0003,1\nServiceCode.01=008B,0,1\nInfo.01.BlockSetNo=1\n"
         "Info.01.Format=\"" +
         name + " kind %s\",1\nInfo.01.01.Data=8,1\nInfo.01.01.Format=%02X\n";
}

TEST_F(GuiTest, TheTemplateInPixelsAndTheViewsBeforeARead) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  const DialogUnits units(dialog->font());
  EXPECT_EQ(dialog->size(), units.ToPixels(348, 265));
  EXPECT_EQ(dialog->control(Control::kTabs)->geometry(), units.ToPixels({5, 5, 339, 222}));
  EXPECT_EQ(dialog->infoGroup()->geometry(), units.ToPixels({10, 25, 330, 52}));
  EXPECT_EQ(dialog->historyList()->geometry(), units.ToPixels({16, 102, 318, 115}));
  EXPECT_EQ(dialog->exitButton()->geometry(), units.ToPixels({193, 236, 66, 24}));
  EXPECT_TRUE(dialog->readButton()->isDefault());
  EXPECT_EQ(dialog->historyItemHeight(), dialog->historyList()->fontMetrics().height() + 2);

  EXPECT_EQ(dialog->windowTitle().toStdString(), "Lorvane - FeliCa card viewer");
  EXPECT_EQ(dialog->readButton()->text().toStdString(), "Read card");
  EXPECT_EQ(dialog->exitButton()->text().toStdString(), "Exit");
  EXPECT_EQ(dialog->infoGroup()->title().toStdString(), "Card information");
  EXPECT_EQ(dialog->historyGroup()->title().toStdString(), "History");
  EXPECT_EQ(Tabs(*dialog), std::vector<std::string>{"No card"});
  EXPECT_EQ(dialog->infoText()->text().toStdString(),
            "Hold a card on the reader and press Read card.");
  EXPECT_TRUE(dialog->historyTitle()->text().isEmpty());
  EXPECT_EQ(dialog->historyList()->count(), 0);
  EXPECT_FALSE(dialog->tabBar()->accessibleName().isEmpty());
  EXPECT_EQ(dialog->historyList()->accessibleName().toStdString(), "History");
}

TEST_F(GuiTest, EnterReadsTheSampleCardAsTheCommandLinePrintsIt) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  QTest::keyClick(dialog.get(), Qt::Key_Return);
  const auto printed = ReadLines({"--card", kSample.string(), "--language", "English"});
  ASSERT_EQ(dialog->tabBar()->count(), 1);
  EXPECT_EQ(Shown(*dialog), printed);
  EXPECT_EQ(dialog->windowTitle().toStdString(),
            "Lorvane - FeliCa card viewer [card image: sample-transit.json]");
  EXPECT_EQ(dialog->model().shownImage(), Folder() / "samples/sample-transit.json");

  // The same card in Japanese, read through the plug-in.
  dialog->ChooseLanguage(1);
  dialog->readButton()->click();
  EXPECT_EQ(Shown(*dialog), ReadLines({"--card", kSample.string(), "--language", "日本語"}));
}

TEST_F(GuiTest, EightTabsAtMostAndSwitchingTabsSwitchesTheViews) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int n = 1; n <= 10; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "CardDef_%02d.ini", n);
    files.emplace_back(name, SmallDefinition("Card " + std::to_string(n)));
  }
  AddLanguage(files);
  auto app = StartApp("Test");
  auto dialog = OpenDialog(*app, {.startHost = false,
                                  .cardImage = SampleImage(),
                                  .cardImageFile = kSample,
                                  .archive = std::nullopt});
  dialog->ReadCards();
  EXPECT_EQ(Tabs(*dialog), (std::vector<std::string>{"Card 1", "Card 2", "Card 3", "Card 4",
                                                     "Card 5", "Card 6", "Card 7", "Card 8"}));
  // The ninth and tenth definitions were not asked to read.
  const auto& definitions = dialog->model().definitions();
  EXPECT_FALSE(definitions[7]->GetInfoLine(0)->empty());
  EXPECT_TRUE(definitions[8]->GetInfoLine(0)->empty());
  EXPECT_TRUE(definitions[9]->GetInfoLine(0)->empty());
  EXPECT_TRUE(dialog->infoText()->text().contains("Card 1 kind"));

  dialog->tabBar()->setCurrentIndex(5);
  EXPECT_TRUE(dialog->infoText()->text().contains("Card 6 kind"));
  EXPECT_FALSE(dialog->infoText()->text().contains("Card 1 kind"));
  // The test language has no caption text: its key name shows.
  EXPECT_EQ(dialog->windowTitle().toStdString(), "STRING001 [CardImage: sample-transit.json]");
}

TEST_F(GuiTest, AHundredHistoryLinesAtMost) {
  AddLanguage({{"CardDef_Long.ini",
                "[Card Definition]\nCardName=Long\nSystemCode1=0003,1\n"
                "ServiceCode.01=090F,0,150\nInfo.01.BlockSetNo=1\nInfo.01.BlockPerRecord=1\n"
                "Info.01.History=1\nInfo.01.Format=\"Record %s\",1\nInfo.01.01.Data=0,1\n"
                "Info.01.01.Format=%03d\nInfo.01.01.Title=Number\n"}});
  cardimage::CardImage image = SampleImage();
  cardimage::CardService long_history{0x090F, {}};
  for (int i = 0; i < 150; ++i) long_history.blocks.push_back({static_cast<uint8_t>(i)});
  image.systems.front().services = {long_history};
  auto app = StartApp("Test");
  auto dialog = OpenDialog(*app, {.startHost = false,
                                  .cardImage = image,
                                  .cardImageFile = "long.json",
                                  .archive = std::nullopt});
  dialog->ReadCards();
  const auto lines = History(*dialog);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "Record 000");
  EXPECT_EQ(lines.back(), "Record 099");
  EXPECT_EQ(dialog->historyTitle()->text().toStdString(), "Record Number");
}

// A mouse move as the window system delivers it to the dialog.
void MoveMouse(QWidget& widget, QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
  QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, buttons,
                   Qt::NoModifier);
  QApplication::sendEvent(&widget, &move);
}

TEST_F(GuiTest, TheWindowGrowsAndTheDividerDragsInPixels) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  ASSERT_TRUE(dialog->layout().captured());
  auto geometry = [&](Control c) { return dialog->control(c)->geometry(); };
  const QRect tabs = geometry(Control::kTabs), info = geometry(Control::kInfoGroup),
              text = geometry(Control::kInfoText), title = geometry(Control::kHistoryTitle),
              list = geometry(Control::kHistoryList), history = geometry(Control::kHistoryGroup),
              read = geometry(Control::kRead);

  dialog->resize(dialog->width() + 30, dialog->height() + 20);
  QApplication::processEvents();
  EXPECT_EQ(geometry(Control::kTabs), tabs.adjusted(0, 0, 30, 20));
  EXPECT_EQ(geometry(Control::kHistoryList), list.adjusted(0, 0, 30, 20));
  EXPECT_EQ(geometry(Control::kHistoryGroup), history.adjusted(0, 0, 30, 20));
  EXPECT_EQ(geometry(Control::kInfoGroup), info.adjusted(0, 0, 30, 0));
  EXPECT_EQ(geometry(Control::kInfoText), text.adjusted(0, 0, 30, 0));
  EXPECT_EQ(geometry(Control::kHistoryTitle), title.adjusted(0, 0, 30, 0));
  EXPECT_EQ(geometry(Control::kRead), read.translated(0, 20));

  // The band: 5 pixels into the card group's bottom edge and one below it.
  const QPoint grip(info.center().x(), info.bottom() - 2);
  MoveMouse(*dialog, grip);
  EXPECT_EQ(dialog->layout().dragState(), app::DialogLayout::DragState::kOverBand);
  EXPECT_EQ(dialog->cursor().shape(), Qt::BitmapCursor);
  QTest::mousePress(dialog.get(), Qt::LeftButton, {}, grip);
  MoveMouse(*dialog, grip + QPoint(0, 40), Qt::LeftButton);
  QTest::mouseRelease(dialog.get(), Qt::LeftButton, {}, grip + QPoint(0, 40));
  EXPECT_EQ(geometry(Control::kInfoGroup).bottom(), info.bottom() + 40);
  EXPECT_EQ(geometry(Control::kInfoText).bottom(), text.bottom() + 40);
  EXPECT_EQ(geometry(Control::kHistoryTitle), title.adjusted(0, 40, 30, 40));
  EXPECT_EQ(geometry(Control::kHistoryList).top(), list.top() + 40);
  EXPECT_EQ(geometry(Control::kHistoryGroup).top(), history.top() + 40);
  EXPECT_EQ(dialog->layout().band().top, info.bottom() + 1 + 40 - 5);
  EXPECT_EQ(dialog->layout().dragState(), app::DialogLayout::DragState::kIdle);
  EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);

  // Confined: no higher than 50 pixels below the card group's top.
  const QPoint moved = grip + QPoint(0, 40);
  QTest::mousePress(dialog.get(), Qt::LeftButton, {}, moved);
  MoveMouse(*dialog, QPoint(moved.x(), 0), Qt::LeftButton);
  QTest::mouseRelease(dialog.get(), Qt::LeftButton, {}, QPoint(moved.x(), 0));
  EXPECT_EQ(geometry(Control::kInfoGroup).bottom(), info.bottom() + (info.top() + 50 - grip.y()));
}

TEST_F(GuiTest, ThePopupMenuItsCommandsAndTheLanguages) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  const auto menu = dialog->CreatePopupMenu();
  const QList<QAction*> top = menu->actions();
  // Language, plug-ins, saving the card, the history archive, separator, About.
  ASSERT_EQ(top.size(), 6);
  EXPECT_EQ(top[0]->text().toStdString(), "Language");
  const QList<QAction*> languages = top[0]->menu()->actions();
  ASSERT_EQ(languages.size(), 2);
  EXPECT_EQ(languages[0]->text().toStdString(), "English");
  EXPECT_EQ(languages[0]->data().toInt(), 2024);
  EXPECT_TRUE(languages[0]->isChecked());
  EXPECT_EQ(languages[1]->text().toStdString(), "日本語");
  EXPECT_EQ(languages[1]->data().toInt(), 2025);
  EXPECT_FALSE(languages[1]->isChecked());
  EXPECT_EQ(top[1]->text().toStdString(), "Reader plug-ins");
  const QList<QAction*> settings = top[1]->menu()->actions();
  ASSERT_EQ(settings.size(), 2);
  EXPECT_EQ(settings[0]->text().toStdString(), "Plug-in settings...");
  EXPECT_EQ(settings[0]->data().toInt(), 2224);
  EXPECT_EQ(settings[1]->data().toInt(), 2225);
  EXPECT_EQ(top[2]->text().toStdString(), "Save card image...");
  EXPECT_EQ(top[2]->data().toInt(), app::kSaveCardImageCommand);
  EXPECT_EQ(top[3]->text().toStdString(), "History archive...");
  EXPECT_EQ(top[3]->data().toInt(), app::kHistoryArchiveCommand);
  EXPECT_TRUE(top[4]->isSeparator());
  EXPECT_EQ(top[5]->text().toStdString(), "About Lorvane...");
  EXPECT_EQ(top[5]->data().toInt(), 16);

  dialog->readButton()->click();
  dialog->CarryOut(2024);  // the language already selected: the card stays shown
  EXPECT_EQ(Tabs(*dialog), std::vector<std::string>{"Transit IC card"});

  // A right click on the dialog's surface, then Japanese from the language submenu.
  bool chosen = false;
  QTimer::singleShot(50, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Right);
    QTimer::singleShot(50, [&] {
      QWidget* submenu = QApplication::activePopupWidget();
      ASSERT_NE(submenu, nullptr);
      QTest::keyClick(submenu, Qt::Key_Down);
      QTest::keyClick(submenu, Qt::Key_Return);
      chosen = true;
    });
  });
  QTest::mouseClick(dialog.get(), Qt::RightButton, {}, dialog->infoGroup()->geometry().center());
  ASSERT_TRUE(chosen);
  EXPECT_EQ(app->languages().GetCurrentIndex(), 1);
  EXPECT_EQ(dialog->readButton()->text().toStdString(), "カード読み出し");
  EXPECT_EQ(dialog->historyGroup()->title().toStdString(), "履歴");
  EXPECT_EQ(Tabs(*dialog), std::vector<std::string>{"カードなし"});
  EXPECT_EQ(dialog->infoText()->text().toStdString(),
            "カードをリーダーに置いて「カード読み出し」を押してください。");
  EXPECT_EQ(platform::U8(dialog->model().definitions().front()->GetCardName()), "Edy");
  EXPECT_EQ(dialog->windowTitle().toStdString(), "Lorvane - FeliCaカードビューア");
}

TEST_F(GuiTest, TheAboutBoxShowsTheVersionTexts) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app);
  std::string title, product, notice;
  WhenModal([&](QWidget* modal) {
    auto* about = qobject_cast<AboutDialog*>(modal);
    ASSERT_NE(about, nullptr);
    title = about->windowTitle().toStdString();
    product = about->productLabel()->text().toStdString();
    notice = about->noticeLabel()->text().toStdString();
    about->accept();
  });
  dialog->CarryOut(app::kAboutCommand);
  EXPECT_EQ(title, "About Lorvane");
  EXPECT_EQ(product, "Lorvane\nlorvane Version 1.00");
  EXPECT_FALSE(notice.empty());
}

// Takes the text of the next modal, which must be a message box, and closes it.
void AcceptMessageBox(std::string* text) {
  WhenModal([=](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    *text = box->text().toStdString();
    box->accept();
  });
}

// Answers the file dialog of "Save card image..." with `file`.
void AnswerSaveDialog(const fs::path& file, std::string* title) {
  WhenModal([=](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    *title = chooser->windowTitle().toStdString();
    chooser->setDirectory(QString::fromStdString(file.parent_path().string()));
    auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(file.filename().string()));  // typed in
    static_cast<QDialog*>(chooser)->accept();                         // as its Save button does
  });
}

TEST_F(GuiTest, SavesTheCardShownAsACardImage) {
  auto app = StartApp();
  auto dialog = OpenDialog(*app, {.startHost = false,
                                  .cardImage = SampleImage(),
                                  .cardImageFile = kSample,
                                  .archive = std::nullopt});
  const fs::path saved = Folder() / "saved";  // the dialog adds .json
  std::string title;
  AnswerSaveDialog(saved, &title);
  dialog->CarryOut(app::kSaveCardImageCommand);
  EXPECT_EQ(title, "Save card image...");
  std::string error;
  const auto image = cardimage::LoadCardImage(Folder() / "saved.json", error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(cardimage::SerializeCardImageJson(*image),
            cardimage::SerializeCardImageJson(SampleImage()));

  // Nothing to save (no card image served, no reader plug-in): a message says why, in the
  // selected language.
  MainDialog::Setup noHost;
  noHost.startHost = false;
  auto empty = OpenDialog(*app, std::move(noHost));
  empty->ChooseLanguage(1);
  AnswerSaveDialog(Folder() / "none.json", &title);
  std::string text;
  AcceptMessageBox(&text);
  empty->CarryOut(app::kSaveCardImageCommand);
  EXPECT_EQ(text,
            "カードイメージを保存できませんでした。\n\n応答したリーダー用プラグインがありません");
  EXPECT_EQ(title, "カードイメージを保存...");
  EXPECT_FALSE(fs::exists(Folder() / "none.json"));
}

// Drops a file on the dialog as a file manager would.
void DropFile(MainDialog& dialog, const fs::path& file) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &drop);
}

TEST_F(GuiTest, ADroppedCardImageIsReadAndAnythingElseIsRefusedByName) {
  auto app = StartApp();
  MainDialog::Setup setup;
  setup.startHost = false;
  auto dialog = OpenDialog(*app, std::move(setup));
  const fs::path bad = dir_.Write("notes.json", "{\"format\": \"something else\"}");
  std::string text;
  AcceptMessageBox(&text);
  DropFile(*dialog, bad);
  EXPECT_NE(text.find(bad.string()), std::string::npos) << text;
  EXPECT_EQ(Tabs(*dialog), std::vector<std::string>{"No card"});

  const fs::path copy = Folder() / "my card.json";
  fs::copy(kSample, copy);
  DropFile(*dialog, copy);
  EXPECT_EQ(Tabs(*dialog), std::vector<std::string>{"Transit IC card"});
  EXPECT_EQ(dialog->windowTitle().toStdString(),
            "Lorvane - FeliCa card viewer [card image: my card.json]");
}

TEST_F(GuiTest, PluginCommandsInAToolkitMenu) {
  const fs::path plugins = Folder() / "plugins";
  fs::create_directory(plugins);
  for (const char* name : {"alpha.so", "bravo.so"})
    fs::copy(fs::path(TEST_PLUGIN_DIR) / name, plugins / name);
  pluginhost::FeliCaDLLHost host(hostUi_, plugins);
  host.ChangeFolder(platform::U16(plugins.string() + "/"));
  host.Start();
  ASSERT_EQ(host.GetCount(), 2);
  QMenu menu;
  menu.addAction("Other")->setData(10);
  QtPluginMenu port(menu);
  auto texts = [&] {
    std::vector<std::string> all;
    for (const QAction* a : menu.actions())
      all.push_back(a->text().toStdString() + "=" + std::to_string(a->data().toInt()));
    return all;
  };
  EXPECT_EQ(host.AppendPluginMenu(port, 3000, pluginhost::PluginMenuText::kName), 1);
  EXPECT_EQ(texts(), (std::vector<std::string>{"Other=10", "alpha.so=3000", "bravo.so=3001"}));
  EXPECT_EQ(host.AppendPluginMenu(port, 3000, pluginhost::PluginMenuText::kName), 1);
  EXPECT_EQ(texts().size(), 3u);  // already there: nothing added
  host.DLLInfoMove(1, 0);
  EXPECT_EQ(host.AppendPluginMenu(port, 3000, pluginhost::PluginMenuText::kDescription), 1);
  EXPECT_EQ(texts(), (std::vector<std::string>{"Other=10", "Test plug-in bravo=3000",
                                               "Test plug-in alpha=3001"}));

  for (QAction* a : menu.actions()) a->setEnabled(false);
  EXPECT_EQ(host.EnablePluginMenu(port, 3000), 1);
  EXPECT_TRUE(port.ActionOf(3000)->isEnabled() && port.ActionOf(3001)->isEnabled());
  EXPECT_FALSE(menu.actions().front()->isEnabled());
  EXPECT_EQ(host.EnablePluginMenu(port, 3000), 0);  // 3000 was enabled already
}

}  // namespace
}  // namespace lorvane::ui
