// Digitech LAN900 capture buffers.
#pragma once
#include <cstdint>
#include <tuple>
#include <vector>

#include "writers/TraceWriters.h"

namespace korvane::tools {

struct DigitechOptions {
  uint8_t kind = 5;             // topology bits of every frame record: 5 or 7 Ethernet, 6 Token Ring
  CaptureStart start;           // time of day of the capture start (PC-timer ticks count from midnight)
  size_t framesPerPage = 0;     // >0: at most this many frames on a page (else pages are filled)
  uint32_t pageCount = 0;       // pages the buffer has; 0: the pages used
  uint32_t wrapFirstPage = 0;   // >1: the buffer wrapped (needs pageCount); the oldest frames
                                // start on this page and the newest continue from page 1
  // Records of other types written before the frame of the given index: (index, type, block).
  std::vector<std::tuple<size_t, uint8_t, Bytes>> extraRecords;
};

// Layout facts a test needs to damage a buffer on purpose.
struct DigitechLayout {
  std::vector<uint32_t> pageOfFrame;    // page number of every frame
  std::vector<size_t> offsetOfFrame;    // file offset of every frame record
};

// Frames are stored without a check sequence; the record's frame length counts it.
// Returns an empty buffer when the frames do not fit the page layout asked for.
Bytes WriteDigitech(const std::vector<ScenarioFrame>& frames, const DigitechOptions& options,
                    DigitechLayout* layout = nullptr);

}  // namespace korvane::tools
