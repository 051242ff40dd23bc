// The in-memory result of analysing one trace. The analyser fills it frame by frame;
// every view only reads it afterwards. Counts are 64-bit so that large traces never wrap.
#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

// A raw address: MAC 6 bytes, IP 4, IPX 10 (network then node). Shorter keys that are a
// prefix of longer ones sort first.
struct AddressKey {
  uint8_t length = 0;
  std::array<uint8_t, 10> bytes{};

  static AddressKey From(const uint8_t* data, uint8_t length);
  std::strong_ordering operator<=>(const AddressKey& other) const;
  bool operator==(const AddressKey& other) const { return (*this <=> other) == 0; }
};

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
  int32_t FirstDlcPeer = -1;
  uint16_t Role = 0;
  uint8_t FrameConditions = 0, SentFrameConditions = 0;
  uint16_t SoftErrorKinds = 0;
  uint32_t Categories = 0, SentCategories = 0;
  uint8_t Encapsulations = 0, SentEncapsulations = 0;
  int32_t FirstMacInfo = -1;
};

struct RingStation {
  AddressKey Address;
  uint8_t Flags = 0;  // 0x01 active monitor, 0x02 former active monitor, 0x04 missed poll
  uint8_t Seen = 0;
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
  std::map<AddressKey, StationNode> StationTree;
  std::vector<RingStation> RingStations;  // at most kRingStationCapacity, in ring order
  std::array<uint64_t, 65536 / 64> ServerPortMap{};
  std::array<uint8_t, 1518> FirstFrameCopy{};

  void Reset();
};

// Bytes per second of a line speed in Mbit/s.
int64_t MediaCapacityFor(int32_t lineSpeedMbps);

}  // namespace korvane
