#include "analysis/AnalysisTables.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {
constexpr std::array<std::string_view, kProtocolCategoryCount> kCategoryNames = {
    "Appletalk", "ARP/RARP", "BPDU", "DECnet", "IP", "IPX", "ISO", "LAT", "LAVC",
    "NetBIOS-LLC", "NetBIOS-IP", "NetBIOS-IPX", "SNA", "XNS", "VINES", "MAC", "Other"};
constexpr std::array<std::string_view, kEncapsulationCount> kEncapsulationNames = {
    "Etype", "LLC", "NovRaw", "SNAP", "MAC"};
constexpr std::array<std::string_view, kTransportKindCount> kTransportNames = {
    "ICMP", "IGMP", "GGP", "TCP", "EGP", "UDP", "IGRP", "Unknown", "NCP", "SPX", "SPXII", "NetBIOS",
    "SMB", "RIP", "PBurst", "Echo", "Error", "WAN Bdcast", "SAP", "NetWare Lite", "LIP Echo",
    "Unknown", "Other"};
}  // namespace

std::string_view ProtocolCategoryName(uint8_t c) { return c < kCategoryNames.size() ? kCategoryNames[c] : ""; }
std::string_view EncapsulationName(uint8_t e) {
  return e < kEncapsulationNames.size() ? kEncapsulationNames[e] : "";
}
std::string_view TransportKindName(uint8_t k) {
  return kTransportNames[std::min<size_t>(k, kTransportNames.size() - 1)];
}

std::strong_ordering AddressKey::operator<=>(const AddressKey& other) const {
  size_t common = std::min(length, other.length);
  if (int c = std::memcmp(bytes.data(), other.bytes.data(), common); c != 0)
    return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
  return length <=> other.length;
}

namespace {

// The list emptied, its room kept when no larger than `reserved`, else given back.
template <typename List>
List EmptiedList(List& list, size_t reserved) {
  List kept;
  if (list.capacity() <= reserved) {
    kept = std::move(list);
    kept.clear();
  }
  kept.reserve(reserved);
  return kept;
}

}  // namespace

void AnalysisTables::Reset() {
  int64_t capacity = MediaCapacity;
  RecordList<TDLCPeer> peers = EmptiedList(DlcPeers, kReservedDlcPeers);
  RecordList<TPacket> packets = EmptiedList(PacketList, kReservedPackets);
  KeyedNodes<StationNode> stations = std::move(StationTree);
  KeyedNodes<NetStationNode> netStations = std::move(NetStationTree);
  stations.Clear();
  netStations.Clear();
  *this = AnalysisTables{};
  MediaCapacity = capacity;
  DlcPeers = std::move(peers);
  PacketList = std::move(packets);
  StationTree = std::move(stations);
  NetStationTree = std::move(netStations);
}

int64_t MediaCapacityFor(int32_t lineSpeedMbps) {
  switch (lineSpeedMbps) {
    case 100: return 12500000;
    case 1000: return 125000000;
    case 16: return 2000000;
    case 4: return 500000;
    default: return 1250000;
  }
}

}  // namespace korvane
