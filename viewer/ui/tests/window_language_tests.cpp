// SPDX-License-Identifier: MIT
// Every window, dialog, menu and message box in the chosen language: walked through the widget
// tree in English (no Japanese) and in Japanese (no English word but names), neither saying
// "DLL" nor using half-width katakana; Qt's own texts and the plug-ins' dialogs follow.
#include <dlfcn.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <set>

#include "viewer/app/popup_menu.h"
#include "viewer/pluginhost/plugin_settings_state.h"
#include "viewer/ui/plugin_settings_dialog.h"
#include "viewer/ui/qt_host_ui.h"
#include "viewer/ui/tests/gui_fixture.h"

namespace lorvane::ui {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::WhenModal;

// Qt's own texts follow the window's language, and back.
TEST_F(GuiTest, QtsOwnTextsFollowTheChosenLanguage) {
  auto app = StartApp("日本語");
  auto dialog = OpenDialog(*app);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "キャンセル");
  EXPECT_EQ(QLocale().language(), QLocale::Japanese);
  dialog->ChooseLanguage(0);  // English
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Cancel");
  EXPECT_EQ(QLocale().language(), QLocale::English);
}

// Whether a text holds a Japanese character (kana, kanji, full- or half-width forms).
bool HasJapanese(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
        (u >= 0xFF00 && u <= 0xFFEF))
      return true;
  }
  return false;
}

bool HasHalfWidthKana(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) return true;
  return false;
}

// The English words of a Japanese text, names left out.
QStringList EnglishWords(const QString& text) {
  static const std::set<QString> kNames = {
      "Lorvane", "FeliCa", "PC",   "SC",        "pcscd",   "IDm",    "CSV",  "OK",
      "json",    "csv",    "sudo", "systemctl", "restart", "felica", "card", "image",
      "SQLite",  "JSON",   "MB",   "English",   "FIFO",    "Flipper"};
  QStringList words;
  static const QRegularExpression kWord(QStringLiteral("[A-Za-z]{2,}"));
  for (auto it = kWord.globalMatch(text); it.hasNext();) {
    const QString word = it.next().captured();
    if (!kNames.count(word)) words.push_back(word);
  }
  return words;
}

// Every text of a window and its children: titles, labels, buttons, group boxes, tabs, the
// names given to accessibility tools.
std::vector<QString> Texts(QWidget& window) {
  std::vector<QString> texts = {window.windowTitle(), window.accessibleName()};
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.push_back(b->text());
    if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(l->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts.push_back(g->title());
    if (auto* t = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < t->count(); ++i) texts.push_back(t->tabText(i));
    }
    texts.push_back(w->accessibleName());
  }
  return texts;
}

void AddMenuTexts(const QMenu& menu, std::vector<QString>& texts) {
  for (const QAction* action : menu.actions()) {
    texts.push_back(action->text());
    if (action->menu() != nullptr) AddMenuTexts(*action->menu(), texts);
  }
}

// The texts of the next modal window, which is then closed.
void TakeModalTexts(std::vector<QString>& texts) {
  WhenModal([&texts](QWidget* modal) {
    const std::vector<QString> shown = Texts(*modal);
    texts.insert(texts.end(), shown.begin(), shown.end());
    modal->close();
  });
}

class WindowLanguageTest : public GuiTest {
 protected:
  // The texts of the main window after a read, its menu, the plug-in settings dialog, the
  // About box, the history archive, and an error box.
  std::vector<QString> EveryText(const std::string& language) {
    auto app = StartApp(language);
    MainDialog::Setup setup;
    setup.archive = Folder() / "history.sqlite";
    auto dialog = OpenDialog(*app, std::move(setup));
    dialog->readButton()->click();
    std::vector<QString> texts = Texts(*dialog);
    AddMenuTexts(*dialog->CreatePopupMenu(), texts);
    PluginSettingsDialog settings(dialog->model().host(), hostUi_, dialog.get(), &app->languages());
    const std::vector<QString> settingsTexts = Texts(settings);
    texts.insert(texts.end(), settingsTexts.begin(), settingsTexts.end());
    TakeModalTexts(texts);
    dialog->CarryOut(app::kAboutCommand);
    TakeModalTexts(texts);
    dialog->CarryOut(app::kHistoryArchiveCommand);
    TakeModalTexts(texts);
    EXPECT_FALSE(dialog->ReadCardImageFile(QString::fromStdString(Folder().string())));
    TakeModalTexts(texts);
    ShowMessageBox(dialog.get(), pluginhost::kNoValidReaderText, pluginhost::kNoValidReaderCaption,
                   pluginhost::MessageKind::kPlain);
    return texts;
  }
};

TEST_F(WindowLanguageTest, EveryWindowSpeaksTheChosenLanguage) {
  for (const QString& text : EveryText("English")) {
    SCOPED_TRACE(text.toStdString());
    // The language menu names each language in its own words.
    EXPECT_TRUE(text == QStringLiteral("日本語") || !HasJapanese(text));
    EXPECT_FALSE(text.contains(QStringLiteral("DLL")));
  }
  const std::vector<QString> japanese = EveryText("日本語");
  for (const QString& text : japanese) {
    SCOPED_TRACE(text.toStdString());
    EXPECT_FALSE(HasHalfWidthKana(text));
    EXPECT_FALSE(text.contains(QStringLiteral("DLL")));
  }
  // The window's own words (the card's lines and the About box's version text aside).
  for (const char* expected : {"エラー", "警告", "選んだプラグインには使えるリーダーがありません。",
                               "履歴アーカイブ", "Lorvane について", "リーダープラグイン"}) {
    EXPECT_NE(std::find(japanese.begin(), japanese.end(), QString::fromUtf8(expected)),
              japanese.end())
        << expected;
  }
  const auto folderError = std::find_if(japanese.begin(), japanese.end(), [&](const QString& t) {
    return t.startsWith(Folder().c_str());
  });
  ASSERT_NE(folderError, japanese.end());
  EXPECT_EQ(folderError->toStdString(),
            Folder().string() + " を読み込めません: ファイルではなくフォルダです");
}

// In Japanese, no English word is left in the window's menus, dialogs and messages.
TEST_F(WindowLanguageTest, NoEnglishWordInTheJapaneseWindow) {
  auto app = StartApp("日本語");
  auto dialog = OpenDialog(*app);
  std::vector<QString> texts = {dialog->windowTitle(), dialog->infoGroup()->title(),
                                dialog->readButton()->text(), dialog->tabBar()->accessibleName()};
  AddMenuTexts(*dialog->CreatePopupMenu(), texts);
  PluginSettingsDialog settings(dialog->model().host(), hostUi_, dialog.get(), &app->languages());
  const std::vector<QString> settingsTexts = Texts(settings);
  texts.insert(texts.end(), settingsTexts.begin(), settingsTexts.end());
  for (const auto& phrase : app::PhraseCatalog()) texts.push_back(Phrase(phrase.english));
  for (const QString& text : texts)
    EXPECT_EQ(EnglishWords(text), QStringList()) << text.toStdString();
}

// The width a button's text needs beyond the text itself: a push button's frame and margins,
// a radio button's indicator and the space after it.
int ButtonChrome(const QAbstractButton& button) {
  const QStyle& style = *button.style();
  if (qobject_cast<const QRadioButton*>(&button) != nullptr)
    return style.pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &button) +
           style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &button);
  return 2 * (style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) / 2 +
              style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button));
}

// No text of the main window or the plug-in settings dialog is cut by its control, in either
// language.
TEST_F(GuiTest, EveryControlShowsItsWholeText) {
  for (const std::string language : {"English", "日本語"}) {
    auto app = StartApp(language);
    auto dialog = OpenDialog(*app);
    PluginSettingsDialog settings(dialog->model().host(), hostUi_, dialog.get(), &app->languages());
    for (QWidget* window :
         {static_cast<QWidget*>(dialog.get()), static_cast<QWidget*>(&settings)}) {
      for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || button->parent() != window) continue;
        SCOPED_TRACE(language + ": " + button->text().toStdString());
        const int needed =
            button->fontMetrics().horizontalAdvance(button->text()) + ButtonChrome(*button);
        EXPECT_LE(needed, button->width());
      }
      for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().contains('\n') || !label->isVisibleTo(window))
          continue;
        SCOPED_TRACE(language + ": " + label->text().toStdString());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                  label->contentsRect().width());
      }
    }
  }
}

// The settings dialog and menu of a language file without their texts show the dialog's own.
TEST_F(GuiTest, ALanguageWithoutTheNewSectionsShowsTheOriginalTexts) {
  AddLanguage({});
  auto app = StartApp("Test");
  auto dialog = OpenDialog(*app);
  PluginSettingsDialog settings(dialog->model().host(), hostUi_, dialog.get(), &app->languages());
  EXPECT_EQ(settings.windowTitle().toStdString(), "ﾀﾞｲｱﾛｸﾞ");
  EXPECT_EQ(app::BuildPopupMenu(app->languages()).about.text, std::u16string(app::kAboutMenuText));
  EXPECT_EQ(Phrase(pluginhost::kNoValidReaderText).toStdU16String(),
            std::u16string(pluginhost::kNoValidReaderText));
}

// The card-image plug-in's chooser, running in the viewer's application, tells why a file
// cannot be served in the viewer's language.
TEST_F(GuiTest, ThePluginsChooserTellsItsErrorsInTheViewersLanguage) {
  auto app = StartApp("日本語");
  auto dialog = OpenDialog(*app);
  const fs::path module = fs::path(LORVANE_BIN_DIR) / "dialogs/cardimage-dialogs.so";
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  using ChooseFn = int (*)(const char*, char*, size_t);
  const auto choose = reinterpret_cast<ChooseFn>(dlsym(handle, "CardImageChooseFile"));
  ASSERT_NE(choose, nullptr);
  const fs::path other = dir_.Write("other.json", R"({"format": "x", "version": 1})");
  std::string title, text;
  WhenModal([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    title = chooser->windowTitle().toStdString();
    chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(other.string()));
    WhenModal([&](QWidget* box) {
      text = qobject_cast<QMessageBox*>(box)->text().toStdString();
      WhenModal([](QWidget* again) { again->close(); });
      box->close();
    });
    static_cast<QDialog*>(chooser)->accept();
  });
  char chosen[4096] = {};
  EXPECT_EQ(choose("", chosen, sizeof chosen), 1);  // cancelled after the refusal
  EXPECT_EQ(title, "カードイメージ");
  EXPECT_EQ(text, other.string() + ": format: 「felica-card-image」ではありません");
  dlclose(handle);
}

}  // namespace
}  // namespace lorvane::ui
