// SPDX-License-Identifier: MIT
#include "viewer/ui/plugin_settings_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/qt/dialog_template.h"

namespace lorvane::ui {

using platform::DialogUnits;
using platform::DluRect;
using platform::TemplateFace;
using platform::TemplateFont;
namespace {

using pluginhost::PluginSettingsState;

// The template, in dialog units, with "ＭＳ Ｐゴシック" at 9 points.
constexpr int kFontPoints = 9;
constexpr int kWidth = 229;
constexpr int kHeight = 131;
constexpr DluRect kClose{160, 115, 63, 11};
constexpr DluRect kList{6, 15, 149, 109};
constexpr DluRect kAbout{160, 5, 63, 11};
constexpr DluRect kSettings{160, 21, 63, 11};
constexpr DluRect kFunctions{197, 36, 27, 46};
constexpr DluRect kUp{160, 52, 27, 11};
constexpr DluRect kDown{197, 52, 27, 11};
constexpr DluRect kNotUsed{165, 99, 59, 8};
constexpr DluRect kAlways{165, 78, 59, 8};
constexpr DluRect kWhenNeeded{165, 89, 59, 8};
constexpr DluRect kModes{160, 68, 63, 42};
constexpr DluRect kFunctionLabel{160, 36, 32, 12};
constexpr DluRect kScan{60, 5, 45, 10};
constexpr DluRect kSelect{110, 5, 45, 10};
constexpr DluRect kNameLabel{10, 5, 50, 10};

const QColor kSelectedBackground(60, 60, 60);
const QColor kNoReaderText(160, 160, 160);
// On the selection's dark background: white, and a light grey without a reader (5.9 : 1).
const QColor kSelectedText(255, 255, 255);
const QColor kSelectedNoReaderText(190, 190, 190);

// A plug-in's row: its name at the row's corner, grey without a reader, in a font twice as
// heavy when it is the current plug-in, on a dark background behind the text when
// selected. Nothing else of the row is painted and no focus frame is drawn.
class PluginRowDelegate final : public QStyledItemDelegate {
 public:
  PluginRowDelegate(const PluginSettingsState& state, QObject* parent)
      : QStyledItemDelegate(parent), state_(state) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (index.row() < 0 || index.row() >= state_.rowCount()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    const PluginSettingsState::Row row = state_.RowAt(index.row());
    const QString text = QString::fromStdU16String(row.name);
    QFont font = option.font;
    if (row.validReader && row.current)
      font.setWeight(static_cast<QFont::Weight>(std::min(1000, font.weight() * 2)));
    painter->save();
    painter->setFont(font);
    constexpr int kAlign = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    if (selected)
      painter->fillRect(painter->fontMetrics().boundingRect(option.rect, kAlign, text),
                        kSelectedBackground);
    if (selected) {
      painter->setPen(row.validReader ? kSelectedText : kSelectedNoReaderText);
    } else {
      painter->setPen(row.validReader ? option.palette.color(QPalette::Text) : kNoReaderText);
    }
    painter->drawText(option.rect, kAlign, text);
    painter->restore();
  }

  // Rows take the list font's height.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), option.fontMetrics.height());
  }

 private:
  const PluginSettingsState& state_;
};

// Sets or clears a radio button's mark even when it is the marked one of its group.
void SetMark(QRadioButton* button, PluginSettingsState::Mark mark) {
  if (mark == PluginSettingsState::Mark::kUntouched) return;
  button->setAutoExclusive(false);
  button->setChecked(mark == PluginSettingsState::Mark::kMarked);
  button->setAutoExclusive(true);
}

}  // namespace

PluginSettingsDialog::PluginSettingsDialog(pluginhost::FeliCaDLLHost& host, pluginhost::HostUi& ui,
                                           QWidget* parent, const app::LanguageTable* languages)
    : QDialog(parent), state_(host, ui), languages_(languages) {
  if (languages_ != nullptr)
    state_.SetNoServiceText(languages_->ReadProblemText(app::ReadProblem::kNoService));
  CreateControls();
  Connect();
  state_.Initialise();
  FillList();
  ShowButtons();
}

// A control's text in the chosen language, or the dialog's own.
QString PluginSettingsDialog::Label(const char16_t* key, const char* own) const {
  const std::u16string fallback = QString::fromUtf8(own).toStdU16String();
  if (languages_ == nullptr) return QString::fromStdU16String(fallback);
  return QString::fromStdU16String(languages_->Text(u"PluginSettings", key, fallback));
}

// The controls in the template's order, which is also their tab order.
void PluginSettingsDialog::CreateControls() {
  setWindowTitle(Label(u"Caption", "ﾀﾞｲｱﾛｸﾞ"));
  setFont(TemplateFont(TemplateFace::kPGothic, kFontPoints));
  const DialogUnits units(font());
  setFixedSize(units.ToPixels(kWidth, kHeight));
  const auto button = [&](const QString& text, const DluRect& place) {
    auto* b = new QPushButton(text, this);
    b->setGeometry(units.ToPixels(place));
    b->setAutoDefault(false);
    return b;
  };
  const auto radio = [&](const QString& text, const DluRect& place) {
    auto* r = new QRadioButton(text, this);
    r->setGeometry(units.ToPixels(place));
    return r;
  };
  close_ = button(Label(u"Close", "閉じる"), kClose);
  close_->setDefault(true);
  list_ = new QListWidget(this);
  list_->setGeometry(units.ToPixels(kList));
  list_->setItemDelegate(new PluginRowDelegate(state_, list_));
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setAccessibleName(Label(u"Name", "DLL名称"));
  about_ = button(Label(u"About", "DLLについて..."), kAbout);
  settings_ = button(Label(u"Settings", "設定..."), kSettings);
  functions_ = new QComboBox(this);
  const QRect functionsPlace = units.ToPixels(kFunctions);
  functions_->setGeometry(functionsPlace.x(), functionsPlace.y(), functionsPlace.width(),
                          functions_->sizeHint().height());
  functions_->setAccessibleName(Label(u"Function", "機能番号"));
  up_ = button(QStringLiteral("▲"), kUp);
  down_ = button(QStringLiteral("▼"), kDown);
  notUsed_ = radio(Label(u"NotUsed", "使用しない"), kNotUsed);
  always_ = radio(Label(u"Always", "常に"), kAlways);
  always_->setEnabled(false);  // created disabled and never enabled
  whenNeeded_ = radio(Label(u"WhenNeeded", "必要な時のみ"), kWhenNeeded);
  modes_ = new QGroupBox(Label(u"LoadMode", "ロードモード"), this);
  modes_->setGeometry(units.ToPixels(kModes));
  modes_->lower();  // under the radio buttons it frames
  auto* functionLabel = new QLabel(Label(u"Function", "機能番号"), this);
  functionLabel->setGeometry(units.ToPixels(kFunctionLabel));
  functionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  scan_ = button(Label(u"Scan", "Scan"), kScan);
  select_ = button(Label(u"Select", "Select"), kSelect);
  auto* nameLabel = new QLabel(Label(u"Name", "DLL名称"), this);
  nameLabel->setGeometry(units.ToPixels(kNameLabel));
}

void PluginSettingsDialog::Connect() {
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QListWidget::currentRowChanged, this, &PluginSettingsDialog::SelectRow);
  connect(notUsed_, &QRadioButton::clicked, this,
          [this] { ModeClicked(PluginSettingsState::kRadioNotUsed); });
  connect(always_, &QRadioButton::clicked, this,
          [this] { ModeClicked(PluginSettingsState::kRadioAlways); });
  connect(whenNeeded_, &QRadioButton::clicked, this,
          [this] { ModeClicked(PluginSettingsState::kRadioWhenNeeded); });
  connect(up_, &QPushButton::clicked, this, [this] {
    state_.MoveUp();
    ShowSelection();
  });
  connect(down_, &QPushButton::clicked, this, [this] {
    state_.MoveDown();
    ShowSelection();
  });
  connect(about_, &QPushButton::clicked, this, [this] { state_.About(); });
  connect(settings_, &QPushButton::clicked, this,
          [this] { state_.Settings(functions_->currentIndex()); });
  connect(scan_, &QPushButton::clicked, this, [this] {
    state_.Scan();
    list_->viewport()->update();
  });
  connect(select_, &QPushButton::clicked, this, [this] {
    state_.SelectCurrent();
    list_->viewport()->update();
  });
}

void PluginSettingsDialog::FillList() {
  const QSignalBlocker quiet(list_);
  list_->clear();
  for (int row = 0; row < state_.rowCount(); ++row)
    list_->addItem(QString::fromStdU16String(state_.RowAt(row).name));
}

// After a move the rows follow the registry and the moved plug-in stays selected.
void PluginSettingsDialog::ShowSelection() {
  FillList();
  {
    const QSignalBlocker quiet(list_);
    list_->setCurrentRow(state_.selected());
  }
  ShowButtons();
}

void PluginSettingsDialog::ShowButtons() {
  up_->setEnabled(state_.upEnabled());
  down_->setEnabled(state_.downEnabled());
  about_->setEnabled(state_.pluginButtonsEnabled());
  settings_->setEnabled(state_.pluginButtonsEnabled());
}

void PluginSettingsDialog::ShowRadioMarks() {
  const PluginSettingsState::RadioMarks marks = state_.Marks();
  SetMark(notUsed_, marks.notUsed);
  SetMark(always_, marks.always);
  SetMark(whenNeeded_, marks.whenNeeded);
}

void PluginSettingsDialog::SelectRow(int row) {
  state_.Select(row);
  ShowButtons();
  if (state_.selected() < 0) return;
  ShowRadioMarks();
  functions_->setEnabled(state_.functionsEnabled());
  functions_->clear();
  for (int n = 1; n <= state_.functionCount(); ++n) functions_->addItem(QString::number(n));
  functions_->setCurrentIndex(state_.functionCount() > 0 ? 0 : -1);
  for (QWidget* w : std::initializer_list<QWidget*>{notUsed_, whenNeeded_, modes_})
    w->setEnabled(true);
}

void PluginSettingsDialog::ModeClicked(int radioState) {
  state_.SetMode(radioState);
  list_->viewport()->update();
}

}  // namespace lorvane::ui
