#include "ui/main/ProtocolTablePage.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "analysis/TraceSession.h"

namespace korvane {

namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Counts, percentages and sizes read right-aligned; names and encapsulations left.
bool NumericColumn(int column) { return column >= 1 && column <= 5; }
}  // namespace

TProtocolTablePage::TProtocolTablePage(QWidget* parent) : TracePage(parent) {
  setObjectName(QStringLiteral("ProtocolTablePage"));
  sortAscending_ = new QPushButton(QStringLiteral("Sort Ascending"), this);
  sortDescending_ = new QPushButton(QStringLiteral("Sort Descending"), this);
  copy_ = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Copy"), this);
  copy_->setToolTip(QStringLiteral("Copy selected cells to clipboard"));
  for (QPushButton* b : {sortAscending_, sortDescending_, copy_}) b->setFocusPolicy(Qt::NoFocus);

  grid_ = new QTableWidget(0, kProtocolTableColumns, this);
  grid_->setObjectName(QStringLiteral("ProtoGrid"));
  QStringList headings;
  for (std::string_view heading : ProtocolTableHeadings()) headings << Q(heading);
  grid_->setHorizontalHeaderLabels(headings);
  grid_->verticalHeader()->hide();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setAlternatingRowColors(true);
  grid_->setWordWrap(false);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->horizontalHeader()->setHighlightSections(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(sortAscending_);
  buttons->addWidget(sortDescending_);
  buttons->addWidget(copy_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(grid_, 1);

  connect(sortAscending_, &QPushButton::clicked, this, [this] { SortColumn(SelectedColumn(), true); });
  connect(sortDescending_, &QPushButton::clicked, this, [this] { SortColumn(SelectedColumn(), false); });
  connect(copy_, &QPushButton::clicked, this, &TProtocolTablePage::Copy);
  connect(grid_, &QTableWidget::cellDoubleClicked, this, [this](int, int column) { SortColumn(column, true); });
  connect(grid_->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
          [this](int column) { SortColumn(column, true); });
}

void TProtocolTablePage::ShowTrace(const TraceSession& session) {
  rows_ = BuildProtocolTable(session.tables);
  Fill();
}

void TProtocolTablePage::ClearTrace() {
  rows_.clear();
  Fill();
}

void TProtocolTablePage::Fill() {
  grid_->clearContents();
  grid_->setRowCount(int(rows_.size()));
  for (size_t r = 0; r < rows_.size(); ++r) {
    for (int c = 0; c < kProtocolTableColumns; ++c) {
      auto* item = new QTableWidgetItem(Q(rows_[r].cells[size_t(c)]));
      item->setTextAlignment(Qt::AlignVCenter | (NumericColumn(c) ? Qt::AlignRight : Qt::AlignLeft));
      grid_->setItem(int(r), c, item);
    }
  }
  if (!rows_.empty()) grid_->setCurrentCell(0, 0);
}

int TProtocolTablePage::SelectedColumn() const { return std::max(grid_->currentColumn(), 0); }

void TProtocolTablePage::SortColumn(int column, bool ascending) {
  if (column < 0 || column >= kProtocolTableColumns) return;
  SortProtocolRows(rows_, column, ascending);
  Fill();
  if (!rows_.empty()) grid_->setCurrentCell(0, column);
}

QString TProtocolTablePage::SelectionText() const {
  const QList<QTableWidgetSelectionRange> ranges = grid_->selectedRanges();
  CellSelection selection;
  if (!ranges.isEmpty()) {
    const QTableWidgetSelectionRange& range = ranges.first();
    selection = {range.leftColumn(), range.topRow(), range.rightColumn(), range.bottomRow()};
  } else if (grid_->currentRow() >= 0) {
    selection = {grid_->currentColumn(), grid_->currentRow(), grid_->currentColumn(), grid_->currentRow()};
  } else {
    return {};
  }
  return Q(ProtocolTableCopyText(rows_, selection));
}

void TProtocolTablePage::Copy() {
  const QString text = SelectionText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TProtocolTablePage::SelectAll() { grid_->selectAll(); }

}  // namespace korvane
