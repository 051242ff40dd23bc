// TTC FireBerd 500 and NetLens/Spider files: a header, then 10-byte record headers each
// followed by the frame bytes.
#include "writers/TtcWriter.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"

namespace korvane::tools {

Bytes WriteTtc(const std::vector<ScenarioFrame>& frames, const TtcOptions& o) {
  const uint32_t count = o.frameCount.value_or(uint32_t(frames.size()));
  Bytes out;
  if (o.netLens) {
    out.assign(26, 0);
    std::memcpy(out.data(), "DSPIDER", 7);
    PutLe32(out.data() + 22, count);
  } else {
    out.assign(76, 0);
    std::memcpy(out.data(), "ProbeApps FB500", 15);
    PutLe32(out.data() + 72, count);
  }
  const CaptureStart& s = o.start;
  const double startMillis = (s.hour * 3600.0 + s.minute * 60.0 + s.second) * 1000.0;
  for (const ScenarioFrame& f : frames) {
    uint8_t r[10] = {};
    PutLe16(r, uint16_t(f.bytes.size()));
    uint16_t flags = 0;
    if (!o.tokenRing && (f.status & kStatusCrcError)) flags |= 0x0800;
    if (!o.tokenRing && (f.status & kStatusAlignmentError)) flags |= 0x0400;
    PutLe16(r + 2, flags);
    PutLe32(r + 6, uint32_t(std::llround(startMillis + f.timeUs / 1000.0)));
    out.insert(out.end(), r, r + 10);
    out.insert(out.end(), f.bytes.begin(), f.bytes.end());
  }
  return out;
}

}  // namespace korvane::tools
