// The window that shows what a previewed update would change.
#pragma once

#include <QWidget>
#include <vector>

#include "host/CallbookDb.h"

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class THostGuiChangesModel;
class THostGuiChangesProxy;

// A top-level window over its parent: a heading, the per-column counts and the total,
// a filter box, and the table of old and new values, sortable by a click on a header.
// The rows show in the order the run changed them until a header is clicked.
class THostGuiPreview : public QWidget {
 public:
  // heading says which run this was and what it did, e.g. its statements and result;
  // otherwise counts the values that did not fill or lengthen their column.
  THostGuiPreview(std::vector<TValueChange> changes, const TColumnCounts& counts, const QString& heading,
                  QWidget* parent = nullptr, const TColumnCounts& otherwise = {});

  THostGuiChangesModel* Model() const { return model_; }
  THostGuiChangesProxy* Proxy() const { return proxy_; }
  QTableView* Table() const { return table_; }
  QLineEdit* Filter() const { return filter_; }
  // The line of per-column counts and the total.
  QLabel* Counts() const { return counts_; }
  // Applies the filter box's text now instead of after the pause that typing gets.
  void ApplyFilter();

 private:
  void ShowShown();

  THostGuiChangesModel* model_;
  THostGuiChangesProxy* proxy_;
  QTableView* table_;
  QLineEdit* filter_;
  QLabel* counts_;
  QLabel* shown_;
  QTimer* typing_;
};
