// SPDX-License-Identifier: MIT
#include "viewer/ui/archive_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "cardimage/card_image.h"
#include "platform/file_io.h"
#include "platform/qt/host_phrases.h"
#include "viewer/app/archive_view.h"
#include "viewer/archive/history_csv.h"
#include "viewer/ui/history_table_model.h"

namespace lorvane::ui {
namespace {

constexpr int kMinimumWidth = 640;
constexpr int kMinimumHeight = 420;

QString SpacedIdm(const archive::Id8& idm) {
  const QString hex = QString::fromStdString(cardimage::HexBytes(idm.data(), idm.size()));
  return hex.mid(0, 4) + ' ' + hex.mid(4, 4) + ' ' + hex.mid(8, 4) + ' ' + hex.mid(12, 4);
}

}  // namespace

ArchiveDialog::ArchiveDialog(std::filesystem::path archiveFile,
                             const std::filesystem::path& definitionsFolder,
                             const app::ArchiveTexts& texts, QWidget* parent)
    : QDialog(parent),
      archiveFile_(std::move(archiveFile)),
      definitions_(app::LoadCardDefinitions(definitionsFolder)),
      texts_(texts) {
  setWindowTitle(Text(texts_.caption));
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  BuildWidgets();
}

ArchiveDialog::~ArchiveDialog() = default;

void ArchiveDialog::BuildWidgets() {
  auto* layout = new QVBoxLayout(this);
  auto* cardRow = new QHBoxLayout;
  auto* cardLabel = new QLabel(Text(texts_.card), this);
  cards_ = new QComboBox(this);
  cards_->setAccessibleName(Text(texts_.card).remove(':').remove(u'：'));
  cardLabel->setBuddy(cards_);
  cardRow->addWidget(cardLabel);
  cardRow->addWidget(cards_, 1);
  layout->addLayout(cardRow);
  summary_ = new QLabel(this);
  layout->addWidget(summary_);

  auto* rangeRow = new QHBoxLayout;
  from_ = new QDateEdit(this);
  to_ = new QDateEdit(this);
  for (QDateEdit* edit : {from_, to_}) {
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  }
  auto* fromLabel = new QLabel(Text(texts_.from), this);
  auto* toLabel = new QLabel(Text(texts_.to), this);
  fromLabel->setBuddy(from_);
  toLabel->setBuddy(to_);
  rangeRow->addWidget(fromLabel);
  rangeRow->addWidget(from_);
  rangeRow->addWidget(toLabel);
  rangeRow->addWidget(to_);
  rangeRow->addStretch(1);
  layout->addLayout(rangeRow);

  model_ = new HistoryTableModel(this);
  filter_ = new DateRangeFilter(this);
  filter_->setSourceModel(model_);
  table_ = new QTableView(this);
  table_->setModel(filter_);
  table_->setSortingEnabled(true);
  // The card's own order (newest first) until a column is chosen.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->setAccessibleName(Text(texts_.caption));
  layout->addWidget(table_, 1);
  status_ = new QLabel(this);
  layout->addWidget(status_);

  auto* buttons = new QHBoxLayout;
  export_ = new QPushButton(Text(texts_.exportCsv), this);
  forget_ = new QPushButton(Text(texts_.forget), this);
  auto* close = new QPushButton(Text(texts_.close), this);
  buttons->addWidget(export_);
  buttons->addWidget(forget_);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(cards_, &QComboBox::currentIndexChanged, this, &ArchiveDialog::ShowCard);
  connect(from_, &QDateEdit::dateChanged, this, &ArchiveDialog::ApplyRange);
  connect(to_, &QDateEdit::dateChanged, this, &ArchiveDialog::ApplyRange);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ArchiveDialog::UpdateStatus);
  connect(export_, &QPushButton::clicked, this, &ArchiveDialog::ExportCsv);
  connect(forget_, &QPushButton::clicked, this, &ArchiveDialog::ConfirmForget);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* copy = new QShortcut(QKeySequence::Copy, table_);
  connect(copy, &QShortcut::activated, this,
          [this] { QApplication::clipboard()->setText(SelectionText()); });
}

QString ArchiveDialog::Failure(const std::string& reason) const {
  return Text(texts_.failed)
      .arg(QString::fromStdString(archiveFile_.string()), platform::HostPhrase(reason));
}

bool ArchiveDialog::Reload() {
  problem_.clear();
  kinds_.clear();
  histories_.clear();
  std::string error;
  archive_ = archive::HistoryArchive::OpenForReading(archiveFile_, error);
  if (archive_ != nullptr) {
    std::vector<carddef::CardDefinition*> definitions;
    for (const auto& definition : definitions_) definitions.push_back(definition.get());
    auto kinds = archive::ListCardKinds(*archive_, definitions, std::nullopt, error);
    if (kinds) kinds_ = std::move(*kinds);
  }
  histories_.resize(kinds_.size());
  if (!error.empty()) problem_ = Failure(error);
  const QSignalBlocker block(cards_);
  cards_->clear();
  for (const auto& kind : kinds_)
    cards_->addItem(Text(kind.name) + QStringLiteral("  ") + SpacedIdm(kind.card.idm));
  ShowCard(kinds_.empty() ? -1 : 0);
  if (kinds_.empty()) summary_->setText(problem_.isEmpty() ? Text(texts_.empty) : problem_);
  return problem_.isEmpty();
}

const archive::CardHistory* ArchiveDialog::HistoryAt(int index) {
  if (index < 0 || static_cast<size_t>(index) >= kinds_.size() || archive_ == nullptr)
    return nullptr;
  auto& history = histories_[static_cast<size_t>(index)];
  if (!history) {
    std::string error;
    history = archive::LoadCardHistory(*archive_, kinds_[static_cast<size_t>(index)], error);
    if (!history) {
      problem_ = Failure(error);
      summary_->setText(problem_);
      return nullptr;
    }
  }
  return &*history;
}

void ArchiveDialog::ShowCard(int index) {
  const archive::CardHistory* history = HistoryAt(index);
  const bool valid = history != nullptr;
  model_->SetHistory(valid ? *history : archive::CardHistory{});
  export_->setEnabled(valid);
  forget_->setEnabled(valid);
  QDate first, last;
  for (int row = 0; row < model_->rowCount(); ++row) {
    const QDate date = model_->DateOf(row);
    if (!date.isValid()) continue;
    if (!first.isValid() || date < first) first = date;
    if (!last.isValid() || date > last) last = date;
  }
  const QSignalBlocker blockFrom(from_), blockTo(to_);
  from_->setDate(first.isValid() ? first : QDate::currentDate());
  to_->setDate(last.isValid() ? last : QDate::currentDate());
  filter_->SetRange(first, last);
  if (valid) {
    summary_->setText(Text(texts_.summary)
                          .arg(model_->rowCount())
                          .arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate)));
  }
  table_->resizeColumnsToContents();
  UpdateStatus();
}

void ArchiveDialog::ApplyRange() {
  filter_->SetRange(from_->date(), to_->date());
  UpdateStatus();
}

std::vector<size_t> ArchiveDialog::SelectedRows() const {
  std::vector<std::pair<int, size_t>> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.emplace_back(index.row(), static_cast<size_t>(filter_->mapToSource(index).row()));
  std::sort(rows.begin(), rows.end());
  std::vector<size_t> source;
  for (const auto& [shown, row] : rows) source.push_back(row);
  return source;
}

std::vector<size_t> ArchiveDialog::ShownRows() const {
  std::vector<size_t> rows;
  for (int i = 0; i < filter_->rowCount(); ++i)
    rows.push_back(static_cast<size_t>(filter_->mapToSource(filter_->index(i, 0)).row()));
  return rows;
}

void ArchiveDialog::UpdateStatus() {
  const std::vector<size_t> rows = SelectedRows();
  status_->setText(Text(texts_.selected)
                       .arg(rows.size())
                       .arg(Text(app::Grouped(app::PaymentTotal(model_->history(), rows)))));
}

QString ArchiveDialog::SelectionText() const {
  return Text(app::RowsAsTabText(model_->history(), SelectedRows()));
}

QString ArchiveDialog::WriteCsv(const QString& file) const {
  archive::CardHistory shown = model_->history();
  shown.rows.clear();
  for (size_t row : ShownRows()) shown.rows.push_back(model_->history().rows[row]);
  const std::string error =
      platform::SaveFile(QFile::encodeName(file).toStdString(), archive::HistoriesCsv({shown}),
                         platform::SaveMode::kReplaceOnly);
  return error.empty() ? QString() : Text(texts_.notSaved).arg(file, platform::HostPhrase(error));
}

void ArchiveDialog::ExportCsv() {
  QString file = QFileDialog::getSaveFileName(
      this, Text(texts_.exportCsv).remove(QStringLiteral("...")),
      QDir::home().filePath(QStringLiteral("history.csv")), Text(texts_.csvFiles));
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".csv");
  if (const QString problem = WriteCsv(file); !problem.isEmpty())
    QMessageBox::warning(this, Text(texts_.caption), problem);
}

bool ArchiveDialog::ForgetShownCard() {
  const int index = cards_->currentIndex();
  if (index < 0 || static_cast<size_t>(index) >= kinds_.size()) return false;
  const archive::Id8 idm = kinds_[static_cast<size_t>(index)].card.idm;
  archive_.reset();
  std::string error;
  bool found = false;
  auto archive = archive::HistoryArchive::OpenForWriting(archiveFile_, error);
  if (archive == nullptr || !archive->Forget(idm, found, error)) {
    problem_ = Failure(error);
    return false;
  }
  return Reload();
}

void ArchiveDialog::ConfirmForget() {
  const int index = cards_->currentIndex();
  if (index < 0) return;
  const QString question =
      Text(texts_.forgetQuestion).arg(SpacedIdm(kinds_[static_cast<size_t>(index)].card.idm));
  if (QMessageBox::question(this, Text(texts_.caption), question) != QMessageBox::Yes) return;
  if (!ForgetShownCard()) QMessageBox::warning(this, Text(texts_.caption), problem_);
}

}  // namespace lorvane::ui
