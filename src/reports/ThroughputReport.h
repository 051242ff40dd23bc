// The "Throughput Analysis" window's two halves as texts: from the selected source to its
// partner (upper half) and back (lower half).
#pragma once
#include <string>

#include "measure/ConversationMeasurement.h"
#include "reports/AnalysisChart.h"

namespace korvane {

struct ThroughputOptions {
  uint16_t sampleWindow = 8;     // "Packet Sampling", 4..100
  bool includeAckPackets = true;  // "Include ACK Pkts"
  bool kbits = false;             // "Show Kbits/Second"
};

struct ThroughputHalf {
  bool shown = false;
  bool hasResults = false;  // enough packets for the figures, the chart and the copy buttons
  std::string label;        // "From a to b"
  std::string memo = "Notes";
  std::string peak, lowest, average, contention;
  std::string duration = "00:00:00.000", total, bytes, averageSize, averagePayload, overhead;
  AnalysisChart chart;
  std::string copyText;
};

struct ThroughputReport {
  std::string caption;       // "Detailed Throughput Analysis for " + application
  std::string groupCaption;  // "Throughput (in KBytes/Second)" or "... KBits/Second)"
  ThroughputHalf upper, lower;
};

ThroughputReport BuildThroughputReport(const TraceSession& session, MeasurementSelection selection,
                                       const ThroughputOptions& options);

// What korvane-cli prints: for each measured half its copy-data text (when it has
// results), then its notes; halves separated by an empty line.
std::string ThroughputText(const ThroughputReport& report);

}  // namespace korvane
