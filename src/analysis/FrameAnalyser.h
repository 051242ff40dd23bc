// The analysis engine's entry: decodes each frame the reader hands over and accumulates
// the analysis tables.
#pragma once
#include <array>
#include <cstdint>

#include "analysis/AnalysisTables.h"
#include "analysis/Names.h"
#include "input/ReadLoop.h"
#include "input/TraceTypes.h"

namespace korvane {

uint8_t EtherTypeCategory(uint16_t type, const CapturedFrame& frame, uint32_t netOffset);
uint8_t SapCategory(uint8_t dsap, const CapturedFrame& frame, uint32_t netOffset);
bool IsGroupAddress(const AddressKey& key, uint8_t topologyCode);

// Rounds to the nearest integer, ties to even.
double RoundEven(double value);

// The network and transport view of one IP or IPX frame.
struct PacketInfo {
  AddressKey SourceNet, DestNet;
  uint8_t Kind = 0;
  uint16_t SourcePort = 0, DestPort = 0;
  uint8_t NetHeaderLength = 0;
  uint16_t NetLength = 0;
  uint16_t IpId = 0;
  uint16_t FragmentOffset = 0;
  uint8_t Ttl = 0;
  uint8_t TransportHeaderLength = 0;
  uint32_t Sequence = 0, Acknowledge = 0;
  uint16_t Window = 0;
  uint16_t TcpFlags = 0;
  uint16_t Mss = 0;
  uint8_t NcpFunction = 0;
  uint8_t IcmpType = 0;
  uint32_t Flags = 0;
  // A packet-burst packet: the burst header's last byte, 0 when the frame ends before it.
  uint8_t BurstLastByte = 0;
  // An ICMP error report that holds a reported TCP or UDP datagram's IP header and ports:
  // that datagram's IP ID (its stream is PacketRecords::ReportedStream).
  uint16_t InnerIpId = 0;
};

// Which records a packet's accounting works on: its network stations, its conversation
// (peer) and its stream, numbered in the order the accounting meets them. The decoding
// half numbers them (so that the lookups in the flow index, a cache miss a frame on a long
// trace, run beside the reader), and the accounting makes the records marked new
// (FrameFacts::NewRecords).
struct PacketRecords {
  int32_t SourceStation = -1, DestStation = -1;  // NetStationTree
  int32_t Peer = -1;                             // NetPeers
  int32_t Stream = -1;                           // Streams
  // An ICMP error report: the stream of the datagram it reports, -1 when none was met.
  int32_t ReportedStream = -1;
};
namespace new_record {
inline constexpr uint8_t SourceStation = 0x01, DestStation = 0x02, Peer = 0x04, Stream = 0x08;
}

// What the accounting takes from one frame: all that its bytes say, read by the decoding
// half. The accounting half works from this alone (Token Ring MAC frames excepted), so
// that the decoding may run on the reading thread, ahead of the accounting.
struct FrameFacts {
  double TimeStamp = 0;
  uint16_t FrameLength = 0;
  uint16_t Status = 0;  // an alignment error counts as a CRC error too
  AddressKey Source, Destination;
  uint8_t Category = category::Other;
  uint8_t Encapsulation = 0;
  uint8_t Condition = 3;
  bool GroupAddressed = false, Broadcast = false;
  bool SourceRouted = false;  // Token Ring
  bool HasPacket = false;     // Packet holds an IP or IPX packet
  uint8_t NewRecords = 0;     // which of Records the packet makes (new_record bits)
  uint16_t NetOffset = 0;     // 1-based offset of the network header; 0 when there is none
  PacketInfo Packet;
  PacketRecords Records;  // HasPacket: the packet's records
};
// Two cache lines a frame on the way from the reading thread to the accounting one.
static_assert(sizeof(FrameFacts) <= 128);

namespace transport {
inline constexpr uint8_t Icmp = 0, Igmp = 1, Ggp = 2, Tcp = 3, Egp = 4, Udp = 5, Igrp = 6, IpUnknown = 7, Ncp = 8,
                         Spx = 9, SpxII = 10, NetBios = 11, Smb = 12, Rip = 13, PBurst = 14, Echo = 15, Error = 16,
                         WanBroadcast = 17, Sap = 18, NetWareLite = 19, LipEcho = 20, IpxUnknown = 21;
}

class FrameAnalyser final : public FrameSink {
 public:
  FrameAnalyser(TraceFileInfo& info, CapturedFrame& frame, AnalysisTables& tables, ReadProgress& progress,
                const VendorTable& vendors, const PortNames& ports)
      : info_(info), ownFrame_(frame), tables_(tables), progress_(progress), vendors_(vendors), ports_(ports),
        frame_(&frame) {}

  void BeginTrace(bool firstFrameOnly) override;
  uint8_t AnalyseFrame(CapturedFrame& frame, int64_t frameNumber) override;
  // Frames come from the read loop's own buffers, on a thread of its choosing.
  bool TakesFramesFromAnotherThread() const override { return true; }
  // An Ethernet trace read whole is decoded and accounted in two halves joined by a
  // FrameFacts record; a Token Ring trace is not (its MAC frames are accounted from the
  // frame's bytes).
  size_t SplitRecordBytes() const override;
  bool ReadsCheckSequences() const override { return false; }
  void DecodeInto(const CapturedFrame& frame, void* record) override;
  uint8_t AccountRecord(const void* record, int64_t frameNumber) override;
  // Analyses the frame in the buffer given at construction as the next frame, the caller
  // standing in for the read loop (frames built by hand).
  uint8_t FeedFrame(int64_t& frameCounter);
  void EndTrace(bool fullRead) override;

  void AdvanceClock(int64_t frameCounter);
  void CloseInterval();

  int64_t LastFragmentFrame() const { return lastFragmentFrame_; }
  // The end-of-file pass: client and server once more from the learned server ports. Per
  // stream, the mark its records take (packet_flag::Request or packet_flag::Reply), or 0
  // to leave them as the read marked them; the packet layout applies them.
  std::vector<uint8_t> ServerPortMarks() const;
  // Where the capturing analysers' name files are read from before each full read.
  void SetNameFiles(const NameFileLocations* where) { nameFiles_ = where; }
  // Whether the end of the read lays the packet records out stream by stream, links them
  // forward and marks requests and replies from the learned server ports: what every walk
  // along a stream needs (the conversation tools, the client/server grid, the packet
  // views). A caller that shows only the tables and counters (the command line's File
  // Summary) leaves it out; every table and counter is the same either way.
  void SetStreamWalks(bool wanted) { streamWalks_ = wanted; }

 private:
  // The decoding half: reads the frame's bytes into `f` and learns names from them; touches
  // no table but the names and the server ports.
  void DecodeFrame(const CapturedFrame& frame, FrameFacts& f);
  void DecodeEthernet(FrameFacts& f);
  void DecodeTokenRing(FrameFacts& f);
  // The accounting half.
  uint8_t AccountFrame(const FrameFacts& f, int64_t frameCounter);
  void CountGroup(bool broadcast);
  void CountEthernet(int64_t frameCounter);
  void CountTokenRing();
  // Station and conversation accounting.
  void AccountMacFrame(int64_t frameCounter);
  int32_t FindOrAddStation(const AddressKey& key, bool sender);
  void AccountPacket(const PacketInfo& p, int64_t frameCounter);
  int32_t NetStation(const AddressKey& key, int32_t at, bool added, bool sender, int32_t macStation);
  int32_t NewStream(const PacketInfo& p, int32_t peer);
  void AccountPendingPeers();
  void CheckEarlierPackets(const PacketInfo& p, int32_t record, TTransHead& stream);
  void InsertIcmpReport(const PacketInfo& p, int32_t stream, int64_t frameCounter);
  // The decoding half's part of the accounting: numbers the packet's records (f.Records).
  void NumberPacket(FrameFacts& f);
  // Token Ring MAC frames.
  void RingErrorMonitorTotals();
  void AccountMacFrameOfStation(int32_t station);
  // Network and transport decoding.
  void DecodeNetwork(FrameFacts& f);
  bool DecodeIp(PacketInfo& p, uint32_t ip);
  bool DecodeIpx(PacketInfo& p, uint32_t ipx, const AddressKey& sender);
  size_t Available(size_t offset) const;

  TraceFileInfo& info_;
  CapturedFrame& ownFrame_;
  AnalysisTables& tables_;
  ReadProgress& progress_;
  const VendorTable& vendors_;
  const PortNames& ports_;
  const NameFileLocations* nameFiles_ = nullptr;
  bool streamWalks_ = true;

  // The frame being accounted, and the record the in-turn read decodes into.
  const FrameFacts* facts_ = nullptr;
  FrameFacts ownFacts_;
  bool tokenRing_ = false;  // the topology, as the read began

  // Carried from frame to frame.
  int64_t lastFragmentFrame_ = -2;
  double previousTime_ = 0;
  double lastSampleTime_ = 0;
  int32_t sourceStation_ = -1, destinationStation_ = -1;
  // The frame's DLC and network peers, counted once the rest of the frame is done
  // (AccountPendingPeers), so that fetching their records overlaps that work.
  struct PendingDlcPeer {
    int32_t peer = -1;
    uint8_t category = 0, encapsulation = 0, condition = 0;
  };
  struct PendingNetPeer {
    int32_t peer = -1;
    uint8_t kind = 0, kindSlot = 0, ttl = 0;
  };
  PendingDlcPeer pendingDlcPeer_;
  PendingNetPeer pendingNetPeer_;

  // Lookup accelerators beside the chains: the DLC peer by (sender, destination) here, the
  // network records by the decoding half's numbering below. The chains keep first-seen
  // order; these keep lookups constant-time.
  struct PairKey {
    int32_t owner = -1;
    AddressKey key;
    bool operator==(const PairKey& o) const { return owner == o.owner && key == o.key; }
  };
  struct PairKeyHash {
    size_t operator()(const PairKey& k) const noexcept { return AddressKeyHash{}(k.key) ^ MixBits(uint64_t(k.owner)); }
  };
  struct FlowKey {
    uint64_t stations = 0;  // sending station << 32 | receiving station
    uint64_t ports = 0;     // StreamPortsKey
    bool operator==(const FlowKey& o) const { return stations == o.stations && ports == o.ports; }
  };
  struct FlowKeyHash {
    size_t operator()(const FlowKey& k) const noexcept { return MixBits(k.stations + k.ports * 0x9E3779B97F4A7C15ull); }
  };
  static FlowKey MakeFlowKey(int32_t source, int32_t destination, uint8_t kind, uint16_t sourcePort,
                             uint16_t destPort);
  FlatIndex<PairKey, PairKeyHash> dlcPeerIndex_;

  // The decoding half's own state, on cache lines of its own: with the halves on two
  // threads, it is written on the reading thread for every frame.
  struct IpIdEntry {
    uint16_t ipId = 0, sourcePort = 0, destPort = 0;
    bool used = false;
  };
  alignas(64) const CapturedFrame* frame_;  // the frame being decoded
  std::array<IpIdEntry, 32> ipIdCache_{};
  size_t ipIdPosition_ = 0;
  // An ICMP error report's reported datagram: protocol (6 or 17; 0 when none), addresses, ports.
  struct ReportedDatagram {
    uint8_t protocol = 0;
    std::array<uint8_t, 4> source{}, destination{};
    uint16_t sourcePort = 0, destPort = 0;
  };
  ReportedDatagram reported_;
  // The numbering of the packets' records: network stations by address, peers by (sending
  // station, destination address), and flows (sending and receiving station, kind, ports)
  // by their peer and stream at once, so that a packet of a known flow takes one probe.
  FlatIndex<AddressKey, AddressKeyHash> netStationNumbers_;
  FlatIndex<PairKey, PairKeyHash> netPeerIndex_;
  FlatIndex<FlowKey, FlowKeyHash, int64_t> flowIndex_;  // peer << 32 | stream
  int32_t netStationsNumbered_ = 0, peersNumbered_ = 0, streamsNumbered_ = 0;
  alignas(64) char endOfDecodingState_ = 0;
};

// What tells a peer's streams apart: port-addressed kinds by their ports (TCP and UDP each
// in their own space, the IPX kinds addressed by connection in one shared space).
uint64_t StreamPortsKey(uint8_t kind, uint16_t sourcePort, uint16_t destPort);

// The key under which a stream of a peer is found.
uint64_t StreamKey(int32_t peer, uint8_t kind, uint16_t sourcePort, uint16_t destPort);

}  // namespace korvane
