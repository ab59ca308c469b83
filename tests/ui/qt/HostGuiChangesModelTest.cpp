#include <gtest/gtest.h>

#include <QBrush>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <chrono>

#include "host/HostGuiChangesModel.h"
#include "host/HostGuiPreview.h"

namespace {

// The preview's counts line, its spaces that do not break as plain ones.
QString CountsText(const THostGuiPreview& preview) {
  return preview.Counts()->text().replace(QChar(0x00A0), QLatin1Char(' '));
}

// The preview's table: a model over the changes and the proxy that sorts and filters it.
class HostGuiChangesModelTest : public ::testing::Test {
 protected:
  static std::vector<TValueChange> Sample() {
    return {
        {3, u"Q0BBB", 1, std::nullopt, u"Bob"},
        {1, u"Q0AAA", 2, u"", u"Paris"},
        {2, std::nullopt, 1, u"al", u"Alan"},
        {1, u"Q0AAA", 6, u"0", u"1"},
    };
  }
  // The source rows the proxy shows, in its order.
  std::vector<int> Shown() const {
    std::vector<int> rows;
    for (int r = 0; r < proxy.rowCount(); ++r) rows.push_back(proxy.mapToSource(proxy.index(r, 0)).row());
    return rows;
  }

  THostGuiChangesModel model{Sample()};
  THostGuiChangesProxy proxy{&model};
};

TEST_F(HostGuiChangesModelTest, CellsShowNullApartFromEmptyText) {
  EXPECT_EQ(model.rowCount(), 4);
  EXPECT_EQ(model.columnCount(), 4);
  const char* headers[] = {"Callsign", "Column", "Old value", "New value"};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);

  const struct {
    int row, column;
    const char* text;
    bool grey;
  } cells[] = {
      {0, 0, "Q0BBB", false}, {0, 1, "OMNAME", false}, {0, 2, "(null)", true},   {0, 3, "Bob", false},
      {1, 2, "", false},      {1, 1, "OMQTH", false},  {2, 0, "(null)", true},   {3, 1, "Use_BUREAU", false},
  };
  for (const auto& c : cells) {
    const QModelIndex at = model.index(c.row, c.column);
    EXPECT_EQ(model.data(at, Qt::DisplayRole).toString(), c.text) << c.row << "," << c.column;
    EXPECT_EQ(model.data(at, Qt::ForegroundRole).isValid(), c.grey) << c.row << "," << c.column;
    EXPECT_EQ(model.data(at, Qt::FontRole).isValid() && model.data(at, Qt::FontRole).value<QFont>().italic(), c.grey);
  }
}

TEST_F(HostGuiChangesModelTest, HeaderSortOrdersByTheChangesNullFirstAndKeepsTiesInRunOrder) {
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3}));  // unsorted: the run's order
  const struct {
    int column;
    Qt::SortOrder order;
    std::vector<int> rows;
  } cases[] = {
      {0, Qt::AscendingOrder, {2, 1, 3, 0}},  {0, Qt::DescendingOrder, {0, 1, 3, 2}},
      {1, Qt::AscendingOrder, {0, 2, 1, 3}},  {2, Qt::AscendingOrder, {0, 1, 3, 2}},
      {3, Qt::AscendingOrder, {3, 2, 0, 1}},  {3, Qt::DescendingOrder, {1, 0, 2, 3}},
  };
  for (const auto& c : cases) {
    proxy.sort(c.column, c.order);
    EXPECT_EQ(Shown(), c.rows) << "column " << c.column << (c.order == Qt::AscendingOrder ? " up" : " down");
  }
}

TEST_F(HostGuiChangesModelTest, FilterKeepsRowsWithTheTextInAnyCellIgnoringCase) {
  const struct {
    const char* text;
    std::vector<int> rows;
  } cases[] = {
      {"", {0, 1, 2, 3}}, {"q0aaa", {1, 3}}, {"null", {0, 2}}, {"omqth", {1}},
      {"AL", {2}},        {"zzz", {}},       {"1", {3}},
  };
  for (const auto& c : cases) {
    proxy.SetFilterText(QString::fromUtf8(c.text));
    EXPECT_EQ(Shown(), c.rows) << "filter \"" << c.text << "\"";
  }
}

// A preview window over a million changes: the table opens, sorts and filters without
// holding a copy per row.
TEST_F(HostGuiChangesModelTest, PreviewWindowOverAMillionChangesSortsAndFilters) {
  constexpr int n = 1000000;
  std::vector<TValueChange> changes;
  changes.reserve(n);
  for (int i = 0; i < n; ++i) {
    // Callsigns in an order of their own, so that a sort has work to do.
    const int k = int((std::int64_t(i) * 7919) % n);
    changes.push_back({i, Utf8ToUString("Q" + std::to_string(k)), 1 + i % 5, std::nullopt, Utf8ToUString(std::to_string(i))});
  }
  TColumnCounts counts{};
  for (const TValueChange& c : changes) ++counts[c.Column];
  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  THostGuiPreview window(std::move(changes), counts, QStringLiteral("A run"));
  window.show();
  auto t1 = Clock::now();
  EXPECT_EQ(window.Table()->model()->rowCount(), n);
  EXPECT_TRUE(CountsText(window).contains("Name filled or lengthened: 200,000")) << CountsText(window).toStdString();
  EXPECT_TRUE(CountsText(window).contains("1,000,000 values in total"));

  window.Table()->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);  // a click on Callsign, twice
  auto t2 = Clock::now();
  EXPECT_EQ(window.Table()->model()->index(0, 0).data().toString(), "Q999999");

  window.Filter()->setText(QStringLiteral("q99999"));
  window.ApplyFilter();
  auto t3 = Clock::now();
  EXPECT_EQ(window.Table()->model()->rowCount(), 11);  // Q99999 and Q999990..Q999999
  auto ms = [](auto d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
  std::printf("a million changes: open %lld ms, sort %lld ms, filter %lld ms\n", (long long)ms(t1 - t0),
              (long long)ms(t2 - t1), (long long)ms(t3 - t2));
}

}  // namespace
