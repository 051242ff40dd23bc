// The reports as JSON, for korvane-cli --json: the same rows and texts the windows show,
// with every figure as a JSON number. Counts and bytes are integers, percentages numbers
// without "%", clock times ("00:01:02", "00:00:01.250") seconds under a key ending in " (s)";
// names, addresses, ratios and notes stay strings.
#pragma once
#include <array>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/FileSummary.h"
#include "reports/LatencyReport.h"
#include "reports/ThroughputReport.h"

namespace korvane {

using Json = nlohmann::ordered_json;

// A figure as shown ("1,234", " 0.675", "7.82%", "<1%") as a number; nothing for any other
// text ("-", "1.1:1", "192.168.10.1", "").
std::optional<double> FigureNumber(std::string_view text);
// Clock time "H:MM:SS" or "H:MM:SS.mmm" in seconds; nothing for any other text.
std::optional<double> ClockSeconds(std::string_view text);
// A figure cell: an integer or real JSON number when it is one, else the text (null when empty).
Json FigureJson(std::string_view text);

// A table as an array of objects keyed by the headings. Columns for which isText says so
// keep their texts; in the others, figures become numbers and a column of clock times
// gives seconds under its heading + " (s)".
Json TableJson(const std::vector<std::string_view>& headings, const std::vector<std::vector<std::string>>& rows,
               const std::function<bool(size_t column)>& isText);

template <size_t N, class Rows>
Json TableJson(const std::array<std::string_view, N>& headings, const Rows& rows,
               const std::function<bool(size_t column)>& isText) {
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : rows) cells.emplace_back(row.begin(), row.end());
  return TableJson(std::vector<std::string_view>(headings.begin(), headings.end()), cells, isText);
}

Json FileSummaryJson(const FileSummary& summary);
Json LatencyJson(const LatencyReport& report);
Json ThroughputJson(const ThroughputReport& report, bool kbits);

// The JSON text korvane-cli prints (one space indent; bytes that are not UTF-8 replaced).
std::string JsonText(const Json& json);

}  // namespace korvane
