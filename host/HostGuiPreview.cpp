#include "host/HostGuiPreview.h"

#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "host/HostGuiChangesModel.h"
#include "host/HostRun.h"

THostGuiPreview::THostGuiPreview(std::vector<TValueChange> changes, const TColumnCounts& counts,
                                 const QString& heading, QWidget* parent, const TColumnCounts& otherwise)
    : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Preview of an update - zorvik-host"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(720, 480);

  const auto total = static_cast<std::int64_t>(changes.size());
  model_ = new THostGuiChangesModel(std::move(changes), this);
  proxy_ = new THostGuiChangesProxy(model_, this);

  auto* title = new QLabel(heading);
  title->setWordWrap(true);
  QStringList parts;
  // Spaces inside a count do not break, so that a long line wraps between counts.
  for (const std::string& line : ColumnCountLines(counts, otherwise))
    parts << QString::fromStdString(line).replace(QLatin1Char(' '), QChar(0x00A0));
  counts_ = new QLabel(parts.join(QStringLiteral("  \u00B7  ")) + QStringLiteral("  \u2014  ") +
                       QString::fromStdString(GroupDigits(total)) +
                       (total == 1 ? QStringLiteral(" value in total") : QStringLiteral(" values in total")));
  counts_->setWordWrap(true);
  QFont bold = counts_->font();
  bold.setBold(true);
  counts_->setFont(bold);

  filter_ = new QLineEdit;
  filter_->setPlaceholderText(QStringLiteral("Filter: callsign, column or value"));
  filter_->setClearButtonEnabled(true);
  shown_ = new QLabel;
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(new QLabel(QStringLiteral("&Filter:")));
  filterRow->addWidget(filter_, 1);
  filterRow->addWidget(shown_);
  static_cast<QLabel*>(filterRow->itemAt(0)->widget())->setBuddy(filter_);

  table_ = new QTableView;
  table_->setModel(proxy_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setAlternatingRowColors(true);
  table_->verticalHeader()->setDefaultSectionSize(20);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(THostGuiChangesModel::CallColumn, 110);
  table_->setColumnWidth(THostGuiChangesModel::NameColumn, 110);
  table_->setColumnWidth(THostGuiChangesModel::OldColumn, 220);
  // No sort until a header is clicked: the rows stay in the order the run changed them.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(counts_);
  layout->addLayout(filterRow);
  layout->addWidget(table_, 1);

  // Filtering a million rows takes a moment: it waits for a pause in the typing.
  typing_ = new QTimer(this);
  typing_->setSingleShot(true);
  typing_->setInterval(250);
  connect(typing_, &QTimer::timeout, this, [this] { ApplyFilter(); });
  connect(filter_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
  ShowShown();
}

void THostGuiPreview::ApplyFilter() {
  typing_->stop();
  proxy_->SetFilterText(filter_->text());
  ShowShown();
}

void THostGuiPreview::ShowShown() {
  const int all = model_->rowCount(), shown = proxy_->rowCount();
  shown_->setText(shown == all ? QStringLiteral("%1 rows").arg(QString::fromStdString(GroupDigits(all)))
                               : QStringLiteral("%1 of %2 rows")
                                     .arg(QString::fromStdString(GroupDigits(shown)),
                                          QString::fromStdString(GroupDigits(all))));
}
