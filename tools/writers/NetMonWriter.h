// Microsoft Network Monitor files, version 1 ("RTSS") and version 2 ("GMBU").
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct NetMonOptions {
  int version = 1;               // 1: 8-byte frame headers in milliseconds; 2: 16-byte, microseconds
  uint8_t minorVersion = 0;      // version 2: from 1 on, every frame is followed by a trailer
                                 // (2 bytes at 2.1, 6 at 2.2, 15 from 2.3 on)
  uint16_t macType = 1;          // 1 Ethernet, 2 Token Ring, 3 FDDI
  CaptureStart start;            // local time of the capture start
  uint16_t startMillisecond = 0;
  bool undated = false;          // the header's start left all zero (year 0)
  std::string comment;           // stored after the frame table; empty: no comment
  size_t gapAfterFrame = 0;      // filler bytes after every frame; the table still finds each one
  bool frameTable = true;        // false: a capture never closed, whose table is missing (offset 0)
};

// Frames are stored without check sequence, as the capturing program stores them; the
// receive status of a frame has no place in the format.
Bytes WriteNetMon(const std::vector<ScenarioFrame>& frames, const NetMonOptions& options);

}  // namespace korvane::tools
