// Writers of trace files in the formats Korvane reads, for tests, benchmarks and the
// demo traces. Each writer lays a file out the way the capturing analyser would.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scenario/Scenario.h"

namespace korvane::tools {

// Local start of a capture, used by every writer that records absolute time.
struct CaptureStart {
  int year = 2024, month = 3, day = 5;
  int hour = 9, minute = 30, second = 0;
};

struct SnifferDosOptions {
  uint8_t network = 1;        // version body: 0 Token Ring, 1 Ethernet, 7 wide-area ...
  uint8_t timeUnit = 2;       // 0 default, 1 PC timer, 2 15 us, 3 0.5 us, 4 2 us, 5 1 us
  bool compressed = false;
  uint16_t frameRecordType = 4;  // 4, 5 or 12
  bool interfaceRecord = true;   // a type 7 record before the data
  uint32_t interfaceSpeed = 10000000;
  uint32_t interfaceFraming = 0;
  bool endRecord = true;         // a type 3 record after the last frame
  CaptureStart start;
  size_t blockInput = 16384;     // bytes of record stream per compressed block
  // Records of other types written between the frames: (index of the frame before
  // which they go, type, body).
  std::vector<std::tuple<size_t, uint16_t, Bytes>> extraRecords;
};

Bytes WriteSnifferDos(const std::vector<ScenarioFrame>& frames, const SnifferDosOptions& options);
// Pieces of an uncompressed file, for writers that stream frames one at a time:
// the signature, version and interface records, then one frame record per call.
Bytes SnifferDosPreamble(const SnifferDosOptions& options);
void AppendSnifferFrameRecord(Bytes& out, const ScenarioFrame& frame, const SnifferDosOptions& options);

// The block compression of Sniffer DOS bodies: compresses one block of at most 32 KiB.
Bytes CompressSnifferBlock(const uint8_t* data, size_t length);
// Splits a record stream into blocks with headers; a block of 16384 bytes that does not
// compress is stored as it is.
Bytes CompressSnifferStream(const Bytes& stream, size_t blockInput);

struct NetXRayOptions {
  bool version2 = true;           // "002.000" (40-byte record headers) or "001.100"
  uint32_t network = 0;           // 0 Ethernet, 1 Token Ring
  bool ticksType2 = false;        // capture type 2: 1.193181666 ticks per microsecond
  uint32_t lineSpeed = 10;        // raw header value at offset 60
  bool recordsExcludeFcs = true;  // header offset 68
  uint64_t startTicks = 5000000;  // tick count at capture start
  CaptureStart start;             // local time of the start
  int32_t biasSeconds = 0;        // the writer's own time zone bias (universal minus local)
  bool endOffsetAt28 = false;     // leave offset 20 at 0, the end only at 28, as some tools write it
  size_t wrapFirst = 0;           // >0: a wrapped buffer whose oldest frames start at this index
  bool writeFrameCount = true;
};

Bytes WriteNetXRay(const std::vector<ScenarioFrame>& frames, const NetXRayOptions& options);

bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace korvane::tools
