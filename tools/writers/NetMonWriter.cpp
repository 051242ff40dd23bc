// Microsoft Network Monitor files: header, frames, then the frame table and the comment.
#include "writers/NetMonWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {
constexpr size_t kHeaderSize = 128;

size_t TrailerSize(const NetMonOptions& o) {
  if (o.version != 2 || o.minorVersion == 0) return 0;
  return o.minorVersion == 1 ? 2 : o.minorVersion == 2 ? 6 : 15;
}
}  // namespace

Bytes WriteNetMon(const std::vector<ScenarioFrame>& frames, const NetMonOptions& o) {
  const bool v2 = o.version == 2;
  Bytes out(kHeaderSize, 0);
  std::memcpy(out.data(), v2 ? "GMBU" : "RTSS", 4);
  out[4] = v2 ? o.minorVersion : 1;  // minor, major version
  out[5] = v2 ? 2 : 1;
  PutLe16(&out[6], o.macType);
  if (!o.undated) {
    const CaptureStart& s = o.start;
    const int64_t days = DaysFromCivil(s.year, s.month, s.day);
    const uint16_t fields[8] = {uint16_t(s.year), uint16_t(s.month),
                                uint16_t(((days % 7) + 11) % 7),  // day of week, Sunday 0
                                uint16_t(s.day), uint16_t(s.hour), uint16_t(s.minute), uint16_t(s.second),
                                o.startMillisecond};
    for (int i = 0; i < 8; ++i) PutLe16(&out[8 + 2 * i], fields[i]);
  }

  std::vector<uint32_t> offsets;
  offsets.reserve(frames.size());
  for (const ScenarioFrame& f : frames) {
    offsets.push_back(uint32_t(out.size()));
    uint8_t header[16] = {};
    if (v2) {
      PutLe64(header, uint64_t(std::llround(std::max(0.0, f.timeUs))));
      PutLe32(header + 8, f.wireLength);
      PutLe32(header + 12, uint32_t(f.bytes.size()));
    } else {
      PutLe32(header, uint32_t(std::llround(std::max(0.0, f.timeUs) / 1000.0)));
      PutLe16(header + 4, uint16_t(std::min<uint32_t>(f.wireLength, 0xFFFF)));
      PutLe16(header + 6, uint16_t(std::min<size_t>(f.bytes.size(), 0xFFFF)));
    }
    out.insert(out.end(), header, header + (v2 ? 16 : 8));
    out.insert(out.end(), f.bytes.begin(), f.bytes.end());
    if (size_t trailer = TrailerSize(o)) {
      Bytes t(trailer, 0);
      PutLe16(t.data(), o.macType);
      out.insert(out.end(), t.begin(), t.end());
    }
    out.insert(out.end(), o.gapAfterFrame, uint8_t(0xEE));
  }

  if (o.frameTable) {
    PutLe32(&out[24], uint32_t(out.size()));
    PutLe32(&out[28], uint32_t(offsets.size() * 4));
    for (uint32_t offset : offsets) {
      uint8_t entry[4];
      PutLe32(entry, offset);
      out.insert(out.end(), entry, entry + 4);
    }
  }
  if (!o.comment.empty()) {
    PutLe32(&out[40], uint32_t(out.size()));
    PutLe32(&out[44], uint32_t(o.comment.size()));
    out.insert(out.end(), o.comment.begin(), o.comment.end());
  }
  return out;
}

}  // namespace korvane::tools
