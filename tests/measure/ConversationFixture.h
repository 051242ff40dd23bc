// Conversations built straight into the analysis tables, so that every packet field a
// measurement reads is chosen by the test.
#pragma once
#include <memory>

#include "analysis/FrameAnalyser.h"
#include "analysis/TraceSession.h"

namespace korvane::testing {

struct Pkt {
  int64_t frame = 0;
  double time = 0;  // microseconds
  uint32_t flags = 0;
  uint32_t seq = 0, ack = 0;
  int payload = 0;
  uint16_t tcpFlags = 0;
  uint16_t length = 0;  // FrameLength; 0 = 64 + payload
  uint16_t ipId = 0;
  uint16_t window = 0;
};

class ConversationTables {
 public:
  ConversationTables() { session_->info.TopologyCode = topology::Ethernet; session_->info.LineSpeedMbps = 10; }
  TraceSession& session() { return *session_; }
  AnalysisTables& tables() { return session_->tables; }

  int32_t Station(uint8_t last) {
    const uint8_t ip[4] = {10, 0, 0, last};
    const AddressKey key = AddressKey::From(ip, 4);
    int32_t at = tables().NetStationTree.Find(key);
    if (at < 0) at = tables().NetStationTree.Insert(key);
    return at;
  }
  // The conversation of station from with station to (created when missing).
  int32_t Peer(int32_t from, int32_t to) {
    AnalysisTables& t = tables();
    NetStationNode& n = t.NetStationTree[from];
    n.Role |= 3;
    for (int32_t p = n.FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next)
      if (t.NetPeers[size_t(p)].DestAddress == t.NetStationTree[to].Address) return p;
    const auto at = int32_t(t.NetPeers.size());
    t.NetPeers.emplace_back().DestAddress = t.NetStationTree[to].Address;
    if (n.LastNetPeer >= 0) t.NetPeers[size_t(n.LastNetPeer)].Next = at;
    else n.FirstNetPeer = at;
    n.LastNetPeer = at;
    return at;
  }
  int32_t Stream(int32_t peer, uint8_t kind, uint16_t sourcePort = 0, uint16_t destPort = 0) {
    AnalysisTables& t = tables();
    const auto at = int32_t(t.Streams.size());
    TTransHead& s = t.Streams.emplace_back();
    s.Kind = kind;
    s.SourcePort = sourcePort;
    s.DestPort = destPort;
    s.Peer = peer;
    TNetPeer& p = t.NetPeers[size_t(peer)];
    if (p.LastStream >= 0) t.Streams[size_t(p.LastStream)].Next = at;
    else p.FirstStream = at;
    p.LastStream = at;
    return at;
  }
  TPacket& Add(int32_t stream, const Pkt& k) {
    AnalysisTables& t = tables();
    const auto at = int32_t(t.PacketList.size());
    TPacket& r = t.PacketList.emplace_back();
    r.FrameNumber = k.frame;
    r.TimeStamp = k.time;
    r.Flags = k.flags;
    r.Sequence = k.seq;
    r.Acknowledge = k.ack;
    r.NetHeaderLength = 20;
    r.TransportHeaderLength = 20;
    r.NetLength = uint16_t(40 + k.payload);
    r.TcpFlags = k.tcpFlags;
    r.FrameLength = k.length ? k.length : uint16_t(64 + k.payload);
    r.IpId = k.ipId;
    r.Window = k.window;
    TTransHead& s = t.Streams[size_t(stream)];
    if (s.LastPacket >= 0) {
      t.PacketList[size_t(s.LastPacket)].Next = at;
      r.Prev = s.LastPacket;
    } else {
      s.FirstPacket = at;
    }
    s.LastPacket = at;
    ++s.PacketCount;
    session_->info.FramesRead = std::max(session_->info.FramesRead, k.frame);
    return t.PacketList[size_t(at)];
  }

 private:
  std::unique_ptr<TraceSession> session_ = std::make_unique<TraceSession>();
};

}  // namespace korvane::testing
