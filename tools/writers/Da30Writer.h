// DA-30 capture files: header, interface block, then word-aligned frame records.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct Da30Options {
  bool tokenRing = false;      // interface kind 30 (Token Ring) instead of 40 (Ethernet)
  CaptureStart start;          // time stamps count 32 us units from local midnight
  size_t interfaceGap = 0;     // bytes left between the header and the interface block
  size_t recordGap = 0;        // bytes left between the interface block and the first record
  bool endRecord = true;       // a record with word count 0 after the last frame
};

// Frames are stored with their check sequence, which the frame length counts. A record
// has one length only: a sliced frame is recorded as its captured bytes, without check
// sequence. Bad frames (CRC or alignment) carry flag bit 3.
Bytes WriteDa30(const std::vector<ScenarioFrame>& frames, const Da30Options& options);

}  // namespace korvane::tools
