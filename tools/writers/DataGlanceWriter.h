// IBM DataGLANce capture files.
#pragma once
#include <cstdint>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

// How the adapter stamps frames.
enum class DataGlanceClock {
  PcTimer,    // PC-timer ticks since the capture start, block flag bit 5 set
  Coarse,     // Ethernet: 32-ms ticks since the capture start
  TokenRing,  // Token Ring: local seconds and hundredths of a second
};

struct DataGlanceOptions {
  uint8_t medium = 3;        // header offset 130: 3 Ethernet, 2 Token Ring, 1 FDDI
  uint8_t mediumFlags = 0;   // header offset 131
  DataGlanceClock clock = DataGlanceClock::PcTimer;
  CaptureStart start;        // local time of the capture start
  int32_t biasSeconds = 0;   // the writer's time zone bias (universal minus local)
  size_t emptyBlockEvery = 0;  // >0: an empty block after every n-th frame
};

// Ethernet frames are stored with their check sequence (complemented for frames marked
// bad); a sliced frame holds only the captured bytes.
Bytes WriteDataGlance(const std::vector<ScenarioFrame>& frames, const DataGlanceOptions& options);

// Offset in the file of the first block of frame `index` when no empty blocks are written.
size_t DataGlanceBlockOffset(const std::vector<ScenarioFrame>& frames, size_t index, bool ethernet);

}  // namespace korvane::tools
