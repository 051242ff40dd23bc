#include "reports/AnalysisChart.h"

#include <algorithm>
#include <cmath>

#include "reports/Formatters.h"

namespace korvane {

namespace {
std::string Label(double value, double top) { return top < 10 ? PointText(value, 1, 1) : PointText(value, 0, 6); }
}  // namespace

AnalysisChart MakeAnalysisChart(const std::array<double, 4>& values) {
  AnalysisChart chart;
  chart.values = values;
  double v = 0;
  for (double x : values)
    if (std::isfinite(x)) v = std::max(v, x);
  if (v < 10) {
    chart.top = std::nearbyint((10 * v + 5) / 5) * 5 / 10;
  } else if (v < 100) {
    chart.top = std::nearbyint((v + 5) / 5) * 5;
  } else if (v < 1000) {
    chart.top = std::nearbyint((v + 50) / 50) * 50;
  } else if (v < 10000) {
    chart.top = std::nearbyint((v + 500) / 500) * 500;
  } else {
    chart.top = v;
  }
  chart.topLabel = Label(chart.top, chart.top);
  chart.halfLabel = Label(chart.top / 2, chart.top);
  for (size_t i = 0; i < values.size(); ++i) {
    const double x = values[i];
    chart.barHeights[i] = std::isfinite(x) && x > 0 && chart.top > 0
                              ? int(std::min<double>(kChartFullScalePixels, std::nearbyint(kChartFullScalePixels * x / chart.top)))
                              : 0;
  }
  return chart;
}

}  // namespace korvane
