#include "reports/ChartSeries.h"

#include "reports/Formatters.h"

namespace korvane {

std::string_view FrameSizeChartTitle() { return "Frame Size Distribution"; }

std::string_view ChartTypeName(ChartType type) { return type == ChartType::Bar ? "Bar" : "Pie"; }

std::string_view ChartUnitsName(ChartUnits units) { return units == ChartUnits::Packets ? "Packets" : "Percent"; }

double ChartValue(const ChartPoint& point, ChartUnits units) {
  return units == ChartUnits::Packets ? double(point.value) : point.percent;
}

std::string ChartValueText(const ChartPoint& point, ChartUnits units) {
  return units == ChartUnits::Packets ? CountText(point.value) : NumberText(point.percent, 2) + "%";
}

std::string ChartMarkText(const ChartPoint& point, ChartUnits units, ChartType type) {
  return type == ChartType::Pie ? ChartLegendText(point, units) : ChartValueText(point, units);
}

std::string ChartLegendText(const ChartPoint& point, ChartUnits units) {
  return point.label + " " + ChartValueText(point, units);
}

}  // namespace korvane
