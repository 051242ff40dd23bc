#include "ui/about/Splash.h"

#include <QLinearGradient>
#include <QPainter>

#include "ui/about/Product.h"

namespace korvane {

QPixmap SplashPixmap() {
  QPixmap pixmap(480, 270);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient background(0, 0, 0, pixmap.height());
  background.setColorAt(0, QColor(0x0B, 0x2A, 0x5B));
  background.setColorAt(1, QColor(0x1D, 0x6F, 0xB8));
  painter.fillRect(pixmap.rect(), background);

  // A ring of stations, the picture the program draws of a token ring.
  painter.setPen(QPen(QColor(255, 255, 255, 90), 2));
  const QPointF centre(390, 135);
  painter.drawEllipse(centre, 62, 62);
  painter.setBrush(QColor(0xFF, 0xD0, 0x4A));
  for (int i = 0; i < 12; ++i) {
    QTransform turn;
    turn.translate(centre.x(), centre.y()).rotate(i * 30.0);
    painter.drawEllipse(turn.map(QPointF(0, -62)), 6, 6);
  }

  painter.setPen(Qt::white);
  QFont title = painter.font();
  title.setPixelSize(46);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRect(28, 60, 320, 56), Qt::AlignLeft | Qt::AlignVCenter, product::Name());
  QFont subtitle = painter.font();
  subtitle.setPixelSize(20);
  subtitle.setBold(false);
  painter.setFont(subtitle);
  painter.drawText(QRect(30, 116, 320, 28), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Seravo (tm)"));
  QFont small = painter.font();
  small.setPixelSize(13);
  painter.setFont(small);
  painter.drawText(QRect(30, 150, 320, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Network trace file analysis"));
  painter.drawText(QRect(30, 225, 420, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Version %1   %2").arg(product::Version(), product::Maker()));
  return pixmap;
}

}  // namespace korvane
