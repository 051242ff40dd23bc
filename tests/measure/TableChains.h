// Records appended straight to a session's analysis tables: network stations, their
// conversations, streams and packet chains, linked as the analyser links them.
#pragma once
#include <algorithm>

#include "analysis/TraceSession.h"

namespace korvane::testing {

class TableChains {
 public:
  explicit TableChains(TraceSession& session) : t_(session.tables) {}

  // The station of an address (made when missing), marked as having sent.
  int32_t Station(const AddressKey& key) {
    int32_t at = t_.NetStationTree.Find(key);
    if (at < 0) at = t_.NetStationTree.Insert(key);
    t_.NetStationTree[at].Role |= 3;
    return at;
  }
  // The conversation of station from with station to (made when missing).
  int32_t Peer(int32_t from, int32_t to) {
    NetStationNode& n = t_.NetStationTree[from];
    for (int32_t p = n.FirstNetPeer; p >= 0; p = t_.NetPeers[size_t(p)].Next)
      if (t_.NetPeers[size_t(p)].DestAddress == t_.NetStationTree[to].Address) return p;
    const auto at = int32_t(t_.NetPeers.size());
    t_.NetPeers.emplace_back().DestAddress = t_.NetStationTree[to].Address;
    if (n.LastNetPeer >= 0) t_.NetPeers[size_t(n.LastNetPeer)].Next = at;
    else n.FirstNetPeer = at;
    n.LastNetPeer = at;
    return at;
  }
  int32_t Stream(int32_t peer, uint8_t kind, uint16_t sourcePort = 0, uint16_t destPort = 0) {
    const auto at = int32_t(t_.Streams.size());
    TTransHead& h = t_.Streams.emplace_back();
    h.Kind = kind;
    h.SourcePort = sourcePort;
    h.DestPort = destPort;
    h.Peer = peer;
    TNetPeer& owner = t_.NetPeers[size_t(peer)];
    if (owner.LastStream >= 0) t_.Streams[size_t(owner.LastStream)].Next = at;
    else owner.FirstStream = at;
    owner.LastStream = at;
    return at;
  }
  // Appends a record to a stream's chain and returns its PacketList index.
  int32_t Add(int32_t stream, TPacket p) {
    const auto at = int32_t(t_.PacketList.size());
    TTransHead& h = t_.Streams[size_t(stream)];
    p.Prev = h.LastPacket;
    p.Next = -1;
    t_.PacketList.push_back(p);
    if (h.LastPacket < 0) h.FirstPacket = at;
    else t_.PacketList[size_t(h.LastPacket)].Next = at;
    h.LastPacket = at;
    if (IsGapMarker(p.Flags)) ++h.GapMarkers;
    else if (p.Flags & packet_flag::IcmpReport) ++h.IcmpReports;
    else ++h.PacketCount;
    h.MaxWindow = std::max(h.MaxWindow, p.Window);
    return at;
  }

 private:
  AnalysisTables& t_;
};

}  // namespace korvane::testing
