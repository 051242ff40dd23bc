#include "writers/SnoopWriter.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {
constexpr size_t kRecordHeaderSize = 24;
constexpr size_t kTrailerSize = 16;
}  // namespace

Bytes WriteSnoop(const std::vector<ScenarioFrame>& frames, const SnoopOptions& o) {
  Bytes out(16, 0);
  std::memcpy(out.data(), "snoop", 5);
  PutBe32(out.data() + 8, o.version);
  PutBe32(out.data() + 12, o.linkType);
  const CaptureStart& s = o.start;
  const int64_t startUnix = DaysFromCivil(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 +
                            s.second + o.biasSeconds;
  const bool tokenRing = o.linkType == 2;
  const size_t align = o.recordAlign == 0 ? 1 : o.recordAlign;

  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    Bytes data = f.bytes;
    uint32_t wire = f.wireLength;
    if (o.shomiti && !tokenRing) {
      const bool whole = data.size() >= f.wireLength;
      if (o.padShortFrames && whole && data.size() < 60) {
        data.resize(60, 0);
        wire = 60;
      }
      wire += 4;
      if (whole) {
        uint32_t fcs = Crc32(data.data(), data.size());
        if (f.status & kStatusCrcError) fcs = ~fcs;
        for (int k = 0; k < 4; ++k) data.push_back(uint8_t(fcs >> (8 * k)));
      }
    }
    size_t recordLength = kRecordHeaderSize + data.size() + (o.shomiti ? kTrailerSize : 0);
    const size_t padding = (align - recordLength % align) % align;
    recordLength += padding;

    const int64_t micros = std::llround(f.timeUs);
    Bytes r(kRecordHeaderSize, 0);
    PutBe32(r.data(), wire);
    PutBe32(r.data() + 4, uint32_t(data.size()));
    PutBe32(r.data() + 8, uint32_t(recordLength));
    PutBe32(r.data() + 16, uint32_t(startUnix + micros / 1000000));
    PutBe32(r.data() + 20, uint32_t(micros % 1000000));
    out.insert(out.end(), r.begin(), r.end());
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), padding, 0);
    if (o.shomiti) {
      uint8_t t[kTrailerSize] = {};
      PutBe16(t, uint16_t(wire));
      // Receive status: good frame, or bad check sequence.
      PutBe16(t + 2, (f.status & kStatusCrcError) ? 0x4002 : 0x0400);
      PutBe32(t + 12, uint32_t(i));
      out.insert(out.end(), t, t + kTrailerSize);
    }
  }
  return out;
}

}  // namespace korvane::tools
