// EtherPeek / TokenPeek packet files, versions 6 and 7, as the capturing analyser writes them.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct EtherPeekOptions {
  uint8_t version = 7;            // 6: 26-byte packet headers, millisecond stamps; 7: 16 bytes, microseconds
  bool tokenRing = false;         // TokenPeek: media type 1, records without a check sequence
  bool recordsHoldFcs = true;     // Ethernet: a whole packet ends with its check sequence
  bool sliceZeroWhenWhole = true; // a whole packet records slice length 0
  uint32_t sliceLimit = 0;        // >0: the capture kept at most this many bytes per packet
  bool writePacketCount = true;
  CaptureStart start;             // local time of the capture start
  // Version 7: added to the first packet's stamp only (a stale first stamp), microseconds.
  int64_t firstStampShiftUs = 0;
};

Bytes WriteEtherPeek(const std::vector<ScenarioFrame>& frames, const EtherPeekOptions& options);

}  // namespace korvane::tools
