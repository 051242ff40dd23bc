// Domino and LinkView PRO capture files: header, chunk headers, frame bytes, frame index.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct DominoOptions {
  bool linkView = false;           // LinkView PRO: product text in the file, comment from offset 5
  uint16_t product = 358;          // 358 Ethernet, 363 Token Ring, 739 either (by interface), 880 ...
  uint16_t interface = 4;          // with product 739: 4 Ethernet, 6 Token Ring
  std::string comment = "Korvane capture";
  CaptureStart start;              // local time of the capture start
  int32_t biasSeconds = 0;         // the writer's time zone bias (universal minus local)
  bool unixStart = true;           // record the start as Unix seconds (0 when false)
  bool zeroFrameLength = true;     // entries of frames captured whole leave the frame length 0
  bool stopBeforeFrameIndex = false;  // a "STOP" chunk before the "FRAM" chunk
  std::vector<uint32_t> extraFlags;   // OR-ed into the entry flags of frame i (direction bits ...)
};

// Frames carry their check sequence, except on LinkView PRO Ethernet with product 739,
// whose frames and lengths leave it out. Good frames have flag bit 3, bad ones neither
// bit 3 nor bit 4. Time stamps count 32 us units from the capture start.
Bytes WriteDomino(const std::vector<ScenarioFrame>& frames, const DominoOptions& options);

}  // namespace korvane::tools
