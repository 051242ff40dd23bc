// "Problem Analysis Summary": per direction, how many problems of each kind the packet
// diagnostics found in the toolbox's stream pair over its packet range.
#pragma once
#include <QWidget>
#include <array>
#include <functional>

#include "reports/ProblemSummary.h"

class QLabel;
class QPlainTextEdit;

namespace korvane {

class TProblemAnalysisForm : public QWidget {
  Q_OBJECT
 public:
  using SelectionSource = std::function<MeasurementSelection()>;
  TProblemAnalysisForm(const TraceSession& session, const ProblemFinderSettings& settings, SelectionSource selection,
                       QWidget* parent = nullptr);

  // Recomputes from the current selection (every activation).
  void Recalculate();
  const ProblemSummary& Summary() const { return summary_; }
  QLabel* SelectionLabel(int i) const { return values_[size_t(i)]; }
  QPlainTextEdit* Box(int i) const { return boxes_[size_t(i)]; }

 signals:
  void Shown();
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  const TraceSession& session_;
  const ProblemFinderSettings& settings_;
  SelectionSource selection_;
  ProblemSummary summary_;
  std::array<QLabel*, 3> values_{};
  std::array<QPlainTextEdit*, 2> boxes_{};
};

}  // namespace korvane
