// The texts the two charts put beside their points: the value marks on slices and bars and
// the legend entries, by chart units; the frame size chart's title and the names of the
// chart properties' choices. The series themselves come from reports/ProtocolTable.h.
#pragma once
#include <string>
#include <string_view>

#include "reports/ProtocolTable.h"
#include "settings/ChartProperties.h"

namespace korvane {

// "Frame Size Distribution".
std::string_view FrameSizeChartTitle();

// "Pie", "Bar"; "Percent", "Packets".
std::string_view ChartTypeName(ChartType type);
std::string_view ChartUnitsName(ChartUnits units);

// The point's value in the units: the frame count, or its share of the series in percent.
double ChartValue(const ChartPoint& point, ChartUnits units);
// The value as shown: the count with thousands separators ("12,345"), or the share with two
// decimals and "%" ("42.50%").
std::string ChartValueText(const ChartPoint& point, ChartUnits units);
// A pie slice's mark: the label and the value ("IP - 42.50%"); a bar's mark: the value.
std::string ChartMarkText(const ChartPoint& point, ChartUnits units, ChartType type);
// A legend entry: the label with the value at the right ("IP - 950").
std::string ChartLegendText(const ChartPoint& point, ChartUnits units);

}  // namespace korvane
