// The trace's global distributions: the protocol table (one row per protocol category),
// and the series of the frame-size chart and the protocol chart as plain data. The
// windows draw the series and show the rows; korvane-cli prints the rows.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AnalysisTables.h"

namespace korvane {

inline constexpr int kProtocolTableColumns = 7;

// "Protocol", "Packet Count", "Packet Percent", "Ave Pkt Size (Bytes)", "Broadcast Count",
// "Broadcast Percent", "Encapsulation(s)".
const std::array<std::string_view, kProtocolTableColumns>& ProtocolTableHeadings();

struct ProtocolRow {
  uint8_t category = 0;
  std::array<std::string, kProtocolTableColumns> cells;
};

// One row per category with frames, in category order.
std::vector<ProtocolRow> BuildProtocolTable(const AnalysisTables& tables);

// Sorts on a column: columns 0 and 6 as text (case-insensitive), 1..5 as numbers (thousands
// separators and "%" ignored). Rows that compare equal keep their order.
void SortProtocolRows(std::vector<ProtocolRow>& rows, int column, bool ascending);

// A rectangle of selected cells, inclusive, in row and column indexes of the rows shown.
struct CellSelection {
  int left = 0, top = 0, right = kProtocolTableColumns - 1, bottom = -1;
};
// Select All: every cell of every row.
CellSelection SelectAllProtocolCells(const std::vector<ProtocolRow>& rows);
// The copied text: one line per selected row, its selected cells separated by tabs.
std::string ProtocolTableCopyText(const std::vector<ProtocolRow>& rows, const CellSelection& selection);

// ---- chart series ----------------------------------------------------------------------

struct ChartColour {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const ChartColour&) const = default;
};

struct ChartPoint {
  std::string label;   // band or category text followed by " -"
  int64_t value = 0;   // frames
  double percent = 0;  // share of the series' total, for the "Percent" units
  ChartColour colour;
};

// The frame-size chart: one point per band with frames (Ethernet or Token Ring bands).
std::vector<ChartPoint> FrameSizeSeries(const AnalysisTables& tables, uint8_t topologyCode);

enum class PacketClass { All = 0, Broadcast = 1, NonBroadcast = 2 };
// "All", "Broadcast", "Non-Broadcast".
std::string_view PacketClassName(PacketClass packetClass);
// "Protocol Distribution - " + the class + " Packets".
std::string ProtocolChartTitle(PacketClass packetClass);
// The protocol chart: per category Frames, GroupFrames or Frames - GroupFrames by the
// packet class; categories with 0 left out; in category order.
std::vector<ChartPoint> ProtocolSeries(const AnalysisTables& tables, PacketClass packetClass);
// The colour the charts give a protocol category.
ChartColour ProtocolCategoryColour(uint8_t category);

}  // namespace korvane
