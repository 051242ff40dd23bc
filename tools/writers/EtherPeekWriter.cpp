#include "writers/EtherPeekWriter.h"

#include <algorithm>
#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {
constexpr size_t kFileHeaderSize = 50;

void PutBe64(uint8_t* p, uint64_t v) {
  PutBe32(p, uint32_t(v >> 32));
  PutBe32(p + 4, uint32_t(v));
}

// Seconds from 1904-01-01 to the local capture start.
int64_t StartSince1904(const CaptureStart& s) {
  return (DaysFromCivil(s.year, s.month, s.day) - DaysFromCivil(1904, 1, 1)) * 86400 + s.hour * 3600 +
         s.minute * 60 + s.second;
}
}  // namespace

Bytes WriteEtherPeek(const std::vector<ScenarioFrame>& frames, const EtherPeekOptions& o) {
  Bytes out(kFileHeaderSize, 0);
  const int64_t start = StartSince1904(o.start);
  out[0] = o.version;
  if (o.writePacketCount) PutBe32(out.data() + 6, uint32_t(frames.size()));
  PutBe32(out.data() + 10, uint32_t(start));
  PutBe32(out.data() + 14, uint32_t(start));
  PutBe32(out.data() + 22, o.tokenRing ? 1 : 0);                 // media type
  PutBe32(out.data() + 34, o.tokenRing ? 16000000 : 10000000);   // link speed

  const size_t headerSize = o.version == 7 ? 16 : 26;
  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    Bytes data = f.bytes;
    uint32_t length = f.wireLength;
    const bool withFcs = !o.tokenRing && o.recordsHoldFcs;
    if (withFcs) {
      length += 4;
      if (data.size() >= f.wireLength) {  // the whole frame: its check sequence follows
        uint32_t fcs = Crc32(data.data(), data.size());
        if (f.status & kStatusCrcError) fcs = ~fcs;
        for (int k = 0; k < 4; ++k) data.push_back(uint8_t(fcs >> (8 * k)));
      }
    }
    if (o.sliceLimit > 0 && data.size() > o.sliceLimit) data.resize(o.sliceLimit);
    const bool whole = data.size() >= length;
    const uint32_t slice = whole && o.sliceZeroWhenWhole ? 0 : uint32_t(data.size());

    uint8_t flags = 0;
    if (f.status & kStatusCrcError) flags |= 0x02;
    if (f.status & kStatusAlignmentError) flags |= 0x04;
    Bytes h(headerSize, 0);
    if (o.version == 7) {
      int64_t stamp = start * 1000000 + int64_t(std::llround(f.timeUs));
      if (i == 0) stamp += o.firstStampShiftUs;
      PutBe16(h.data() + 2, uint16_t(length));
      PutBe16(h.data() + 4, uint16_t(slice));
      h[6] = flags;
      h[7] = whole ? 0x00 : 0x20;  // status: sliced
      PutBe64(h.data() + 8, uint64_t(stamp));
    } else {
      PutBe16(h.data(), uint16_t(length));
      PutBe16(h.data() + 2, uint16_t(slice));
      h[4] = flags;
      h[5] = whole ? 0x00 : 0x20;
      PutBe32(h.data() + 6, uint32_t(std::llround(f.timeUs / 1000.0)));  // ms since the capture date
    }
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
  }
  PutBe32(out.data() + 2, uint32_t(out.size()));
  return out;
}

}  // namespace korvane::tools
