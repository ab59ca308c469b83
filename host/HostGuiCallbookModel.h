// The callbook as a table for the host's window.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "host/CallbookDb.h"

// A snapshot of the callbook in OMCALL order, at most Limit rows of it, read again by
// Reload. Holding a snapshot keeps no query open while a plug-in works on the database.
class THostGuiCallbookModel : public QAbstractTableModel {
 public:
  static constexpr int Limit = 50000;

  explicit THostGuiCallbookModel(TCallbookDb& db, QObject* parent = nullptr);
  void Reload();
  // Rows in the callbook, also those past Limit.
  std::int64_t TotalRows() const { return total_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  TCallbookDb& db_;
  std::vector<std::array<QString, kCallbookColumnCount>> rows_;
  std::int64_t total_ = 0;
};
