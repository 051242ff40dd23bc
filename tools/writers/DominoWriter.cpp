#include "writers/DominoWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {
constexpr size_t kHeaderSize = 78;
constexpr size_t kEntrySize = 20;

void AppendChunk(Bytes& out, const char* tag, uint32_t value) {
  out.insert(out.end(), tag, tag + 4);
  out.resize(out.size() + 4);
  PutLe32(&out[out.size() - 4], value);
}
}  // namespace

Bytes WriteDomino(const std::vector<ScenarioFrame>& frames, const DominoOptions& o) {
  Bytes out(kHeaderSize, 0);
  std::memcpy(out.data(), "WINC", 4);
  const size_t commentAt = o.linkView ? 5 : 4, commentMax = o.linkView ? 39 : 40;
  if (o.linkView) out[4] = uint8_t(std::min(o.comment.size(), commentMax));
  std::memcpy(&out[commentAt], o.comment.data(), std::min(o.comment.size(), commentMax));
  const CaptureStart& s = o.start;
  if (o.unixStart) {
    const int64_t local = DaysFromCivil(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 + s.second;
    PutLe32(&out[54], uint32_t(local + o.biasSeconds));
  }
  out[58] = uint8_t(s.hour);
  out[59] = uint8_t(s.minute);
  out[60] = uint8_t(s.second);
  PutLe16(&out[62], o.product);
  PutLe16(&out[64], o.interface);

  // Chunks: version, product name, frame index pointer, end. The name and the pointer
  // follow the chunks, then the frame bytes, then the index.
  const size_t chunks = kHeaderSize, nameAt = chunks + 32, pointerAt = nameAt + 16;
  AppendChunk(out, "VERS", 1);
  AppendChunk(out, "NAME", uint32_t(nameAt));
  if (o.stopBeforeFrameIndex) {
    AppendChunk(out, "STOP", 0);
    AppendChunk(out, "FRAM", uint32_t(pointerAt));
  } else {
    AppendChunk(out, "FRAM", uint32_t(pointerAt));
    AppendChunk(out, "STOP", 0);
  }
  Bytes name(16, 0);
  const char* product = o.linkView ? "LinkView PRO" : "Domino";
  std::memcpy(name.data(), product, std::strlen(product));
  out.insert(out.end(), name.begin(), name.end());
  out.resize(out.size() + 4);  // the pointer, patched below

  const bool tokenRing = (o.product == 739 && o.interface == 6) || o.product == 363;
  const bool withoutFcs = o.linkView && o.product == 739 && !tokenRing;
  Bytes index(4, 0);
  PutLe32(index.data(), uint32_t(frames.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    const bool bad = (f.status & (kStatusCrcError | kStatusAlignmentError)) != 0;
    Bytes data = f.bytes;
    uint32_t wire = f.wireLength;
    if (!withoutFcs) {
      wire += 4;
      if (f.bytes.size() >= f.wireLength) {
        const size_t from = tokenRing && !data.empty() ? 1 : 0;
        uint32_t fcs = Crc32(data.data() + from, data.size() - from);
        if (bad) fcs = ~fcs;
        for (int b = 0; b < 4; ++b) data.push_back(uint8_t(fcs >> (8 * b)));
      }
    }
    uint8_t e[kEntrySize] = {};
    PutLe32(e, uint32_t(out.size()));
    PutLe16(e + 4, uint16_t(data.size()));
    PutLe16(e + 6, o.zeroFrameLength && wire == data.size() ? 0 : uint16_t(wire));
    PutLe32(e + 12, uint32_t(std::nearbyint(f.timeUs / 32.0)));
    uint32_t flags = bad ? 0 : 0x08;
    if (i < o.extraFlags.size()) flags |= o.extraFlags[i];
    PutLe32(e + 16, flags);
    index.insert(index.end(), e, e + kEntrySize);
    out.insert(out.end(), data.begin(), data.end());
  }
  PutLe32(&out[pointerAt], uint32_t(out.size()));
  out.insert(out.end(), index.begin(), index.end());
  return out;
}

}  // namespace korvane::tools
