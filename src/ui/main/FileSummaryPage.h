// The "File Summary" page: media utilisation, file attributes, frame statistics and DLC
// encapsulation types of the open trace, with the status-bar texts that belong to them.
#pragma once
#include <QString>
#include <array>
#include <cstdint>

#include "reports/FileSummary.h"
#include "ui/main/TracePage.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QRadioButton;

namespace korvane {

class TFileSummaryPage : public TracePage {
  Q_OBJECT
 public:
  explicit TFileSummaryPage(QWidget* parent = nullptr);

  void ShowTrace(const TraceSession& session) override;
  void ClearTrace() override;
  QList<int> Tips() const override { return {34, 35}; }

  // The line speed and duplex factor the utilisation is expressed at (Default Bandwidth,
  // Full Duplex); recomputes the media utilisation and the Bandwidth attribute.
  void SetLineSpeed(int32_t lineSpeedMbps, int32_t duplexFactor);
  // The three status-bar panels; empty without a trace.
  std::array<QString, 3> StatusPanels() const;
  // The figures shown, as the report gave them.
  const FileSummary& Summary() const { return summary_; }

  QRadioButton* AllFramesButton() const { return allFrames_; }
  QRadioButton* BroadcastOnlyButton() const { return broadcastOnly_; }

 private:
  struct StatisticsRow {
    QLabel* label;
    QLabel* frames;
    QProgressBar* framesGauge;
    QLabel* bytes;
    QProgressBar* bytesGauge;
    QLabel* averageSize;
    QLabel* largest;
  };
  struct EncapsulationRowWidgets {
    QLabel* label;
    QLabel* count;
    QProgressBar* gauge;
  };

  QGroupBox* BuildUtilisationBox();
  QGroupBox* BuildAttributesBox();
  QGroupBox* BuildStatisticsBox();
  QGroupBox* BuildEncapsulationBox();
  void Rebuild();
  void ShowSummary();

  const TraceSession* session_ = nullptr;
  SummaryOptions options_;
  FileSummary summary_;

  QGroupBox* utilisationBox_;
  QRadioButton* allFrames_;
  QRadioButton* broadcastOnly_;
  QLabel* utilisationNote_ = nullptr;
  QLabel* averageBandwidth_;
  QLabel* peakBandwidth_;
  QLabel* averageBytes_;
  QLabel* peakBytes_;
  QLabel* averageFrames_;
  QLabel* peakFrames_;
  std::array<QLabel*, 7> attributeLabels_{};
  std::array<QLabel*, 7> attributes_{};
  std::array<StatisticsRow, 4> statistics_{};
  std::array<EncapsulationRowWidgets, 4> encapsulations_{};
};

}  // namespace korvane
