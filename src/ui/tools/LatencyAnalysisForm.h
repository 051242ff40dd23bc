// "Detailed Response Time Analysis for ...": response times of the toolbox's stream in both
// directions (the source as sender above, its partner as sender below), with the what-if
// analysis one click away for either direction.
#pragma once
#include <QWidget>
#include <functional>

#include "measure/ConversationMeasurement.h"
#include "reports/LatencyReport.h"
#include "settings/VisualizerAttributes.h"

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace korvane {

class TAnalysisHalf;

class TLatencyAnalysisForm : public QWidget {
  Q_OBJECT
 public:
  using SelectionSource = std::function<MeasurementSelection()>;
  TLatencyAnalysisForm(const TraceSession& session, const VisualizerAttributes& attributes, SelectionSource selection,
                       QWidget* parent = nullptr);

  // Measures the current selection again (activation, the radio group and the check box).
  void Recalculate();
  const LatencyReport& Report() const { return report_; }
  TAnalysisHalf* Upper() const { return upper_; }
  TAnalysisHalf* Lower() const { return lower_; }
  QButtonGroup* HowLatency() const { return how_; }
  QCheckBox* LocalMediaTime() const { return localMedia_; }
  QPushButton* WhatIfButton(bool lower) const { return lower ? whatIf2_ : whatIf_; }

 signals:
  // A what-if button: the half's kept figures and which half.
  void WhatIfRequested(const WhatIfStartValues& start, bool lowerHalf);
  void Shown();
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillHalf(TAnalysisHalf& half, const LatencyHalf& figures, uint32_t colour);

  const TraceSession& session_;
  const VisualizerAttributes& attributes_;
  SelectionSource selection_;
  LatencyReport report_;
  TAnalysisHalf *upper_ = nullptr, *lower_ = nullptr;
  QButtonGroup* how_ = nullptr;
  QCheckBox* localMedia_ = nullptr;
  QPushButton *whatIf_ = nullptr, *whatIf2_ = nullptr;
};

}  // namespace korvane
