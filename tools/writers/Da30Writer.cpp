#include "writers/Da30Writer.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"

namespace korvane::tools {

namespace {
constexpr size_t kHeaderSize = 78;
constexpr size_t kDescriptorSize = 28;
}  // namespace

Bytes WriteDa30(const std::vector<ScenarioFrame>& frames, const Da30Options& o) {
  Bytes out(kHeaderSize + o.interfaceGap, 0);
  std::memcpy(out.data(), "EXRS", 4);
  const size_t block = out.size();
  Bytes interface(16 + (o.tokenRing ? 112 : 152), 0);
  PutLe16(&interface[4], o.tokenRing ? 30 : 40);
  out.insert(out.end(), interface.begin(), interface.end());
  out.resize(out.size() + o.recordGap, 0);
  PutLe32(&out[22], uint32_t(block));
  PutLe32(&out[30], uint32_t(out.size()));

  const CaptureStart& s = o.start;
  const double base = (s.hour * 3600.0 + s.minute * 60.0 + s.second) * 1e6;
  for (const ScenarioFrame& f : frames) {
    Bytes data = f.bytes;
    const bool sliced = f.bytes.size() < f.wireLength;
    if (!sliced) {  // the check sequence closes every frame captured whole
      const size_t from = o.tokenRing && !data.empty() ? 1 : 0;  // Token Ring: from the frame control
      uint32_t fcs = Crc32(data.data() + from, data.size() - from);
      if (f.status & (kStatusCrcError | kStatusAlignmentError)) fcs = ~fcs;
      for (int i = 0; i < 4; ++i) data.push_back(uint8_t(fcs >> (8 * i)));
    }
    const size_t padded = (kDescriptorSize + data.size() + 3) / 4 * 4;
    Bytes record(8 + padded, 0);
    PutLe32(&record[0], 1);
    PutLe32(&record[4], uint32_t(record.size() / 4));
    uint8_t* body = &record[8];
    PutLe32(body + 8, (f.status & (kStatusCrcError | kStatusAlignmentError)) ? 0x08 : 0x00);
    const auto units = uint64_t(std::nearbyint((base + f.timeUs) / 32.0));
    PutLe32(body + 16, uint32_t(units));
    PutLe32(body + 24, uint32_t(data.size()));
    std::memcpy(body + kDescriptorSize, data.data(), data.size());
    out.insert(out.end(), record.begin(), record.end());
  }
  if (o.endRecord) out.insert(out.end(), 8, 0);
  return out;
}

}  // namespace korvane::tools
