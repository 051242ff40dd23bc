// Where a snapshot lands between the margins, for both ways of scaling, and the printed-on
// date with its weekday.
#include <gtest/gtest.h>

#include "reports/PrintLayout.h"

namespace korvane {
namespace {

struct SnapshotCase {
  const char* name;
  PrintScaling scaling;
  double margin;                      // all four, inches
  double imageWidth, imageHeight;     // screen pixels at 96 per inch
  bool natural;                       // proportional and small enough: printed at its screen size
  friend void PrintTo(const SnapshotCase& c, std::ostream* out) { *out << c.name; }
};

class SnapshotPlacementTest : public ::testing::TestWithParam<SnapshotCase> {};

// A letter page at 600 dots per inch.
constexpr double kDpi = 600, kPaperWidth = 8.5 * kDpi, kPaperHeight = 11 * kDpi;

TEST_P(SnapshotPlacementTest, StaysBetweenTheMarginsWithItsShape) {
  const SnapshotCase& c = GetParam();
  PrintSetup setup;
  setup.Scaling = c.scaling;
  setup.LeftMargin = setup.RightMargin = setup.TopMargin = setup.BottomMargin = c.margin;
  const SnapshotPlacement p = PlaceSnapshot(c.imageWidth, c.imageHeight, 96, kDpi, kPaperWidth, kPaperHeight, setup);
  ASSERT_TRUE(p.roomy);
  const double m = c.margin * kDpi;
  EXPECT_DOUBLE_EQ(p.image.x, m);
  EXPECT_DOUBLE_EQ(p.image.y, m);
  EXPECT_LE(p.image.Right(), kPaperWidth - m + 1e-6);
  EXPECT_LE(p.image.Bottom(), kPaperHeight - m + 1e-6);
  EXPECT_NEAR(p.image.width / p.image.height, c.imageWidth / c.imageHeight, 1e-9);
  EXPECT_DOUBLE_EQ(p.headerTop, m / 2);
  if (c.natural) {
    EXPECT_DOUBLE_EQ(p.image.width, c.imageWidth / 96 * kDpi);
  } else {
    // As large as the printable area allows: one side touches its margins.
    const bool wide = std::abs(p.image.Right() - (kPaperWidth - m)) < 1e-6;
    const bool tall = std::abs(p.image.Bottom() - (kPaperHeight - m)) < 1e-6;
    EXPECT_TRUE(wide || tall);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapshotPlacementTest,
    ::testing::Values(SnapshotCase{"FitWide", PrintScaling::ToFit, 1.0, 1180, 800, false},
                      SnapshotCase{"FitTall", PrintScaling::ToFit, 1.0, 300, 2000, false},
                      SnapshotCase{"FitSmallGrows", PrintScaling::ToFit, 0.5, 200, 100, false},
                      SnapshotCase{"ProportionalSmall", PrintScaling::Proportional, 1.0, 400, 300, true},
                      SnapshotCase{"ProportionalWideAtTwoInches", PrintScaling::Proportional, 2.0, 1180, 800, false},
                      SnapshotCase{"ProportionalTallAtTwoInches", PrintScaling::Proportional, 2.0, 500, 1400, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SnapshotPlacementTest, MarginsThatLeaveNoRoomAreSaidSo) {
  PrintSetup setup;
  setup.LeftMargin = setup.RightMargin = 4.3;
  EXPECT_FALSE(PlaceSnapshot(100, 100, 96, kDpi, kPaperWidth, kPaperHeight, setup).roomy);
}

TEST(PrintTextsTest, PrintedOnNamesTheWeekday) {
  EXPECT_EQ(PrintedOnText(2026, 12, 9), "Printed on Wednesday December 9, 2026");
  EXPECT_EQ(PrintedOnText(2024, 2, 29), "Printed on Thursday February 29, 2024");
  EXPECT_EQ(PrintedOnText(1999, 12, 31), "Printed on Friday December 31, 1999");
  EXPECT_EQ(PrintedOnText(1969, 7, 20), "Printed on Sunday July 20, 1969");
}

}  // namespace
}  // namespace korvane
