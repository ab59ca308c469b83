#include "host/HostGuiCallbookModel.h"

THostGuiCallbookModel::THostGuiCallbookModel(TCallbookDb& db, QObject* parent) : QAbstractTableModel(parent), db_(db) {
  Reload();
}

void THostGuiCallbookModel::Reload() {
  beginResetModel();
  rows_.clear();
  TCallbookSelect select;
  select.OrderByCall = true;
  {
    auto cursor = db_.Select(select);
    total_ = cursor->Count();
    rows_.reserve(static_cast<std::size_t>(std::min<std::int64_t>(total_, Limit)));
    for (cursor->First(); !cursor->Eof() && rows_.size() < std::size_t(Limit); cursor->Next()) {
      auto& row = rows_.emplace_back();
      for (int c = 0; c < kCallbookColumnCount; ++c) {
        if (cursor->IsNull(c)) continue;
        std::string_view text = cursor->Utf8(c);
        row[std::size_t(c)] = QString::fromUtf8(text.data(), qsizetype(text.size()));
      }
    }
  }
  endResetModel();
}

int THostGuiCallbookModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int THostGuiCallbookModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kCallbookColumnCount; }

QVariant THostGuiCallbookModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return rows_[std::size_t(index.row())][std::size_t(index.column())];
}

QVariant THostGuiCallbookModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  const char16_t* name = CallbookColumnName(section);
  return QString::fromUtf16(name);
}
