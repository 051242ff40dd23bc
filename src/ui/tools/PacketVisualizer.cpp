#include "ui/tools/PacketVisualizer.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace korvane {

namespace {
constexpr int kMargin = 4;          // left of the first column
constexpr int kAxisGap = 6;         // from the last column to the time axis
constexpr int kBarOffset = 5;       // from the time axis to a bar
constexpr int kTextGap = 6;         // from a bar's end to its detail text
constexpr int64_t kLargestGap = int64_t(1) << 40;  // a gap beyond any real pause
constexpr int64_t kLargestScroll = 1'000'000'000;   // scroll-bar steps

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
}  // namespace

QColor ColourFromValue(uint32_t value) { return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)); }

uint32_t ValueFromColour(const QColor& colour) {
  return uint32_t(colour.red()) | (uint32_t(colour.green()) << 8) | (uint32_t(colour.blue()) << 16);
}

QFont FontFromRecord(const FontRecord& record) {
  QFont font(record.FaceName.empty() ? QStringLiteral("Arial") : QString::fromStdString(record.FaceName));
  font.setPointSize(std::clamp<int32_t>(record.Size, 1, 72));
  font.setBold(record.Style & font_style::Bold);
  font.setItalic(record.Style & font_style::Italic);
  font.setUnderline(record.Style & font_style::Underline);
  font.setStrikeOut(record.Style & font_style::StrikeOut);
  return font;
}

FontRecord RecordFromFont(const QFont& font, const FontRecord& keep) {
  FontRecord r = keep;
  r.FaceName = font.family().toStdString().substr(0, kFontFaceNameSize - 1);
  r.Size = font.pointSize() > 0 ? font.pointSize() : keep.Size;
  r.Style = uint8_t((font.bold() ? font_style::Bold : 0) | (font.italic() ? font_style::Italic : 0) |
                    (font.underline() ? font_style::Underline : 0) | (font.strikeOut() ? font_style::StrikeOut : 0));
  return r;
}

TPacketVisualizer::TPacketVisualizer(const VisualizerAttributes& attributes, QWidget* parent)
    : QAbstractScrollArea(parent), attributes_(attributes) {
  setObjectName(QStringLiteral("PaintBox1"));
  viewport()->setCursor(Qt::CrossCursor);
  viewport()->setAutoFillBackground(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  AttributesChanged();
}

void TPacketVisualizer::AttributesChanged() {
  font_ = FontFromRecord(attributes_.Font);
  Relayout();
}

void TPacketVisualizer::SetDrawing(VisualiserDrawing drawing, uint16_t tickSpacingMs, bool toTop) {
  drawing_ = std::move(drawing);
  tickSpacingMs_ = tickSpacingMs;
  band_ = {};
  Relayout();
  if (toTop) {
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
  }
  viewport()->update();
}

void TPacketVisualizer::Relayout() {
  const QFontMetrics fm(font_);
  lineHeight_ = fm.height() + 1;
  columnRight_.clear();
  int x = kMargin;
  for (const VisualiserColumnInfo& c : drawing_.Columns) {
    x += std::max(fm.horizontalAdvance(Q(c.widthSample)), fm.horizontalAdvance(Q(c.heading)) + 4);
    columnRight_.push_back(x);
  }
  axisX_ = drawing_.Columns.empty() ? kMargin : x + kAxisGap;
  lineTop_.resize(drawing_.Lines.size());
  int64_t y = 0;
  for (size_t i = 0; i < drawing_.Lines.size(); ++i) {
    y += std::clamp<int64_t>(drawing_.Lines[i].GapPixels, 0, kLargestGap);
    lineTop_[i] = y;
    y += lineHeight_;
  }
  UpdateScrollBars();
}

int TPacketVisualizer::HeaderHeight() const { return drawing_.Columns.empty() ? 0 : lineHeight_ + 4; }

int64_t TPacketVisualizer::LineTop(size_t line) const { return line < lineTop_.size() ? lineTop_[line] : ContentHeight(); }

int64_t TPacketVisualizer::ContentHeight() const { return lineTop_.empty() ? 0 : lineTop_.back() + lineHeight_; }

int TPacketVisualizer::ContentWidth() const {
  const QFontMetrics fm(font_);
  int widest = 0;
  // The widest line: measured on a bounded sample so a long conversation stays cheap.
  const size_t step = std::max<size_t>(1, drawing_.Lines.size() / 2000);
  for (size_t i = 0; i < drawing_.Lines.size(); i += step) {
    const VisualiserLine& l = drawing_.Lines[i];
    widest = std::max(widest, l.BarPixels + fm.horizontalAdvance(Q(l.Detail + l.Diagnostics)));
  }
  return axisX_ + kBarOffset + widest + kTextGap + 40;
}

void TPacketVisualizer::UpdateScrollBars() {
  const int64_t content = ContentHeight();
  scrollUnit_ = std::max<int64_t>(1, (content + kLargestScroll - 1) / kLargestScroll);
  const int view = std::max(1, viewport()->height() - HeaderHeight());
  const int64_t range = std::max<int64_t>(0, content - view);
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, int((range + scrollUnit_ - 1) / scrollUnit_));
  v->setPageStep(std::max<int>(1, int(view / scrollUnit_)));
  v->setSingleStep(std::max<int>(1, int(lineHeight_ / scrollUnit_)));
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, ContentWidth() - viewport()->width()));
  h->setPageStep(std::max(1, viewport()->width()));
  h->setSingleStep(20);
}

int64_t TPacketVisualizer::TopPixel() const { return int64_t(verticalScrollBar()->value()) * scrollUnit_; }

void TPacketVisualizer::ScrollToLine(size_t line) {
  const int64_t target = LineTop(line) - verticalScrollBar()->height() / 2;
  verticalScrollBar()->setValue(int(std::max<int64_t>(0, target) / scrollUnit_));
  viewport()->update();
}

size_t TPacketVisualizer::FirstLineEndingBelow(int64_t y) const {
  // The first line whose bottom lies below y.
  auto it = std::upper_bound(lineTop_.begin(), lineTop_.end(), y - lineHeight_);
  return size_t(it - lineTop_.begin());
}

void TPacketVisualizer::PaintHeader(QPainter& painter, int width) const {
  const int h = HeaderHeight();
  if (h == 0) return;
  painter.fillRect(QRect(0, 0, width, h), QColor(0xF0, 0xF0, 0xF0));
  painter.setPen(QColor(0x80, 0x80, 0x80));
  painter.drawLine(0, h - 1, width, h - 1);
  painter.setPen(Qt::black);
  int left = kMargin;
  for (size_t c = 0; c < drawing_.Columns.size(); ++c) {
    const QRect cell(left, 0, columnRight_[c] - left, h - 2);
    painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, Q(drawing_.Columns[c].heading));
    left = columnRight_[c];
  }
}

void TPacketVisualizer::PaintLine(QPainter& painter, size_t i, int64_t top, int64_t viewTop, int64_t viewBottom) const {
  const VisualiserLine& l = drawing_.Lines[i];
  const int64_t gap = std::clamp<int64_t>(l.GapPixels, 0, kLargestGap);
  const int64_t gapTop = lineTop_[i] - gap;
  // The ruler of the pause above the line: only its visible marks.
  if (gap > 0 && tickSpacingMs_ > 0 && gapTop < viewBottom && lineTop_[i] > viewTop) {
    const int64_t count = RulerMarkCount(gap);
    const int64_t first = std::max<int64_t>(1, (viewTop - gapTop) / 2 - 6);
    const int64_t last = std::min<int64_t>(count, (viewBottom - gapTop) / 2 + 1);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    for (int64_t k = first; k <= last; ++k) {
      const RulerMark m = RulerMarkAt(k, tickSpacingMs_);
      const int y = int(gapTop + m.Offset - top);
      painter.drawLine(axisX_ - m.Length / 2, y, axisX_ + m.Length, y);
      if (!m.Label.empty()) painter.drawText(QPoint(axisX_ + 13, y + painter.fontMetrics().ascent() / 2 - 1), Q(m.Label));
    }
  }
  const int64_t lineTop = lineTop_[i];
  if (lineTop >= viewBottom || lineTop + lineHeight_ <= viewTop) return;
  const int y = int(lineTop - top);
  const QFontMetrics fm = painter.fontMetrics();
  const int baseline = y + fm.ascent();
  painter.setPen(Qt::black);
  int left = kMargin;
  for (size_t c = 0; c < columnRight_.size() && c < l.Columns.size(); ++c) {
    painter.drawText(QRect(left, y, columnRight_[c] - left, lineHeight_), Qt::AlignRight | Qt::AlignVCenter,
                     Q(l.Columns[c]));
    left = columnRight_[c];
  }
  // The bar, with an arrowhead that points the way the packet went.
  QColor colour;
  switch (l.Colour) {
    case BarColour::Send: colour = ColourFromValue(attributes_.SendColour); break;
    case BarColour::Receive: colour = ColourFromValue(attributes_.ReceiveColour); break;
    case BarColour::Diagnostic: colour = ColourFromValue(attributes_.DiagnosticColour); break;
    case BarColour::Gap: colour = ColourFromValue(kGapMarkerColour); break;
  }
  // Room for the arrowhead on the left of a bar coming back, so that every bar starts
  // clear of the time axis.
  const int barTop = y + 2, barHeight = std::max(3, lineHeight_ - 5);
  const int head = std::min(barHeight / 2 + 1, 5);
  const bool arrow = l.Colour != BarColour::Gap;
  const int x0 = axisX_ + kBarOffset + (arrow && !l.Forward ? head : 0), x1 = x0 + std::max(1, l.BarPixels);
  painter.fillRect(QRect(x0, barTop, x1 - x0, barHeight), colour);
  const int mid = barTop + barHeight / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  if (arrow) {
    if (l.Forward)
      painter.drawPolygon(QPolygon({QPoint(x1, barTop - 1), QPoint(x1 + head, mid), QPoint(x1, barTop + barHeight)}));
    else
      painter.drawPolygon(QPolygon({QPoint(x0, barTop - 1), QPoint(x0 - head, mid), QPoint(x0, barTop + barHeight)}));
  }
  painter.setBrush(Qt::NoBrush);
  int x = x1 + (arrow && l.Forward ? head : 0) + kTextGap;
  painter.setPen(l.Colour == BarColour::Gap ? QColor(0x60, 0x60, 0x60) : QColor(Qt::black));
  const QString detail = Q(l.Detail);
  painter.drawText(QPoint(x, baseline), detail);
  if (!l.Diagnostics.empty()) {
    x += fm.horizontalAdvance(detail);
    painter.setPen(ColourFromValue(attributes_.DiagnosticColour));
    painter.drawText(QPoint(x, baseline), Q(l.Diagnostics));
  }
}

void TPacketVisualizer::Paint(QPainter& painter, int64_t top, int width, int height, bool withHeader) const {
  painter.save();
  painter.setFont(font_);
  painter.fillRect(QRect(0, 0, width, height), Qt::white);
  const int header = withHeader ? HeaderHeight() : 0;
  painter.translate(0, header);
  const int64_t viewBottom = top + (height - header);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.drawLine(axisX_, 0, axisX_, height - header);
  for (size_t i = FirstLineEndingBelow(top); i < drawing_.Lines.size(); ++i) {
    if (lineTop_[i] - std::clamp<int64_t>(drawing_.Lines[i].GapPixels, 0, kLargestGap) >= viewBottom) break;
    PaintLine(painter, i, top, top, viewBottom);
  }
  painter.translate(0, -header);
  if (withHeader) PaintHeader(painter, width);
  painter.restore();
}

int64_t TPacketVisualizer::PageCount(QSize page) const {
  const int64_t per = std::max(1, page.height() - HeaderHeight());
  return std::max<int64_t>(1, (ContentHeight() + per - 1) / per);
}

void TPacketVisualizer::PrintPage(QPainter& painter, QSize page, int64_t pageIndex) const {
  const int64_t per = std::max(1, page.height() - HeaderHeight());
  Paint(painter, pageIndex * per, page.width(), page.height(), true);
  // A line the page end cuts in two is printed whole on the next page instead.
  const int64_t bottom = (pageIndex + 1) * per;
  const size_t cut = FirstLineEndingBelow(bottom);
  if (cut < lineTop_.size() && lineTop_[cut] < bottom) {
    const int y = HeaderHeight() + int(lineTop_[cut] - pageIndex * per);
    painter.fillRect(QRect(0, y, page.width(), page.height() - y), Qt::white);
  }
  if (pageIndex > 0) {
    const size_t previousCut = FirstLineEndingBelow(pageIndex * per);
    if (previousCut < lineTop_.size() && lineTop_[previousCut] < pageIndex * per) {
      painter.save();
      painter.setClipRect(QRect(0, HeaderHeight(), page.width(), lineHeight_ + 1));
      Paint(painter, lineTop_[previousCut], page.width(), page.height(), true);
      painter.restore();
    }
  }
}

QImage TPacketVisualizer::CopyPicture() {
  const QSize size = viewport()->size();
  QImage image(size, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    painter.translate(-horizontalScrollBar()->value(), 0);
    Paint(painter, TopPixel(), size.width() + horizontalScrollBar()->value(), size.height(), true);
  }
  if (band_.isValid() && !band_.isEmpty()) {
    image = image.copy(band_.intersected(QRect(QPoint(0, 0), size)));
    band_ = {};
    viewport()->update();
  }
  return image;
}

void TPacketVisualizer::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int dx = horizontalScrollBar()->value();
  painter.translate(-dx, 0);
  Paint(painter, TopPixel(), viewport()->width() + dx, viewport()->height(), true);
  painter.translate(dx, 0);
  if (band_.isValid()) {
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(band_.adjusted(0, 0, -1, -1));
  }
}

void TPacketVisualizer::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TPacketVisualizer::scrollContentsBy(int, int) {
  viewport()->update();
  emit Scrolled();
}

void TPacketVisualizer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  bandStart_ = event->position().toPoint();
  band_ = QRect(bandStart_, QSize(1, 1));
  viewport()->update();
}

void TPacketVisualizer::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  band_ = QRect(bandStart_, event->position().toPoint()).normalized();
  viewport()->update();
}

void TPacketVisualizer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  band_ = QRect(bandStart_, event->position().toPoint()).normalized();
  if (band_.width() < 3 || band_.height() < 3) band_ = {};
  viewport()->update();
}

}  // namespace korvane
