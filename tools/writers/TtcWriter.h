// TTC FireBerd 500 and NetLens/Spider capture files.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct TtcOptions {
  bool netLens = false;        // NetLens/Spider (26-byte header) rather than FireBerd 500 (76 bytes)
  bool tokenRing = false;      // Token Ring frames: no error flags are written
  CaptureStart start;          // the time of day the millisecond clock starts from
  std::optional<uint32_t> frameCount;  // header frame count; default: the number of frames
};

// Records hold the captured bytes without a check sequence; a sliced frame keeps only
// its captured bytes, since a record has one length.
Bytes WriteTtc(const std::vector<ScenarioFrame>& frames, const TtcOptions& options);

}  // namespace korvane::tools
