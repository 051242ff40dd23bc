// Test helpers for the conversation tools: stream pairs built record by record in an
// AnalysisTables, and a feeder that runs hand-made frames through the real analyser.
#pragma once
#include <cstring>
#include <limits>

#include "analysis/FrameAnalyser.h"
#include "analysis/TraceSession.h"
#include "measure/ConversationMeasurement.h"
#include "measure/TableChains.h"
#include "scenario/PacketBuilder.h"

namespace korvane::test {

inline constexpr uint16_t kFin = 0x01, kSyn = 0x02, kRst = 0x04, kPsh = 0x08, kAckFlag = 0x10;

// Two stations A (the selected source) and B, A's conversation to B and B's back, with
// streams added as a test needs them.
class StreamPairBuilder {
 public:
  explicit StreamPairBuilder(bool ipx = false) {
    const uint8_t ipA[4] = {10, 0, 0, 1}, ipB[4] = {10, 0, 0, 2};
    const uint8_t ipxA[10] = {0, 0, 0, 0x22, 0, 0, 0x0C, 0, 0, 0x0A}, ipxB[10] = {0, 0, 0, 0x22, 0, 0, 0x0C, 0, 0, 0x0B};
    s.info.TopologyCode = topology::Ethernet;
    a = Station(ipx ? AddressKey::From(ipxA, 10) : AddressKey::From(ipA, 4));
    b = Station(ipx ? AddressKey::From(ipxB, 10) : AddressKey::From(ipB, 4));
    ab = Peer(a, b);
  }

  int32_t Station(const AddressKey& key) { return chains.Station(key); }
  int32_t Peer(int32_t from, int32_t to) { return chains.Peer(from, to); }
  // B's conversation back to A, made on first use.
  int32_t Back() {
    if (ba < 0) ba = Peer(b, a);
    return ba;
  }
  int32_t Stream(int32_t peer, uint8_t kind, uint16_t sourcePort = 0, uint16_t destPort = 0) {
    return chains.Stream(peer, kind, sourcePort, destPort);
  }
  // The usual pair: A 1030 -> B 80 and back.
  void TcpPair() {
    forward = Stream(ab, transport::Tcp, 1030, 80);
    reverse = Stream(Back(), transport::Tcp, 80, 1030);
  }

  // Appends a record to a stream's chain and returns its PacketList index.
  int32_t Add(int32_t stream, TPacket p) { return chains.Add(stream, p); }

  static TPacket Tcp(int64_t frame, double timeUs, uint32_t seq, uint32_t ack, uint16_t flags, uint16_t payload = 0,
                     uint16_t window = 8760) {
    TPacket p;
    p.FrameNumber = frame;
    p.TimeStamp = timeUs;
    p.Sequence = seq;
    p.Acknowledge = ack;
    p.TcpFlags = flags;
    p.Window = window;
    p.NetHeaderLength = 20;
    p.TransportHeaderLength = 20;
    p.NetLength = uint16_t(40 + payload);
    p.FrameLength = uint16_t(std::max(64, 58 + payload));
    p.Ttl = 64;
    return p;
  }
  static TPacket Plain(int64_t frame, double timeUs, uint16_t frameLength = 100) {
    TPacket p;
    p.FrameNumber = frame;
    p.TimeStamp = timeUs;
    p.FrameLength = frameLength;
    p.NetHeaderLength = 20;
    p.NetLength = uint16_t(frameLength - 18);
    p.Ttl = 64;
    return p;
  }

  MeasurementSelection Selection(int64_t start = 1, int64_t end = std::numeric_limits<int32_t>::max()) const {
    MeasurementSelection m;
    m.SourceStation = a;
    m.ForwardConversation = ab;
    m.ForwardStream = forward;
    m.DestinationStation = b;
    m.ReverseConversation = ba;
    m.ReverseStream = reverse;
    m.StartFrame = start;
    m.EndFrame = end;
    m.SourceText = "10.0.0.1";
    m.DestinationText = "10.0.0.2";
    m.AppText = "TCP/1030<->http";
    return m;
  }

  TraceSession s;
  testing::TableChains chains{s};
  int32_t a = -1, b = -1, ab = -1, ba = -1;
  int32_t forward = -1, reverse = -1;
};

// Runs hand-made Ethernet frames through the analyser, 1 ms apart unless told otherwise.
class FrameFeeder {
 public:
  FrameFeeder() {
    s.info.TopologyCode = topology::Ethernet;
    s.info.DetectedFormat = fmt_id::SnifferDos;
    s.analyser.BeginTrace(false);
  }
  void Frame(const tools::Bytes& bytes, double gapUs = 1000) {
    CapturedFrame& f = *s.frame;
    f.Data.fill(0);
    std::memcpy(f.Data.data(), bytes.data(), bytes.size());
    f.FrameLength = f.StoredLength = uint16_t(bytes.size() + 4);
    f.Status = 0;
    f.TimeStamp = time += gapUs;
    s.analyser.FeedFrame(s.info.FrameCounter);
    ended_ = false;
  }
  void Tcp(const tools::Ip4& src, const tools::Ip4& dst, tools::TcpFields fields, size_t payload,
           double gapUs = 1000, uint8_t ttl = 64, uint16_t id = 1) {
    using namespace tools;
    Frame(EthernetFrame(kMacB, kMacA, kEtherTypeIpv4,
                        Ipv4Packet(src, dst, kIpProtoTcp, ttl, id, 0, TcpSegment(src, dst, fields, Bytes(payload, 'x')))),
          gapUs);
  }
  void End() {
    s.analyser.EndTrace(true);
    ended_ = true;
  }

  // The selection of the stream from src:sp to dst:dp, the read ended first.
  MeasurementSelection Select(const tools::Ip4& src, const tools::Ip4& dst, uint8_t kind, uint16_t sp,
                              uint16_t dp) {
    if (!ended_) End();
    MeasurementSelection m;
    const auto& t = s.tables;
    m.SourceStation = t.NetStationTree.Find(AddressKey::From(src.data(), 4));
    const AddressKey to = AddressKey::From(dst.data(), 4);
    for (int32_t p = m.SourceStation >= 0 ? t.NetStationTree[m.SourceStation].FirstNetPeer : -1; p >= 0;
         p = t.NetPeers[size_t(p)].Next) {
      if (t.NetPeers[size_t(p)].DestAddress != to) continue;
      m.ForwardConversation = p;
      for (int32_t k = t.NetPeers[size_t(p)].FirstStream; k >= 0; k = t.Streams[size_t(k)].Next) {
        const TTransHead& h = t.Streams[size_t(k)];
        if (h.Kind == kind && h.SourcePort == sp && h.DestPort == dp) m.ForwardStream = k;
      }
    }
    m.StartFrame = 1;
    m.EndFrame = s.info.FrameCounter;
    return m;
  }

  static constexpr tools::Mac kMacA = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
  static constexpr tools::Mac kMacB = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
  TraceSession s;
  double time = 0;

 private:
  bool ended_ = false;
};

}  // namespace korvane::test
