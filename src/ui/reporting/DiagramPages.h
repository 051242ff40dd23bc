// The pages of a printed packet diagram, the same on paper and in the preview: the title
// centred at the top, the trace file line under it, the packet rows of the page between the
// margins, and the footer with the printed-on date at the left and "Page N" at the right.
#pragma once
#include <QSizeF>
#include <QString>
#include <cstdint>

#include "reports/PrintLayout.h"

class QPainter;

namespace korvane {

class TPacketVisualizer;

struct DiagramPageTexts {
  QString title;
  QString fileLine;   // printed when withFileLine
  QString printedOn;  // printed when withPrintedOn
  bool withFileLine = true, withPrintedOn = true, withPageNumber = true;
};

class DiagramPages {
 public:
  // The diagram must outlive the pages. paperInches: the paper in its orientation.
  DiagramPages(const TPacketVisualizer& diagram, const PrintSetup& setup, QSizeF paperInches, DiagramPageTexts texts);

  int64_t Count() const { return count_; }
  QSizeF PaperInches() const { return paper_; }
  double ScreenDpi() const { return screenDpi_; }
  // Page n (1-based) on a device of dpi dots per inch whose origin is the paper's corner.
  void Paint(QPainter& painter, double dpi, int64_t page) const;

 private:
  const TPacketVisualizer& diagram_;
  DiagramPageLayout layout_;
  QSizeF paper_;
  DiagramPageTexts texts_;
  double screenDpi_ = 96;
  PixelSize rows_;
  int64_t count_ = 1;
};

}  // namespace korvane
