#include "ui/main/RingMapView.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
const QColor kFaultColour(210, 0, 0);
const QColor kRingColour(150, 150, 150);
const QString kKeyCaption = "Key:";
constexpr double kKeyDotWidth = 12, kFaultSampleWidth = 28;
constexpr int kSmallestLabelPixels = 8;

QFont MapFont(int pixels) {
  QFont font("Arial");
  font.setPixelSize(pixels);
  return font;
}

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

double LabelHeight(const QFontMetricsF& metrics) { return metrics.height() + 1; }
double LabelWidth(const QFontMetricsF& metrics, const QString& text) { return metrics.horizontalAdvance(text) + 6; }

QPointF OnCircle(const QPointF& centre, double radius, double degrees) {
  const double a = degrees * kPi / 180.0;
  return {centre.x() + radius * std::sin(a), centre.y() - radius * std::cos(a)};
}

// A label in its key colour: black ones as plain text, the others on a chip of their colour
// with the text in black or white, whichever reads better on it.
void DrawLabel(QPainter& painter, const QRectF& rect, const QString& text, const QColor& colour) {
  if (colour == Qt::black) {
    painter.setPen(Qt::black);
  } else {
    painter.setPen(QPen(colour.darker(140), 1));
    painter.setBrush(colour);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    const double luminance = 0.299 * colour.red() + 0.587 * colour.green() + 0.114 * colour.blue();
    painter.setPen(luminance > 140 ? Qt::black : Qt::white);
  }
  painter.drawText(rect, Qt::AlignCenter, text);
}

}  // namespace

RingMapView::RingMapView(QWidget* parent) : QWidget(parent) {
  setObjectName("RingMapPaintBox");
  setMinimumSize(360, 300);
  setAutoFillBackground(false);
}

QColor RingMapView::KeyColour(RingColour colour) {
  switch (colour) {
    case RingColour::Aqua: return QColor(0, 255, 255);
    case RingColour::Teal: return QColor(0, 128, 128);
    case RingColour::Grey: return QColor(128, 128, 128);
    case RingColour::Yellow: return QColor(255, 255, 0);
    case RingColour::Red: return QColor(255, 0, 0);
    case RingColour::Fuchsia: return QColor(255, 0, 255);
    default: return QColor(0, 0, 0);
  }
}

void RingMapView::SetRing(RingMap ring) {
  ring_ = std::move(ring);
  placed_ = false;
  update();
}

void RingMapView::SetIdStationBy(IdStationBy by) {
  idBy_ = by;
  placed_ = false;
  update();
}

void RingMapView::SetFaultDomain(FaultDomainKind kind) {
  faultDomain_ = kind;
  placed_ = false;
  update();
}

void RingMapView::resizeEvent(QResizeEvent* event) {
  placed_ = false;
  QWidget::resizeEvent(event);
}

const RingMapView::Placement& RingMapView::Layout() {
  if (placed_) return placement_;
  placed_ = true;
  Placement p;
  const QRectF whole = QRectF(rect()).adjusted(8, 8, -8, -8);
  LayKey(p, whole);
  const QRectF area(whole.left(), whole.top(), whole.width(), whole.height() - p.keyArea.height() - 4);
  p.centre = area.center();

  const size_t n = ring_.stations.size();
  for (const RingMapStation& s : ring_.stations) {
    PlacedStation placed;
    placed.position = s.position;
    placed.label = QString::fromStdString(s.label);
    placed.colour = KeyColour(idBy_ == IdStationBy::RingPoll ? s.ringPollColour : s.stationErrorColour);
    placed.angle = n > 0 ? double(s.position - 1) * 360.0 / double(n) : 0;
    p.stations.push_back(std::move(placed));
  }

  // Labels level beside the ring while they fit without touching. Otherwise along the
  // radius, in the largest font that keeps them apart: first all at one distance from the
  // ring, then every other one further out (on a ring of an odd count the last one, which
  // would meet the first, inside the ring).
  auto place = [&](int pixels, LabelStyle style) {
    const QFontMetricsF metrics(MapFont(pixels));
    const double height = LabelHeight(metrics);
    double widest = 0;
    for (const PlacedStation& s : p.stations) widest = std::max(widest, LabelWidth(metrics, s.label));
    p.fontPixels = pixels;
    p.labelStyle = style;
    const double across = std::min(area.width(), area.height()) / 2;
    switch (style) {
      case LabelStyle::Level:
        p.radius = std::min(area.width() / 2 - widest - 16, area.height() / 2 - height - 14);
        break;
      case LabelStyle::Radial: p.radius = across - widest - 14; break;
      case LabelStyle::Staggered: p.radius = across - 2 * widest - 20; break;
    }
    p.radius = std::max(p.radius, 30.0);
    const double nearRadius = p.radius + 10, farRadius = nearRadius + widest + 6;
    for (size_t k = 0; k < n; ++k) {
      PlacedStation& s = p.stations[k];
      s.node = OnCircle(p.centre, p.radius, s.angle);
      const double w = LabelWidth(metrics, s.label);
      if (style == LabelStyle::Level) {
        const QPointF anchor = OnCircle(p.centre, nearRadius, s.angle);
        const double sideways = std::sin(s.angle * kPi / 180.0), down = -std::cos(s.angle * kPi / 180.0);
        QRectF r(0, 0, w, height);
        if (std::abs(sideways) < 0.35) {
          r.moveLeft(anchor.x() - w / 2);
          if (down < 0) r.moveBottom(anchor.y());
          else r.moveTop(anchor.y());
        } else {
          if (sideways > 0) r.moveLeft(anchor.x());
          else r.moveRight(anchor.x());
          r.moveTop(anchor.y() - height / 2);
        }
        s.turn = 0;
        s.rect = r;
        s.outline = QPolygonF(r);
        continue;
      }
      // Turned so that the text runs along the radius and reads from the left on both halves.
      const bool right = s.angle < 180;
      const bool inside = style == LabelStyle::Staggered && n % 2 == 1 && k == n - 1;
      const double from = style == LabelStyle::Staggered && k % 2 == 1 ? farRadius : nearRadius;
      if (inside) {
        const double edge = p.radius - 10;
        s.rect = right ? QRectF(edge - w, -height / 2, w, height) : QRectF(-edge, -height / 2, w, height);
      } else {
        s.rect = right ? QRectF(from, -height / 2, w, height) : QRectF(-from - w, -height / 2, w, height);
      }
      s.turn = right ? s.angle - 90 : s.angle + 90;
      QTransform turn;
      turn.translate(p.centre.x(), p.centre.y());
      turn.rotate(s.turn);
      s.outline = turn.map(QPolygonF(s.rect));
    }
    // Whether neighbouring labels at one distance keep apart where they start.
    const double steps = style == LabelStyle::Staggered ? 2 : 1;
    return n < 2 || height + 1 <= 2 * nearRadius * std::tan(kPi * steps / double(n));
  };
  place(12, LabelStyle::Level);
  bool fits = true;
  for (size_t i = 0; i < n && fits; ++i)
    for (size_t k = i + 1; k < n && fits; ++k)
      fits = !p.stations[i].outline.boundingRect().adjusted(-1, -1, 1, 1).intersects(
          p.stations[k].outline.boundingRect());
  for (LabelStyle style : {LabelStyle::Radial, LabelStyle::Staggered}) {
    for (int pixels = 12; !fits && pixels >= kSmallestLabelPixels; --pixels) fits = place(pixels, style);
  }
  // Never below 8 pixels, whatever font the system gives: the smallest size still read.
  // Where even that does not fit, the labels are shortened (their trailing blanks first,
  // then with an ellipsis in the middle, keeping the end that tells addresses apart) to
  // the width that keeps them apart.
  if (!fits && n >= 2) {
    const QFontMetricsF metrics(MapFont(kSmallestLabelPixels));
    const double across = std::min(area.width(), area.height()) / 2;
    const double nearest = (LabelHeight(metrics) + 1) / (2 * std::tan(kPi * 2 / double(n)));
    const double widest = std::max(12.0, (across - 10 - nearest) / 2);
    for (PlacedStation& s : p.stations) {
      if (LabelWidth(metrics, s.label) <= widest) continue;
      s.label = s.label.trimmed();
      if (LabelWidth(metrics, s.label) > widest) s.label = metrics.elidedText(s.label, Qt::ElideMiddle, widest - 6);
    }
  }
  if (!fits) place(kSmallestLabelPixels, LabelStyle::Staggered);

  const bool burst = faultDomain_ == FaultDomainKind::Burst;
  auto indexOf = [&](const AddressKey& address) {
    for (size_t i = 0; i < ring_.stations.size(); ++i)
      if (!ring_.stations[i].overflow && ring_.stations[i].address == address) return int(i);
    return -1;
  };
  for (const FaultDomainReport& report : ring_.faultDomains) {
    FaultMark mark;
    mark.count = burst ? report.burstErrors : report.lineErrors;
    if (mark.count == 0) continue;
    mark.reporter = indexOf(report.reporter);
    mark.upstream = indexOf(report.naun);
    if (mark.reporter < 0) continue;
    mark.adjacent = n > 1 && mark.upstream == int((size_t(mark.reporter) + n - 1) % n);
    p.faults.push_back(mark);
  }
  placement_ = std::move(p);
  return placement_;
}

void RingMapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

QImage RingMapView::Picture() {
  QImage image(size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter);
  return image;
}

void RingMapView::Paint(QPainter& painter) {
  const Placement& p = Layout();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), Qt::white);
  const size_t n = p.stations.size();
  const QRectF circle(p.centre.x() - p.radius, p.centre.y() - p.radius, 2 * p.radius, 2 * p.radius);

  if (n > 0) {
    painter.setPen(QPen(kRingColour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
    // Arrowheads along the ring: downstream is clockwise.
    if (n > 1) {
      const size_t step = std::max<size_t>(1, n / 24);
      painter.setPen(Qt::NoPen);
      painter.setBrush(kRingColour);
      for (size_t k = 0; k < n; k += step) {
        const double angle = (double(k) + 0.5) * 360.0 / double(n);
        QTransform turn;
        turn.translate(p.centre.x(), p.centre.y());
        turn.rotate(angle);
        // At twelve o'clock the ring runs to the right.
        painter.drawPolygon(turn.map(QPolygonF{QPointF(5, -p.radius), QPointF(-3, -p.radius - 4),
                                               QPointF(-3, -p.radius + 4)}));
      }
    }
  }

  // The fault-domain reports: an arc along the ring from the upstream neighbour to the
  // reporting station, or a line across when they are not neighbours on the map; the count
  // inside the ring.
  QFont countFont = MapFont(12);
  countFont.setBold(true);
  for (const FaultMark& mark : p.faults) {
    const PlacedStation& reporter = p.stations[size_t(mark.reporter)];
    double middle = reporter.angle;
    painter.setBrush(Qt::NoBrush);
    if (mark.adjacent) {
      const PlacedStation& upstream = p.stations[size_t(mark.upstream)];
      const double span = std::fmod(reporter.angle - upstream.angle + 360.0, 360.0);
      painter.setPen(QPen(kFaultColour, 5, Qt::SolidLine, Qt::FlatCap));
      painter.drawArc(circle, int((90 - upstream.angle) * 16), int(-span * 16));
      middle = upstream.angle + span / 2;
    } else if (mark.upstream >= 0) {
      const PlacedStation& upstream = p.stations[size_t(mark.upstream)];
      painter.setPen(QPen(kFaultColour, 2, Qt::DashLine));
      painter.drawLine(upstream.node, reporter.node);
    } else {
      painter.setPen(QPen(kFaultColour, 2));
      painter.drawEllipse(reporter.node, 9, 9);
    }
    painter.setFont(countFont);
    painter.setPen(kFaultColour);
    const QPointF at = OnCircle(p.centre, std::max(p.radius - 20, p.radius * 0.6), middle);
    painter.drawText(QRectF(at.x() - 30, at.y() - 10, 60, 20), Qt::AlignCenter, QString::number(mark.count));
  }

  const double nodeRadius = n > 0 ? std::clamp(kPi * p.radius / double(n) * 0.6, 2.0, 6.0) : 0;
  const QFont labelFont = MapFont(p.fontPixels);
  painter.setFont(labelFont);
  for (const PlacedStation& s : p.stations) {
    painter.setPen(QPen(s.colour == Qt::black ? Qt::white : Qt::black, 1));
    painter.setBrush(s.colour);
    painter.drawEllipse(s.node, nodeRadius, nodeRadius);
    if (p.labelStyle == LabelStyle::Level) {
      DrawLabel(painter, s.rect, s.label, s.colour);
      continue;
    }
    painter.save();
    painter.translate(p.centre);
    painter.rotate(s.turn);
    DrawLabel(painter, s.rect, s.label, s.colour);
    painter.restore();
  }

  if (!ring_.message.empty()) {
    QFont font = MapFont(13);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(QColor(60, 60, 60));
    const QRectF where = n > 0 ? circle.adjusted(10, 10, -10, -10)
                               : QRectF(rect()).adjusted(8, 8, -8, -8 - p.keyArea.height());
    painter.drawText(where, Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(ring_.message));
  }
  PaintKey(painter, p);
}

void RingMapView::LayKey(Placement& p, const QRectF& whole) const {
  // Laid out from the top of the key downwards, then moved to the bottom of the map. The
  // keys flow onto further rows where the map is narrow; the fault-domain text wraps.
  const QFontMetricsF metrics(MapFont(12));
  const double h = LabelHeight(metrics), gap = 6;
  const double start = whole.left() + metrics.horizontalAdvance(kKeyCaption) + 10;
  double x = start, y = gap;
  p.keys.clear();
  auto add = [&](const RingKey& key) {
    KeyEntry entry;
    entry.caption = Text(key.caption);
    entry.colour = KeyColour(key.colour);
    const double dot = entry.colour == Qt::black ? kKeyDotWidth : 0;
    const double w = LabelWidth(metrics, entry.caption) + dot;
    if (x + w > whole.right() && x > start) {
      x = start;
      y += h + 4;
    }
    entry.rect = QRectF(x, y, w, h);
    p.keys.push_back(entry);
    x += w + 8;
  };
  if (idBy_ == IdStationBy::RingPoll) {
    for (const RingKey& key : RingPollKeys()) add(key);
  } else {
    for (const RingKey& key : StationErrorKeys()) add(key);
  }
  y += h + gap;
  p.faultCaption = Text(FaultDomainChoices()[faultDomain_ == FaultDomainKind::Burst ? 0 : 1]) + " (count): " +
                   Text(SoftErrorBoxes()[0].hint);
  const double textLeft = whole.left() + kFaultSampleWidth + 8;
  const QRectF bounds =
      metrics.boundingRect(QRectF(textLeft, y, whole.right() - textLeft, 1000), Qt::TextWordWrap, p.faultCaption);
  p.faultText = QRectF(textLeft, y, whole.right() - textLeft, std::max(h, bounds.height()));
  const double height = p.faultText.bottom();
  const double top = whole.bottom() - height;
  p.keyArea = QRectF(whole.left(), top, whole.width(), height);
  for (KeyEntry& entry : p.keys) entry.rect.translate(0, top);
  p.faultText.translate(0, top);
}

void RingMapView::PaintKey(QPainter& painter, const Placement& p) {
  const QFont font = MapFont(12);
  painter.setFont(font);
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(p.keyArea.topLeft(), p.keyArea.topRight());
  if (p.keys.empty()) return;
  painter.setPen(Qt::black);
  const QRectF& first = p.keys.front().rect;
  painter.drawText(QRectF(p.keyArea.left(), first.top(), first.left() - p.keyArea.left(), first.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, kKeyCaption);
  for (const KeyEntry& entry : p.keys) {
    QRectF chip = entry.rect;
    // A black key gets a dot like the stations', so that it reads as a key too.
    if (entry.colour == Qt::black) {
      painter.setPen(QPen(Qt::white, 1));
      painter.setBrush(Qt::black);
      painter.drawEllipse(QPointF(chip.left() + 5, chip.center().y()), 5, 5);
      chip.setLeft(chip.left() + kKeyDotWidth);
    }
    DrawLabel(painter, chip, entry.caption, entry.colour);
  }
  const double sampleY = p.faultText.top() + p.keys.front().rect.height() / 2;
  painter.setPen(QPen(kFaultColour, 5, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(p.keyArea.left(), sampleY), QPointF(p.keyArea.left() + kFaultSampleWidth, sampleY));
  painter.setPen(Qt::black);
  painter.drawText(p.faultText, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, p.faultCaption);
}

}  // namespace korvane
