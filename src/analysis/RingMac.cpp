// Token Ring MAC frames: soft-error reports and the ring map built from monitor frames.
#include <algorithm>

#include "analysis/FrameAnalyser.h"
#include "input/Endian.h"

namespace korvane {

namespace {
constexpr uint8_t kReportSoftError = 0x29, kActiveMonitorPresent = 0x05, kStandbyMonitorPresent = 0x06;
constexpr uint8_t kRingErrorMonitor[6] = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x08};

// Position in the frame of each soft error counter, in SoftErrorKind order: Abort, AC,
// Burst, Frame copied, Frequency, Internal, Line, Lost frame, Receiver congestion, Token.
constexpr size_t kCounterAt[kSoftErrorKindCount] = {24, 23, 22, 30, 31, 21, 20, 28, 29, 32};
constexpr size_t kReportNaunAt = 42;
constexpr size_t kMonitorNaunAt = 26;

namespace ring_flag {
constexpr uint8_t ActiveMonitor = 0x01, FormerActiveMonitor = 0x02, MissedPoll = 0x04;
}
}  // namespace

void FrameAnalyser::RingErrorMonitorTotals() {
  const uint8_t* d = frame_->Data.data();
  if (d[17] != kReportSoftError || !std::equal(d + 2, d + 8, kRingErrorMonitor)) return;
  for (int kind = 0; kind < kSoftErrorKindCount; ++kind) tables_.SoftErrorTotals[size_t(kind)] += d[kCounterAt[kind]];
}

void FrameAnalyser::AccountMacFrameOfStation(int32_t station) {
  const uint8_t* d = frame_->Data.data();
  const uint8_t command = d[17];
  auto& infos = tables_.MacInfos;
  auto newInfo = [&](const AddressKey& naun) {
    auto at = int32_t(infos.size());
    TMACInfo& info = infos.emplace_back();
    info.Naun = naun;
    info.NaunVendorIndex = vendors_.Lookup(naun.bytes.data());
    return at;
  };

  if (command == kReportSoftError) {
    const AddressKey naun = AddressKey::From(d + kReportNaunAt, 6);
    StationNode& s = tables_.StationTree[station];
    for (int kind = 0; kind < kSoftErrorKindCount; ++kind)
      if (d[kCounterAt[kind]] != 0) s.SoftErrorKinds |= uint16_t(1u << kind);
    int32_t entry = s.FirstMacInfo, last = -1;
    while (entry >= 0 && infos[size_t(entry)].Naun != naun) {
      last = entry;
      entry = infos[size_t(entry)].Next;
    }
    if (entry < 0) {
      entry = newInfo(naun);
      if (last < 0) tables_.StationTree[station].FirstMacInfo = entry;
      else infos[size_t(last)].Next = entry;
    }
    for (int kind = 0; kind < kSoftErrorKindCount; ++kind)
      infos[size_t(entry)].SoftErrors[size_t(kind)] += d[kCounterAt[kind]];
    return;
  }
  if (command != kActiveMonitorPresent && command != kStandbyMonitorPresent) return;

  const AddressKey naun = AddressKey::From(d + kMonitorNaunAt, 6);
  if (tables_.StationTree[station].FirstMacInfo < 0) {
    int32_t entry = newInfo(naun);
    tables_.StationTree[station].FirstMacInfo = entry;
  }
  const bool amp = command == kActiveMonitorPresent;
  const AddressKey& source = tables_.StationTree[station].Address;
  auto& ring = tables_.RingStations;
  if (amp && ring.empty()) {
    ring.push_back({source, ring_flag::ActiveMonitor, 1});
    return;
  }
  if (amp) {  // a new ring poll
    for (RingStation& r : ring) {
      if (r.Seen == 1) r.Seen = 0;
      else r.Flags |= ring_flag::MissedPoll;
    }
  }
  auto at = std::find_if(ring.begin(), ring.end(), [&](const RingStation& r) { return r.Address == source; });
  if (at == ring.end()) {
    // A station is placed right behind its upstream neighbour; one whose neighbour is not
    // on the map yet cannot be placed in ring order and waits for a later poll.
    auto upstream = std::find_if(ring.begin(), ring.end(), [&](const RingStation& r) { return r.Address == naun; });
    if (upstream == ring.end() || ring.size() >= size_t(kRingStationCapacity)) return;
    at = ring.insert(upstream + 1, RingStation{source, 0, 0});
  }
  at->Seen = 1;
  if (amp) {
    at->Flags |= ring_flag::ActiveMonitor;
  } else if (at->Flags & ring_flag::ActiveMonitor) {
    at->Flags = uint8_t((at->Flags & ~ring_flag::ActiveMonitor) | ring_flag::FormerActiveMonitor);
  }
}

}  // namespace korvane
