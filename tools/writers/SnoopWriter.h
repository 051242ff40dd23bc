// Sun snoop files and Shomiti Surveyor's snoop-based files.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct SnoopOptions {
  bool shomiti = false;           // records hold the check sequence and end with a 16-byte trailer
  uint32_t linkType = 4;          // 4 Ethernet, 2 Token Ring (Shomiti also 0 and 10 for Ethernet)
  uint32_t version = 2;
  bool padShortFrames = true;     // Shomiti: frames below 60 bytes are captured padded, as on the wire
  CaptureStart start;             // local time of the capture start
  int32_t biasSeconds = 0;        // the writer's time zone bias (universal minus local)
  uint32_t recordAlign = 4;       // records padded to this multiple (Solaris and Surveyor: 4)
};

Bytes WriteSnoop(const std::vector<ScenarioFrame>& frames, const SnoopOptions& options);

}  // namespace korvane::tools
