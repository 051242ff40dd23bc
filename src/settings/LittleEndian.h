// Little-endian fields of the raw values the settings keep (window placements, fonts).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::raw {

inline void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += char((value >> (8 * i)) & 0xFF);
}

inline uint32_t GetU32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | uint8_t(bytes[offset + size_t(i)]);
  return value;
}

}  // namespace korvane::raw
