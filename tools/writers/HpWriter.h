// HP Internet Advisor trace files of the DOS era.
#pragma once
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct HpOptions {
  // Header offset 24: 1, 2, 5, 8 Ethernet 10 Mbit/s; 7 Ethernet 100 Mbit/s; 3 Token Ring
  // 4 Mbit/s; 4 Token Ring 16 Mbit/s. Token Ring codes write Token Ring frames.
  uint32_t interfaceCode = 1;
  CaptureStart start;          // local time of the capture start
  int32_t biasSeconds = 0;     // the writer's time zone bias (universal minus local)
  bool groupRecord = true;     // a "GRP0" record before the first frame
  const char* frameTag = "FR50";  // or "FR30"
  uint8_t badFrameStatus = 8;  // status byte of a frame with a bad check sequence (above 7)
  // Records of other tags written before the frame of the given index (the index may
  // equal the frame count: after the last frame). The size is counted from the body.
  std::vector<std::tuple<size_t, std::string, Bytes>> extraRecords;
};

// Ethernet records hold the frame with its check sequence (complemented for frames
// marked bad); a sliced frame holds only the captured bytes.
Bytes WriteHp(const std::vector<ScenarioFrame>& frames, const HpOptions& options);

}  // namespace korvane::tools
