// NI Observer buffer files, Ethernet and Token Ring, in the layouts of the file versions.
#include "writers/ObserverWriter.h"

#include <cmath>
#include <cstring>
#include <string>

#include "input/Endian.h"
#include "input/Fcs.h"

namespace korvane::tools {

namespace {
constexpr size_t kHeaderSize = 113;
constexpr size_t kRecordHeaderSize = 44;
}  // namespace

Bytes WriteObserver(const std::vector<ScenarioFrame>& frames, const ObserverOptions& o) {
  Bytes out(kHeaderSize, 0);
  const std::string text = "ObserverPktBufferVersion=" + std::to_string(o.version % 10) + ".00";
  std::memcpy(out.data(), text.data(), text.size());

  const bool ethernet = o.medium == 0;
  const bool withFcs = ethernet && o.version >= 6;
  const double startMs = (o.start.hour * 3600.0 + o.start.minute * 60.0 + o.start.second) * 1000.0;
  size_t previous = 0;  // offset of the record before, whose next offset is still to fill
  for (const ScenarioFrame& f : frames) {
    const size_t at = out.size();
    if (previous != 0) PutLe32(&out[previous + 12], uint32_t(at));
    previous = at;

    Bytes data = f.bytes;
    uint32_t wire = f.wireLength;
    if (withFcs) {
      // The check sequence travels with a whole frame; a sliced one ends before it. A good
      // frame is stored as the wire carried it, padded to the minimum size.
      if (f.wireLength == f.bytes.size()) {
        const bool bad = (f.status & kStatusCrcError) != 0;
        if (!bad && data.size() < 60) {
          wire += uint32_t(60 - data.size());
          data.resize(60, 0);
        }
        uint32_t fcs = Crc32(data.data(), data.size());
        if (f.status & kStatusCrcError) fcs = ~fcs;
        for (int i = 0; i < 4; ++i) data.push_back(uint8_t(fcs >> (8 * i)));
      }
      wire += 4;
    }
    uint8_t r[kRecordHeaderSize] = {};
    PutLe32(r + 20, o.medium);
    PutLe32(r + 28, wire);
    uint32_t flags = 0;
    if (f.status & kStatusCrcError) flags |= 0x2;
    if (f.status & kStatusAlignmentError) flags |= 0x1;
    PutLe32(r + 32, flags);
    PutLe32(r + 36, uint32_t(std::llround(startMs + f.timeUs / 1000.0)));
    PutLe32(r + 40, uint32_t(data.size()));
    out.insert(out.end(), r, r + kRecordHeaderSize);
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), o.gapAfterRecord, uint8_t(0xEE));
  }
  if (previous != 0 && o.lastPointsAtEnd) PutLe32(&out[previous + 12], uint32_t(out.size()));
  return out;
}

}  // namespace korvane::tools
