#include "input/SnifferDecompressor.h"

#include "input/Endian.h"

namespace korvane {

bool ExpandSnifferBlock(const uint8_t* in, size_t length, std::vector<uint8_t>& out) {
  out.clear();
  const uint8_t* end = in + length;
  uint16_t flags = 0;
  int itemsLeft = 0;
  auto room = [&](size_t n) { return out.size() + n <= kSnifferMaxBlockOutput; };
  while (in < end) {
    if (itemsLeft == 0) {
      if (end - in < 2) return false;
      flags = Le16(in);
      in += 2;
      itemsLeft = 16;
      if (in == end) break;
    }
    bool command = (flags & 0x8000) != 0;
    flags = uint16_t(flags << 1);
    --itemsLeft;
    if (!command) {
      if (!room(1)) return false;
      out.push_back(*in++);
      continue;
    }
    uint8_t c = *in++;
    unsigned high = c >> 4, low = c & 15u;
    if (high <= 1) {  // runs of one value
      size_t need = high == 0 ? 1 : 2;
      if (size_t(end - in) < need) return false;
      size_t count = high == 0 ? low + 3 : low + 16u * in[0] + 19;
      uint8_t value = in[need - 1];
      in += need;
      if (!room(count)) return false;
      out.insert(out.end(), count, value);
      continue;
    }
    // back references into the block's output
    size_t need = high == 2 ? 2 : 1;
    if (size_t(end - in) < need) return false;
    size_t distance = low + 16u * in[0] + 3;
    size_t count = high == 2 ? size_t(in[1]) + 16 : high;
    in += need;
    if (distance > out.size() || !room(count)) return false;
    size_t from = out.size() - distance;
    for (size_t i = 0; i < count; ++i) out.push_back(out[from + i]);  // overlap repeats
  }
  return true;
}

}  // namespace korvane
