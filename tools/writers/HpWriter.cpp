// HP Internet Advisor (DOS era) files: a 128-byte header, a group record, frame records.
#include "writers/HpWriter.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {

constexpr size_t kHeaderSize = 128;

void AppendRecord(Bytes& out, const std::string& tag, const Bytes& body) {
  Bytes padded = body;
  padded.resize((body.size() + 3) / 4 * 4, 0);
  uint8_t header[8] = {};
  std::memcpy(header, tag.data(), std::min<size_t>(tag.size(), 4));
  PutLe32(header + 4, uint32_t((8 + padded.size()) / 4));
  out.insert(out.end(), header, header + 8);
  out.insert(out.end(), padded.begin(), padded.end());
}

bool IsTokenRing(uint32_t interfaceCode) { return interfaceCode == 3 || interfaceCode == 4; }

}  // namespace

Bytes WriteHp(const std::vector<ScenarioFrame>& frames, const HpOptions& o) {
  const bool ethernet = !IsTokenRing(o.interfaceCode);
  Bytes out(kHeaderSize, 0);
  std::memcpy(out.data(), "HPDATA0", 7);
  const CaptureStart& s = o.start;
  const int64_t startUnix = DaysFromCivil(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 +
                            s.second + o.biasSeconds;
  PutLe32(out.data() + 12, uint32_t(startUnix));
  PutLe32(out.data() + 24, o.interfaceCode);
  if (o.groupRecord) AppendRecord(out, "GRP0", Bytes(20, 0));

  auto extras = [&](size_t index) {
    for (const auto& [at, tag, body] : o.extraRecords)
      if (at == index) AppendRecord(out, tag, body);
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    extras(i);
    const ScenarioFrame& f = frames[i];
    Bytes data = f.bytes;
    uint32_t wire = f.wireLength;
    const bool sliced = f.bytes.size() < f.wireLength;
    if (ethernet) {
      if (!sliced) {
        uint32_t fcs = Crc32(data.data(), data.size());
        if (f.status & kStatusCrcError) fcs = ~fcs;
        for (int k = 0; k < 4; ++k) data.push_back(uint8_t(fcs >> (8 * k)));
      }
      wire += 4;
    }
    const size_t padded = (data.size() + 7) & ~size_t(3);
    const auto nanos = int64_t(std::llround(f.timeUs * 1000.0));
    Bytes frameHeader(24, 0);
    PutLe16(frameHeader.data() + 8, uint16_t(wire));
    frameHeader[11] = (ethernet && (f.status & kStatusCrcError)) ? o.badFrameStatus : 0;
    PutLe32(frameHeader.data() + 12, uint32_t(data.size()));
    PutLe32(frameHeader.data() + 16, uint32_t(startUnix + nanos / 1000000000));
    PutLe32(frameHeader.data() + 20, uint32_t(nanos % 1000000000));
    Bytes body = frameHeader;
    body.insert(body.end(), data.begin(), data.end());
    body.resize(24 + padded, 0);
    AppendRecord(out, o.frameTag, body);
  }
  extras(frames.size());
  return out;
}

}  // namespace korvane::tools
