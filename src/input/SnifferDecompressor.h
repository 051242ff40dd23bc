// Block decompression of compressed Sniffer DOS trace bodies.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvane {

inline constexpr size_t kSnifferMaxBlockOutput = 65536;

// Expands one compressed block (the bytes after its 16-bit header) into out, replacing
// its contents. Returns false when the block cannot be decoded: an operand missing at
// the end, a back reference before the start of the block, or output beyond the limit.
bool ExpandSnifferBlock(const uint8_t* in, size_t length, std::vector<uint8_t>& out);

}  // namespace korvane
