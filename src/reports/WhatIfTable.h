// The what-if window's texts: the caption, the title line, the result grid as text rows,
// the copy text of a selected rectangle, and the whole table as korvane-cli prints it.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "measure/WhatIf.h"

namespace korvane {

inline constexpr int kWhatIfColumns = 6;

// "", "Bits/Sec", "Bytes/Sec", "Max Pkts/Sec", "Utilization", "Resp Time (secs)".
const std::array<std::string_view, kWhatIfColumns>& WhatIfHeadings();

struct WhatIfTableRow {
  std::array<std::string, kWhatIfColumns> cells;
};

// "Send/Rcv", "Send" or "Receive".
std::string_view WhatIfRowLabel(WhatIfRowKind kind);

// The number cells. A value that is not a finite number gives an empty cell.
std::string WhatIfRateText(double packetsPerSecond);  // "%6.2f"
std::string WhatIfPercentText(double percent);         // "%3.2f" and "%"
std::string WhatIfSecondsText(double seconds);         // "%6.6f"

// The data rows of the grid (the heading row not included), one per result row.
std::vector<WhatIfTableRow> WhatIfTableRows(const std::vector<WhatIfRow>& rows);
std::vector<WhatIfTableRow> BuildWhatIfTable(const WhatIfInputs& inputs);

// "Load & Response Time Analysis for " + the application text.
std::string WhatIfCaption(std::string_view appText);
// The upper half: "Sender: " + source + "  Responder: " + destination; the lower half the
// same with the two exchanged.
std::string WhatIfTitle(std::string_view sourceText, std::string_view destinationText, bool lowerHalf);

// A rectangle of selected cells, inclusive, in grid coordinates: row 0 is the heading row,
// data row i is grid row i + 1.
struct WhatIfSelection {
  int left = 0, top = 1, right = kWhatIfColumns - 1, bottom = 0;
};
// The heading cells of the selected columns, then one line per selected data row; cells
// separated by tabs, lines by "\n", nothing after the last cell. The heading row is not
// a data row: a rectangle reaching into it starts at the first data row.
std::string WhatIfCopyText(const std::vector<WhatIfTableRow>& rows, const WhatIfSelection& selection);

// The heading row and every data row, tab-separated, each line ending in "\n".
std::string WhatIfTableText(const std::vector<WhatIfTableRow>& rows);

}  // namespace korvane
