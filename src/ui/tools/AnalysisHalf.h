// One half of the latency or throughput window: the direction label on its colour, the
// notes, the four figures with their small bar chart and copy buttons, and the packet
// figures. The windows fill it from the texts of reports/.
#pragma once
#include <QGroupBox>
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>

#include "reports/AnalysisChart.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace korvane {

// The chart as the windows draw it: 132 x 116, white, a "0" and two labelled grid lines,
// one bar per value in its colour with its label below.
QImage DrawAnalysisChart(const AnalysisChart& chart);

struct HalfCaptions {
  QString figuresGroup;                          // "Response Time/Latency (in milliseconds)"
  std::array<QString, 4> figures;                // captions of the four figures
  std::array<QString, 4> figureHints;
  std::array<QString, 6> packets;                // captions of the packet figures (empty: none)
  std::array<QString, 6> packetHints;
};

class TAnalysisHalf : public QWidget {
  Q_OBJECT
 public:
  TAnalysisHalf(const HalfCaptions& captions, QWidget* parent = nullptr);

  void Clear(const QString& memo);
  void SetLabel(const QString& text, uint32_t colour);
  void SetMemo(const QString& text);
  void SetFigures(const std::array<QString, 4>& texts);
  void SetPackets(const std::array<QString, 6>& texts);
  void SetChart(const AnalysisChart* chart);  // null hides it and disables the copy buttons
  void SetCopyText(const QString& text) { copyText_ = text; }
  void SetFiguresCaption(const QString& caption);

  QLabel* Label() const { return label_; }
  QPlainTextEdit* Memo() const { return memo_; }
  QLabel* Figure(int i) const { return figures_[size_t(i)]; }
  QLabel* Packet(int i) const { return packets_[size_t(i)]; }
  QLabel* ChartImage() const { return chart_; }
  QToolButton* CopyDataButton() const { return copyData_; }
  QToolButton* CopyGraphicButton() const { return copyGraphic_; }
  QGroupBox* FiguresGroup() const { return figuresGroup_; }
  QString CopyText() const { return copyText_; }
  QImage ChartPicture() const { return picture_; }
  // Room for a button under the packet figures (the latency window's what-if button).
  void AddButton(QWidget* button);

 private:
  QLabel* label_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QGroupBox* figuresGroup_ = nullptr;
  std::array<QLabel*, 4> figures_{};
  std::array<QLabel*, 6> packets_{};
  QLabel* chart_ = nullptr;
  QToolButton *copyData_ = nullptr, *copyGraphic_ = nullptr;
  QWidget* buttonRow_ = nullptr;
  QString copyText_;
  QImage picture_;
};

}  // namespace korvane
