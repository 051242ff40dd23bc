#include "ui/controls/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvane {

namespace {
// Every glyph is drawn on a 24 x 24 grid and scaled to the size asked for.
void Draw(QPainter& p, Glyph glyph) {
  const QColor ink(0x30, 0x30, 0x30);
  p.setPen(QPen(ink, 1.2));
  switch (glyph) {
    case Glyph::Open:
      p.setBrush(QColor(0xF2, 0xC1, 0x4E));
      p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(9, 6), QPointF(11, 8), QPointF(20, 8), QPointF(20, 19),
                               QPointF(2, 19)}));
      p.setBrush(QColor(0xFB, 0xDC, 0x85));
      p.drawPolygon(QPolygonF({QPointF(5, 11), QPointF(23, 11), QPointF(20, 19), QPointF(2, 19)}));
      break;
    case Glyph::Print:
      p.setBrush(Qt::white);
      p.drawRect(QRectF(7, 2, 10, 8));
      p.setBrush(QColor(0xA0, 0xA8, 0xB0));
      p.drawRoundedRect(QRectF(2, 9, 20, 9), 2, 2);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6, 15, 12, 7));
      p.drawLine(QPointF(8, 18), QPointF(16, 18));
      break;
    case Glyph::Toolbox: {
      p.setBrush(QColor(0xD0, 0x3A, 0x2F));
      p.drawRoundedRect(QRectF(2, 9, 20, 12), 2, 2);
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(8, 5, 8, 5), 1.5, 1.5);
      p.drawLine(QPointF(2, 14), QPointF(22, 14));
      p.setBrush(QColor(0xE8, 0xE8, 0xE8));
      p.drawRect(QRectF(10.5, 12.5, 3, 3));
      break;
    }
    case Glyph::Station:
      p.setBrush(QColor(0x3C, 0x78, 0xC8));
      p.drawRoundedRect(QRectF(3, 3, 18, 13), 1.5, 1.5);
      p.setBrush(QColor(0xC8, 0xE0, 0xFF));
      p.drawRect(QRectF(5, 5, 14, 9));
      p.setBrush(QColor(0x90, 0x90, 0x90));
      p.drawRect(QRectF(10, 16, 4, 3));
      p.drawRect(QRectF(6, 19, 12, 2));
      break;
    case Glyph::Network: {
      const QPointF a(5, 5), b(19, 5), c(12, 19), d(12, 11);
      p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1.6));
      for (const QPointF& end : {a, b, c}) p.drawLine(d, end);
      p.setPen(QPen(ink, 1.0));
      p.setBrush(QColor(0x2E, 0xA0, 0x5A));
      for (const QPointF& node : {a, b, c}) p.drawEllipse(node, 3.2, 3.2);
      p.setBrush(QColor(0x3C, 0x78, 0xC8));
      p.drawEllipse(d, 3.6, 3.6);
      break;
    }
    case Glyph::ProblemFinder:
      p.setBrush(QColor(0xE0, 0xF0, 0xFF));
      p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
      p.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(15, 15), QPointF(21, 21));
      p.setPen(QPen(QColor(0xD0, 0x3A, 0x2F), 2.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(10, 6.5), QPointF(10, 10.5));
      p.drawPoint(QPointF(10, 13.5));
      break;
    case Glyph::LightBulb: {
      QPainterPath bulb;
      bulb.moveTo(9, 16);
      bulb.cubicTo(9, 13, 5, 11.5, 5, 8);
      bulb.cubicTo(5, 4.5, 8.2, 2, 12, 2);
      bulb.cubicTo(15.8, 2, 19, 4.5, 19, 8);
      bulb.cubicTo(19, 11.5, 15, 13, 15, 16);
      bulb.closeSubpath();
      p.setBrush(QColor(0xFF, 0xE0, 0x40));
      p.drawPath(bulb);
      p.setBrush(QColor(0xA0, 0xA8, 0xB0));
      p.drawRect(QRectF(9, 16, 6, 4));
      p.drawLine(QPointF(9, 18), QPointF(15, 18));
      p.drawRect(QRectF(10.5, 20, 3, 2));
      break;
    }
  }
}
}  // namespace

QIcon GlyphIcon(Glyph glyph, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 24.0, size / 24.0);
  Draw(painter, glyph);
  return QIcon(pixmap);
}

}  // namespace korvane
