// NI Observer buffer files: a 113-byte header, then records chained by their offsets.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct ObserverOptions {
  int version = 5;                 // digit after "=" in the version text (0..9): below 4 the
                                   // lengths are the captured bytes only; from 6 on the lengths
                                   // and the stored bytes include the check sequence
  uint32_t medium = 0;             // 0 Ethernet, 1 Token Ring, 2 FDDI (kept in every record)
  CaptureStart start;              // time stamps count milliseconds since local midnight
  size_t gapAfterRecord = 0;       // filler bytes between records; the chain skips them
  bool lastPointsAtEnd = false;    // the last record's next offset is the file size, not 0
};

Bytes WriteObserver(const std::vector<ScenarioFrame>& frames, const ObserverOptions& options);

}  // namespace korvane::tools
