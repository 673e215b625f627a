// SPDX-License-Identifier: MIT
// The program's start-up and end with its window, as a user meets them.
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>

#include "testing/support/program_runner.h"
#include "viewer/ui/file_problem_box.h"
#include "viewer/ui/qt_viewer_shell.h"
#include "viewer/ui/tests/gui_fixture.h"

namespace lorvane::ui {
namespace {

namespace fs = std::filesystem;

TEST_F(GuiTest, FirstRunAsksForThePluginFolderAndWritesTheSettingsAtTheEnd) {
  app::ViewerApp app(Exe());
  QtViewerShell shell({});
  std::string folderTitle;
  bool settingsWhileOpen = true;
  WhenModal([&](QWidget* chooser) {
    folderTitle = chooser->windowTitle().toStdString();
    qobject_cast<QDialog*>(chooser)->reject();  // cancelled: the program's folder is used
    WhenModal([&](QWidget* main) {
      settingsWhileOpen = fs::exists(Folder() / "lorvane.INI");
      qobject_cast<QDialog*>(main)->reject();  // Escape
    });
  });
  ASSERT_TRUE(app.Run(shell, std::nullopt));
  EXPECT_EQ(folderTitle, "Plug-in folder");  // in the language of the window
  EXPECT_FALSE(settingsWhileOpen);
  EXPECT_EQ(dir_.Read("lorvane.INI"),
            "[Setting]\r\nLanguageDirectory=Define\\Language\r\n[Property]\r\nLanguage=English\r\n"
            "WindowLeft=-1\r\nWindowRight=-1\r\nWindowtop=-1\r\nWindowbottom=-1\r\n");
  const std::string registry = dir_.Read("FeliCaDLL.INI");
  EXPECT_NE(registry.find("DLLInfo[1].name=cardimage.so"), std::string::npos) << registry;
  EXPECT_NE(registry.find("DLLDirectory=" + Folder().string() + "/"), std::string::npos);
}

TEST_F(GuiTest, StoredSettingsAreMendedOrCarriedThrough) {
  dir_.Write("lorvane.INI",
             "[Setting]\nLanguageDirectory=\n[Property]\nLanguage=Klingon\nWindowLeft=120\n"
             "Windowbottom=7\n");
  dir_.Write("FeliCaDLL.INI", "[KXDLLSettings]\nDLLDirectory=" + Folder().string() + "/\n");
  app::ViewerApp app(Exe());
  QtViewerShell shell({});
  WhenModal([&](QWidget* main) {
    auto* dialog = qobject_cast<MainDialog*>(main);
    ASSERT_NE(dialog, nullptr);
    dialog->resize(dialog->width() + 100, dialog->height() + 50);  // not stored
    dialog->exitButton()->click();
  });
  ASSERT_TRUE(app.Run(shell, std::nullopt));
  EXPECT_EQ(dir_.Read("lorvane.INI"),
            "[Setting]\nLanguageDirectory=Define\\Language\n[Property]\nLanguage=English\n"
            "WindowLeft=120\nWindowbottom=7\nWindowRight=-1\nWindowtop=-1\n");
}

TEST_F(GuiTest, WithoutLanguagesTheErrorBoxShowsAndNothingIsWritten) {
  fs::remove_all(Folder() / "Define");
  app::ViewerApp app(Exe());
  QtViewerShell shell({});
  std::string caption, text;
  QMessageBox::Icon icon = QMessageBox::Critical;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle().toStdString();
    text = box->text().toStdString();
    icon = box->icon();
    box->accept();
  });
  EXPECT_FALSE(app.Run(shell, std::nullopt));
  EXPECT_EQ(caption, "Error");
  EXPECT_EQ(text, "Language Initialize Error!");
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_FALSE(fs::exists(Folder() / "lorvane.INI"));
  EXPECT_FALSE(fs::exists(Folder() / "FeliCaDLL.INI"));
}

TEST_F(GuiTest, AFileThatCannotBeReadIsShownInABoxOnce) {
  fs::create_directory(Folder() / "FeliCaDLL.INI");
  const FileProblemBox problems;
  app::ViewerApp app(Exe());
  QtViewerShell shell({});
  std::vector<std::string> boxes;
  std::function<void(QWidget*)> answer = [&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
      box->accept();
      WhenModal(answer);
    } else if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
      chooser->reject();
      WhenModal(answer);
    } else {
      qobject_cast<QDialog*>(modal)->reject();
    }
  };
  WhenModal(answer);
  ASSERT_TRUE(app.Run(shell, std::nullopt));
  EXPECT_EQ(boxes, std::vector<std::string>{"Error|" + (Folder() / "FeliCaDLL.INI").string() +
                                            ": cannot be read: is a folder, not a file"});
  EXPECT_TRUE(fs::is_directory(Folder() / "FeliCaDLL.INI"));
}

// A screenshot at a scale factor is the window on as many pixels as the factor gives, drawn
// whole (not its top-left quarter on a black ground).
TEST_F(GuiTest, AScreenshotAtAScaleFactorIsDrawnWhole) {
  const fs::path program = fs::path(LORVANE_BIN_DIR) / "lorvane";
  const std::string sample = (Folder() / "samples/sample-transit.json").string();
  // A screen with room for the window at twice its size.
  const fs::path screen = dir_.Write(
      "screen.json", R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1600, "height": 1200,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  QImage pictures[2];
  for (int factor : {1, 2}) {
    const std::string file = (Folder() / ("x" + std::to_string(factor) + ".png")).string();
    const auto run = lorvane::testing::RunProgramAfter(
        "QT_QPA_PLATFORM=offscreen:configfile=" + screen.string() +
            " QT_SCALE_FACTOR=" + std::to_string(factor),
        program, {"--screenshot", file, "--card", sample});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(pictures[factor - 1].load(QString::fromStdString(file)));
  }
  const QImage& one = pictures[0];
  const QImage& two = pictures[1];
  EXPECT_NEAR(two.width(), 2 * one.width(), 2);
  EXPECT_NEAR(two.height(), 2 * one.height(), 2);
  EXPECT_EQ(two.pixel(two.width() - 4, two.height() - 4),
            one.pixel(one.width() - 2, one.height() - 2));
}

}  // namespace
}  // namespace lorvane::ui
