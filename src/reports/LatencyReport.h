// The "Response Time/Latency Analysis" window's two halves as texts: the selected source
// as sender (upper half) and the same measurement with the roles exchanged (lower half).
#pragma once
#include <string>
#include <vector>

#include "measure/ConversationMeasurement.h"
#include "measure/WhatIf.h"
#include "reports/AnalysisChart.h"

namespace korvane {

enum class ResponseFilter { All, SmallOnly, LargeOnly };  // "Measure Latency Using"

struct LatencyOptions {
  ResponseFilter responses = ResponseFilter::All;
  bool includeLocalMediaTime = true;  // "Include Local Media Transmission Time"
};

struct LatencyHalf {
  bool shown = false;        // the half was measured
  bool hasResults = false;   // at least one pair: figures, chart, copy and what-if enabled
  std::string label;         // "Sender: ...  Responder: ..."
  std::string memo;          // the notes
  std::string best, worst, average, contention;  // " %1.3n" milliseconds
  std::string duration = "00:00:00.000", total, ratio, averageSendSize, averageReceiveSize;
  AnalysisChart chart;
  WhatIfStartValues kept;    // what the what-if window starts from
  std::string copyText;      // "Copy data to clipboard"
};

struct LatencyReport {
  std::string caption;  // "Detailed Response Time Analysis for " + application
  LatencyHalf upper, lower;
};

// Runs the measurement for the selection (both directions unless the stream is one-way or
// of a kind latency analysis does not support). The selection is left as it was given.
LatencyReport BuildLatencyReport(const TraceSession& session, MeasurementSelection selection,
                                 const LatencyOptions& options);

// What korvane-cli prints: for each measured half its copy-data text (when it has
// results), then its notes; halves separated by an empty line.
std::string LatencyText(const LatencyReport& report);

// "Unable to analyze latency.  " and the text for a measurement status.
std::string LatencyErrorText(uint16_t status);

// Average milliseconds of the pairs of a latency run, as the windows show them.
double AverageLatencyMs(const MeasurementResults& results);

// "Sender: a  Responder: b".
std::string SenderResponderText(const std::string& sender, const std::string& responder);

// Text without its trailing blanks.
std::string TrimRight(std::string text);

}  // namespace korvane
