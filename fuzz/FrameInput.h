// The input of korvane-fuzz-frame, shared by the target and the seed writer.
//
// Byte 0: bit 0 the topology (0 Ethernet, 1 Token Ring), bits 1-2 the line speed
// (kLineSpeeds), kWalkReports: every report that walks the tables is built after the read
// (otherwise only the file summary), kDumpTables: so is the table dump. The rest is split
// on kSeparator into frames, each laid out as
//   flags: kCrc, kAlignment, the direction bits (kDirection),
//          kLength: a 16-bit frame length follows (else the bytes, plus the check
//                   sequence on Ethernet, as every reader makes room for one),
//          kStep:   a signed 32-bit step in microseconds from the previous frame follows
//                   (else 1000 us),
//          kStamp:  a signed 64-bit time stamp in microseconds follows;
//   then the optional fields, big-endian and in that order, and the frame's bytes.
#pragma once
#include <cstdint>
#include <string_view>

namespace korvane::fuzz::frame_input {

inline constexpr std::string_view kSeparator = "KVFR";
inline constexpr int32_t kLineSpeeds[4] = {4, 10, 16, 100};
inline constexpr uint8_t kWalkReports = 0x40, kDumpTables = 0x80;

inline constexpr uint8_t kCrc = 0x80, kAlignment = 0x40, kLength = 0x20, kStep = 0x10, kStamp = 0x08,
                         kDirection = 0x03;

}  // namespace korvane::fuzz::frame_input
