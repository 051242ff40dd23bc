#include "ui/stats/PeerMapView.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace korvane {

TPeerMapView::TPeerMapView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PaintBox1"));
  setMinimumSize(200, 160);
  // A silver ground, on which the light key colours (aqua, lime, yellow) and the dark ones
  // (navy, maroon, black) both stand out.
  QPalette ground = palette();
  ground.setColor(QPalette::Window, QColor(0xC8, 0xC8, 0xC8));
  ground.setColor(QPalette::Base, QColor(0xC8, 0xC8, 0xC8));
  ground.setColor(QPalette::Dark, QColor(0x70, 0x70, 0x70));
  setPalette(ground);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
}

void TPeerMapView::SetLayoutMaker(LayoutMaker maker) {
  maker_ = std::move(maker);
  Relayout();
}

QFont TPeerMapView::LabelFont(int pointSize) const {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(std::max(pointSize, 1));
  return font;
}

MapTextMetrics TPeerMapView::Metrics() const {
  return {[this](std::string_view text, int points) {
            return QFontMetricsF(LabelFont(points))
                .horizontalAdvance(QString::fromUtf8(text.data(), qsizetype(text.size())));
          },
          [this](int points) { return QFontMetricsF(LabelFont(points)).height(); }};
}

void TPeerMapView::Relayout() {
  highlighted_.reset();
  layout_ = maker_ ? maker_(width(), height(), Metrics()) : PeerMapLayout{};
  update();
  emit LaidOut();
}

void TPeerMapView::SetHighlighted(std::optional<size_t> label) {
  highlighted_ = label;
  update();
}

void TPeerMapView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

QColor TPeerMapView::ColourOf(const MapColour& colour) const {
  switch (colour.role) {
    case MapColourRole::ButtonText: return palette().color(QPalette::ButtonText);
    case MapColourRole::ButtonShadow: return palette().color(QPalette::Dark);
    case MapColourRole::Fixed: break;
  }
  return QColor::fromRgb(QRgb(0xFF000000u | colour.rgb));
}

void TPeerMapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const PeerMapLayout& m = layout_;

  // Lines first, the thin ones on top of the thick ones so that small talkers stay visible;
  // several colours share a line as equal segments in turn.
  std::vector<size_t> order(m.lines.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return m.lines[a].width > m.lines[b].width; });
  for (size_t i : order) {
    const MapLine& line = m.lines[i];
    const size_t n = line.colours.size();
    if (n == 0) continue;
    const QPointF a(line.x1, line.y1), b(line.x2, line.y2);
    if (n == 1) {
      painter.setPen(QPen(ColourOf(line.colours[0]), line.width, Qt::SolidLine, Qt::FlatCap));
      painter.drawLine(a, b);
      continue;
    }
    const size_t segments = 2 * n;
    for (size_t s = 0; s < segments; ++s) {
      const QPointF from = a + (b - a) * (double(s) / double(segments));
      const QPointF to = a + (b - a) * (double(s + 1) / double(segments));
      painter.setPen(QPen(ColourOf(line.colours[s % n]), line.width, Qt::SolidLine, Qt::FlatCap));
      painter.drawLine(from, to);
    }
  }

  // The circle, and a dot where each station sits.
  const QColor shadow = palette().color(QPalette::Dark);
  painter.setPen(QPen(shadow, 3));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QPointF(m.centreX, m.centreY), m.radius, m.radius);
  // The dots grow with the station's traffic: the busy ones show at a glance.
  painter.setPen(QPen(palette().color(QPalette::Base), 1));
  for (const MapLabel& label : m.labels) {
    painter.setBrush(label.sender ? palette().color(QPalette::ButtonText) : shadow);
    painter.drawEllipse(QPointF(label.pointX, label.pointY), label.dotRadius, label.dotRadius);
  }

  painter.setFont(LabelFont(m.fontPointSize));
  for (size_t i = 0; i < m.labels.size(); ++i) {
    const MapLabel& label = m.labels[i];
    const QRectF rect(label.rect.left, label.rect.top, label.rect.width, label.rect.height);
    const QString text = QString::fromStdString(label.text);
    if (highlighted_ == i) {
      painter.fillRect(rect.adjusted(-1, 0, 1, 0), palette().color(QPalette::Highlight));
      painter.setPen(palette().color(QPalette::HighlightedText));
    } else {
      painter.setPen(label.sender ? palette().color(QPalette::ButtonText) : shadow);
    }
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text);
  }
}

void TPeerMapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPointF at = event->position();
  const std::optional<size_t> hit = layout_.SenderLabelAt(at.x(), at.y());
  if (!hit) return;
  SetHighlighted(hit);
  const MapRect& r = layout_.labels[*hit].rect;
  emit SenderClicked(*hit, mapToGlobal(QPoint(int(r.left + r.width) + 2, int(r.top + r.height))));
}

QImage TPeerMapView::Picture() { return grab().toImage(); }

}  // namespace korvane
