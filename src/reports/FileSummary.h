// The File Summary page: media utilisation, file attributes, frame statistics, DLC
// encapsulation types and the status-bar panels, as texts.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/TraceSession.h"

namespace korvane {

struct SummaryOptions {
  bool broadcastOnly = false;
  int32_t lineSpeedMbps = 0;  // 0: the speed the trace was analysed at
  int32_t duplexFactor = 1;   // 2 with Full Duplex
};

struct FrameStatisticsRow {
  std::string label;
  std::string frames;
  int framesPercent = 0;
  std::string bytes;
  int bytesPercent = 0;
  std::string averageSize;
  std::string largest;
};

struct EncapsulationRow {
  std::string label;  // empty when the label is hidden
  std::string hint;
  std::string count;
  int percent = 0;
  bool gaugeVisible = true;
};

struct FileSummary {
  std::string utilisationCaption;
  int32_t lineSpeedMbps = 0;  // the speed utilisation is expressed at
  bool broadcastOnly = false;
  int64_t averageUtilisationPercent = 0, peakUtilisationPercent = 0;  // as the two Bandwidth boxes show them
  // When average or peak utilisation exceeds 100%: the line is faster than assumed.
  // Empty otherwise. utilisationNote names the Options menu, utilisationHint korvane-cli's option.
  std::string utilisationNote, utilisationHint;
  std::string averageBandwidth, peakBandwidth;
  std::string averageBytesPerSecond, peakBytesPerSecond;
  std::string averageFramesPerSecond, peakFramesPerSecond;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::array<FrameStatisticsRow, 4> frameStatistics;  // Station, Multicast/Functional, Broadcast, Total
  std::array<EncapsulationRow, 4> encapsulations;     // LLC, SNAP, Etype/MAC, Novell Raw
  std::array<std::string, 3> statusPanels;
};

// Headings of the page's boxes, rows and columns; the page and its text share them.
namespace summary_heading {
inline constexpr std::string_view FileAttributes = "File Attributes", FrameStatistics = "Frame Statistics",
                                  Encapsulations = "DLC Encapsulation Types", Average = "Average", Peak = "Peak",
                                  Bandwidth = "Bandwidth", BytesPerSecond = "Bytes/Sec",
                                  FramesPerSecond = "Frms/Sec", Frames = "Frames", Bytes = "Bytes",
                                  AverageSize = "Ave Size", Largest = "Largest";
}  // namespace summary_heading

FileSummary BuildFileSummary(const TraceSession& session, const SummaryOptions& options);
// The page as plain text, tab-separated where the page has columns.
std::string FileSummaryText(const FileSummary& summary);

}  // namespace korvane
