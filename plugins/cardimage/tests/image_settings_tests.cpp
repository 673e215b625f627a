// SPDX-License-Identifier: MIT
// The card-image plug-in's own settings (its file chooser) and the image named when its
// reader is opened, offscreen.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "plugin-api/felica_plugin.h"
#include "testing/support/modal_windows.h"
#include "testing/support/plugin_library.h"
#include "testing/support/temp_dir.h"

namespace lorvane::cardimageplugin {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::WhenModal;

const fs::path kSample = fs::path(LORVANE_BIN_DIR) / "samples/sample-transit.json";

class ImageSettingsTest : public ::testing::Test {
 protected:
  ImageSettingsTest()
      : library_(CARDIMAGE_PLUGIN),
        getSetting_(library_.Get<GetSettingFn>(FELICA_EP_GET_SETTING)),
        open_(library_.Get<DLL_OpenFn>(FELICA_EP_OPEN)),
        close_(library_.Get<DLL_CloseFn>(FELICA_EP_CLOSE)),
        reqc_(library_.Get<DLL_REQCFn>(FELICA_EP_REQC)) {}

  int32_t Setting(int32_t mode) {
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, data_};
    return getSetting_(0, mode, &setting);
  }
  std::string Stored() {
    EXPECT_EQ(Setting(0), 0);
    return reinterpret_cast<const char*>(data_);
  }
  // The chooser, once it shows, is given `file` (cancelled when empty); `next` then waits
  // for the next window.
  static void Answer(const fs::path& file, std::function<void()> next = {}) {
    WhenModal([file, next](QWidget* modal) {
      auto* chooser = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(chooser, nullptr);
      if (next) next();
      if (file.empty()) {
        chooser->reject();
        return;
      }
      // As if typed: the file name box takes a whole path.
      const QString path = QString::fromStdString(file.string());
      chooser->selectFile(path);
      if (auto* name = chooser->findChild<QLineEdit*>("fileNameEdit")) name->setText(path);
      static_cast<QDialog*>(chooser)->accept();  // as the Open button does
    });
  }

  lorvane::testing::TempDir dir_;
  lorvane::testing::PluginLibrary library_;
  GetSettingFn getSetting_;
  DLL_OpenFn open_;
  DLL_CloseFn close_;
  DLL_REQCFn reqc_;
  uint8_t data_[FELICA_SETTING_BYTES] = {0};
};

TEST_F(ImageSettingsTest, TheChosenImageIsKeptAndServed) {
  const fs::path copy = dir_.path() / "my card.json";
  fs::copy(kSample, copy);
  Answer(copy);
  EXPECT_EQ(Setting(2), FELICA_SETTING_OK);
  EXPECT_EQ(Stored(), copy.string());
  Answer({});  // cancelled: nothing changes
  EXPECT_EQ(Setting(1), FELICA_SETTING_CANCELLED);
  EXPECT_EQ(Stored(), copy.string());
}

TEST_F(ImageSettingsTest, AFileThatIsNoCardImageIsRefusedByName) {
  const fs::path bad = dir_.Write("notes.json", "[1, 2, 3]");
  std::string message;
  Answer(bad, [&] {
    WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      message = box->text().toStdString();
      Answer({});  // the chooser opens again; the user gives up
      box->accept();
    });
  });
  const std::string before = Stored();
  EXPECT_EQ(Setting(2), FELICA_SETTING_CANCELLED);
  EXPECT_NE(message.find(bad.string()), std::string::npos) << message;
  EXPECT_EQ(Stored(), before);
}

TEST_F(ImageSettingsTest, TheNameGivenWhenOpeningIsTheImageServed) {
  const fs::path copy = dir_.path() / "other.json";
  fs::copy(kSample, copy);
  ASSERT_EQ(open_(copy.c_str()), 0);
  EXPECT_EQ(reqc_(0x0003), 0);
  EXPECT_EQ(Stored(), copy.string());
  close_();
  EXPECT_EQ(open_((dir_.path() / "missing.json").c_str()), FELICA_E_CONNECT);
}

}  // namespace
}  // namespace lorvane::cardimageplugin
