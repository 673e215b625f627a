// SPDX-License-Identifier: MIT
// One card's archived history as a table: a row per record, a column per item of the
// definition's history line, titled as the definition titles it. Amounts sort as numbers,
// every other column as its text; a filter keeps the records of a date range.
#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QSortFilterProxyModel>

#include "viewer/archive/card_history.h"

namespace lorvane::ui {

class HistoryTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit HistoryTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetHistory(archive::CardHistory history);
  const archive::CardHistory& history() const { return history_; }
  // The record's date, invalid when it shows none.
  QDate DateOf(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // What a column sorts by: the amount for amounts, else the text.
  static constexpr int kSortRole = Qt::UserRole + 1;

 private:
  archive::CardHistory history_;
};

class DateRangeFilter final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit DateRangeFilter(QObject* parent = nullptr);
  // Records dated from `from` to `to` (both included); records without a date always stay.
  void SetRange(const QDate& from, const QDate& to);

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  QDate from_, to_;
};

}  // namespace lorvane::ui
