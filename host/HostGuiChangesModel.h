// The values a run changed, as a table for the host's window: one row per changed value.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

#include "host/CallbookDb.h"

// Serves the rows straight from the vector it holds, so that a million changes cost no
// more than the vector itself; nothing is converted until a view asks for a cell.
// Columns: Callsign, Column, Old value, New value. A NULL value shows as "(null)" in grey
// italics, so that it stands apart from an empty text.
class THostGuiChangesModel : public QAbstractTableModel {
 public:
  enum TColumn { CallColumn, NameColumn, OldColumn, NewColumn, ColumnCount };

  explicit THostGuiChangesModel(std::vector<TValueChange> changes, QObject* parent = nullptr);

  const std::vector<TValueChange>& Changes() const { return changes_; }
  // The text a cell shows; "(null)" for NULL.
  static QString CellText(const TValueChange& change, int column);
  // Orders two changes by one of the table's columns: NULL before any text, texts by
  // their UTF-16 units, callbook columns in table order.
  static bool Less(const TValueChange& a, const TValueChange& b, int column);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<TValueChange> changes_;
};

// Sorts and filters a THostGuiChangesModel on the changes themselves instead of going
// through QVariant for every comparison, which keeps a sort of a million rows to about a
// second. The filter keeps the rows where any cell's text contains the filter text,
// ignoring case; an empty filter keeps all.
class THostGuiChangesProxy : public QSortFilterProxyModel {
 public:
  explicit THostGuiChangesProxy(THostGuiChangesModel* source, QObject* parent = nullptr);
  void SetFilterText(const QString& text);

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  THostGuiChangesModel* source_;
  QString filter_;
};
