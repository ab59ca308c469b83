#include "host/HostGuiChangesModel.h"

#include <QBrush>
#include <QFont>

namespace {

constexpr char16_t kNull[] = u"(null)";

// The value of a text cell; null for a NULL value.
const std::optional<UString>* TextOf(const TValueChange& c, int column) {
  switch (column) {
    case THostGuiChangesModel::CallColumn:
      return &c.Call;
    case THostGuiChangesModel::OldColumn:
      return &c.Old;
    case THostGuiChangesModel::NewColumn:
      return &c.New;
    default:
      return nullptr;
  }
}

// The cell's text without a copy; "(null)" for NULL.
QStringView CellView(const TValueChange& c, int column) {
  if (column == THostGuiChangesModel::NameColumn) return QStringView(CallbookColumnName(c.Column));
  const std::optional<UString>* v = TextOf(c, column);
  if (!v || !*v) return QStringView(kNull);
  return QStringView((*v)->data(), qsizetype((*v)->size()));
}

bool IsNull(const TValueChange& c, int column) {
  const std::optional<UString>* v = TextOf(c, column);
  return v && !*v;
}

}  // namespace

THostGuiChangesModel::THostGuiChangesModel(std::vector<TValueChange> changes, QObject* parent)
    : QAbstractTableModel(parent), changes_(std::move(changes)) {}

QString THostGuiChangesModel::CellText(const TValueChange& change, int column) {
  return CellView(change, column).toString();
}

bool THostGuiChangesModel::Less(const TValueChange& a, const TValueChange& b, int column) {
  if (column == NameColumn) return a.Column < b.Column;
  const std::optional<UString>* x = TextOf(a, column);
  const std::optional<UString>* y = TextOf(b, column);
  if (!x || !y) return false;
  return *x < *y;  // nullopt orders first
}

int THostGuiChangesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(changes_.size());
}

int THostGuiChangesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant THostGuiChangesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TValueChange& c = changes_[std::size_t(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return CellText(c, index.column());
    case Qt::ForegroundRole:
      if (IsNull(c, index.column())) return QBrush(Qt::gray);
      return {};
    case Qt::FontRole:
      if (IsNull(c, index.column())) {
        QFont f;
        f.setItalic(true);
        return f;
      }
      return {};
    default:
      return {};
  }
}

QVariant THostGuiChangesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* const kHeaders[ColumnCount] = {"Callsign", "Column", "Old value", "New value"};
  return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeaders[section]) : QString();
}

THostGuiChangesProxy::THostGuiChangesProxy(THostGuiChangesModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
  setSourceModel(source);
}

void THostGuiChangesProxy::SetFilterText(const QString& text) {
  if (text == filter_) return;
  filter_ = text;
  invalidateFilter();
}

bool THostGuiChangesProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const auto& changes = source_->Changes();
  return THostGuiChangesModel::Less(changes[std::size_t(left.row())], changes[std::size_t(right.row())], left.column());
}

bool THostGuiChangesProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (filter_.isEmpty()) return true;
  const TValueChange& c = source_->Changes()[std::size_t(sourceRow)];
  for (int column = 0; column < THostGuiChangesModel::ColumnCount; ++column)
    if (CellView(c, column).contains(filter_, Qt::CaseInsensitive)) return true;
  return false;
}
