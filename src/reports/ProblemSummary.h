// The problem analysis summary of one conversation stream: per direction one line per kind
// of problem the packet diagnostics counted, under "Source to Destination Problem Summary"
// and "Destination to Source Problem Summary", with the three selection labels.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/TraceSession.h"
#include "measure/ConversationMeasurement.h"
#include "measure/PacketDiagnostics.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {

// The headings of the two boxes.
const std::array<std::string_view, 2>& ProblemSummaryHeadings();

// count + " " + noun + "." for one, else + "es." for a noun ending in "s", else + "s.".
std::string ProblemCountLine(int64_t count, std::string_view noun);

// The lines of one direction's box, in the window's order; none for a direction without
// problems.
std::vector<std::string> ProblemLines(const DirectionCounters& counters);

struct ProblemSummary {
  // ("Source:", text), ("Destination:", text), ("Protocol/App:", text).
  std::array<std::pair<std::string_view, std::string>, 3> Labels;
  std::array<std::vector<std::string>, 2> Boxes;  // source to destination, destination to source
};

// The summary from the measurement status and the counters. The status of a kind the
// analysis does not support puts "Unable to perform problem analysis." as the only line of
// the first box; every other status (a one-way stream, a stream without commands) still
// shows the counters.
ProblemSummary BuildProblemSummary(const MeasurementSelection& selection, uint16_t measurementStatus,
                                   const std::array<DirectionCounters, 2>& counters);

// What korvane-cli's problems prints: each box's heading followed by its lines.
std::vector<std::string> ProblemSummaryTextLines(const ProblemSummary& summary);

// Runs the measurement in problem mode and the packet diagnostics for the selection and
// gives the summary, as the window does on activation.
ProblemSummary AnalyseProblems(const TraceSession& session, const MeasurementSelection& selection,
                               const ProblemFinderSettings& settings);

}  // namespace korvane
