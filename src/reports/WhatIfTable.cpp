#include "reports/WhatIfTable.h"

#include <algorithm>
#include <cmath>

#include "reports/Formatters.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, kWhatIfColumns> kHeadings = {
    "", "Bits/Sec", "Bytes/Sec", "Max Pkts/Sec", "Utilization", "Resp Time (secs)"};

// One number as printf's "%*.*f" shows it; empty when it is not a finite number.
std::string FiniteText(double value, int decimals, int width) {
  return std::isfinite(value) ? PointText(value, decimals, width) : std::string();
}

// Cells left..right of one row, separated by tabs.
template <class Cells>
void AppendCells(std::string& text, const Cells& cells, int left, int right) {
  for (int c = left; c <= right; ++c) {
    if (c > left) text += '\t';
    text += cells[size_t(c)];
  }
}

}  // namespace

const std::array<std::string_view, kWhatIfColumns>& WhatIfHeadings() { return kHeadings; }

std::string_view WhatIfRowLabel(WhatIfRowKind kind) {
  switch (kind) {
    case WhatIfRowKind::Send: return "Send";
    case WhatIfRowKind::Receive: return "Receive";
    case WhatIfRowKind::SendReceive: break;
  }
  return "Send/Rcv";
}

std::string WhatIfRateText(double packetsPerSecond) { return FiniteText(packetsPerSecond, 2, 6); }

std::string WhatIfPercentText(double percent) {
  std::string text = FiniteText(percent, 2, 3);
  return text.empty() ? text : text + '%';
}

std::string WhatIfSecondsText(double seconds) { return FiniteText(seconds, 6, 6); }

std::vector<WhatIfTableRow> WhatIfTableRows(const std::vector<WhatIfRow>& rows) {
  std::vector<WhatIfTableRow> out;
  out.reserve(rows.size());
  for (const WhatIfRow& row : rows) {
    WhatIfTableRow& r = out.emplace_back();
    r.cells[0] = WhatIfRowLabel(row.kind);
    r.cells[1] = CountText(row.bitsPerSecond);
    r.cells[2] = CountText(row.bytesPerSecond);
    r.cells[3] = WhatIfRateText(row.packetRate);
    r.cells[4] = WhatIfPercentText(row.utilisationPercent);
    if (row.responseSeconds) r.cells[5] = WhatIfSecondsText(*row.responseSeconds);
  }
  return out;
}

std::vector<WhatIfTableRow> BuildWhatIfTable(const WhatIfInputs& inputs) {
  return WhatIfTableRows(ComputeWhatIfRows(inputs));
}

std::string WhatIfCaption(std::string_view appText) {
  return "Load & Response Time Analysis for " + std::string(appText);
}

std::string WhatIfTitle(std::string_view sourceText, std::string_view destinationText, bool lowerHalf) {
  if (lowerHalf) std::swap(sourceText, destinationText);
  return "Sender: " + std::string(sourceText) + "  Responder: " + std::string(destinationText);
}

std::string WhatIfCopyText(const std::vector<WhatIfTableRow>& rows, const WhatIfSelection& selection) {
  const int left = std::max(selection.left, 0);
  const int right = std::min(selection.right, kWhatIfColumns - 1);
  const int top = std::max(selection.top, 1);
  const int bottom = std::min(selection.bottom, int(rows.size()));
  std::string text;
  AppendCells(text, kHeadings, left, right);
  for (int r = top; r <= bottom; ++r) {
    text += '\n';
    AppendCells(text, rows[size_t(r - 1)].cells, left, right);
  }
  return text;
}

std::string WhatIfTableText(const std::vector<WhatIfTableRow>& rows) {
  std::string text;
  AppendCells(text, kHeadings, 0, kWhatIfColumns - 1);
  text += '\n';
  for (const WhatIfTableRow& row : rows) {
    AppendCells(text, row.cells, 0, kWhatIfColumns - 1);
    text += '\n';
  }
  return text;
}

}  // namespace korvane
