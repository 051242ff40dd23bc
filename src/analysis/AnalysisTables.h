// The in-memory result of analysing one trace. The analyser fills it frame by frame;
// every view only reads it afterwards. Counts are 64-bit so that large traces never wrap.
#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <algorithm>
#include <map>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AddressKey.h"
#include "analysis/FlatIndex.h"
#include "analysis/Names.h"
#include "analysis/RecordList.h"

namespace korvane {

inline constexpr int kProtocolCategoryCount = 17;
inline constexpr int kEncapsulationCount = 5;
inline constexpr int kTransportKindCount = 23;
inline constexpr int kSoftErrorKindCount = 10;
inline constexpr int kSizeBucketCount = 72;
inline constexpr int kRingStationCapacity = 280;
inline constexpr double kSampleIntervalMicros = 1000000.0;

namespace category {
inline constexpr uint8_t Appletalk = 0, Arp = 1, Bpdu = 2, Decnet = 3, Ip = 4, Ipx = 5, Iso = 6, Lat = 7,
                         Lavc = 8, NetBiosLlc = 9, NetBiosIp = 10, NetBiosIpx = 11, Sna = 12, Xns = 13,
                         Vines = 14, Mac = 15, Other = 16;
}
namespace encapsulation {
inline constexpr uint8_t Etype = 0, Llc = 1, NovRaw = 2, Snap = 3, Mac = 4;
}

std::string_view ProtocolCategoryName(uint8_t category);
std::string_view EncapsulationName(uint8_t encapsulation);
std::string_view TransportKindName(uint8_t kind);

struct GlobalStats {
  int64_t MinFrameSize = 60000;
  int64_t MaxFrameSize = 0;
  int64_t MaxBroadcastFrameSize = 0;
  int64_t MaxMulticastFrameSize = 0;
  int64_t AverageFrameSize = 0;
  int64_t FramesAnalysed = 0;
  int64_t BroadcastFrames = 0;
  int64_t MulticastFrames = 0;
  int64_t LlcFrames = 0;
  int64_t SnapFrames = 0;
  int64_t EtypeFrames = 0;
  int64_t NovellRawFrames = 0;
  int64_t CrcErrors = 0;
  int64_t Runts = 0;
  int64_t OversizeFrames = 0;
  int64_t Fragments = 0;
};

struct ProtocolStats {
  int64_t Frames = 0;
  int64_t GroupFrames = 0;
  int64_t Bytes = 0;
  uint8_t Encapsulations = 0;  // bit set over Encapsulation
};

struct UtilisationSummary {
  int64_t AverageUtilisation = 0;
  int64_t PeakUtilisation = 0;
  int64_t PeakIntervalBytes = 0;
  int64_t PeakIntervalFrames = 0;
  int64_t AverageGroupUtilisation = 0;
  int64_t PeakBroadcastUtilisation = 0;
  int64_t PeakGroupIntervalBytes = 0;
  int64_t PeakGroupIntervalFrames = 0;
};

struct IntervalAccumulators {
  int64_t Frames = 0;
  int64_t BroadcastFrames = 0;
  int64_t MulticastFrames = 0;
  int64_t Bytes = 0;
  int64_t BroadcastBytes = 0;
  int64_t MulticastBytes = 0;
};

// One MAC station.
struct StationNode {
  AddressKey Address;
  uint16_t VendorIndex = 0;
  int64_t FramesSent = 0, BytesSent = 0, FramesReceived = 0, BytesReceived = 0;
  int64_t GroupFramesSent = 0;
  int64_t ErrorFramesSent = 0;
  int64_t PostCollisionFrames = 0;
  int32_t FirstDlcPeer = -1;  // DlcPeers index, -1 = none
  int32_t LastDlcPeer = -1;   // the chain's end, where the next destination is linked
  uint16_t Role = 0;          // 3 once the station has sent
  uint8_t FrameConditions = 0, SentFrameConditions = 0;
  uint16_t SoftErrorKinds = 0;
  uint32_t Categories = 0, SentCategories = 0;
  uint8_t Encapsulations = 0, SentEncapsulations = 0;
  int32_t FirstMacInfo = -1;  // MacInfos index, -1 = none
};

// One destination of a sending MAC station.
struct TDLCPeer {
  AddressKey DestAddress;
  uint8_t FrameConditions = 0;
  uint8_t Encapsulations = 0;
  uint32_t Categories = 0;
  int64_t Frames = 0, Bytes = 0;
  std::array<int64_t, kEncapsulationCount> FramesByEncapsulation{};
  std::array<int64_t, kProtocolCategoryCount> FramesByCategory{};
  int32_t Next = -1;  // the sender's next destination, -1 = end
};

// Soft errors a Token Ring station reported against one upstream neighbour.
struct TMACInfo {
  AddressKey Naun;
  uint16_t NaunVendorIndex = 0;
  std::array<int64_t, kSoftErrorKindCount> SoftErrors{};
  int32_t Next = -1;
};

// One IP or IPX station.
struct NetStationNode {
  AddressKey Address;
  int32_t MacStation = -1;  // StationTree node of its MAC address when first seen
  int64_t FramesSent = 0, BytesSent = 0, FramesReceived = 0, BytesReceived = 0;
  int32_t FirstNetPeer = -1;  // NetPeers index, -1 = none
  int32_t LastNetPeer = -1;
  uint16_t Role = 0;
  uint32_t TransportKinds = 0, SentTransportKinds = 0;
  uint8_t Category = 0;
};

// One destination of a sending network station.
struct TNetPeer {
  AddressKey DestAddress;
  uint32_t TransportKinds = 0;
  uint8_t LastTtl = 0;
  int32_t FirstStream = -1;  // Streams index
  int32_t LastStream = -1;
  int64_t Frames = 0, Bytes = 0;
  std::array<int64_t, kTransportKindCount> FramesByKind{};
  int32_t Next = -1;
};

// One one-way transport stream of a network peer.
struct TTransHead {
  uint8_t Kind = 0;
  uint16_t SourcePort = 0, DestPort = 0;
  uint16_t MaxWindow = 0;
  int32_t FirstPacket = -1, LastPacket = -1;  // PacketList indexes
  int32_t Next = -1;                          // the peer's next stream
  int32_t Peer = -1;                          // the TNetPeer it belongs to
  int64_t PacketCount = 0, GapMarkers = 0, IcmpReports = 0;
  // Bounds over the stream's TCP segments, so that a segment that cannot repeat an
  // earlier one is known without walking back: the highest sequence end and TTL seen.
  int64_t HighestSequenceEnd = -1;
  uint8_t HighestTtl = 0;
  // What the next packet's gap test needs of the last record, kept here so that the test
  // does not reach back into the packet list.
  bool LastRetransmitted = false;
  uint32_t LastSequence = 0;
  int32_t LastDataLength = 0;
  double LastTimeStamp = 0;
};

namespace packet_flag {
inline constexpr uint32_t Request = 0x1, Reply = 0x2, GroupAddressed = 0x4, NcpRead = 0x8, NcpWrite = 0x10,
                          IcmpReport = 0x20, ZeroWindow = 0x200, SeenViaRouter = 0x400, Retransmission = 0x800,
                          TcpChecksumError = 0x1000, UdpChecksumError = 0x2000, IpChecksumError = 0x4000,
                          FrameError = 0x8000, UnmatchedFragment = 0x20000, TcpReset = 0x40000,
                          ServerBusyReply = 0x80000000u, GapMarker = 0xFFFF0000u;
}
inline bool IsGapMarker(uint32_t flags) { return (flags & packet_flag::GapMarker) == packet_flag::GapMarker; }

// One packet of a stream, or a record standing for missing data or an ICMP report.
struct TPacket {
  double TimeStamp = 0;
  int64_t FrameNumber = 0;
  uint32_t Sequence = 0, Acknowledge = 0;
  uint32_t Flags = 0;
  int32_t Prev = -1, Next = -1;  // Next is linked once the read is over
  uint16_t FrameLength = 0;
  uint16_t NetOffset = 0;
  uint16_t FragmentOffset = 0;
  uint16_t NetLength = 0;
  uint16_t IpId = 0;
  uint16_t Window = 0;
  uint16_t TcpFlags = 0;
  uint16_t Mss = 0;
  uint8_t NetHeaderLength = 0;
  uint8_t TransportHeaderLength = 0;
  uint8_t Ttl = 0;
  uint8_t NcpFunction = 0;
  uint8_t RetransmitDistance = 0;
  int32_t Stream = -1;  // the Streams entry whose chain holds the record (fits the record's padding)
};

struct RingStation {
  AddressKey Address;
  uint8_t Flags = 0;  // 0x01 active monitor, 0x02 former active monitor, 0x04 missed poll
  uint8_t Seen = 0;
};

// Nodes keyed by address: stable indexes, constant-time lookup, ascending-key traversal.
template <class Node>
class KeyedNodes {
 public:
  int32_t Find(const AddressKey& key) const { return index_.Find(key); }
  // Appends a node for a key that is not present.
  int32_t Insert(const AddressKey& key) {
    auto at = int32_t(nodes_.size());
    nodes_.emplace_back().Address = key;
    index_.Insert(key, at);
    return at;
  }
  Node& operator[](int32_t i) { return nodes_[size_t(i)]; }
  const Node& operator[](int32_t i) const { return nodes_[size_t(i)]; }
  size_t size() const { return nodes_.size(); }
  // No nodes; the room made for them is kept.
  void Clear() {
    nodes_.clear();
    index_.Clear();
  }
  // Indexes in ascending key order.
  std::vector<int32_t> InOrder() const {
    std::vector<int32_t> order(nodes_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(i);
    std::sort(order.begin(), order.end(), [this](int32_t a, int32_t b) { return nodes_[a].Address < nodes_[b].Address; });
    return order;
  }

 private:
  std::vector<Node> nodes_;
  FlatIndex<AddressKey, AddressKeyHash> index_;
};

struct AnalysisTables {
  GlobalStats Stats;
  std::array<int64_t, kSizeBucketCount> SizeBuckets{};
  std::array<ProtocolStats, kProtocolCategoryCount> ProtocolTable{};
  std::array<int64_t, kSoftErrorKindCount> SoftErrorTotals{};
  IntervalAccumulators Interval;
  double CumulativeBytes = 0;
  double CumulativeBroadcastBytes = 0;
  double CumulativeMulticastBytes = 0;
  int64_t IntervalCount = 0;
  int64_t MediaCapacity = 1250000;  // bytes per second
  UtilisationSummary Utilisation;
  double TraceElapsed = 0;  // microseconds of capture time covered
  int64_t SourceRoutedFrames = 0;
  int64_t MacFrames = 0;
  int64_t StationCount = 0, SendingStationCount = 0;
  int64_t IpStationCount = 0, IpxStationCount = 0;
  int64_t IpSenderCount = 0, IpxSenderCount = 0;
  KeyedNodes<StationNode> StationTree;
  KeyedNodes<NetStationNode> NetStationTree;
  RecordList<TDLCPeer> DlcPeers;
  std::vector<TMACInfo> MacInfos;
  RecordList<TNetPeer> NetPeers;
  RecordList<TTransHead> Streams;
  RecordList<TPacket> PacketList;
  // The names and the server ports are learned while a frame is decoded, which may be on
  // the reading thread: on cache lines apart from the tables the accounting writes.
  alignas(64) LearnedNames Names;
  alignas(64) std::vector<RingStation> RingStations;  // at most kRingStationCapacity, in ring order
  std::array<uint64_t, 65536 / 64> ServerPortMap{};
  std::array<uint8_t, 1518> FirstFrameCopy{};

  // What a trace starts with: room for this many peers and packets is made at the start
  // and kept from trace to trace, so that a short trace allocates nothing.
  static constexpr size_t kReservedDlcPeers = 5000, kReservedPackets = 80000;

  // Empties every table. The peer and packet lists keep the reserved room (and only that:
  // a long trace's larger lists are given back); the station trees keep theirs.
  void Reset();
};

// Bytes per second of a line speed in Mbit/s.
int64_t MediaCapacityFor(int32_t lineSpeedMbps);

}  // namespace korvane
