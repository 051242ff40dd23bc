// The Station window's statistics table: one row per sending MAC station, with the
// display names the table and the peer map share. The window shows the rows; korvane-cli
// prints them.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"
#include "reports/Formatters.h"
#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr int kStationStatsColumns = 11;

// "Source Address", "Encapsulation", "Protocols", "Dests", "Snd+Rcv Pkts",
// "Snd+Rcv Bytes", "Utilization", "Ave Send", "Ave Recv", "Bdcasts", "Pkt Ratio".
const std::array<std::string_view, kStationStatsColumns>& StationStatsHeadings();

struct StationNameOptions {
  bool smartNames = true;  // "SmartNames": learned names first
  bool showOui = true;     // "Show OUI": vendor name and the last 6 hex digits
};

// The display name of a MAC station: its learned name (SmartNames), else the vendor form
// (Show OUI and a known vendor), else the 12 hex digits.
std::string StationDisplayName(const TraceSession& session, const StationNode& station,
                               const StationNameOptions& options);
// The peer map's label: as the display name, except the well-known group addresses
// ("Bridge Group", "NetBIOS") and, for addresses beginning with C, the ring functional
// addresses ("Ring Param Svr", "Ring Err Mon", "Ring Config Svr", "Ring Broadcast").
std::string StationMapLabel(const TraceSession& session, const StationNode& station,
                            const StationNameOptions& options);

struct StationStatsRow {
  int32_t station = -1;  // StationTree node: the row's key
  AddressKey address;
  std::array<std::string, kStationStatsColumns> cells;
};

// One row per station that has sent, in address order.
std::vector<StationStatsRow> BuildStationStats(const TraceSession& session, const StationNameOptions& options = {});

// Sorts on a column: 0..2 and 10 as text (case-insensitive), 3..9 as numbers (thousands
// separators and "%" ignored). Rows that compare equal keep their order.
void SortStationRows(std::vector<StationStatsRow>& rows, int column, bool ascending);

// The value of the "ColumnOrder" key: a comma-separated list of one-based column numbers.
// A list that is not exactly a permutation of 1..columns gives the default order 1..columns.
std::vector<int> ParseColumnOrder(std::string_view value, int columns);

// The column-order file: an INI file holding, per window, the display order of its table,
//
//   [StationStats]
//   ColumnOrder="11,1,2,3,4,5,6,7,8,9,10"
//   [NetworkStatisticsForm]
//   ColumnOrder="1,2,3,4,5,6,7,8,9"
//
// (a value without the quotes reads the same).
inline constexpr std::string_view kStationColumnSection = "StationStats";
inline constexpr std::string_view kNetworkColumnSection = "NetworkStatisticsForm";
std::vector<int> ReadColumnOrder(const KeyValueStore& file, std::string_view section, int columns);
void WriteColumnOrder(KeyValueStore& file, std::string_view section, const std::vector<int>& order);
// The desktop program's column-order file: "Korvane.ini" beside its settings file, in the
// user's configuration folder (the program's own folder is seldom writable); empty when
// there is no such folder.
std::string DefaultColumnOrderFile();

// The selected rectangle as text: one line per row, cells separated by tabs. Columns are
// taken in the given display order (one-based column numbers); left..right index that
// order, top..bottom the rows.
template <class Row>
std::string GridSelectionText(const std::vector<Row>& rows, const std::vector<int>& order, int left, int top,
                              int right, int bottom) {
  std::string text;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right >= int(order.size())) right = int(order.size()) - 1;
  if (bottom >= int(rows.size())) bottom = int(rows.size()) - 1;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      if (c > left) text += '\t';
      text += rows[size_t(r)].cells[size_t(order[size_t(c)] - 1)];
    }
    text += '\n';
  }
  return text;
}

// Shared by the station and network tables.
namespace stats_text {
// "%3.2f" of the percentage followed by "%"; "0.00%" when the trace closed no interval.
std::string Utilisation(int64_t framesSent, int64_t bytesSent, uint8_t topologyCode, const AnalysisTables& tables);
// bytes div frames with thousands separators, or "0".
std::string Average(int64_t bytes, int64_t frames);
// Sorting helpers.
using korvane::CompareText;
using korvane::NumberOfCell;
// Sorts table rows on one column, keeping equal rows in order: text columns compare
// as text, the others by the number their cell shows.
template <class Row>
void SortRows(std::vector<Row>& rows, size_t column, bool asText, bool ascending) {
  // Each cell's key is taken once (10,000 rows sort without a pause), then the rows move.
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (asText) {
    std::vector<std::string> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      keys[i] = rows[i].cells[column];
      for (char& c : keys[i])
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      const int c = keys[a].compare(keys[b]);
      return ascending ? c < 0 : c > 0;
    });
  } else {
    std::vector<double> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) keys[i] = NumberOfCell(rows[i].cells[column]);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return ascending ? keys[a] < keys[b] : keys[a] > keys[b]; });
  }
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}
}  // namespace stats_text

}  // namespace korvane
