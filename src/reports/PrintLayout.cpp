#include "reports/PrintLayout.h"

#include <algorithm>
#include <array>

#include "reports/Formatters.h"

namespace korvane {

namespace {
constexpr double kRowsBelowTopMargin = 0.35;  // room for the title and the file line
constexpr double kFooterAboveBottom = 0.5;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
}  // namespace

SnapshotPlacement PlaceSnapshot(double imageWidth, double imageHeight, double screenDpi, double deviceDpi,
                                double paperWidth, double paperHeight, const PrintSetup& setup) {
  SnapshotPlacement out;
  const double left = std::max(0.0, setup.LeftMargin * deviceDpi), right = std::max(0.0, setup.RightMargin * deviceDpi);
  const double top = std::max(0.0, setup.TopMargin * deviceDpi), bottom = std::max(0.0, setup.BottomMargin * deviceDpi);
  const double printableWidth = paperWidth - left - right, printableHeight = paperHeight - top - bottom;
  out.headerX = left;
  out.headerTop = top / 2;
  out.image.x = left;
  out.image.y = top;
  if (printableWidth < 1 || printableHeight < 1 || imageWidth < 1 || imageHeight < 1) {
    out.roomy = printableWidth >= 1 && printableHeight >= 1;
    return out;
  }
  double width = imageWidth, height = imageHeight;
  if (setup.Scaling == PrintScaling::Proportional) {
    const double scale = deviceDpi / std::max(1.0, screenDpi);
    width *= scale;
    height *= scale;
    if (width > printableWidth) {
      height *= printableWidth / width;
      width = printableWidth;
    }
    if (height > printableHeight) {
      width *= printableHeight / height;
      height = printableHeight;
    }
  } else {
    height *= printableWidth / width;
    width = printableWidth;
    if (height > printableHeight) {
      width *= printableHeight / height;
      height = printableHeight;
    }
  }
  out.image.width = width;
  out.image.height = height;
  return out;
}

DiagramPageLayout LayDiagramPage(double paperWidth, double paperHeight, const PrintSetup& setup) {
  DiagramPageLayout page;
  page.rows.x = setup.LeftMargin;
  page.rows.y = setup.TopMargin + kRowsBelowTopMargin;
  page.rows.width = paperWidth - setup.LeftMargin - setup.RightMargin;
  page.rows.height = paperHeight - page.rows.y - setup.BottomMargin;
  page.footerBaseline = paperHeight - kFooterAboveBottom;
  page.footerLeft = setup.LeftMargin;
  page.footerRight = paperWidth - setup.RightMargin;
  return page;
}

PixelSize DiagramRowsPixels(const DiagramPageLayout& layout, double screenDpi) {
  return {std::max(1, int(screenDpi * layout.rows.width)), std::max(1, int(screenDpi * layout.rows.height))};
}

std::string SnapshotHeaderText(const TraceFileInfo& info) {
  return AnalyzerName(info) + " File " + info.CurrentFileName;
}

std::string DiagramFileLine(const TraceFileInfo& info) {
  return AnalyzerName(info) + " file " + info.CurrentFileName + " dated " + FileDateText(info.CurrentFileName);
}

std::string PrintedOnText(int year, int month, int day) {
  static constexpr std::array<const char*, 7> kDays = {"Thursday", "Friday",  "Saturday", "Sunday",
                                                        "Monday",   "Tuesday", "Wednesday"};  // 1970-01-01 was a Thursday
  static constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",
                                                          "May",     "June",     "July",      "August",
                                                          "September", "October", "November", "December"};
  month = std::clamp(month, 1, 12);
  const int64_t days = DaysFromCivil(year, month, day);
  const int64_t weekday = ((days % 7) + 7) % 7;
  return std::string("Printed on ") + kDays[size_t(weekday)] + " " + kMonths[size_t(month - 1)] + " " +
         std::to_string(day) + ", " + std::to_string(year);
}

std::string PageNumberText(int64_t page) { return "Page " + std::to_string(page); }

std::string LongPrintQuestion(int64_t pages) {
  return "You are about to print " + std::to_string(pages) + " pages.";
}

}  // namespace korvane
