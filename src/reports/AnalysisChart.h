// The small bar chart of the latency and throughput windows (Min, Max, Ave, Con) as data:
// the scale's top, its two labels and each bar's height in pixels. The windows draw it.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr int kChartFullScalePixels = 90;
inline constexpr int kChartGridSpacingPixels = 45;
inline constexpr int kChartLabelSpacingPixels = 24;

struct AnalysisChart {
  static constexpr std::array<std::string_view, 4> Labels = {"Min", "Max", "Ave", "Con"};
  // Toolkit colour values (0x00BBGGRR): fuchsia, lime, aqua, blue.
  static constexpr std::array<uint32_t, 4> Colours = {0xFF00FF, 0x00FF00, 0xFFFF00, 0xFF0000};
  std::array<double, 4> values{1.0, 1.0, 1.0, 1.0};
  double top = 1.0;
  std::string topLabel, halfLabel;  // the y axis also carries "0"
  std::array<int, 4> barHeights{};
};

// The chart for four values (in the order Min, Max, Ave, Con). Negative or non-finite
// values draw as empty bars.
AnalysisChart MakeAnalysisChart(const std::array<double, 4>& values);

}  // namespace korvane
