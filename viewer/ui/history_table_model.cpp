// SPDX-License-Identifier: MIT
#include "viewer/ui/history_table_model.h"

#include "viewer/app/archive_view.h"

namespace lorvane::ui {

void HistoryTableModel::SetHistory(archive::CardHistory history) {
  beginResetModel();
  history_ = std::move(history);
  endResetModel();
}

QDate HistoryTableModel::DateOf(int row) const {
  const auto date = app::DateOf(history_, static_cast<size_t>(row));
  return date ? QDate(date->year, date->month, date->day) : QDate();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(history_.rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(history_.columns.size());
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const auto row = static_cast<size_t>(index.row());
  const auto column = static_cast<size_t>(index.column());
  const bool amount = history_.columns[column].IsAmount();
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdU16String(app::CellText(history_, row, column));
    case Qt::TextAlignmentRole:
      return amount ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                    : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case kSortRole: {
      const auto& items = history_.rows[row].items;
      if (amount && column < items.size() && items[column].amount)
        return QVariant::fromValue<qlonglong>(*items[column].amount);
      return amount ? QVariant::fromValue<qlonglong>(0)
                    : QVariant(QString::fromStdU16String(app::CellText(history_, row, column)));
    }
    default:
      return {};
  }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (section < 0 || section >= columnCount()) return {};
  return QString::fromStdU16String(history_.columns[static_cast<size_t>(section)].title).trimmed();
}

DateRangeFilter::DateRangeFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(HistoryTableModel::kSortRole);
}

void DateRangeFilter::SetRange(const QDate& from, const QDate& to) {
  from_ = from;
  to_ = to;
  invalidateFilter();
}

bool DateRangeFilter::filterAcceptsRow(int row, const QModelIndex&) const {
  const auto* model = static_cast<const HistoryTableModel*>(sourceModel());
  const QDate date = model->DateOf(row);
  if (!date.isValid()) return true;
  return (!from_.isValid() || date >= from_) && (!to_.isValid() || date <= to_);
}

}  // namespace lorvane::ui
