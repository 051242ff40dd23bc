// LANWatch dump files.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct LanWatchOptions {
  uint8_t version = 4;            // from 4 on the header has 4 more bytes
  bool tokenRing = false;
  CaptureStart start;             // local time of day of the capture start
  // Records without a frame (byte 11 bit 7), written before the frame of each listed index
  // (an index equal to the frame count puts one after the last frame).
  std::vector<size_t> noFrameBefore;
};

Bytes WriteLanWatch(const std::vector<ScenarioFrame>& frames, const LanWatchOptions& options);

// The PC timer reading (high, middle, low 16-bit words) of a time of day in microseconds.
void LanWatchTimer(double microsOfDay, uint16_t& high, uint16_t& middle, uint16_t& low);

}  // namespace korvane::tools
