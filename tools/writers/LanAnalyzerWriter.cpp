#include "writers/LanAnalyzerWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"

namespace korvane::tools {

namespace {

constexpr size_t kDescriptorSize = 32;

void AppendRecord(Bytes& out, uint16_t type, const Bytes& body) {
  uint8_t header[4];
  PutLe16(header, type);
  PutLe16(header + 2, uint16_t(body.size()));
  out.insert(out.end(), header, header + 4);
  out.insert(out.end(), body.begin(), body.end());
}

// A packet record: the descriptor (receive channel, error flags, frame length with the
// check sequence, stored length, 48-bit counter of half microseconds, packet number)
// and the stored bytes, which never include the check sequence.
void AppendPacket(Bytes& out, const ScenarioFrame& f, double baseMicros, uint32_t number) {
  Bytes body(kDescriptorSize, 0);
  PutLe16(body.data(), 1);
  uint16_t errors = 0;
  if (f.status & (kStatusCrcError | kStatusAlignmentError)) errors |= 0x0001;
  PutLe16(body.data() + 2, errors);
  PutLe16(body.data() + 4, uint16_t(f.wireLength + 4));
  PutLe16(body.data() + 6, uint16_t(f.bytes.size()));
  const auto ticks = uint64_t(std::nearbyint((baseMicros + f.timeUs) * 2.0));
  PutLe16(body.data() + 8, uint16_t(ticks));
  PutLe16(body.data() + 10, uint16_t(ticks >> 16));
  PutLe16(body.data() + 12, uint16_t(ticks >> 32));
  PutLe32(body.data() + 14, number);
  body.insert(body.end(), f.bytes.begin(), f.bytes.end());
  AppendRecord(out, 0x1005, body);
}

Bytes Text(size_t size, const char* text) {
  Bytes body(size, 0);
  std::memcpy(body.data(), text, std::min(size, std::strlen(text)));
  return body;
}

}  // namespace

Bytes WriteLanAnalyzer(const std::vector<ScenarioFrame>& frames, const LanAnalyzerOptions& o) {
  Bytes out;
  const CaptureStart& s = o.start;
  AppendRecord(out, o.version2 ? 0x1007 : 0x1001, Text(76, "\x01\x05Korvane trace"));
  AppendRecord(out, 0x1006, Text(128, "Channel1"));
  AppendRecord(out, 0x100B, Text(54, "Trans1"));
  AppendRecord(out, 0x1035, Bytes(144, 0));
  AppendRecord(out, 0x1036, Bytes(54, 0));
  AppendRecord(out, 0x100A, Bytes(266, 0));

  Bytes summary(210, 0);
  for (int at : {0, 4}) {  // creation and closing dates
    summary[size_t(at)] = uint8_t(s.day);
    summary[size_t(at) + 1] = uint8_t(s.month);
    PutLe16(&summary[size_t(at) + 2], uint16_t(s.year));
  }
  summary[8] = uint8_t(s.second);
  summary[9] = uint8_t(s.minute);
  summary[10] = uint8_t(s.hour);
  summary[11] = uint8_t(s.day);
  PutLe16(&summary[28], 1514);
  PutLe32(&summary[30], uint32_t(frames.size()));
  const uint16_t board = o.boardType != 0 ? o.boardType : (o.tokenRing ? 227 : 226);
  PutLe16(&summary[188], board);
  AppendRecord(out, 0x1002, summary);
  AppendRecord(out, 0x1003, Bytes(6, 0));

  const size_t cyclicAt = out.size() + 4;  // body of the cyclic record, patched below
  AppendRecord(out, 0x1009, Bytes(26, 0));
  AppendRecord(out, 0x1004, Bytes(64, 0));
  const size_t bufferStart = out.size();

  const double base = o.countFromMidnight ? (s.hour * 3600.0 + s.minute * 60.0 + s.second) * 1e6 : 0.0;
  const size_t n = frames.size();
  const size_t k = o.version2 && o.wrapFirst < n ? o.wrapFirst : 0;
  for (size_t i = k; i < n; ++i) AppendPacket(out, frames[i], base, uint32_t(i + 1));
  for (size_t i = 0; i < o.staleRecords && n > 0; ++i) {
    ScenarioFrame stale = frames[i % n];
    stale.timeUs = 0;
    AppendPacket(out, stale, base, 0);
  }
  const size_t firstPacket = k > 0 ? out.size() : bufferStart;
  for (size_t i = 0; i < k; ++i) AppendPacket(out, frames[i], base, uint32_t(i + 1));

  const int64_t count = o.cyclicFrameCount >= 0 ? o.cyclicFrameCount : (o.version2 ? int64_t(n) : 0);
  PutLe32(&out[cyclicAt], uint32_t(count));
  if (o.version2) {
    PutLe32(&out[cyclicAt + 4], uint32_t(firstPacket));
    PutLe32(&out[cyclicAt + 12], uint32_t(bufferStart));
    PutLe32(&out[cyclicAt + 16], uint32_t(out.size()));
  }
  return out;
}

}  // namespace korvane::tools
