// The charts' marks and legend entries by units and form.
#include <gtest/gtest.h>

#include "input/TraceTypes.h"
#include "reports/ChartSeries.h"

namespace korvane {
namespace {

// 12,345 IP frames of 16,000 and 3,655 ARP frames.
std::vector<ChartPoint> TwoPoints() {
  AnalysisTables t;
  t.ProtocolTable[category::Arp] = {3655, 3655, 3655 * 64, 0};
  t.ProtocolTable[category::Ip] = {12345, 0, 12345 * 600, 0};
  return ProtocolSeries(t, PacketClass::All);
}

TEST(ChartSeries, ValuesInPacketsOrPercent) {
  const auto points = TwoPoints();
  ASSERT_EQ(points.size(), 2u);
  const ChartPoint& ip = points[1];
  EXPECT_DOUBLE_EQ(ChartValue(ip, ChartUnits::Packets), 12345.0);
  EXPECT_NEAR(ChartValue(ip, ChartUnits::Percent), 77.15625, 1e-9);
  EXPECT_EQ(ChartValueText(ip, ChartUnits::Packets), "12,345");
  EXPECT_EQ(ChartValueText(ip, ChartUnits::Percent), "77.16%");
  EXPECT_EQ(ChartValueText(points[0], ChartUnits::Percent), "22.84%");
}

TEST(ChartSeries, PieMarksCarryTheLabelBarMarksOnlyTheValue) {
  const ChartPoint ip = TwoPoints()[1];
  EXPECT_EQ(ChartMarkText(ip, ChartUnits::Packets, ChartType::Pie), "IP - 12,345");
  EXPECT_EQ(ChartMarkText(ip, ChartUnits::Percent, ChartType::Pie), "IP - 77.16%");
  EXPECT_EQ(ChartMarkText(ip, ChartUnits::Packets, ChartType::Bar), "12,345");
  EXPECT_EQ(ChartMarkText(ip, ChartUnits::Percent, ChartType::Bar), "77.16%");
  EXPECT_EQ(ChartLegendText(ip, ChartUnits::Packets), "IP - 12,345");
  EXPECT_EQ(ChartLegendText(ip, ChartUnits::Percent), "IP - 77.16%");
}

TEST(ChartSeries, AWholeSeriesIsAHundredPercent) {
  AnalysisTables t;
  t.SizeBuckets[0] = 1;
  auto points = FrameSizeSeries(t, topology::Ethernet);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(ChartValueText(points[0], ChartUnits::Percent), "100.00%");
  EXPECT_EQ(ChartLegendText(points[0], ChartUnits::Packets), "18 to 64 - 1");
}

TEST(ChartSeries, NamesOfTheChoices) {
  EXPECT_EQ(ChartTypeName(ChartType::Pie), "Pie");
  EXPECT_EQ(ChartTypeName(ChartType::Bar), "Bar");
  EXPECT_EQ(ChartUnitsName(ChartUnits::Percent), "Percent");
  EXPECT_EQ(ChartUnitsName(ChartUnits::Packets), "Packets");
  EXPECT_EQ(FrameSizeChartTitle(), "Frame Size Distribution");
}

}  // namespace
}  // namespace korvane
