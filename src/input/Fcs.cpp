#include "input/Fcs.h"

#include <array>

#include "input/Endian.h"
#include "input/TraceTypes.h"

namespace korvane {

namespace {
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (size_t s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = MakeTables();
}  // namespace

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  while (n >= 8) {  // slicing by eight
    uint32_t lo = Le32(p) ^ c;
    uint32_t hi = Le32(p + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

void WriteFrameCheckSequence(CapturedFrame& frame) {
  if (frame.FrameLength < 4) return;
  size_t span = size_t(frame.FrameLength) - 4;
  uint32_t fcs = 0;
  if (span >= 60 && span <= 32767 && (frame.Status & kCrcError) == 0) fcs = Crc32(frame.Data.data(), span);
  PutLe32(frame.Data.data() + span, fcs);
}

}  // namespace korvane
