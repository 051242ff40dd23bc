// Classic libpcap file output for scenario frames.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

#include "Scenario.h"

namespace korvane::tools {

constexpr uint32_t kLinkTypeEthernet = 1;
constexpr uint32_t kLinkTypeTokenRing = 6;  // IEEE 802.5
constexpr uint32_t kPcapSnapLength = 65535;

// 2024-03-05 09:30:00 UTC, in microseconds since the Unix epoch.
constexpr int64_t kDefaultCaptureStartUs = int64_t{1709631000} * 1000000;

// The 24-byte global header: magic A1B2C3D4 (written little-endian),
// version 2.4, zone 0, sigfigs 0, snap length 65535, the given link type.
void WritePcapHeader(std::ostream& out, uint32_t linkType);

// One record: timestamp = start + frame.timeUs (rounded to the microsecond),
// captured length = bytes.size(), original length = wireLength (never less
// than the captured length). Receive-status bits have no place in the format.
void WritePcapRecord(std::ostream& out, const ScenarioFrame& frame,
                     int64_t startEpochUs = kDefaultCaptureStartUs);

bool WritePcap(std::ostream& out, const std::vector<ScenarioFrame>& frames, uint32_t linkType,
               int64_t startEpochUs = kDefaultCaptureStartUs);
bool WritePcap(const std::filesystem::path& path, const std::vector<ScenarioFrame>& frames,
               uint32_t linkType, int64_t startEpochUs = kDefaultCaptureStartUs);

}  // namespace korvane::tools
