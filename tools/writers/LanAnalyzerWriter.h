// LANalyzer trace files, linear (version 1) or as a cyclic capture buffer (version 2).
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct LanAnalyzerOptions {
  bool tokenRing = false;         // board type 227 instead of 226 (Ethernet)
  uint16_t boardType = 0;         // non-zero: written as given
  bool version2 = false;          // file header record 0x1007: a cyclic capture buffer
  size_t wrapFirst = 0;           // version 2, > 0: the buffer wrapped; frames [wrapFirst, n) lie at
                                  // its start and the oldest frames [0, wrapFirst) after them
  size_t staleRecords = 0;        // version 2: packet records of an earlier pass left between the
                                  // newest and the oldest frames
  int64_t cyclicFrameCount = -1;  // frame count of the cyclic record; -1: the frames written
                                  // (version 2) or 0 (version 1)
  bool countFromMidnight = true;  // packet time counter from local midnight, else from the start
  CaptureStart start;             // local time of the capture start, kept in the summary record
};

Bytes WriteLanAnalyzer(const std::vector<ScenarioFrame>& frames, const LanAnalyzerOptions& options);

}  // namespace korvane::tools
