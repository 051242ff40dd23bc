#include "PcapWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace korvane::tools {

namespace {

void PutLe32(std::ostream& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  out.write(bytes, sizeof bytes);
}

void PutLe16(std::ostream& out, uint16_t value) {
  const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
  out.write(bytes, sizeof bytes);
}

}  // namespace

void WritePcapHeader(std::ostream& out, uint32_t linkType) {
  PutLe32(out, 0xA1B2C3D4);
  PutLe16(out, 2);
  PutLe16(out, 4);
  PutLe32(out, 0);  // GMT offset
  PutLe32(out, 0);  // timestamp accuracy
  PutLe32(out, kPcapSnapLength);
  PutLe32(out, linkType);
}

void WritePcapRecord(std::ostream& out, const ScenarioFrame& frame, int64_t startEpochUs) {
  const int64_t when = startEpochUs + std::llround(frame.timeUs);
  const auto captured = static_cast<uint32_t>(frame.bytes.size());
  PutLe32(out, static_cast<uint32_t>(when / 1000000));
  PutLe32(out, static_cast<uint32_t>(when % 1000000));
  PutLe32(out, captured);
  PutLe32(out, std::max(frame.wireLength, captured));
  out.write(reinterpret_cast<const char*>(frame.bytes.data()),
            static_cast<std::streamsize>(frame.bytes.size()));
}

bool WritePcap(std::ostream& out, const std::vector<ScenarioFrame>& frames, uint32_t linkType,
               int64_t startEpochUs) {
  WritePcapHeader(out, linkType);
  for (const ScenarioFrame& frame : frames) WritePcapRecord(out, frame, startEpochUs);
  out.flush();
  return static_cast<bool>(out);
}

bool WritePcap(const std::filesystem::path& path, const std::vector<ScenarioFrame>& frames,
               uint32_t linkType, int64_t startEpochUs) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return out && WritePcap(out, frames, linkType, startEpochUs);
}

}  // namespace korvane::tools
