// SPDX-License-Identifier: MIT
// The reader selection dialog: every reader entry, the current one selected. OK closes the
// reader and opens the chosen one, Scan lists the readers again, Cancel changes nothing more.
// Built into the module "pellix-dialogs.so", which runs on the host's Qt application.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include "pellix/reader_choice.h"

namespace lorvane::pellix {

class ReaderSelectionDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit ReaderSelectionDialog(ReaderChoice& driver);

  void accept() override;
  void reject() override { done(kSelectionCancel); }

 private:
  void FillList();
  void Scan();
  void Error(const QString& text);

  ReaderChoice& driver_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QListWidget* list_;
  QPushButton* scan_;
};

}  // namespace lorvane::pellix
