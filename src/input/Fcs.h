// The IEEE 802.3 frame check sequence that readers write for Ethernet files which do
// not store one.
#pragma once
#include <cstddef>
#include <cstdint>

namespace korvane {

struct CapturedFrame;

// CRC-32: reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, result complemented.
uint32_t Crc32(const uint8_t* data, size_t length);

// Writes the check sequence into the 4 bytes ending at FrameLength, least significant
// byte first: the CRC of the bytes before them, or 0 when that span is shorter than 60
// or longer than 32767 bytes, or when the frame carries a CRC error, or when `compute`
// is false (nobody reads it).
void WriteFrameCheckSequence(CapturedFrame& frame, bool compute = true);

}  // namespace korvane
