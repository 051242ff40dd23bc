// Sniffer DOS record files, plain or compressed.
#include <algorithm>
#include <array>
#include <cmath>

#include "input/Endian.h"
#include "writers/TraceWriters.h"

namespace korvane::tools {

namespace {

void AppendRecord(Bytes& out, uint16_t type, const Bytes& body) {
  uint8_t header[6];
  PutLe16(header, type);
  PutLe32(header + 2, uint32_t(body.size()));
  out.insert(out.end(), header, header + 6);
  out.insert(out.end(), body.begin(), body.end());
}

// The 40-bit tick count of a time since local midnight, in the file's time unit.
void PutTicks(uint8_t* p, double micros, uint8_t unit) {
  uint64_t ticks = 0;
  switch (unit) {
    case 1: {
      double big = std::floor(micros / 54925.41649846272);
      double low = std::nearbyint((micros - big * 54925.41649846272) / 0.83809534452);
      uint64_t hm = uint64_t(big);
      uint64_t l = uint64_t(std::min(low, 65535.0));
      PutLe16(p, uint16_t(l));
      PutLe16(p + 2, uint16_t(hm & 0xFFFF));
      p[4] = uint8_t(hm >> 16);
      return;
    }
    case 2: ticks = uint64_t(std::nearbyint(micros / 15.0)); break;
    case 3: ticks = uint64_t(std::nearbyint(micros * 2.0)); break;
    case 4: ticks = uint64_t(std::nearbyint(micros / 2.0)); break;
    default: ticks = uint64_t(std::nearbyint(micros)); break;
  }
  PutLe16(p, uint16_t(ticks));
  PutLe16(p + 2, uint16_t(ticks >> 16));
  p[4] = uint8_t(ticks >> 32);
}

Bytes FrameBody(const ScenarioFrame& f, double startMicros, uint8_t unit, uint16_t type) {
  const size_t header = type == 12 ? 34 : 14;
  Bytes body(header, 0);
  PutTicks(body.data(), startMicros + f.timeUs, unit);
  PutLe16(body.data() + 6, uint16_t(f.bytes.size()));
  uint8_t status = 0;
  if (f.status & kStatusCrcError) status |= 0x80;
  if (f.status & kStatusAlignmentError) status |= 0x40;
  body[8] = status;
  PutLe16(body.data() + 10, f.wireLength != f.bytes.size() ? uint16_t(f.wireLength) : 0);
  body.insert(body.end(), f.bytes.begin(), f.bytes.end());
  return body;
}

}  // namespace

Bytes CompressSnifferBlock(const uint8_t* in, size_t n) {
  constexpr size_t kMaxDistance = 15 + 16 * 255 + 3;
  constexpr size_t kMaxRun = 15 + 16 * 255 + 19;
  constexpr size_t kMaxCopy = 255 + 16;
  constexpr int kChain = 16;
  std::vector<int32_t> head(1 << 12, -1), previous(n, -1);
  auto hash = [&](size_t i) { return ((in[i] << 4) ^ (in[i + 1] << 2) ^ in[i + 2]) & 0xFFF; };

  Bytes out;
  size_t flagAt = 0;
  int items = 16;
  auto item = [&](bool command) {
    if (items == 16) {
      flagAt = out.size();
      out.push_back(0);
      out.push_back(0);
      items = 0;
    }
    if (command) {
      uint16_t flags = Le16(out.data() + flagAt);
      PutLe16(out.data() + flagAt, uint16_t(flags | (0x8000 >> items)));
    }
    ++items;
  };
  auto insert = [&](size_t i) {
    if (i + 2 < n) {
      int h = hash(i);
      previous[i] = head[h];
      head[h] = int32_t(i);
    }
  };

  size_t pos = 0;
  while (pos < n) {
    size_t run = 1;
    while (pos + run < n && in[pos + run] == in[pos] && run < kMaxRun) ++run;
    size_t bestLength = 0, bestDistance = 0;
    if (pos + 2 < n) {
      int candidate = head[hash(pos)];
      for (int chain = 0; candidate >= 0 && chain < kChain; ++chain, candidate = previous[candidate]) {
        size_t distance = pos - size_t(candidate);
        if (distance > kMaxDistance) break;
        if (distance < 3) continue;  // the shortest reference reaches three bytes back
        // A copy takes only bytes already in the output: readers refuse one that would
        // run into the bytes it is producing, so it ends at the current position.
        const size_t limit = std::min(kMaxCopy, distance);
        size_t length = 0;
        while (pos + length < n && length < limit && in[candidate + length] == in[pos + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = distance;
        }
      }
    }
    size_t taken;
    if (run >= 3 && run >= bestLength) {
      item(true);
      if (run <= 18) {
        out.push_back(uint8_t(run - 3));
      } else {
        size_t x = run - 19;
        out.push_back(uint8_t(0x10 | (x & 15)));
        out.push_back(uint8_t(x >> 4));
      }
      out.push_back(in[pos]);
      taken = run;
    } else if (bestLength >= 3) {
      size_t d = bestDistance - 3;
      item(true);
      if (bestLength <= 15) {
        out.push_back(uint8_t((bestLength << 4) | (d & 15)));
        out.push_back(uint8_t(d >> 4));
      } else {
        out.push_back(uint8_t(0x20 | (d & 15)));
        out.push_back(uint8_t(d >> 4));
        out.push_back(uint8_t(bestLength - 16));
      }
      taken = bestLength;
    } else {
      item(false);
      out.push_back(in[pos]);
      taken = 1;
    }
    for (size_t i = 0; i < taken; ++i) insert(pos + i);
    pos += taken;
  }
  return out;
}

Bytes CompressSnifferStream(const Bytes& stream, size_t blockInput) {
  // The largest input whose all-literal encoding (one flag word per 16 bytes) still fits
  // the 15 bits of a compressed block's length.
  constexpr size_t kMaxBlockInput = 29120;
  // A stored block's header is read two ways: bit 15 over a 15-bit length, or a negative
  // 16-bit count. Both give the same length only for 16384 bytes, so only blocks of that
  // size are ever stored; any other block is compressed, at worst to literals.
  constexpr size_t kStoredLength = 0x4000;
  blockInput = std::clamp<size_t>(blockInput, 1, kMaxBlockInput);
  Bytes out;
  for (size_t at = 0; at < stream.size(); at += blockInput) {
    size_t length = std::min(blockInput, stream.size() - at);
    Bytes packed = CompressSnifferBlock(stream.data() + at, length);
    uint8_t header[2];
    if (length == kStoredLength && packed.size() >= length) {
      PutLe16(header, uint16_t(0x8000 | length));
      out.insert(out.end(), header, header + 2);
      out.insert(out.end(), stream.begin() + long(at), stream.begin() + long(at + length));
    } else {
      PutLe16(header, uint16_t(packed.size()));
      out.insert(out.end(), header, header + 2);
      out.insert(out.end(), packed.begin(), packed.end());
    }
  }
  return out;
}

Bytes SnifferDosPreamble(const SnifferDosOptions& o) {
  Bytes out;
  const char signature[17] = "TRSNIFF data    ";
  out.insert(out.end(), signature, signature + 16);
  out.push_back(0x1A);
  Bytes version(18, 0);
  PutLe16(version.data(), 4);
  const CaptureStart& s = o.start;
  PutLe16(version.data() + 4, uint16_t((s.hour << 11) | (s.minute << 5) | (s.second / 2)));
  PutLe16(version.data() + 6, uint16_t(((s.year - 1980) << 9) | (s.month << 5) | s.day));
  version[8] = 1;
  version[9] = o.network;
  version[10] = o.compressed ? 2 : 1;  // format: 1 plain records, 2 compressed blocks
  version[11] = o.timeUnit;
  version[12] = o.compressed ? 1 : 0;
  AppendRecord(out, 1, version);
  if (o.interfaceRecord) {
    Bytes body(8, 0);
    PutLe32(body.data(), o.interfaceSpeed);
    PutLe32(body.data() + 4, o.interfaceFraming);
    AppendRecord(out, 7, body);
  }
  return out;
}

void AppendSnifferFrameRecord(Bytes& out, const ScenarioFrame& frame, const SnifferDosOptions& o) {
  uint8_t unit = o.timeUnit;
  if (unit == 0) unit = o.network == 0 ? 1 : 2;
  const CaptureStart& s = o.start;
  const double startMicros = (s.hour * 3600.0 + s.minute * 60.0 + s.second) * 1e6;
  AppendRecord(out, o.frameRecordType, FrameBody(frame, startMicros, unit, o.frameRecordType));
}

Bytes WriteSnifferDos(const std::vector<ScenarioFrame>& frames, const SnifferDosOptions& o) {
  Bytes out = SnifferDosPreamble(o);
  Bytes stream;
  for (size_t i = 0; i < frames.size(); ++i) {
    for (const auto& [before, type, body] : o.extraRecords)
      if (before == i) AppendRecord(stream, type, body);
    AppendSnifferFrameRecord(stream, frames[i], o);
  }
  if (o.endRecord) AppendRecord(stream, 3, {});
  if (o.compressed) {
    Bytes packed = CompressSnifferStream(stream, o.blockInput);
    out.insert(out.end(), packed.begin(), packed.end());
  } else {
    out.insert(out.end(), stream.begin(), stream.end());
  }
  return out;
}

}  // namespace korvane::tools
