// SPDX-License-Identifier: MIT
#include "viewer/ui/main_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <string>

#include "pellix/pcsc_call_bound.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/host_phrases.h"
#include "platform/text_codec.h"
#include "viewer/app/history_commands.h"
#include "viewer/app/popup_menu.h"
#include "viewer/readercheck/pcsc_service.h"
#include "viewer/ui/about_dialog.h"
#include "viewer/ui/archive_dialog.h"
#include "viewer/ui/artwork.h"
#include "viewer/ui/plugin_settings_dialog.h"
#include "viewer/ui/qt_host_ui.h"
#include "viewer/ui/qt_language.h"

namespace lorvane::ui {

using platform::DialogUnits;
using platform::DluRect;
using platform::TemplateFace;
using platform::TemplateFont;
namespace {

using app::Control;

// The template, in dialog units, with a 9-point fixed-pitch Japanese font.
constexpr int kFontPoints = 9;
constexpr int kWidth = 348;
constexpr int kHeight = 265;
constexpr DluRect kTabs{5, 5, 339, 222};
constexpr DluRect kInfoGroup{10, 25, 330, 52};
constexpr DluRect kInfoText{16, 35, 319, 39};
constexpr DluRect kHistoryGroup{10, 78, 330, 144};
constexpr DluRect kHistoryTitle{18, 93, 316, 12};
constexpr DluRect kHistoryList{16, 102, 318, 115};
constexpr DluRect kReadButton{31, 236, 66, 24};
constexpr DluRect kExitButton{193, 236, 66, 24};

// Between the last tab and the card-image marker, and the marker and the frame's edge.
constexpr int kMarkerGap = 8;
// From the bottom of a group box's title to the text below its frame line (the line itself
// and room on either side of it).
constexpr int kFrameClearance = 6;
// The history list's items are this much taller than the font's lines.
constexpr int kHistoryItemExtra = 2;

app::Rect RectOf(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// A tab caption shows an ampersand as itself, not as a mnemonic.
QString TabCaption(const std::u16string& text) {
  return QString::fromStdU16String(text).replace('&', QStringLiteral("&&"));
}

}  // namespace

MainDialog::MainDialog(app::ViewerApp& app, pluginhost::HostUi& hostUi, Setup setup,
                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      phrases_(app.languages()),
      model_(std::make_unique<app::MainDialogModel>(app, hostUi)),
      hostUi_(hostUi),
      layout_(*this) {
  CreateControls();
  Initialise(std::move(setup));
}

// The card definitions and then the plug-in host go before the controls.
MainDialog::~MainDialog() { model_.reset(); }

void MainDialog::CreateControls() {
  setFont(TemplateFont(TemplateFace::kGothic, kFontPoints));
  const DialogUnits units(font());
  resize(units.ToPixels(kWidth, kHeight));
  // Smaller than the template, the history would vanish and the heading run into the buttons.
  setMinimumSize(units.ToPixels(kWidth, kHeight));
  setMouseTracking(true);
  setAcceptDrops(true);

  tabs_ = new TabControl(this);
  tabs_->setGeometry(units.ToPixels(kTabs));
  infoGroup_ = new QGroupBox(QStringLiteral("カード情報"), this);
  infoGroup_->setGeometry(units.ToPixels(kInfoGroup));
  infoText_ = new QLabel(this);
  infoText_->setGeometry(units.ToPixels(kInfoText));
  infoText_->setTextFormat(Qt::PlainText);
  infoText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  infoText_->setWordWrap(true);
  KeepInfoTextBelowItsFrame();
  historyGroup_ = new QGroupBox(QStringLiteral("履歴"), this);
  historyGroup_->setGeometry(units.ToPixels(kHistoryGroup));
  historyTitle_ = new ElidedLabel(this);
  historyTitle_->setGeometry(units.ToPixels(kHistoryTitle));
  historyList_ = new QListWidget(this);
  historyList_->setGeometry(units.ToPixels(kHistoryList));
  historyList_->setSelectionMode(QAbstractItemView::NoSelection);
  historyList_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // A line wider than the list is clipped, not shortened; the list scrolls sideways to it.
  historyList_->setTextElideMode(Qt::ElideNone);
  historyList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  readButton_ = new QPushButton(QStringLiteral("カード読み出し"), this);
  readButton_->setGeometry(units.ToPixels(kReadButton));
  readButton_->setDefault(true);
  exitButton_ = new QPushButton(QStringLiteral("終了"), this);
  exitButton_->setGeometry(units.ToPixels(kExitButton));
  imageMarker_ = new QLabel(this);
  imageMarker_->setTextFormat(Qt::PlainText);
  imageMarker_->hide();

  // The heading's last pixels reach into the list's frame: drawn over it, its descenders
  // ("Payment") are not cut off.
  historyTitle_->raise();
  historyTitle_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // The group boxes let the mouse through to the dialog, whose divider lies on their edge.
  infoGroup_->setAttribute(Qt::WA_TransparentForMouseEvents);
  historyGroup_->setAttribute(Qt::WA_TransparentForMouseEvents);

  connect(readButton_, &QPushButton::clicked, this, &MainDialog::ReadCards);
  connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(tabBar(), &QTabBar::currentChanged, this, &MainDialog::ShowSelectedTab);
}

void MainDialog::Initialise(Setup setup) {
  setWindowIcon(ProgramIcon());
  TellHostUiTexts();
  archiveFile_ = setup.archive;
  if (archiveFile_) model_->SetArchiver(app::ArchiverFor(*archiveFile_));
  if (setup.cardImage) {
    model_->ServeCardImage(std::move(*setup.cardImage), std::move(setup.cardImageFile));
  } else if (setup.startHost) {
    model_->StartHost();
    if (pellix::PcscServiceHung()) QTimer::singleShot(0, this, &MainDialog::TellAHungService);
  }
  ReloadLanguage();
  historyItemHeight_ = historyList_->fontMetrics().height() + kHistoryItemExtra;
  ResetViews();
  layout_.SetInitialised();
}

QWidget* MainDialog::control(Control id) const {
  switch (id) {
    case Control::kExit:
      return exitButton_;
    case Control::kRead:
      return readButton_;
    case Control::kHistoryList:
      return historyList_;
    case Control::kTabs:
      return tabs_;
    case Control::kInfoText:
      return infoText_;
    case Control::kHistoryTitle:
      return historyTitle_;
    case Control::kInfoGroup:
      return infoGroup_;
    case Control::kHistoryGroup:
      return historyGroup_;
  }
  return nullptr;
}

// ---- Views ---------------------------------------------------------------------------------

void MainDialog::UpdateCaption() {
  QString caption = Text(languages().String(1));
  if (const auto& image = model_->shownImage()) {
    caption += QStringLiteral(" [%1: %2]")
                   .arg(Text(languages().CardImageText()),
                        QString::fromStdString(image->filename().string()));
  }
  setWindowTitle(caption);
  PlaceImageMarker();
}

// A card shown from a card image says so on the row of the tabs, right of the last tab,
// naming the file: the whole "card image: FILE" where it fits, else the file name alone
// (shortened in its middle).
void MainDialog::PlaceImageMarker() {
  const auto& image = model_->shownImage();
  imageMarker_->setVisible(image.has_value());
  if (!image) return;
  const QRect row = tabs_->geometry();
  const int lastTab = tabBar()->count() > 0 ? tabBar()->tabRect(tabBar()->count() - 1).right() : 0;
  const int left = row.left() + tabBar()->geometry().left() + lastTab + kMarkerGap;
  const int right = row.right() - kMarkerGap;
  imageMarker_->setGeometry(left, row.top(), std::max(0, right - left), tabBar()->height());
  imageMarker_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  imageMarker_->raise();
  const QString name = QString::fromStdString(image->filename().string());
  const QString full = Text(languages().CardImageText()) + QStringLiteral(": ") + name;
  const QFontMetrics metrics(imageMarker_->font());
  imageMarker_->setText(metrics.horizontalAdvance(full) <= imageMarker_->width()
                            ? full
                            : metrics.elidedText(name, Qt::ElideMiddle, imageMarker_->width()));
  imageMarker_->setToolTip(QString::fromStdString(image->string()));
  imageMarker_->setAccessibleName(full);
}

void MainDialog::AddHistoryLine(const std::u16string& line) {
  auto* item = new QListWidgetItem(Text(line), historyList_);
  const int width = historyList_->fontMetrics().horizontalAdvance(item->text());
  item->setSizeHint(QSize(width + historyItemHeight_, historyItemHeight_));
}

void MainDialog::ResetViews() {
  {
    const QSignalBlocker quiet(tabBar());
    while (tabBar()->count() > 0) tabBar()->removeTab(0);
    tabBar()->insertTab(0, TabCaption(languages().String(6)));
    tabBar()->setCurrentIndex(0);
  }
  infoText_->setText(Text(languages().Message(1)));
  historyList_->clear();
  historyTitle_->setText(QString());
  UpdateCaption();
  update();
}

void MainDialog::ShowReadList() {
  {
    const QSignalBlocker quiet(tabBar());
    while (tabBar()->count() > 0) tabBar()->removeTab(0);
    for (size_t i = 0; i < model_->readCount(); ++i)
      tabBar()->insertTab(static_cast<int>(i), TabCaption(model_->CardName(i)));
    tabBar()->setCurrentIndex(0);
  }
  ShowSelectedTab();
  UpdateCaption();
}

void MainDialog::ReadCards() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const size_t read = model_->ReadCards();
  QApplication::restoreOverrideCursor();
  ShowReadOutcome(read);
  if (read == 0) TellAHungService();
}

// The cards read, or why there is none, in the chosen language.
void MainDialog::ShowReadOutcome(size_t read) {
  if (read > 0) {
    ShowReadList();
    return;
  }
  ResetViews();
  const std::u16string why = languages().ReadProblemText(model_->Problem());
  if (!why.empty()) infoText_->setText(Text(why));
}

// A PC/SC service that stopped answering is named, with how to restart it, each time a
// read found nothing because of it.
void MainDialog::TellAHungService() {
  if (!pellix::PcscServiceHung()) return;
  ShowMessageBox(this, platform::U16(readercheck::ServiceProblem(SCARD_E_TIMEOUT)),
                 app::kErrorCaption, pluginhost::MessageKind::kError);
}

void MainDialog::ShowSelectedTab() {
  historyList_->clear();
  infoText_->setText(Text(languages().Message(1)));
  const auto view = model_->ViewAt(tabBar()->currentIndex());
  if (!view) return;
  infoText_->setText(Text(app::InfoText(*view)));
  historyTitle_->setText(Text(view->title));
  for (const auto& line : view->history) AddHistoryLine(line);
  update();
}

bool MainDialog::ReadCardImageFile(const QString& path) {
  std::string error;
  const std::filesystem::path file = path.toStdString();
  auto image = cardimage::LoadCardImage(file, error);
  if (!image) {
    ShowMessageBox(this, platform::U16(error), app::kErrorCaption, pluginhost::MessageKind::kError);
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const size_t read = model_->ReadCardImage(std::move(*image), file);
  QApplication::restoreOverrideCursor();
  ShowReadOutcome(read);
  return true;
}

// ---- Language and card definitions ---------------------------------------------------------

void MainDialog::ReloadLanguage() {
  languages().SelectLanguageByName(languages().GetCurrentLanguageName());
  ApplyLanguage();
}

void MainDialog::ChooseLanguage(uint16_t index) {
  if (index == languages().GetCurrentIndex()) return;
  languages().SelectLanguage(index);
  model_->app().LanguageChosen();
  ApplyLanguage();
}

// The host's folder dialog is titled as the menu item that opens it, without its dots.
void MainDialog::TellHostUiTexts() {
  ApplyQtLanguage(Text(languages().Locale()));
  auto* qtUi = dynamic_cast<QtHostUi*>(&hostUi_);
  if (qtUi == nullptr) return;
  QString title = Text(languages().MenuText(app::LanguageTable::kDllPath)).trimmed();
  while (title.endsWith(QLatin1Char('.')) || title.endsWith(QChar(0x2026))) title.chop(1);
  qtUi->SetFolderTitle(title);
}

void MainDialog::ApplyLanguage() {
  TellHostUiTexts();
  UpdateCaption();
  infoGroup_->setTitle(Text(languages().String(4)));
  historyGroup_->setTitle(Text(languages().String(5)));
  readButton_->setText(Text(languages().String(2)));
  exitButton_->setText(Text(languages().String(3)));
  historyList_->setAccessibleName(Text(languages().String(5)));
  tabs_->tabBar()->setAccessibleName(Text(languages().Text(u"Dialog", u"Cards", u"Cards")));
  NameTabScrollButtons();
  ReloadCardDefinitions();
}

// The tab bar names its scroll buttons once, when it is made: named again in the language
// Qt speaks now.
void MainDialog::NameTabScrollButtons() {
  const std::pair<const char*, const char*> kButtons[] = {{"ScrollLeftButton", "Scroll Left"},
                                                          {"ScrollRightButton", "Scroll Right"}};
  for (const auto& [name, text] : kButtons) {
    if (auto* button = tabs_->tabBar()->findChild<QWidget*>(QLatin1String(name)))
      button->setAccessibleName(QTabBar::tr(text));
  }
}

void MainDialog::ReloadCardDefinitions() {
  model_->ClearCardDefinitions();
  ResetViews();
  // Lines padded by display columns, as --read prints them: in the fixed-pitch font a wide
  // character is two columns, so columns line up in every language.
  model_->LoadCardDefinitions(languages().GetCurrentFolder(),
                              platform::WidthUnit::kTerminalColumns);
}

// ---- Popup menu ----------------------------------------------------------------------------

std::unique_ptr<QMenu> MainDialog::CreatePopupMenu() {
  const app::PopupMenu model = app::BuildPopupMenu(languages());
  auto menu = std::make_unique<QMenu>(this);
  const auto fill = [&](const app::Submenu& submenu) {
    QMenu* sub = menu->addMenu(Text(submenu.caption));
    for (const app::MenuItem& item : submenu.items) {
      QAction* action = sub->addAction(Text(item.text));
      action->setData(item.command);
      action->setCheckable(item.checked);
      action->setChecked(item.checked);
    }
  };
  fill(model.languages);
  fill(model.settings);
  menu->addAction(Text(model.saveCardImage.text))->setData(model.saveCardImage.command);
  QAction* archive = menu->addAction(Text(model.historyArchive.text));
  archive->setData(model.historyArchive.command);
  archive->setEnabled(archiveFile_.has_value());
  menu->addSeparator();
  menu->addAction(Text(model.about.text))->setData(model.about.command);
  return menu;
}

void MainDialog::ShowPopupMenu(const QPoint& at) {
  const auto menu = CreatePopupMenu();
  const QAction* chosen = menu->exec(mapToGlobal(at));
  if (chosen != nullptr) CarryOut(chosen->data().toInt());
}

void MainDialog::CarryOut(int command) {
  if (command >= app::kLanguageCommandFirst && command <= app::kLanguageCommandLast) {
    ChooseLanguage(static_cast<uint16_t>(command - app::kLanguageCommandFirst));
  } else if (command == app::kPluginSettingsCommand) {
    PluginSettingsDialog settings(model_->host(), hostUi_, this, &languages());
    settings.exec();
  } else if (command == app::kPluginFolderCommand) {
    model_->host().ChangeFolder(std::nullopt);
  } else if (command == app::kSaveCardImageCommand) {
    SaveCardImage();
  } else if (command == app::kHistoryArchiveCommand) {
    ShowArchive();
  } else if (command == app::kAboutCommand) {
    ShowAbout();
  }
}

void MainDialog::SaveCardImage() {
  const QString title = Text(languages().MenuText(app::LanguageTable::kSaveCardImage));
  QString file = QFileDialog::getSaveFileName(
      this, title, QDir::home().filePath("card.json"),
      Text(languages().Text(u"Dialog", u"CardImages", u"Card images (*.json)")));
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".json");
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const app::SaveOutcome saved =
      model_->SaveCardImage(QFile::encodeName(file).toStdString(), [](const std::string&) {});
  QApplication::restoreOverrideCursor();
  if (saved.result == app::SaveOutcome::kSaved) return;
  QMessageBox::warning(this, QString(title).remove(QStringLiteral("...")),
                       Text(languages().CardImageNotSavedText()) + QStringLiteral("\n\n") +
                           platform::HostPhrase(saved.reason));
}

void MainDialog::ShowArchive() {
  if (!archiveFile_) return;
  ArchiveDialog archive(*archiveFile_, languages().GetCurrentFolder(), languages().archiveTexts(),
                        this);
  if (!archive.Reload())
    QMessageBox::warning(this, Text(languages().archiveTexts().caption), archive.problem());
  archive.exec();
}

void MainDialog::ShowAbout() {
  AboutDialog about(Phrase(model_->app().AboutProductText()), Text(model_->app().AboutNoticeText()),
                    this);
  about.setWindowTitle(Text(languages().Text(u"Dialog", u"AboutCaption", kAboutTitle)));
  about.exec();
}

// ---- Events --------------------------------------------------------------------------------

// On a small screen (or a large scale factor) the window starts no larger than the room the
// screen has, and may be made as small as that room.
void MainDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (screen() == nullptr) return;
  const QSize room = screen()->availableGeometry().size();
  setMinimumSize(minimumSize().boundedTo(room));
  if (width() > room.width() || height() > room.height()) resize(size().boundedTo(room));
}

void MainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layout_.SizeChanged();
  PlaceImageMarker();
}

void MainDialog::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  layout_.MouseMove({p.x(), p.y()});
  QDialog::mouseMoveEvent(event);
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) layout_.LeftButtonDown({p.x(), p.y()});
  if (event->button() == Qt::RightButton) ShowPopupMenu(p);
  QDialog::mousePressEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) layout_.LeftButtonUp();
  QDialog::mouseReleaseEvent(event);
}

// The menu key opens the popup menu too (the right button opens it on press).
void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard)
    ShowPopupMenu(infoGroup_->geometry().center());
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  ReadCardImageFile(urls.front().toLocalFile());
}

// ---- The layout's surface ------------------------------------------------------------------

app::Rect MainDialog::WindowRect() const { return {0, 0, width(), height()}; }

app::Rect MainDialog::ControlRect(Control id) const { return RectOf(control(id)->geometry()); }

void MainDialog::SetControlRect(Control id, const app::Rect& r) {
  control(id)->setGeometry(r.left, r.top, r.width(), r.height());
  if (id == Control::kInfoText || id == Control::kInfoGroup) KeepInfoTextBelowItsFrame();
}

// The group box draws its frame below its title, where the template puts the text's first
// line: the text keeps its place and its lines begin below the frame.
void MainDialog::KeepInfoTextBelowItsFrame() {
  QStyleOptionGroupBox option;
  option.initFrom(infoGroup_);
  option.text = infoGroup_->title();
  option.textAlignment = infoGroup_->alignment();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  option.lineWidth = 1;
  // Styles draw the frame's top line through the title or just below it.
  const QRect title =
      style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, infoGroup_);
  const int below = infoGroup_->y() + title.bottom() + kFrameClearance - infoText_->y();
  infoText_->setContentsMargins(0, std::max(0, below), 0, 0);
}

void MainDialog::ShowCursor(app::DragCursor cursor) {
  if (cursor == app::DragCursor::kSplit) {
    setCursor(SplitCursor());
  } else {
    unsetCursor();
  }
}

void MainDialog::CaptureMouse() { grabMouse(); }

void MainDialog::ReleaseMouse() { releaseMouse(); }

}  // namespace lorvane::ui
