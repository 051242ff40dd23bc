// "Detailed Throughput Analysis for ...": throughput of the toolbox's stream over a sliding
// window of packets, from the source to its partner above and back below.
#pragma once
#include <QWidget>
#include <functional>

#include "reports/ThroughputReport.h"
#include "settings/VisualizerAttributes.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace korvane {

class TAnalysisHalf;

class TThroughputAnalysisForm : public QWidget {
  Q_OBJECT
 public:
  using SelectionSource = std::function<MeasurementSelection()>;
  TThroughputAnalysisForm(const TraceSession& session, const VisualizerAttributes& attributes,
                          SelectionSource selection, QWidget* parent = nullptr);

  void Recalculate();
  const ThroughputReport& Report() const { return report_; }
  TAnalysisHalf* Upper() const { return upper_; }
  TAnalysisHalf* Lower() const { return lower_; }
  QCheckBox* KbitsBox() const { return kbits_; }
  QCheckBox* AckBox() const { return acks_; }
  QSpinBox* SampleWindow() const { return window_; }
  QPushButton* RecalcButton() const { return recalc_; }

 signals:
  void Shown();
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillHalf(TAnalysisHalf& half, const ThroughputHalf& figures, uint32_t colour);

  const TraceSession& session_;
  const VisualizerAttributes& attributes_;
  SelectionSource selection_;
  ThroughputReport report_;
  TAnalysisHalf *upper_ = nullptr, *lower_ = nullptr;
  QCheckBox *kbits_ = nullptr, *acks_ = nullptr;
  QSpinBox* window_ = nullptr;
  QPushButton* recalc_ = nullptr;
};

}  // namespace korvane
