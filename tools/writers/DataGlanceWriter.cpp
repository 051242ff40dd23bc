// IBM DataGLANce files: a 512-byte header, then every frame in 128-byte blocks.
#include "writers/DataGlanceWriter.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"

namespace korvane::tools {

namespace {

constexpr size_t kHeaderSize = 512;
constexpr size_t kBlockSize = 128;
constexpr size_t kBlockData = 88;
constexpr size_t kBlockDataOffset = 40;
constexpr double kPcTimerMicros = 0.83809534452;

Bytes StoredBytes(const ScenarioFrame& f, bool ethernet) {
  Bytes data = f.bytes;
  if (ethernet && f.bytes.size() >= f.wireLength) {
    uint32_t fcs = Crc32(data.data(), data.size());
    if (f.status & kStatusCrcError) fcs = ~fcs;
    for (int k = 0; k < 4; ++k) data.push_back(uint8_t(fcs >> (8 * k)));
  }
  return data;
}

// The first block and (stored length + 1) / 88 continuation blocks.
size_t BlockCount(size_t stored) { return 1 + (stored + 1) / kBlockData; }

void PutTicks(uint8_t* block, uint64_t ticks) {
  PutLe16(block + 6, uint16_t(ticks >> 32));  // A
  PutLe16(block + 10, uint16_t(ticks >> 16));  // C
  PutLe16(block + 8, uint16_t(ticks));  // B
}

}  // namespace

size_t DataGlanceBlockOffset(const std::vector<ScenarioFrame>& frames, size_t index, bool ethernet) {
  size_t offset = kHeaderSize;
  for (size_t i = 0; i < index; ++i) offset += BlockCount(StoredBytes(frames[i], ethernet).size()) * kBlockSize;
  return offset;
}

Bytes WriteDataGlance(const std::vector<ScenarioFrame>& frames, const DataGlanceOptions& o) {
  const bool ethernet = o.medium == 3;
  Bytes out(kHeaderSize, 0);
  std::memcpy(out.data(), "DataGLANce capture", 18);
  out[130] = o.medium;
  out[131] = o.mediumFlags;
  const CaptureStart& s = o.start;
  const int64_t localDays = DaysFromCivil(s.year, s.month, s.day);
  const int64_t secondOfDay = s.hour * 3600 + s.minute * 60 + s.second;
  PutLe32(out.data() + 144, uint32_t(localDays * 86400 + secondOfDay + o.biasSeconds));

  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    const Bytes data = StoredBytes(f, ethernet);
    const size_t blocks = BlockCount(data.size());
    Bytes area(blocks * kBlockSize, 0);
    uint8_t* first = area.data();
    first[0] = o.clock == DataGlanceClock::PcTimer ? 0x21 : 0x01;
    uint8_t status = 0;
    if (ethernet && (f.status & kStatusCrcError)) status |= 0x02;
    if (ethernet && (f.status & kStatusAlignmentError)) status |= 0x04;
    first[1] = status;
    PutLe16(first + 2, uint16_t(data.size()));
    PutLe16(first + 4, uint16_t(f.wireLength + (ethernet ? 4 : 0)));
    switch (o.clock) {
      case DataGlanceClock::PcTimer: PutTicks(first, uint64_t(std::llround(f.timeUs / kPcTimerMicros))); break;
      case DataGlanceClock::Coarse: PutTicks(first, uint64_t(std::llround(f.timeUs / 32000.0))); break;
      case DataGlanceClock::TokenRing: {
        const auto centis = int64_t(std::floor(f.timeUs / 10000.0));
        const uint64_t seconds = uint64_t(localDays * 86400 + secondOfDay + centis / 100);
        PutLe16(first + 6, uint16_t(centis % 100));  // A: hundredths
        PutLe16(first + 10, uint16_t(seconds >> 16));  // C
        PutLe16(first + 8, uint16_t(seconds));  // B
        break;
      }
    }
    for (size_t k = 0; k < blocks; ++k) {
      const size_t from = k * kBlockData;
      if (from >= data.size()) break;
      const size_t n = std::min(kBlockData, data.size() - from);
      std::memcpy(area.data() + k * kBlockSize + kBlockDataOffset, data.data() + from, n);
    }
    out.insert(out.end(), area.begin(), area.end());
    if (o.emptyBlockEvery > 0 && (i + 1) % o.emptyBlockEvery == 0) out.resize(out.size() + kBlockSize, 0);
  }
  return out;
}

}  // namespace korvane::tools
