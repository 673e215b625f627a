// SPDX-License-Identifier: MIT
// The viewer's window: one tab per card definition that read the card, and under the
// selected tab the card-information text and the history. Its right-button menu switches
// the language and reaches the reader plug-ins; the divider between the card-information
// and history areas can be dragged. Everything it shows comes from MainDialogModel.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <filesystem>
#include <memory>
#include <optional>

#include "viewer/app/dialog_layout.h"
#include "viewer/app/main_dialog_model.h"
#include "viewer/ui/elided_label.h"
#include "viewer/ui/phrase_translator.h"
#include "viewer/ui/tab_control.h"

namespace lorvane::ui {

class MainDialog final : public QDialog, private app::LayoutSurface {
  Q_OBJECT

 public:
  struct Setup {
    // Start the plug-in host on the program folder (not when a card image is served).
    bool startHost = true;
    // Serve this card image as the card on the reader.
    std::optional<cardimage::CardImage> cardImage;
    std::filesystem::path cardImageFile;
    // The history archive every read from a reader goes to; none: reads are not kept.
    std::optional<std::filesystem::path> archive;
  };

  MainDialog(app::ViewerApp& app, pluginhost::HostUi& hostUi, Setup setup,
             QWidget* parent = nullptr);
  ~MainDialog() override;

  void ReadCards();
  void TellAHungService();
  void ShowReadOutcome(size_t read);
  void PlaceImageMarker();
  void TellHostUiTexts();
  void ShowSelectedTab();
  void ResetViews();
  void ReloadLanguage();
  void ChooseLanguage(uint16_t index);
  void ApplyLanguage();
  void ReloadCardDefinitions();

  // The popup menu as it is about to be shown; each command item carries its command.
  std::unique_ptr<QMenu> CreatePopupMenu();
  // Shows the popup menu with its corner at `at` (client coordinates) and carries out the
  // choice.
  void ShowPopupMenu(const QPoint& at);
  void CarryOut(int command);
  void ShowArchive();
  void ShowAbout();
  // Asks for a file and saves the card there as a card image.
  void SaveCardImage();
  // Reads a card image file at once; a file that is no card image gives a message box that
  // names it, and the views stay as they were.
  bool ReadCardImageFile(const QString& path);

  app::MainDialogModel& model() { return *model_; }
  const app::DialogLayout& layout() const { return layout_; }
  QWidget* control(app::Control id) const;
  QTabBar* tabBar() const { return tabs_->tabBar(); }
  QLabel* infoText() const { return infoText_; }
  QLabel* imageMarker() const { return imageMarker_; }
  ElidedLabel* historyTitle() const { return historyTitle_; }
  QListWidget* historyList() const { return historyList_; }
  QPushButton* readButton() const { return readButton_; }
  QPushButton* exitButton() const { return exitButton_; }
  QGroupBox* infoGroup() const { return infoGroup_; }
  QGroupBox* historyGroup() const { return historyGroup_; }
  int historyItemHeight() const { return historyItemHeight_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The layout's view of the widgets.
  app::Rect WindowRect() const override;
  app::Rect ControlRect(app::Control control) const override;
  void SetControlRect(app::Control control, const app::Rect& rect) override;
  void ShowCursor(app::DragCursor cursor) override;
  void CaptureMouse() override;
  void ReleaseMouse() override;

  void CreateControls();
  void Initialise(Setup setup);
  void ShowReadList();
  void UpdateCaption();
  void AddHistoryLine(const std::u16string& line);
  QString Text(const std::u16string& text) const { return QString::fromStdU16String(text); }
  void NameTabScrollButtons();
  void KeepInfoTextBelowItsFrame();
  app::LanguageTable& languages() { return model_->app().languages(); }

  PhraseTranslator phrases_;  // first in, last out: messages of the model's start too
  std::unique_ptr<app::MainDialogModel> model_;
  std::optional<std::filesystem::path> archiveFile_;
  pluginhost::HostUi& hostUi_;
  app::DialogLayout layout_;
  TabControl* tabs_ = nullptr;
  QGroupBox* infoGroup_ = nullptr;
  QLabel* infoText_ = nullptr;
  QGroupBox* historyGroup_ = nullptr;
  ElidedLabel* historyTitle_ = nullptr;
  QListWidget* historyList_ = nullptr;
  QLabel* imageMarker_ = nullptr;  // names the card image a card was read from
  QPushButton* readButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  int historyItemHeight_ = 0;
};

}  // namespace lorvane::ui
