// The "Client/Server Expert" page: the grid of network-layer conversations with its sort,
// Packets && Bytes and name controls above and the three total boxes below. The rows come
// from reports/ (BuildConversationGrid); the page only shows, sorts and copies them.
#pragma once
#include <QAbstractTableModel>
#include <memory>

#include "reports/ConversationGrid.h"
#include "settings/ProblemFinderSettings.h"
#include "ui/main/TracePage.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStackedWidget;
class QTableView;

namespace korvane {

// The grid's rows as a table model: shown columns 0..17, the hidden ones stay in the rows.
// A mark cell shows a check mark (its text, the mark, is what sorting and copying use); the
// response time cell of a B row and the server throughput cell of an A row are yellow.
class ConversationGridModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ConversationGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  // The grid the model shows; it stays owned by the page. Call Reset after any change.
  void SetGrid(const ConversationGrid* grid);
  void Reset();
  void NamesChanged();  // columns 9 and 10

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  static constexpr int kMarkColumns = 4;                // A..D
  static constexpr int kMarkRole = Qt::UserRole + 1;    // true when a mark cell holds the mark

 private:
  const ConversationGrid* grid_ = nullptr;
};

class TClientServerPage : public TracePage {
  Q_OBJECT
 public:
  explicit TClientServerPage(ProblemFinderSettings& settings, QWidget* parent = nullptr);
  ~TClientServerPage() override;

  void ShowTrace(const TraceSession& session) override;
  void ClearTrace() override;
  QString CopyCaption() const override { return QStringLiteral("&Copy"); }
  void Copy() override;
  bool CanSelectAll() const override { return true; }
  void SelectAll() override;
  QList<int> Tips() const override { return {2, 3, 5, 6, 7, 8, 29}; }

  // The rows as shown (in their current order).
  const ConversationGrid& Grid() const { return grid_; }
  // The row of the current cell, or nothing: the conversation the toolbox takes.
  const GridRow* SelectedConversation() const;
  int SortColumn() const;  // -1 while no "Sort by" entry is chosen
  bool SortAscending() const;
  // The pop-up menu for a click on a cell (the tests read its captions).
  std::unique_ptr<QMenu> PopupMenu(const QModelIndex& at);

 public slots:
  // UpdateServerGrid: rebuilds the rows from the trace with the live problem-finder
  // settings and the Packets && Bytes choice, sorts again when a sort column is chosen and
  // re-selects the remembered row.
  void Rebuild();

 signals:
  // The pop-up's "&Seravo ToolBox": the selected row is the conversation to visualise.
  void OpenToolbox();

 private:
  void BuildControls();
  void ResetGrid();  // ResetServerGrid
  struct AnalyzingWindow;
  void Fill(AnalyzingWindow& analyzing);  // the rows, the count label; the "Analyzing..." window as it goes
  void Sort();
  void SortByColumn(int column);
  void NamesChanged();
  void FitColumns();
  void ShowTotals();
  void SelectRow(int row);
  void ShowPopup(const QPoint& position);
  ConversationGridOptions Options() const;

  ProblemFinderSettings& settings_;
  const TraceSession* session_ = nullptr;
  ConversationGrid grid_;
  bool rebuilding_ = false;

  ConversationGridModel* model_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QTableView* view_ = nullptr;
  QComboBox* sortBy_ = nullptr;
  QComboBox* packetsBytes_ = nullptr;
  QButtonGroup* direction_ = nullptr;
  QCheckBox* smartNames_ = nullptr;
  QCheckBox* ipxByOui_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QPlainTextEdit* boxes_[3] = {};
};

}  // namespace korvane
