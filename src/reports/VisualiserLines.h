// The packet visualiser as data: for every drawn packet its text columns, the protocol
// detail after the bar with its diagnostics, the bar's length and colour and the tick
// spacing gap above it; the Diagnostic list; and the text lines korvane-cli prints. The
// desktop program draws from these.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"
#include "measure/PacketDiagnostics.h"
#include "reports/StreamList.h"

namespace korvane {

// The six column switches of the visualiser attributes.
struct VisualiserColumns {
  bool ShowCumulativeBytesTogether = false;  // cBytes
  bool ShowCumulativeBytesSeparate = false;  // sBytes and rBytes
  bool ShowCumulativeTime = false;           // cTime
  bool ShowDeltaTime = false;                // dTime
  bool ShowPacketSize = false;               // Size
  bool ShowPacketNumber = true;              // Packet
};

struct VisualiserOptions {
  VisualiserColumns Columns;
  uint16_t TickSpacingMs = 1;   // 0 (off), 1, 10, 100 or 1000
  uint16_t LengthPosition = 4;  // the Length track bar, 1..10
  StreamListOptions Addresses;  // how an ICMP reporter's address is written
};

// A text column: its header and the sample text its width is measured on.
struct VisualiserColumnInfo {
  std::string_view heading, widthSample;
};
// The switched-on columns, in drawing order (Packet, Size, dTime, cTime, cBytes, sBytes, rBytes).
std::vector<VisualiserColumnInfo> VisualiserColumnInfos(const VisualiserColumns& columns);

enum class BarColour : uint8_t { Send, Receive, Diagnostic, Gap };
inline constexpr uint32_t kGapMarkerColour = 0xC0C0C0;  // light grey

struct VisualiserLine {
  int32_t Packet = -1;  // PacketList index
  int64_t FrameNumber = 0;
  bool Forward = true;
  std::vector<std::string> Columns;  // texts of the switched-on columns
  std::string Detail;                // the text after the bar
  std::string Diagnostics;           // " " + first + ", " + each further; empty when none
  int BarPixels = 0;
  BarColour Colour = BarColour::Send;
  int64_t GapPixels = 0;  // extra pixels above the line for the time since the previous packet
};

// One mark of the time axis within a gap, Offset pixels below the top of the gap.
struct RulerMark {
  int64_t Offset = 0;
  int Length = 5;
  std::string Label;  // "10 ms" on every tenth mark, else empty
};

// One entry of the Diagnostic list and the line it scrolls to.
struct DiagnosticEntry {
  std::string Text;
  size_t Line = 0;
};

struct VisualiserDrawing {
  std::vector<VisualiserColumnInfo> Columns;
  std::vector<VisualiserLine> Lines;
  std::vector<DiagnosticEntry> Entries;
};

// 15 - the Length position (kept within 1..10).
uint16_t BytesPerPixel(uint16_t lengthPosition);
// (FrameLength + BytesPerPixel) div BytesPerPixel.
int BarLength(uint16_t frameLength, uint16_t bytesPerPixel);
// The gap in units of TickSpacingMs x 500 microseconds, whole pixels; 0 when ticks are off
// or the gap is not more than 1.
int64_t TickGapPixels(double elapsedMicros, uint16_t tickSpacingMs);
// A gap has a mark on every second pixel: 5 pixels long, every fifth 10, every tenth
// labelled with the milliseconds since the previous packet. A long pause makes millions of
// them, so they are asked for one by one (k = 1 .. RulerMarkCount), for the visible part.
int64_t RulerMarkCount(int64_t gapPixels);
RulerMark RulerMarkAt(int64_t k, uint16_t tickSpacingMs);

// The text of one finding.
std::string DiagnosticText(const Diagnostic& diagnostic);

// The lines of an already judged stream pair.
VisualiserDrawing DrawVisualiser(const TraceSession& session, const PacketDiagnosticsResult& judged,
                                 const VisualiserOptions& options);

// What korvane-cli's visualize prints: per drawn packet ">" (selected source) or "<"
// (partner), the switched-on columns, and the detail text with its diagnostics, separated
// by tabs.
std::vector<std::string> VisualiserTextLines(const TraceSession& session, const MeasurementSelection& selection,
                                             const ProblemFinderSettings& settings,
                                             const VisualiserOptions& options = {});

}  // namespace korvane
