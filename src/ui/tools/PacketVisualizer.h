// The packet diagram of the toolbox: one line per packet of the stream pair, with the text
// columns, the time axis and its ruler, a bar per packet whose length follows the frame
// size and whose colour tells the direction, and the protocol detail with its diagnostics.
// The lines come from reports/ (DrawVisualiser); this widget only lays them out and paints
// the part that is visible, so a long conversation or an idle hour between two packets
// costs no memory beyond the line records. The same painting serves the clipboard copy and
// the printer (page by page).
#pragma once
#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

#include "reports/VisualiserLines.h"
#include "settings/VisualizerAttributes.h"

class QPainter;

namespace korvane {

// The font a font record names, at its size in points.
QFont FontFromRecord(const FontRecord& record);
// The record that keeps a font (face, size in points, style bits, colour kept).
FontRecord RecordFromFont(const QFont& font, const FontRecord& keep = {});
// A toolkit colour value (0x00BBGGRR) as a colour, and back.
QColor ColourFromValue(uint32_t value);
uint32_t ValueFromColour(const QColor& colour);

class TPacketVisualizer : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TPacketVisualizer(const VisualizerAttributes& attributes, QWidget* parent = nullptr);

  // The lines to show; TickSpacingMs labels the ruler. Keeps the scroll position unless
  // asked to go to the top.
  void SetDrawing(VisualiserDrawing drawing, uint16_t tickSpacingMs, bool toTop);
  // Applies the attributes' font and colours again (after the attributes dialog).
  void AttributesChanged();
  const VisualiserDrawing& Drawing() const { return drawing_; }

  // Geometry, in pixels of the whole diagram.
  int LineHeight() const { return lineHeight_; }
  int HeaderHeight() const;              // 0 when no column is on
  int64_t LineTop(size_t line) const;    // the top of a packet's line
  int64_t ContentHeight() const;
  int AxisX() const { return axisX_; }
  // Scrolls so that a line sits half a view height from the top (the Diagnostic list).
  void ScrollToLine(size_t line);
  int64_t TopPixel() const;  // the diagram pixel at the top of the view

  // Draws the diagram pixels top .. top + height at x offset 0 into a painter whose
  // origin is the top left of the area; width limits nothing but the background.
  void Paint(QPainter& painter, int64_t top, int width, int height, bool withHeader) const;

  // Printing: the number of pages of the given size (the header line repeats on every
  // page) and page n (0-based) drawn into the painter at its origin.
  int64_t PageCount(QSize page) const;
  void PrintPage(QPainter& painter, QSize page, int64_t pageIndex) const;

  // The rubber band (normalised; null when none) and the copy: the band when one is
  // drawn, else the whole visible panel; the band is forgotten afterwards.
  QRect SelectionRect() const { return band_; }
  void SetSelectionRect(const QRect& rect) { band_ = rect.normalized(); viewport()->update(); }
  QImage CopyPicture();

 signals:
  void Scrolled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Relayout();
  void UpdateScrollBars();
  size_t FirstLineEndingBelow(int64_t y) const;
  void PaintHeader(QPainter& painter, int width) const;
  void PaintLine(QPainter& painter, size_t line, int64_t top, int64_t viewTop, int64_t viewBottom) const;
  int ContentWidth() const;

  const VisualizerAttributes& attributes_;
  VisualiserDrawing drawing_;
  uint16_t tickSpacingMs_ = 1;
  QFont font_;
  int lineHeight_ = 14;
  int axisX_ = 4;
  std::vector<int> columnRight_;  // right edge of each text column
  std::vector<int64_t> lineTop_;   // top of each line (gaps included), header excluded
  int64_t scrollUnit_ = 1;         // diagram pixels per scroll-bar step (for huge gaps)
  QRect band_;
  QPoint bandStart_;
  bool dragging_ = false;
};

}  // namespace korvane
