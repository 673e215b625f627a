// SPDX-License-Identifier: MIT
// The reader selection dialog that GetSetting shows in modes 1 and 2, on virtual ACR122
// readers under the real pcscd.
#include <PCSC/winscard.h>
#include <dlfcn.h>

#include <QApplication>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <QPushButton>

#include "pellix/tests/pellix_fixture.h"
#include "testing/support/modal_windows.h"

namespace {

// While set, the smart card service lists a second reader group. pcsc-lite lists every
// reader under any group, so each reader then stands under both.
bool g_secondGroup = false;

}  // namespace

// Pellix's calls reach this definition first: this executable exports it.
extern "C" __attribute__((visibility("default"))) LONG SCardListReaderGroups(SCARDCONTEXT context,
                                                                             LPSTR groups,
                                                                             LPDWORD length) {
  using Real = LONG (*)(SCARDCONTEXT, LPSTR, LPDWORD);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SCardListReaderGroups"));
  const LONG result = real(context, groups, length);
  if (!g_secondGroup || result != SCARD_S_SUCCESS) return result;
  static const char kTwoGroups[] = "SCard$DefaultReaders\0Second group\0";
  auto** list = reinterpret_cast<char**>(groups);
  SCardFreeMemory(context, *list);
  *list = static_cast<char*>(std::malloc(sizeof kTwoGroups));
  std::memcpy(*list, kTwoGroups, sizeof kTwoGroups);
  *length = sizeof kTwoGroups;
  return SCARD_S_SUCCESS;
}

namespace lorvane::pellix {
namespace {

using lorvane::testing::WhenModal;
using Lines = std::vector<std::string>;

std::string Entry(const std::string& group, const std::string& reader) {
  return "\"" + group + "\"\"" + reader + "\"";
}

// The dialog as the user sees it (it lives in the plug-in, so it is found by its widgets).
struct DialogView {
  QDialog* dialog = nullptr;
  QListWidget* list = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  QPushButton* scan = nullptr;

  explicit DialogView(QWidget* modal) : dialog(qobject_cast<QDialog*>(modal)) {
    list = modal->findChild<QListWidget*>();
    for (QPushButton* button : modal->findChildren<QPushButton*>()) {
      if (button->text() == "OK") ok = button;
      if (button->text() == "Cancel" || button->text() == "キャンセル") cancel = button;
      if (button->text() == "Scan" || button->text() == "検索") scan = button;
    }
  }
  Lines Rows() const {
    Lines rows;
    for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
    return rows;
  }
  void Click(QPushButton* button) const { QTest::mouseClick(button, Qt::LeftButton); }
};

class ReaderDialogTest : public PellixTest {
 protected:
  ReaderDialogTest() : PellixTest(2) {}
  void TearDown() override {
    g_secondGroup = false;
    PellixTest::TearDown();
  }

  // GetSetting in a dialog mode, with `act` run on the dialog once it shows (a dialog
  // still open afterwards is cancelled, so a failing test does not wait for ever).
  int32_t RunDialog(std::function<void(const DialogView&)> act) {
    WhenModal([act](QWidget* modal) {
      const DialogView view(modal);
      if (view.dialog != nullptr && view.list != nullptr && view.ok && view.cancel && view.scan)
        act(view);
      else
        ADD_FAILURE() << "not the reader selection dialog";
      if (modal->isVisible()) qobject_cast<QDialog*>(modal)->reject();
    });
    uint8_t data[FELICA_SETTING_BYTES] = {0};
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, data};
    return p_->GetSetting(0, 2, &setting);
  }
  std::string SettingsName() {
    uint8_t data[FELICA_SETTING_BYTES];
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, data};
    EXPECT_EQ(p_->GetSetting(0, 0, &setting), 0);
    return reinterpret_cast<const char*>(data);
  }
  std::string Reader(size_t i) const { return pcscd_->ReaderName(i); }
};

TEST_F(ReaderDialogTest, BeforeAnyScanTheListIsEmptyAndOkTouchesNothing) {
  Lines rows = {"not looked at"};
  EXPECT_EQ(RunDialog([&](const DialogView& d) {
              rows = d.Rows();
              d.Click(d.ok);
            }),
            FELICA_SETTING_OK);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(Sent(0), Lines{});
  EXPECT_EQ(Sent(1), Lines{});
}

// The dialog speaks the language the host application set as its default locale.
TEST_F(ReaderDialogTest, TheDialogFollowsTheHostsLanguage) {
  for (const auto& [language, title] : {std::pair{QLocale::English, "Choose a reader"},
                                        std::pair{QLocale::Japanese, "リーダーの選択"}}) {
    QLocale::setDefault(QLocale(language));
    std::string shown;
    RunDialog([&](const DialogView& d) {
      shown = d.dialog->windowTitle().toStdString();
      d.Click(d.cancel);
    });
    EXPECT_EQ(shown, title);
  }
  QLocale::setDefault(QLocale::c());
}

TEST_F(ReaderDialogTest, ChoosingTheSecondReaderOpensIt) {
  ASSERT_EQ(p_->Initialize(0), 0);
  int selected = -1;
  EXPECT_EQ(RunDialog([&](const DialogView& d) {
              EXPECT_EQ(d.Rows(), (Lines{Entry("SCard$DefaultReaders", Reader(0)),
                                         Entry("SCard$DefaultReaders", Reader(1))}));
              selected = d.list->currentRow();
              d.list->setCurrentRow(1);
              d.Click(d.ok);
            }),
            FELICA_SETTING_OK);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(SettingsName(), Entry("SCard$DefaultReaders", Reader(1)));
  EXPECT_EQ(Sent(0), Lines{});
  EXPECT_FALSE(Sent(1).empty());
  EXPECT_EQ(p_->Open(nullptr), FELICA_ALREADY_OPEN);
}

TEST_F(ReaderDialogTest, ScanSelectsTheFirstRowAgainAndCancelKeepsThat) {
  const std::string second = Entry("SCard$DefaultReaders", Reader(1));
  ASSERT_EQ(p_->Open(second.c_str()), 0);
  int before = -1, after = -1;
  EXPECT_EQ(RunDialog([&](const DialogView& d) {
              before = d.list->currentRow();
              d.Click(d.scan);
              after = d.list->currentRow();
              d.Click(d.cancel);
            }),
            FELICA_SETTING_CANCELLED);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 0);
  EXPECT_EQ(SettingsName(), Entry("SCard$DefaultReaders", Reader(0)));
  EXPECT_EQ(p_->Open(nullptr), FELICA_ALREADY_OPEN);  // still connected
}

TEST_F(ReaderDialogTest, AReaderUnderTwoGroupsShowsTwiceAndEitherRowOpensIt) {
  g_secondGroup = true;
  ASSERT_EQ(p_->Initialize(0), 0);
  EXPECT_EQ(RunDialog([&](const DialogView& d) {
              EXPECT_EQ(d.Rows(), (Lines{Entry("SCard$DefaultReaders", Reader(0)),
                                         Entry("SCard$DefaultReaders", Reader(1)),
                                         Entry("Second group", Reader(0)),
                                         Entry("Second group", Reader(1))}));
              d.list->setCurrentRow(3);
              d.Click(d.ok);
            }),
            FELICA_SETTING_OK);
  EXPECT_EQ(SettingsName(), Entry("Second group", Reader(1)));
  EXPECT_FALSE(Sent(1).empty());
}

TEST_F(ReaderDialogTest, AReaderThatCannotBeOpenedAnymoreIsReported) {
  ASSERT_EQ(p_->Initialize(0), 0);
  std::string message;
  EXPECT_EQ(RunDialog([&](const DialogView& d) {
              pcscd_->SetFault("no-sam", 1);  // the second reader refuses connections now
              std::this_thread::sleep_for(std::chrono::milliseconds(600));
              d.list->setCurrentRow(1);
              WhenModal(
                  [&](QWidget* box) {
                    message = qobject_cast<QMessageBox*>(box)->windowTitle().toStdString() + "|" +
                              qobject_cast<QMessageBox*>(box)->text().toStdString();
                    qobject_cast<QMessageBox*>(box)->accept();
                  },
                  d.dialog);
              d.Click(d.ok);
            }),
            FELICA_SETTING_OK);
  EXPECT_EQ(message, "Error|Cannot open current reader.");
  EXPECT_EQ(p_->REQC(0x0003), 0);  // the driver was left closed: the next poll opens the default
  EXPECT_FALSE(Sent(0).empty());
}

}  // namespace
}  // namespace lorvane::pellix
