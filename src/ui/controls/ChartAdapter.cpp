#include "ui/controls/ChartAdapter.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsLayout>
#include <QGraphicsPolygonItem>
#include <QGraphicsSimpleTextItem>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QPieSeries>
#include <QtCharts/QPieSlice>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "reports/ChartSeries.h"

namespace korvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Above the series and below the legend of QtCharts' own items.
constexpr qreal kDecorationZ = 8;
constexpr qreal kPieZ = 10;

QColor ToQColor(const ChartColour& c) { return QColor(c.r, c.g, c.b); }
QColor ToQColor(ColourRef c) { return QColor(ColourRed(c), ColourGreen(c), ColourBlue(c)); }

// An outline that shows on every fill, white included.
QColor EdgeOf(const QColor& fill) { return fill.lightness() > 200 ? QColor(120, 120, 120) : fill.darker(170); }
// The shaded side of a pie or a bar.
QColor SideOf(const QColor& fill) { return fill.lightness() > 200 ? fill.darker(125) : fill.darker(150); }

constexpr double kBarWidth = 0.6;  // of a category

QFont MarkFont() {
  QFont font = QApplication::font();
  font.setPointSizeF(8.5);
  return font;
}

}  // namespace

// The pie, flat or elliptical with a side, and its value marks with leader lines, the marks
// of each half stacked so that they never cover each other.
class ChartPieItem : public QGraphicsItem {
 public:
  struct Slice {
    QColor colour;
    double value = 0;
    QString mark;
  };

  void Set(std::vector<Slice> slices, bool marks, bool look3D) {
    slices_ = std::move(slices);
    marks_ = marks;
    look3D_ = look3D;
    Layout();
  }
  void SetArea(const QRectF& area) {
    prepareGeometryChange();
    area_ = area;
    Layout();
  }
  QRectF boundingRect() const override { return area_; }
  const std::vector<QRectF>& MarkRects() const { return markRects_; }
  QStringList Marks() const {
    QStringList marks;
    if (marks_)
      for (const Slice& slice : slices_) marks << slice.mark;
    return marks;
  }
  bool HasSide() const { return look3D_ && !slices_.empty(); }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    if (slices_.empty() || total_ <= 0) return;
    painter->setRenderHint(QPainter::Antialiasing);
    if (look3D_) PaintSide(*painter);
    for (size_t i = 0; i < slices_.size(); ++i) {
      QPolygonF face;
      face << centre_;
      AppendArc(face, starts_[i], starts_[i + 1], 0);
      painter->setPen(QPen(EdgeOf(slices_[i].colour), 0.8));
      painter->setBrush(slices_[i].colour);
      painter->drawPolygon(face);
    }
    if (!marks_ || markRects_.size() != slices_.size()) return;
    painter->setFont(MarkFont());
    for (size_t i = 0; i < slices_.size(); ++i) {
      const QRectF& box = markRects_[i];
      const bool right = box.left() >= centre_.x();
      const QPointF end(right ? box.left() : box.right(), box.center().y());
      painter->setPen(QPen(QColor(60, 60, 60), 0.8));
      painter->drawPolyline(QPolygonF{anchors_[i], elbows_[i], end});
      painter->setPen(QPen(QColor(150, 150, 150), 0.8));
      painter->setBrush(QColor(255, 255, 255, 225));
      painter->drawRoundedRect(box, 2, 2);
      painter->setPen(Qt::black);
      painter->drawText(box, Qt::AlignCenter, slices_[i].mark);
    }
  }

 private:
  // A point of the top ellipse (dropped by `drop` pixels) at the angle, clockwise from
  // twelve o'clock, in degrees.
  QPointF At(double degrees, double drop, double grow = 0) const {
    const double a = degrees * kPi / 180.0;
    return {centre_.x() + (rx_ + grow) * std::sin(a), centre_.y() - (ry_ + grow * tilt_) * std::cos(a) + drop};
  }
  void AppendArc(QPolygonF& polygon, double from, double to, double drop) const {
    const int steps = std::max(2, int(std::ceil((to - from) / 2.0)));
    for (int s = 0; s <= steps; ++s) polygon << At(from + (to - from) * s / steps, drop);
  }

  // The side of the slices between three and nine o'clock, the part a viewer above the
  // pie sees.
  void PaintSide(QPainter& painter) const {
    for (size_t i = 0; i < slices_.size(); ++i) {
      const double from = std::max(starts_[i], 90.0), to = std::min(starts_[i + 1], 270.0);
      if (to <= from) continue;
      QPolygonF side;
      AppendArc(side, from, to, 0);
      QPolygonF bottom;
      AppendArc(bottom, from, to, depth_);
      std::reverse(bottom.begin(), bottom.end());
      side << bottom;
      painter.setPen(QPen(EdgeOf(slices_[i].colour), 0.8));
      painter.setBrush(SideOf(slices_[i].colour));
      painter.drawPolygon(side);
    }
  }

  void Layout() {
    total_ = 0;
    for (const Slice& s : slices_) total_ += s.value;
    starts_.assign(1, 0.0);
    for (const Slice& s : slices_) starts_.push_back(starts_.back() + (total_ > 0 ? s.value / total_ * 360.0 : 0));
    if (!starts_.empty()) starts_.back() = 360.0;
    markRects_.clear();
    anchors_.clear();
    elbows_.clear();
    if (slices_.empty() || area_.isEmpty()) return;

    const QFontMetricsF metrics(MarkFont());
    double markWidth = 0;
    for (const Slice& s : slices_) markWidth = std::max(markWidth, metrics.horizontalAdvance(s.mark) + 8);
    const double lineHeight = metrics.height() + 3;
    const double gap = marks_ ? markWidth + 28 : 4;
    tilt_ = look3D_ ? 0.55 : 1.0;
    const double depthRatio = look3D_ ? 0.16 : 0.0;
    const double width = area_.width() - 2 * gap, height = area_.height() - (marks_ ? 2 * lineHeight : 8);
    rx_ = std::max(12.0, std::min(width / 2, height / (2 * tilt_ + depthRatio)));
    ry_ = rx_ * tilt_;
    depth_ = rx_ * depthRatio;
    centre_ = QPointF(area_.center().x(), area_.center().y() - depth_ / 2);
    if (!marks_) return;

    // Each mark wants to sit level with its slice's middle; the marks of each half are then
    // pushed apart, downwards first and back up where they would leave the area.
    struct Wanted {
      size_t slice;
      double y;
    };
    std::vector<Wanted> halves[2];
    anchors_.resize(slices_.size());
    elbows_.resize(slices_.size());
    markRects_.resize(slices_.size());
    for (size_t i = 0; i < slices_.size(); ++i) {
      const double middle = (starts_[i] + starts_[i + 1]) / 2;
      const bool front = std::cos(middle * kPi / 180.0) < 0;
      const double drop = front ? depth_ : 0;
      anchors_[i] = At(middle, drop);
      elbows_[i] = At(middle, drop, 14);
      halves[std::sin(middle * kPi / 180.0) >= 0 ? 0 : 1].push_back({i, elbows_[i].y()});
    }
    const double top = area_.top() + lineHeight / 2, bottom = area_.bottom() - lineHeight / 2;
    for (int h = 0; h < 2; ++h) {
      auto& marks = halves[h];
      std::stable_sort(marks.begin(), marks.end(), [](const Wanted& a, const Wanted& b) { return a.y < b.y; });
      for (size_t k = 0; k < marks.size(); ++k) {
        marks[k].y = std::max(marks[k].y, top);
        if (k > 0) marks[k].y = std::max(marks[k].y, marks[k - 1].y + lineHeight);
      }
      for (size_t k = marks.size(); k-- > 0;) {
        marks[k].y = std::min(marks[k].y, k + 1 < marks.size() ? marks[k + 1].y - lineHeight : bottom);
      }
      const double columnX = h == 0 ? centre_.x() + rx_ + 22 : centre_.x() - rx_ - 22;
      for (const Wanted& w : marks) {
        const double boxWidth = metrics.horizontalAdvance(slices_[w.slice].mark) + 8;
        const double left = h == 0 ? columnX : columnX - boxWidth;
        markRects_[w.slice] = QRectF(left, w.y - (lineHeight - 2) / 2, boxWidth, lineHeight - 2);
      }
    }
  }

  std::vector<Slice> slices_;
  bool marks_ = true, look3D_ = false;
  QRectF area_;
  double total_ = 0;
  std::vector<double> starts_;  // degrees, clockwise from twelve o'clock; one more than slices
  QPointF centre_;
  double rx_ = 0, ry_ = 0, depth_ = 0, tilt_ = 1;
  std::vector<QPointF> anchors_, elbows_;
  std::vector<QRectF> markRects_;
};

ChartAdapter::ChartAdapter(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart();
  chart_->setBackgroundRoundness(0);
  chart_->setMargins(QMargins(6, 6, 6, 6));
  chart_->setAnimationOptions(QChart::NoAnimation);
  QFont titleFont = QApplication::font();
  titleFont.setPointSizeF(11);
  titleFont.setBold(true);
  chart_->setTitleFont(titleFont);
  chart_->setTitleBrush(Qt::black);
  QLegend* legend = chart_->legend();
  legend->setAlignment(Qt::AlignRight);
  // No box: QtCharts would stretch it over the chart's whole height.
  legend->setBackgroundVisible(false);
  legend->setFont(MarkFont());
  legend->setLabelColor(Qt::black);

  pie_ = new ChartPieItem();
  pie_->setParentItem(chart_);
  pie_->setZValue(kPieZ);

  view_ = new QChartView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { emit ContextMenuRequested(view_->mapToGlobal(at)); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(chart_, &QChart::plotAreaChanged, this, [this] { PlaceDecorations(); });
  Rebuild();
}

ChartAdapter::~ChartAdapter() = default;

void ChartAdapter::SetSeries(const QString& title, std::vector<ChartPoint> points) {
  title_ = title;
  points_ = std::move(points);
  Rebuild();
}

void ChartAdapter::SetTitle(const QString& title) {
  title_ = title;
  chart_->setTitle(properties_.ShowTitle ? title_ : QString());
}

void ChartAdapter::Apply(const ChartProperties& properties) {
  properties_ = properties;
  Rebuild();
}

void ChartAdapter::Rebuild() {
  ClearBarDecorations();
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  chart_->setTitle(properties_.ShowTitle ? title_ : QString());
  if (properties_.ShowGradient) {
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, ToQColor(properties_.TopColour));
    gradient.setColorAt(1, ToQColor(properties_.BottomColour));
    chart_->setBackgroundBrush(gradient);
  } else {
    chart_->setBackgroundBrush(Qt::white);
  }
  chart_->legend()->setVisible(properties_.ShowLegend && !points_.empty());
  pie_->setVisible(!points_.empty() && properties_.Type == ChartType::Pie);
  pie_->Set({}, false, false);
  if (points_.empty()) return;
  if (properties_.Type == ChartType::Pie) BuildPie();
  else BuildBars();
  PlaceDecorations();
}

void ChartAdapter::BuildPie() {
  // QtCharts' pie stays at size nothing and lends the legend its entries; the pie itself
  // is drawn by ChartPieItem.
  auto* series = new QPieSeries();
  series->setPieSize(0.0);
  std::vector<ChartPieItem::Slice> slices;
  for (const ChartPoint& point : points_) {
    QPieSlice* slice = series->append(QString::fromStdString(ChartLegendText(point, properties_.Units)),
                                      double(point.value));
    slice->setBrush(ToQColor(point.colour));
    slice->setPen(QPen(EdgeOf(ToQColor(point.colour)), 0.8));
    slice->setLabelVisible(false);
    slices.push_back({ToQColor(point.colour), double(point.value),
                      QString::fromStdString(ChartMarkText(point, properties_.Units, ChartType::Pie))});
  }
  chart_->addSeries(series);
  pie_->Set(std::move(slices), properties_.ShowValues, properties_.View3D);
}

void ChartAdapter::BuildBars() {
  // One bar set per point, each with its value in its own category only, so that every bar
  // has its colour and its legend entry.
  auto* series = new QStackedBarSeries();
  series->setBarWidth(kBarWidth);
  QStringList categories;
  double highest = 0;
  for (size_t i = 0; i < points_.size(); ++i) {
    const ChartPoint& point = points_[i];
    auto* set = new QBarSet(QString::fromStdString(ChartLegendText(point, properties_.Units)));
    const double value = ChartValue(point, properties_.Units);
    for (size_t k = 0; k < points_.size(); ++k) set->append(k == i ? value : 0.0);
    set->setColor(ToQColor(point.colour));
    set->setBorderColor(EdgeOf(ToQColor(point.colour)));
    series->append(set);
    categories << QString::fromStdString(point.label);
    highest = std::max(highest, value);
  }
  chart_->addSeries(series);
  auto* categoryAxis = new QBarCategoryAxis();
  categoryAxis->append(categories);
  categoryAxis->setGridLineVisible(false);
  QFont axisFont = MarkFont();
  categoryAxis->setLabelsFont(axisFont);
  // The legend names every bar; without it the names stand under the bars, slanted when
  // they would not fit level.
  categoryAxis->setLabelsVisible(!properties_.ShowLegend);
  const QFontMetricsF metrics(axisFont);
  double widestName = 0;
  for (const QString& name : categories) widestName = std::max(widestName, metrics.horizontalAdvance(name));
  if (widestName > 0.6 * width() / double(categories.size())) categoryAxis->setLabelsAngle(-35);
  chart_->addAxis(categoryAxis, Qt::AlignBottom);
  series->attachAxis(categoryAxis);
  auto* valueAxis = new QValueAxis();
  valueAxis->setRange(0, highest > 0 ? highest * 1.12 : 1.0);
  valueAxis->applyNiceNumbers();
  valueAxis->setLabelFormat("%.0f");
  valueAxis->setLabelsFont(axisFont);
  valueAxis->setTitleText(QString::fromUtf8(ChartUnitsName(properties_.Units).data(),
                                            qsizetype(ChartUnitsName(properties_.Units).size())));
  valueAxis->setGridLineColor(QColor(0, 0, 0, 40));
  chart_->addAxis(valueAxis, Qt::AlignLeft);
  series->attachAxis(valueAxis);

  for (const ChartPoint& point : points_) {
    if (properties_.View3D) {
      for (int face = 0; face < 2; ++face) {
        auto* polygon = new QGraphicsPolygonItem(chart_);
        const QColor colour = ToQColor(point.colour);
        polygon->setBrush(face == 0 ? colour.lighter(115) : SideOf(colour));
        polygon->setPen(QPen(EdgeOf(colour), 0.8));
        polygon->setZValue(kDecorationZ);
        barDecorations_.push_back(polygon);
      }
    }
    if (properties_.ShowValues) {
      auto* mark = new QGraphicsSimpleTextItem(QString::fromStdString(ChartMarkText(point, properties_.Units,
                                                                                    ChartType::Bar)),
                                               chart_);
      mark->setFont(MarkFont());
      mark->setZValue(kDecorationZ + 1);
      barMarks_.push_back(mark);
    }
  }
}

void ChartAdapter::ClearBarDecorations() {
  for (QGraphicsItem* item : barDecorations_) delete item;
  for (QGraphicsItem* item : barMarks_) delete item;
  barDecorations_.clear();
  barMarks_.clear();
}

void ChartAdapter::PlaceDecorations() {
  if (ShowsPie()) {
    pie_->SetArea(chart_->plotArea());
    return;
  }
  if (!ShowsBars() || chart_->series().isEmpty()) return;
  QAbstractSeries* series = chart_->series().front();
  const double halfWidth = kBarWidth / 2;
  for (size_t i = 0; i < points_.size(); ++i) {
    const double value = ChartValue(points_[i], properties_.Units);
    const QPointF topLeft = chart_->mapToPosition(QPointF(double(i) - halfWidth, value), series);
    const QPointF bottomRight = chart_->mapToPosition(QPointF(double(i) + halfWidth, 0), series);
    const double barWidth = bottomRight.x() - topLeft.x();
    // The extrusion goes back and up at 45 degrees, the depth a third of the bar's width.
    const double depth = properties_.View3D ? std::min(14.0, barWidth / 3) : 0;
    if (properties_.View3D) {
      auto* topFace = static_cast<QGraphicsPolygonItem*>(barDecorations_[2 * i]);
      auto* sideFace = static_cast<QGraphicsPolygonItem*>(barDecorations_[2 * i + 1]);
      const double left = topLeft.x(), right = bottomRight.x(), top = topLeft.y(), bottom = bottomRight.y();
      topFace->setPolygon(QPolygonF{QPointF(left, top), QPointF(right, top), QPointF(right + depth, top - depth),
                                    QPointF(left + depth, top - depth)});
      sideFace->setPolygon(QPolygonF{QPointF(right, top), QPointF(right + depth, top - depth),
                                     QPointF(right + depth, bottom - depth), QPointF(right, bottom)});
    }
    if (properties_.ShowValues) {
      auto* mark = static_cast<QGraphicsSimpleTextItem*>(barMarks_[i]);
      const QRectF box = mark->boundingRect();
      const double centreX = (topLeft.x() + bottomRight.x()) / 2 + depth / 2;
      mark->setPos(centreX - box.width() / 2, topLeft.y() - depth - box.height() - 2);
    }
  }
}

void ChartAdapter::Lay() {
  // The legend and the chart lay out on the next pass of the event loop; a picture taken
  // before that needs them now.
  if (QGraphicsLayout* layout = chart_->legend()->layout()) layout->activate();
  if (QGraphicsLayout* layout = chart_->layout()) layout->activate();
  PlaceDecorations();
}

QString ChartAdapter::ShownTitle() const { return chart_->title(); }

QStringList ChartAdapter::LegendTexts() const {
  QStringList texts;
  if (!chart_->legend()->isVisible()) return texts;
  for (QLegendMarker* marker : chart_->legend()->markers()) texts << marker->label();
  return texts;
}

QStringList ChartAdapter::MarkTexts() const {
  if (ShowsPie()) return pie_->Marks();
  QStringList texts;
  for (QGraphicsItem* mark : barMarks_) texts << static_cast<QGraphicsSimpleTextItem*>(mark)->text();
  return texts;
}

std::vector<QRectF> ChartAdapter::MarkRects() {
  Lay();
  if (ShowsPie()) return pie_->MarkRects();
  std::vector<QRectF> rects;
  for (QGraphicsItem* mark : barMarks_) rects.push_back(mark->mapRectToParent(mark->boundingRect()));
  return rects;
}

bool ChartAdapter::ShowsPie() const { return pie_->isVisible(); }
bool ChartAdapter::ShowsBars() const {
  return !chart_->series().isEmpty() && chart_->series().front()->type() == QAbstractSeries::SeriesTypeStackedBar;
}
bool ChartAdapter::Shows3DLook() const { return ShowsPie() ? pie_->HasSide() : !barDecorations_.empty(); }

QImage ChartAdapter::Picture() {
  Lay();
  return view_->grab().toImage();
}

void ChartAdapter::CopyPicture() { QApplication::clipboard()->setImage(Picture()); }

}  // namespace korvane
