// One chart of one series of points, as a pie or as bars, drawn after the charts' display
// properties: gradient background, title, legend, value marks in percent or packets, and
// the three-dimensional look. The chart frame, the title, the background, the legend, the
// bars and their axes are QtCharts'; the pie (flat or elliptical with a side), the bars'
// extrusion and the value marks are drawn here, so that the charting library can change
// behind this one class.
#pragma once
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "reports/ProtocolTable.h"
#include "settings/ChartProperties.h"

class QChart;
class QChartView;
class QGraphicsItem;

namespace korvane {

class ChartPieItem;

class ChartAdapter : public QWidget {
  Q_OBJECT
 public:
  explicit ChartAdapter(QWidget* parent = nullptr);
  ~ChartAdapter() override;

  // The points to show and the title above them; an empty series shows an empty chart.
  void SetSeries(const QString& title, std::vector<ChartPoint> points);
  void SetTitle(const QString& title);
  // Applies the display properties and redraws.
  void Apply(const ChartProperties& properties);

  // What the chart shows, for the pages and the tests.
  const std::vector<ChartPoint>& Points() const { return points_; }
  const ChartProperties& Properties() const { return properties_; }
  QString Title() const { return title_; }
  QString ShownTitle() const;      // empty while the title is hidden
  QStringList LegendTexts() const;  // empty while the legend is hidden
  QStringList MarkTexts() const;    // the value marks drawn, empty while they are hidden
  // Where the value marks are drawn, in the chart's coordinates (after a layout).
  std::vector<QRectF> MarkRects();
  bool ShowsPie() const;
  bool ShowsBars() const;
  bool Shows3DLook() const;        // the pie's side or the bars' extrusion is drawn

  // The chart as drawn (the picture Copy puts on the clipboard).
  QImage Picture();
  void CopyPicture();

  QChart* Chart() const { return chart_; }

 signals:
  // A right click on the chart, at this place on the screen.
  void ContextMenuRequested(const QPoint& globalPosition);

 private:
  void Rebuild();
  void BuildPie();
  void BuildBars();
  void ClearBarDecorations();
  // Places what is drawn over the plot area after the chart's layout changed.
  void PlaceDecorations();
  void Lay();

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  ChartPieItem* pie_ = nullptr;
  std::vector<QGraphicsItem*> barDecorations_;
  std::vector<QGraphicsItem*> barMarks_;
  QString title_;
  std::vector<ChartPoint> points_;
  ChartProperties properties_;
};

}  // namespace korvane
