// One open trace: its attributes, the frame record, the analysis tables and the read
// progress. Passed to whatever needs them; two sessions can live side by side.
#pragma once
#include <memory>
#include <string>

#include "analysis/AnalysisTables.h"
#include "analysis/FrameAnalyser.h"
#include "input/ReadLoop.h"
#include "input/TraceTypes.h"

namespace korvane {

struct TraceSession {
  TraceSession() : analyser(info, *frame, tables, progress, vendors, ports) { analyser.SetNameFiles(&nameFiles); }
  TraceSession(const TraceSession&) = delete;
  TraceSession& operator=(const TraceSession&) = delete;

  // Loaded once and kept across traces.
  VendorTable vendors;
  PortNames ports;
  NameFileLocations nameFiles = NameFileLocations::Default();

  TraceFileInfo info;
  std::unique_ptr<CapturedFrame> frame = std::make_unique<CapturedFrame>();
  AnalysisTables tables;
  ReadProgress progress;
  FrameAnalyser analyser;

  int32_t AnalysedLineSpeedMbps = 10;  // the line speed the tables were analysed at
  std::string DurationText = "00:00:00.000";
};

}  // namespace korvane
