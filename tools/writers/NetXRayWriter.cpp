// NetXRay / Sniffer for Windows files, linear or as a buffer that wrapped.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "writers/TraceWriters.h"

namespace korvane::tools {

namespace {
constexpr size_t kHeaderSize = 128;
constexpr double kType2TicksPerMicro = 1.193181666;

Bytes Record(const ScenarioFrame& f, const NetXRayOptions& o) {
  const size_t headerSize = o.version2 ? 40 : 28;
  Bytes data = f.bytes;
  uint32_t wire = f.wireLength;
  if (!o.recordsExcludeFcs) {  // the record holds the check sequence
    uint32_t fcs = Crc32(data.data(), data.size());
    if (f.status & kStatusCrcError) fcs = ~fcs;
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(fcs >> (8 * i)));
    wire += 4;
  }
  Bytes r(headerSize, 0);
  double micros = f.timeUs;
  double ticks = double(o.startTicks) + (o.ticksType2 ? micros * kType2TicksPerMicro : micros);
  PutLe64(r.data(), uint64_t(std::nearbyint(ticks)));
  PutLe16(r.data() + 8, uint16_t(wire));
  PutLe16(r.data() + 10, uint16_t(data.size()));
  if (f.status & kStatusCrcError) {
    if (o.version2) PutLe32(r.data() + 20, 0x4);
    else r[24] = 1;
  }
  r.insert(r.end(), data.begin(), data.end());
  return r;
}
}  // namespace

Bytes WriteNetXRay(const std::vector<ScenarioFrame>& frames, const NetXRayOptions& o) {
  Bytes out(kHeaderSize, 0);
  std::memcpy(out.data(), "XCP", 4);
  std::memcpy(out.data() + 4, o.version2 ? "002.000" : "001.100", 8);
  const CaptureStart& s = o.start;
  int64_t localSeconds = DaysFromCivil(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 + s.second;
  PutLe32(out.data() + 12, uint32_t(localSeconds + o.biasSeconds));
  if (o.writeFrameCount) PutLe32(out.data() + 16, uint32_t(frames.size()));
  PutLe32(out.data() + 44, o.network);
  PutLe32(out.data() + 48, o.ticksType2 ? 2 : 0);
  PutLe64(out.data() + 52, o.ticksType2 ? uint64_t(std::nearbyint(double(o.startTicks))) : o.startTicks);
  PutLe32(out.data() + 60, o.lineSpeed);
  PutLe32(out.data() + 68, o.recordsExcludeFcs ? 1 : 0);

  // A wrapped buffer: the newest frames [k, n) start at 128 and end at E; the tail of a
  // record they overwrote lies between E and S; the oldest frames [0, k) follow from S to
  // the end of the file. S lies after E, as in a buffer the capture went round (readers
  // that stop on reaching E read nothing when the first record starts at E).
  const size_t k = o.wrapFirst < frames.size() ? o.wrapFirst : 0;
  for (size_t i = k; i < frames.size(); ++i) {
    Bytes r = Record(frames[i], o);
    out.insert(out.end(), r.begin(), r.end());
  }
  const size_t end = out.size();
  if (k > 0) {
    constexpr size_t kOverwrittenTail = 24;
    Bytes lost = Record(frames[k - 1], o);
    out.insert(out.end(), lost.end() - long(std::min(kOverwrittenTail, lost.size())), lost.end());
  }
  const size_t first = k > 0 ? out.size() : kHeaderSize;
  for (size_t i = 0; i < k; ++i) {
    Bytes r = Record(frames[i], o);
    out.insert(out.end(), r.begin(), r.end());
  }
  const size_t endOfData = k > 0 ? end : out.size();
  // The end of the data at 28 as well: other readers take it from there, and without it
  // read to the end of the file and then once more from the first record.
  if (!o.endOffsetAt28) PutLe32(out.data() + 20, uint32_t(endOfData));
  PutLe32(out.data() + 28, uint32_t(endOfData));
  PutLe32(out.data() + 24, uint32_t(first));
  return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

}  // namespace korvane::tools
