// The "Protocol Table" page: one row per protocol category of the trace, sortable on any
// column, with its selected cells copied as tab-separated text.
#pragma once
#include <vector>

#include "reports/ProtocolTable.h"
#include "ui/main/TracePage.h"

class QPushButton;
class QTableWidget;

namespace korvane {

class TProtocolTablePage : public TracePage {
  Q_OBJECT
 public:
  explicit TProtocolTablePage(QWidget* parent = nullptr);

  void ShowTrace(const TraceSession& session) override;
  void ClearTrace() override;
  QString CopyCaption() const override { return QStringLiteral("&Copy"); }
  void Copy() override;
  bool CanSelectAll() const override { return true; }
  void SelectAll() override;
  QList<int> Tips() const override { return {8, 9}; }

  // Sorts the rows on a column (0..6) and shows them again.
  void SortColumn(int column, bool ascending);
  // The text Copy puts on the clipboard for the current selection.
  QString SelectionText() const;

  QTableWidget* Grid() const { return grid_; }
  QPushButton* SortAscendingButton() const { return sortAscending_; }
  QPushButton* SortDescendingButton() const { return sortDescending_; }
  QPushButton* CopyButton() const { return copy_; }

 private:
  void Fill();
  int SelectedColumn() const;

  std::vector<ProtocolRow> rows_;
  QTableWidget* grid_;
  QPushButton* sortAscending_;
  QPushButton* sortDescending_;
  QPushButton* copy_;
};

}  // namespace korvane
