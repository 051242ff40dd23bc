#include "ui/reporting/DiagramPages.h"

#include <QFontMetricsF>
#include <QPainter>

#include "ui/tools/PacketVisualizer.h"

namespace korvane {

namespace {
const QString kFace = QStringLiteral("Arial");
}

DiagramPages::DiagramPages(const TPacketVisualizer& diagram, const PrintSetup& setup, QSizeF paperInches,
                           DiagramPageTexts texts)
    : diagram_(diagram), layout_(LayDiagramPage(paperInches.width(), paperInches.height(), setup)), paper_(paperInches),
      texts_(std::move(texts)), screenDpi_(std::max(1, diagram.logicalDpiY())) {
  rows_ = DiagramRowsPixels(layout_, screenDpi_);
  count_ = diagram_.PageCount(QSize(rows_.width, rows_.height));
}

void DiagramPages::Paint(QPainter& painter, double dpi, int64_t page) const {
  painter.save();
  painter.setPen(Qt::black);
  const double paperWidth = paper_.width() * dpi;

  QFont title(kFace, 10);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRectF(0, layout_.titleTop * dpi, paperWidth, QFontMetricsF(painter.font()).height() * 1.5),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, texts_.title);
  painter.setFont(QFont(kFace, 9));
  const QFontMetricsF small = painter.fontMetrics();
  if (texts_.withFileLine)
    painter.drawText(QRectF(0, layout_.fileLineTop * dpi, paperWidth, small.height() * 1.5),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, texts_.fileLine);

  // The rows: laid out in screen pixels, scaled to the device.
  painter.save();
  painter.translate(layout_.rows.x * dpi, layout_.rows.y * dpi);
  const double scale = dpi / screenDpi_;
  painter.scale(scale, scale);
  painter.setClipRect(QRect(0, 0, rows_.width, rows_.height), Qt::IntersectClip);
  diagram_.PrintPage(painter, QSize(rows_.width, rows_.height), page - 1);
  painter.restore();

  const double baseline = layout_.footerBaseline * dpi;
  if (texts_.withPrintedOn) painter.drawText(QPointF(layout_.footerLeft * dpi, baseline), texts_.printedOn);
  if (texts_.withPageNumber) {
    const QString number = QString::fromStdString(PageNumberText(page));
    painter.drawText(QPointF(layout_.footerRight * dpi - small.horizontalAdvance(number), baseline), number);
  }
  painter.restore();
}

}  // namespace korvane
