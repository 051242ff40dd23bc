#include "writers/LanWatchWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"

namespace korvane::tools {

namespace {
constexpr double kMicrosPerTick = 54925.41649846272;
constexpr double kMicrosPerCount = 0.83809534452;
constexpr double kMicrosPerDay = 86400000000.0;

void NoFrameRecord(Bytes& out) {
  uint8_t r[12] = {};
  r[11] = 0x80;
  out.insert(out.end(), r, r + 12);
}
}  // namespace

void LanWatchTimer(double micros, uint16_t& high, uint16_t& middle, uint16_t& low) {
  micros -= std::floor(micros / kMicrosPerDay) * kMicrosPerDay;
  const auto ticks = uint32_t(std::floor(micros / kMicrosPerTick));
  const double counts = std::nearbyint((micros - ticks * kMicrosPerTick) / kMicrosPerCount);
  high = uint16_t(ticks >> 16);
  middle = uint16_t(ticks);
  low = uint16_t(std::clamp(counts, 0.0, 65535.0));
}

Bytes WriteLanWatch(const std::vector<ScenarioFrame>& frames, const LanWatchOptions& o) {
  Bytes out(16, 0);
  std::memcpy(out.data(), "PKTDMP", 6);
  out[6] = o.version;
  PutLe16(out.data() + 12, o.tokenRing ? 0x0300 : 0x0000);
  if (o.version >= 4) out.insert(out.end(), 4, 0);
  const double start = (o.start.hour * 3600.0 + o.start.minute * 60.0 + o.start.second) * 1e6;

  for (size_t i = 0; i <= frames.size(); ++i) {
    for (size_t at : o.noFrameBefore)
      if (at == i) NoFrameRecord(out);
    if (i == frames.size()) break;
    const ScenarioFrame& f = frames[i];
    uint8_t r[12] = {};
    PutLe16(r, uint16_t(f.wireLength));
    PutLe16(r + 2, uint16_t(f.bytes.size()));
    uint16_t high, middle, low;
    LanWatchTimer(start + f.timeUs, high, middle, low);
    PutLe16(r + 4, middle);
    PutLe16(r + 6, high);
    PutLe16(r + 8, low);
    if (f.status & kStatusAlignmentError) r[10] |= 0x80;
    if (f.status & kStatusCrcError) r[10] |= 0x02;
    out.insert(out.end(), r, r + 12);
    out.insert(out.end(), f.bytes.begin(), f.bytes.end());
  }
  return out;
}

}  // namespace korvane::tools
