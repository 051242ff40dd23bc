// The measurement selection the toolbox prepares for one chosen stream: the forward items,
// the partner's items for the other direction, the texts of the three lists and the range.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "measure/ConversationMeasurement.h"
#include "reports/StreamList.h"

namespace korvane {

// The selection for a stream of the toolbox's lists over frames from..to (to = 0: the last
// frame of the trace). The reverse conversation is the partner's conversation back to the
// source and the reverse stream the one in it that answers the selected stream
// (PartnerStream.h), -1 when none does. OneWay is set when the partner never sent anything
// back to the source.
MeasurementSelection PrepareSelection(const TraceSession& session, const StreamEntry& entry, int64_t from = 1,
                                      int64_t to = 0);

// A stream's timed results as the analysis windows show them.
// Shown durations: "HH:MM:SS.mmm" (at least two digits for each of the first three parts).
std::string MeasuredDurationText(double micros);

// What korvane-cli prints for a window of two halves: for each measured half its
// copy-data text (when it has results), then its notes; halves separated by an empty line.
struct HalfText {
  bool shown = false, hasResults = false;
  std::string_view copyText, memo;
};
std::string TwoHalvesText(const HalfText& upper, const HalfText& lower);

}  // namespace korvane
