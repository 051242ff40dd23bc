// The "Client/Server Expert" page: one row per network-layer conversation stream with
// client, server, protocol, counts, response time, throughput each way, the marks A to D
// and the counters E to I, and the three boxes of totals below the grid.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {

inline constexpr int kGridColumns = 22;       // 0..17 shown, 18..21 kept for the program
inline constexpr int kGridShownColumns = 18;
inline constexpr std::string_view kGridMark = "\u00B7";  // a mark cell's text (sortable)
// A cell as copied and printed: a mark as "X", any other cell as it is.
inline std::string_view GridCellText(std::string_view cell) { return cell == kGridMark ? "X" : cell; }
inline constexpr std::string_view kNoIpTrafficText = "(No IP or IPX packets in trace file.)";

enum class PacketsBytes { Both, ClientToServer, ServerToClient };  // "Packets && Bytes"

struct ConversationGridOptions {
  PacketsBytes packetsBytes = PacketsBytes::Both;
  bool smartNames = true;  // "SmartNames"
  bool ipxByOui = true;    // "Show IPX Node by OUI"
};

// A row's cells as one block of text, each cell a view into it: a grid of a few hundred
// thousand conversations then holds a few hundred bytes a row rather than 22 strings.
class GridCells {
 public:
  std::string_view operator[](size_t column) const {
    const uint32_t from = column == 0 ? 0 : ends_[column - 1];
    return std::string_view(text_).substr(from, ends_[column] - from);
  }
  static constexpr size_t size() { return kGridColumns; }
  // Cells are appended in column order as a row is made; `Set` replaces one later on.
  void Append(std::string_view cell);
  void Set(size_t column, std::string_view cell);
  // Done appending: the block gives back its spare room.
  void Seal() { text_.shrink_to_fit(); }
  friend bool operator==(const GridCells& a, const GridCells& b) { return a.text_ == b.text_ && a.ends_ == b.ends_; }
  friend std::ostream& operator<<(std::ostream& out, const GridCells& cells);

 private:
  std::string text_;
  std::array<uint32_t, kGridColumns> ends_{};  // each cell's end in text_
  uint32_t appended_ = 0;                      // cells appended so far
};

struct GridRow {
  GridCells cells;
  AddressKey clientKey, serverKey;  // columns 18 and 19 as keys
  // The stream the row measured (NetStationTree node, NetPeers and Streams indexes): the
  // conversation the toolbox opens on.
  int32_t sourceStation = -1, conversation = -1, stream = -1;
  bool MarkedA() const { return !cells[0].empty(); }  // cell 17 painted yellow
  bool MarkedB() const { return !cells[1].empty(); }  // cell 15 painted yellow
};

struct GridTotals {
  int64_t A = 0, B = 0, C = 0, D = 0, E = 0, F = 0, G = 0, H = 0, I = 0;
};

struct ConversationGrid {
  bool noIpTraffic = false;  // the page shows kNoIpTrafficText instead of the grid
  std::array<std::string, kGridShownColumns> headings;
  std::vector<GridRow> rows;
  GridTotals totals;
  std::string countLabel;  // "12 Conversations Analyzed", "1 Conversation Analyzed" or empty
  std::array<std::vector<std::string>, 3> boxes;  // the total boxes' lines
};

// Whether the trace holds IP or IPX stations (without them the page shows only
// kNoIpTrafficText), and whether it holds IPX ones ("Show IPX Node by OUI" is shown only then).
bool TraceHasNetworkStations(const TraceSession& session);
bool TraceHasIpxStations(const TraceSession& session);

// Headings of row 0 (columns 12 and 13 by the Packets && Bytes selector).
std::array<std::string, kGridShownColumns> ConversationGridHeadings(PacketsBytes packetsBytes);
// The 18 entries of "Sort by"; entry n sorts column n.
const std::array<std::string_view, kGridShownColumns>& GridSortEntries();
// The entries of "Packets && Bytes".
const std::array<std::string_view, 3>& PacketsBytesEntries();
// The count label for a number of data rows.
std::string ConversationCountLabel(size_t rows);

// Called as conversations are measured, with the rows measured so far; the desktop program shows
// it in its "Analyzing..." window. Returning false stops the fill (rows so far are kept).
using GridProgress = std::function<bool(size_t rowsFilled)>;

// The conversations are measured on `threads` threads (0: one per core), with the same
// rows whatever their number.
ConversationGrid BuildConversationGrid(const TraceSession& session, const ProblemFinderSettings& settings,
                                       const ConversationGridOptions& options, const GridProgress& progress = {},
                                       unsigned threads = 0);

// Columns 9 and 10 from the kept keys (run again when either name check box changes).
void UpdateGridNames(const TraceSession& session, ConversationGrid& grid, const ConversationGridOptions& options);

// Sorts the rows by a shown column: 0..3, 9, 10, 11 and 14 as text, the others by the
// number they show (thousands separators and "%" ignored). Equal rows keep their order.
void SortConversationGrid(ConversationGrid& grid, int column, bool ascending);
bool GridColumnSortsAsText(int column);

// The selected rectangle (data rows top..bottom, shown columns left..right, clamped to the
// grid) as text: cells separated by tabs, one line per row, a mark as "X". Edit > Copy.
std::string ConversationGridSelectionText(const ConversationGrid& grid, int left, int top, int right, int bottom);

// What korvane-cli prints: the heading row, one row per conversation (columns 0..17, a
// mark as "X"), tab-separated, then the lines of the three total boxes.
std::string ConversationGridText(const ConversationGrid& grid);

// The same text written as the rows are formatted, without keeping the grid: what
// korvane-cli prints for a trace of any size in the memory of one row.
void WriteConversationGridText(std::ostream& out, const TraceSession& session, const ProblemFinderSettings& settings,
                               const ConversationGridOptions& options, unsigned threads = 0);

}  // namespace korvane
