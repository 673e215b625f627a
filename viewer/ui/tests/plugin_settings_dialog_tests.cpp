// SPDX-License-Identifier: MIT
// The plug-in settings dialog against a host with small test plug-ins.
#include <QApplication>
#include <QImage>
#include <QTest>
#include <fstream>

#include "platform/qt/dialog_template.h"
#include "platform/text_codec.h"
#include "viewer/ui/plugin_settings_dialog.h"
#include "viewer/ui/tests/gui_fixture.h"

namespace lorvane::ui {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class PluginDialogTest : public ::testing::Test {
 protected:
  // A host started on a folder holding the test plug-ins named, and its dialog.
  void Open(const Strings& plugins) {
    for (const std::string& name : plugins)
      fs::copy(fs::path(TEST_PLUGIN_DIR) / (name + ".so"), dir_.path() / (name + ".so"));
    setenv("TEST_PLUGIN_LOG", (dir_.path() / "calls.log").c_str(), 1);
    host_ = std::make_unique<pluginhost::FeliCaDLLHost>(ui_, dir_.path());
    host_->ChangeFolder(platform::U16(dir_.path().string() + "/"));
    host_->Start();
    dialog_ = std::make_unique<PluginSettingsDialog>(*host_, ui_, nullptr);
    dialog_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    unsetenv("TEST_PLUGIN_LOG");
    unsetenv("TEST_PLUGIN_CHOICE");
  }

  Strings Rows() const {
    Strings rows;
    for (int i = 0; i < dialog_->list()->count(); ++i)
      rows.push_back(dialog_->list()->item(i)->text().toStdString());
    return rows;
  }
  Strings Registry() const {
    Strings names;
    for (uint16_t i = 0; i < host_->GetCount(); ++i)
      names.push_back(platform::U8(host_->GetName(i)));
    return names;
  }
  void Choose(int row) { dialog_->list()->setCurrentRow(row); }
  void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // The calls the plug-ins received since the last call.
  Strings Calls() {
    Strings calls;
    std::ifstream in(dir_.path() / "calls.log");
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    fs::remove(dir_.path() / "calls.log");
    return calls;
  }
  // The list row drawn on its own.
  QImage RowPicture(int row) {
    const QRect rect = dialog_->list()->visualItemRect(dialog_->list()->item(row));
    return dialog_->list()->viewport()->grab(rect).toImage();
  }

  lorvane::testing::TempDir dir_;
  RecordingHostUi ui_;
  std::unique_ptr<pluginhost::FeliCaDLLHost> host_;
  std::unique_ptr<PluginSettingsDialog> dialog_;
};

bool HasColour(const QImage& image, QColor colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) return true;
    }
  }
  return false;
}

TEST_F(PluginDialogTest, TheTemplateWithItsJapaneseTexts) {
  Open({"alpha"});
  const platform::DialogUnits units(dialog_->font());
  EXPECT_EQ(dialog_->size(), units.ToPixels(229, 131));
  EXPECT_EQ(dialog_->list()->geometry(), units.ToPixels({6, 15, 149, 109}));
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "ﾀﾞｲｱﾛｸﾞ");
  EXPECT_EQ(dialog_->closeButton()->text().toStdString(), "閉じる");
  EXPECT_TRUE(dialog_->closeButton()->isDefault());
  EXPECT_EQ(dialog_->aboutButton()->text().toStdString(), "DLLについて...");
  EXPECT_EQ(dialog_->settingsButton()->text().toStdString(), "設定...");
  EXPECT_EQ(dialog_->alwaysButton()->text().toStdString(), "常に");
  EXPECT_EQ(dialog_->whenNeededButton()->text().toStdString(), "必要な時のみ");
  EXPECT_EQ(dialog_->notUsedButton()->text().toStdString(), "使用しない");
  for (QWidget* w : std::initializer_list<QWidget*>{dialog_->aboutButton(),
                                                    dialog_->settingsButton(), dialog_->upButton(),
                                                    dialog_->downButton(), dialog_->alwaysButton()})
    EXPECT_FALSE(w->isEnabled());
  EXPECT_EQ(dialog_->functions()->count(), 0);
  EXPECT_EQ(Rows(), Strings{"alpha.so"});  // each row carries its plug-in's name
}

TEST_F(PluginDialogTest, AnEmptyRegistry) {
  Open({});
  EXPECT_EQ(dialog_->list()->count(), 0);
  Click(dialog_->scanButton());
  Click(dialog_->selectButton());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(host_->GetCurrent(), -1);
}

TEST_F(PluginDialogTest, TheArrowsFollowTheSelectionAndMoveTheEntries) {
  Open({"alpha", "bravo", "charlie"});
  Choose(0);
  EXPECT_FALSE(dialog_->upButton()->isEnabled());
  EXPECT_TRUE(dialog_->downButton()->isEnabled());
  Choose(2);
  EXPECT_TRUE(dialog_->upButton()->isEnabled());
  EXPECT_FALSE(dialog_->downButton()->isEnabled());
  ASSERT_EQ(host_->GetCurrent(), 0);  // alpha answered the probe first

  Choose(1);
  Click(dialog_->upButton());
  EXPECT_EQ(Rows(), (Strings{"bravo.so", "alpha.so", "charlie.so"}));
  EXPECT_EQ(Registry(), Rows());
  EXPECT_EQ(dialog_->list()->currentRow(), 0);
  EXPECT_FALSE(dialog_->upButton()->isEnabled());
  Click(dialog_->upButton());  // disabled: nothing moves
  EXPECT_EQ(Rows(), (Strings{"bravo.so", "alpha.so", "charlie.so"}));
  EXPECT_EQ(platform::U8(host_->GetName(static_cast<uint16_t>(host_->GetCurrent()))), "alpha.so");
  Click(dialog_->downButton());
  Click(dialog_->downButton());
  EXPECT_EQ(Rows(), (Strings{"alpha.so", "charlie.so", "bravo.so"}));
  EXPECT_EQ(dialog_->list()->currentRow(), 2);
  EXPECT_FALSE(dialog_->downButton()->isEnabled());
}

TEST_F(PluginDialogTest, OneEntryEnablesNoArrow) {
  Open({"alpha"});
  Choose(0);
  EXPECT_FALSE(dialog_->upButton()->isEnabled());
  EXPECT_FALSE(dialog_->downButton()->isEnabled());
  EXPECT_TRUE(dialog_->aboutButton()->isEnabled());
  EXPECT_TRUE(dialog_->settingsButton()->isEnabled());
}

TEST_F(PluginDialogTest, LoadModesAndFunctionNumbers) {
  Open({"alpha", "bravo"});
  host_->SetMode(0, pluginhost::kModeAlways);
  Choose(0);  // mode 0 shows no mark
  EXPECT_FALSE(dialog_->notUsedButton()->isChecked());
  EXPECT_FALSE(dialog_->alwaysButton()->isChecked());
  EXPECT_FALSE(dialog_->whenNeededButton()->isChecked());
  EXPECT_FALSE(dialog_->functions()->isEnabled());  // one function
  EXPECT_EQ(dialog_->functions()->count(), 1);
  Click(dialog_->whenNeededButton());
  EXPECT_EQ(host_->GetMode(0), pluginhost::kModeWhenNeeded);

  Choose(1);
  EXPECT_TRUE(dialog_->whenNeededButton()->isChecked());
  EXPECT_TRUE(dialog_->functions()->isEnabled());
  ASSERT_EQ(dialog_->functions()->count(), 2);
  EXPECT_EQ(dialog_->functions()->itemText(1).toStdString(), "2");
  EXPECT_EQ(dialog_->functions()->currentIndex(), 0);
  Click(dialog_->notUsedButton());
  EXPECT_EQ(host_->GetMode(1), pluginhost::kModeNotUsed);
  Choose(0);  // the mode shown for bravo is stored again, and alpha's is shown
  EXPECT_EQ(host_->GetMode(1), pluginhost::kModeNotUsed);
  EXPECT_TRUE(dialog_->whenNeededButton()->isChecked());
  EXPECT_FALSE(dialog_->notUsedButton()->isChecked());
}

TEST_F(PluginDialogTest, SelectTakesOnlyAPluginWithAReader) {
  Open({"alpha", "charlie", "deaf"});  // charlie's open answers 3, deaf has no reader
  ASSERT_EQ(host_->GetCurrent(), 0);
  Choose(2);
  Click(dialog_->selectButton());
  EXPECT_EQ(ui_.messages, Strings{"Warning|Select DLL have not valid reader."});
  EXPECT_EQ(host_->GetCurrent(), 0);
  // Selected, the grey row stays readable: light grey on a dark background.
  const QImage selected = RowPicture(2);
  EXPECT_TRUE(HasColour(selected, QColor(60, 60, 60)));
  EXPECT_FALSE(HasColour(selected, QColor(120, 120, 120)));  // no grey-on-grey
  QRect selection;  // the dark background, where the text is drawn
  for (int y = 0; y < selected.height(); ++y) {
    for (int x = 0; x < selected.width(); ++x)
      if (selected.pixelColor(x, y) == QColor(60, 60, 60)) selection |= QRect(x, y, 1, 1);
  }
  bool lightText = false;
  for (int y = selection.top(); y <= selection.bottom(); ++y) {
    for (int x = selection.left(); x <= selection.right(); ++x)
      lightText |= selected.pixelColor(x, y).value() >= 150;
  }
  EXPECT_TRUE(lightText);
  EXPECT_FALSE(HasColour(RowPicture(1), QColor(160, 160, 160)));  // black text

  const QImage regular = RowPicture(1);
  Choose(1);
  Click(dialog_->selectButton());
  EXPECT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(host_->GetCurrent(), 1);
  EXPECT_TRUE(dialog_->state().RowAt(1).current);
  Choose(0);
  // The current plug-in's row is drawn heavier: more dark pixels than before.
  auto ink = [](const QImage& image) {
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 100;
    return dark;
  };
  EXPECT_GT(ink(RowPicture(1)), ink(regular));
}

TEST_F(PluginDialogTest, ScanWithoutAReaderGreysEveryRow) {
  Open({"alpha", "deaf"});
  fs::remove(dir_.path() / "alpha.so");  // alpha's "reader" is gone
  host_->Unload(0);
  Click(dialog_->scanButton());
  for (int row = 0; row < 2; ++row) EXPECT_FALSE(dialog_->state().RowAt(row).validReader);
}

// No reader because no PC/SC service runs: Scan says so instead of leaving a grey list.
TEST_F(PluginDialogTest, ScanSaysWhenThePcscServiceIsMissing) {
  Open({"no_service"});
  ui_.messages.clear();
  Click(dialog_->scanButton());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].find("pcscd"), std::string::npos) << ui_.messages[0];
}

TEST_F(PluginDialogTest, SettingsAndAboutReachThePlugin) {
  Open({"alpha", "no_functions"});
  Choose(1);
  EXPECT_EQ(dialog_->functions()->count(), 0);
  Calls();
  Click(dialog_->settingsButton());  // no function: nothing happens
  EXPECT_TRUE(Calls().empty());

  Choose(0);
  setenv("TEST_PLUGIN_CHOICE", "picked in the dialog", 1);
  Click(dialog_->settingsButton());
  EXPECT_EQ(Calls(), (Strings{"alpha load", "alpha GetSetting 0 2", "alpha GetSetting 0 0",
                              "alpha unload"}));
  EXPECT_STREQ(reinterpret_cast<const char*>(host_->record(0).Settings[0]->data->data()),
               "picked in the dialog");
  Click(dialog_->aboutButton());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].substr(0, ui_.messages[0].find('\n')),
            "プラグイン情報|Test plug-in alpha");
  EXPECT_FALSE(dialog_->state().busy());

  // Closing writes nothing; the host's end does, with the order, modes and data.
  Click(dialog_->closeButton());
  dialog_.reset();
  host_.reset();
  std::ifstream in(dir_.path() / "FeliCaDLL.INI");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("DLLInfo[1].IOFeliCaSettingData[1]=7069636B6564"), std::string::npos) << text;
}

}  // namespace
}  // namespace lorvane::ui
