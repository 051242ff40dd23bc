// Printed pages as numbers and texts: where a window's snapshot goes between the margins,
// the parts of a packet-diagram page (title, file line, the rows' area, the footer), the
// header and footer lines, and the question before a long print. Positions are measured
// from the paper's top-left corner.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "input/TraceTypes.h"
#include "settings/PrintSetup.h"

namespace korvane {

inline constexpr std::string_view kSnapshotJobTitle = "Output from Korvane";
inline constexpr std::string_view kDiagramDefaultTitle = "Korvane Packet Visualizer";
// A print of more pages than this asks first.
inline constexpr int64_t kPagesPrintedWithoutAsking = 100;

struct PageRect {
  double x = 0, y = 0, width = 0, height = 0;
  double Right() const { return x + width; }
  double Bottom() const { return y + height; }
};

// A snapshot on the page, in device pixels.
struct SnapshotPlacement {
  PageRect image;            // where the picture is stretched to
  double headerX = 0;        // the header line's left ...
  double headerTop = 0;      // ... and top: halfway down the top margin
  bool roomy = true;         // false when the margins leave no printable area
};

// Places a picture of imageWidth x imageHeight screen pixels on a paper of paperWidth x
// paperHeight device pixels. Proportional: at its size on the screen, shrunk to the
// printable width and then to the printable height when larger; to fit: as large as the
// printable area allows. The aspect ratio is kept either way.
SnapshotPlacement PlaceSnapshot(double imageWidth, double imageHeight, double screenDpi, double deviceDpi,
                                double paperWidth, double paperHeight, const PrintSetup& setup);

// The parts of a packet-diagram page, in inches.
struct DiagramPageLayout {
  double titleTop = 0.5;      // the title's top, centred across the paper
  double fileLineTop = 0.7;   // the trace file line's top, centred
  PageRect rows;              // the packet rows: from the left margin, 0.35 inch below the top margin
  double footerBaseline = 0;  // 0.5 inch above the paper's bottom edge
  double footerLeft = 0, footerRight = 0;  // "Printed on" starts at the left margin, "Page N" ends at the right
};
DiagramPageLayout LayDiagramPage(double paperWidth, double paperHeight, const PrintSetup& setup);
// The rows' area in screen pixels (what the diagram is laid out on); at least 1 x 1.
struct PixelSize {
  int width = 1, height = 1;
};
PixelSize DiagramRowsPixels(const DiagramPageLayout& layout, double screenDpi);

// Analyser name + " File " + full path: the header of a snapshot.
std::string SnapshotHeaderText(const TraceFileInfo& info);
// Analyser name + " file " + full path + " dated " + the file date of the summary page.
std::string DiagramFileLine(const TraceFileInfo& info);
// "Printed on Wednesday December 9, 2026".
std::string PrintedOnText(int year, int month, int day);
std::string PageNumberText(int64_t page);
// "You are about to print 101 pages."
std::string LongPrintQuestion(int64_t pages);

}  // namespace korvane
