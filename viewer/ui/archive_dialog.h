// SPDX-License-Identifier: MIT
// The history archive window: per card (its name and IDm, the count of records and the
// dates they span) a sortable, resizable table of every record the archive holds, a date
// range, the total of the selected records' payments, Ctrl+C to copy the selection with its
// header as tab-separated text, "Export CSV..." and "Forget this card...".
#pragma once

#include <QDialog>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "viewer/app/archive_texts.h"
#include "viewer/app/definition_discovery.h"
#include "viewer/archive/card_history.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace lorvane::ui {

class DateRangeFilter;
class HistoryTableModel;

class ArchiveDialog final : public QDialog {
  Q_OBJECT

 public:
  // The records are decoded by the definitions of `definitionsFolder`.
  ArchiveDialog(std::filesystem::path archiveFile, const std::filesystem::path& definitionsFolder,
                const app::ArchiveTexts& texts, QWidget* parent = nullptr);
  ~ArchiveDialog() override;

  // Reads the archive again; false (with `problem()` saying why) when it cannot be used.
  bool Reload();
  const QString& problem() const { return problem_; }

  QComboBox* cardList() const { return cards_; }
  QTableView* table() const { return table_; }
  QLabel* statusLine() const { return status_; }
  QDateEdit* fromDate() const { return from_; }
  QDateEdit* toDate() const { return to_; }
  // The text Ctrl+C puts on the clipboard: the selected rows in the order shown.
  QString SelectionText() const;
  // Writes the records shown as CSV; the reason when the file could not be written.
  QString WriteCsv(const QString& file) const;
  // Forgets the card shown, without asking.
  bool ForgetShownCard();

 private:
  void BuildWidgets();
  void ShowCard(int index);
  const archive::CardHistory* HistoryAt(int index);
  QString Failure(const std::string& reason) const;
  void ApplyRange();
  void UpdateStatus();
  std::vector<size_t> SelectedRows() const;
  std::vector<size_t> ShownRows() const;
  void ExportCsv();
  void ConfirmForget();
  QString Text(const std::u16string& text) const { return QString::fromStdU16String(text); }

  std::filesystem::path archiveFile_;
  app::CardDefinitions definitions_;
  app::ArchiveTexts texts_;
  // The cards and their kinds; each history is loaded when it is first shown.
  std::unique_ptr<archive::HistoryArchive> archive_;
  std::vector<archive::CardKind> kinds_;
  std::vector<std::optional<archive::CardHistory>> histories_;
  QString problem_;
  QComboBox* cards_ = nullptr;
  QLabel* summary_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QTableView* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* forget_ = nullptr;
  HistoryTableModel* model_ = nullptr;
  DateRangeFilter* filter_ = nullptr;
};

}  // namespace lorvane::ui
