// Station and conversation accounting: MAC stations and their destinations, network
// stations, peers, one-way streams and the packet chains the conversation tools walk.
#include <algorithm>
#include <cassert>

#include "analysis/FrameAnalyser.h"
#include "input/Endian.h"

namespace korvane {

namespace {
constexpr uint16_t kFin = 0x01, kSyn = 0x02, kRst = 0x04;
constexpr int kLookBack = 20;
constexpr int kIcmpLookBackLimit = 4096;
constexpr double kNcpRetransmitWindow = 10000000.0;

bool MatchesByPorts(uint8_t kind) {
  switch (kind) {
    case transport::Tcp: case transport::Udp: case transport::Spx: case transport::SpxII:
    case transport::NetBios: case transport::Smb: case transport::PBurst: return true;
    default: return false;
  }
}

int64_t DataLength(const TPacket& p) {
  return int64_t(p.NetLength) - p.NetHeaderLength - p.TransportHeaderLength;
}

void RememberLast(TTransHead& stream, const TPacket& last) {
  stream.LastRetransmitted = (last.Flags & packet_flag::Retransmission) != 0;
  stream.LastSequence = last.Sequence;
  stream.LastDataLength = int32_t(DataLength(last));
  stream.LastTimeStamp = last.TimeStamp;
}
}  // namespace

uint64_t StreamPortsKey(uint8_t kind, uint16_t sourcePort, uint16_t destPort) {
  // TCP and UDP keep their own port spaces; the IPX kinds addressed by connection share one.
  uint64_t family = kind;
  if (MatchesByPorts(kind) && kind != transport::Tcp && kind != transport::Udp) family = 0xFE;
  uint64_t ports = MatchesByPorts(kind) ? (uint64_t(sourcePort) << 16) | destPort : 0;
  return (family << 32) | ports;
}

uint64_t StreamKey(int32_t peer, uint8_t kind, uint16_t sourcePort, uint16_t destPort) {
  return (uint64_t(uint32_t(peer)) << 40) | StreamPortsKey(kind, sourcePort, destPort);
}

FrameAnalyser::FlowKey FrameAnalyser::MakeFlowKey(int32_t source, int32_t destination, uint8_t kind,
                                                  uint16_t sourcePort, uint16_t destPort) {
  return FlowKey{(uint64_t(uint32_t(source)) << 32) | uint32_t(destination),
                 StreamPortsKey(kind, sourcePort, destPort)};
}

int32_t FrameAnalyser::FindOrAddStation(const AddressKey& key, bool sender) {
  auto& tree = tables_.StationTree;
  int32_t at = tree.Find(key);
  if (at < 0) {
    at = tree.Insert(key);
    ++tables_.StationCount;
    tree[at].VendorIndex = vendors_.Lookup(key.bytes.data());
  }
  StationNode& node = tree[at];
  if (sender && node.Role != 3) {
    node.Role = 3;
    ++tables_.SendingStationCount;
  }
  return at;
}

void FrameAnalyser::AccountMacFrame(int64_t frameCounter) {
  auto& tree = tables_.StationTree;
  const FrameFacts& f = *facts_;
  const int64_t length = f.FrameLength;
  const bool crc = (f.Status & kCrcError) != 0;
  const uint32_t categoryBit = 1u << f.Category;
  const uint8_t encapsulationBit = uint8_t(1u << f.Encapsulation);
  const uint8_t conditionBit = uint8_t(1u << f.Condition);

  const int32_t source = FindOrAddStation(f.Source, true);
  sourceStation_ = source;
  {
    StationNode& s = tree[source];
    s.Categories |= categoryBit;
    s.SentCategories = s.Categories;
    s.Encapsulations |= encapsulationBit;
    s.SentEncapsulations = s.Encapsulations;
    s.FrameConditions |= conditionBit;
    s.SentFrameConditions = s.FrameConditions;
    ++s.FramesSent;
    s.BytesSent += length;
    if (f.GroupAddressed) ++s.GroupFramesSent;
    if (crc) ++s.ErrorFramesSent;
    if (frameCounter - lastFragmentFrame_ <= 2 && !crc) ++s.PostCollisionFrames;
  }
  if (f.Category == category::Mac) AccountMacFrameOfStation(source);

  // The sender's destination, in first-seen order.
  int32_t peer = dlcPeerIndex_.Find(PairKey{source, f.Destination});
  if (peer < 0) {
    peer = int32_t(tables_.DlcPeers.size());
    tables_.DlcPeers.emplace_back().DestAddress = f.Destination;
    StationNode& s = tree[source];
    if (s.FirstDlcPeer < 0) s.FirstDlcPeer = peer;
    else tables_.DlcPeers[size_t(s.LastDlcPeer)].Next = peer;
    s.LastDlcPeer = peer;
    dlcPeerIndex_.Insert(PairKey{source, f.Destination}, peer);
  }
  // The destination's counts are added once the frame's network layer is done, so that
  // fetching its record overlaps that work rather than stalling before it.
  const TDLCPeer* record = &tables_.DlcPeers[size_t(peer)];
  __builtin_prefetch(record, 1);
  __builtin_prefetch(&record->FramesByEncapsulation[f.Encapsulation], 1);
  __builtin_prefetch(&record->FramesByCategory[f.Category], 1);
  pendingDlcPeer_ = PendingDlcPeer{peer, f.Category, f.Encapsulation, f.Condition};

  const int32_t destination = FindOrAddStation(f.Destination, false);
  destinationStation_ = destination;
  StationNode& r = tree[destination];
  r.Categories |= categoryBit;
  r.Encapsulations |= encapsulationBit;
  r.FrameConditions |= conditionBit;
  ++r.FramesReceived;
  r.BytesReceived += length;
}

void FrameAnalyser::AccountPendingPeers() {
  const int64_t length = facts_->FrameLength;
  if (const PendingDlcPeer& pending = pendingDlcPeer_; pending.peer >= 0) {
    TDLCPeer& d = tables_.DlcPeers[size_t(pending.peer)];
    d.Categories |= 1u << pending.category;
    d.Encapsulations |= uint8_t(1u << pending.encapsulation);
    d.FrameConditions |= uint8_t(1u << pending.condition);
    ++d.Frames;
    d.Bytes += length;
    ++d.FramesByEncapsulation[pending.encapsulation];
    ++d.FramesByCategory[pending.category];
    pendingDlcPeer_.peer = -1;
  }
  if (const PendingNetPeer& pending = pendingNetPeer_; pending.peer >= 0) {
    TNetPeer& n = tables_.NetPeers[size_t(pending.peer)];
    n.TransportKinds |= 1u << pending.kind;
    n.LastTtl = pending.ttl;
    ++n.Frames;
    n.Bytes += length;
    ++n.FramesByKind[pending.kindSlot];
    pendingNetPeer_.peer = -1;
  }
}

void FrameAnalyser::NumberPacket(FrameFacts& f) {
  const PacketInfo& p = f.Packet;
  PacketRecords& r = f.Records;
  auto station = [this, &f](const AddressKey& key, uint8_t newBit) {
    int32_t at = netStationNumbers_.Find(key);
    if (at < 0) {
      at = netStationsNumbered_++;
      netStationNumbers_.Insert(key, at);
      f.NewRecords |= newBit;
    }
    return at;
  };
  r.SourceStation = station(p.SourceNet, new_record::SourceStation);
  r.DestStation = station(p.DestNet, new_record::DestStation);
  // Peer and stream: one probe for a known flow; a new flow makes its stream, and its peer
  // with it when the peer is new.
  const FlowKey flow = MakeFlowKey(r.SourceStation, r.DestStation, p.Kind, p.SourcePort, p.DestPort);
  if (const int64_t known = flowIndex_.Find(flow); known >= 0) {
    r.Peer = int32_t(known >> 32);
    r.Stream = int32_t(known & 0xFFFFFFFF);
  } else {
    r.Peer = netPeerIndex_.Find(PairKey{r.SourceStation, p.DestNet});
    if (r.Peer < 0) {
      r.Peer = peersNumbered_++;
      netPeerIndex_.Insert(PairKey{r.SourceStation, p.DestNet}, r.Peer);
      f.NewRecords |= new_record::Peer;
    }
    r.Stream = streamsNumbered_++;
    f.NewRecords |= new_record::Stream;
    flowIndex_.Insert(flow, (int64_t(r.Peer) << 32) | r.Stream);
  }
  // An error report: the stream of the datagram it reports, when that flow was met.
  if (reported_.protocol != 0) {
    const int32_t from = netStationNumbers_.Find(AddressKey::From(reported_.source.data(), 4));
    const int32_t to = netStationNumbers_.Find(AddressKey::From(reported_.destination.data(), 4));
    if (from >= 0 && to >= 0) {
      const uint8_t kind = reported_.protocol == 6 ? transport::Tcp : transport::Udp;
      const int64_t known = flowIndex_.Find(MakeFlowKey(from, to, kind, reported_.sourcePort, reported_.destPort));
      if (known >= 0) r.ReportedStream = int32_t(known & 0xFFFFFFFF);
    }
  }
}

int32_t FrameAnalyser::NetStation(const AddressKey& key, int32_t at, bool added, bool sender, int32_t macStation) {
  auto& tree = tables_.NetStationTree;
  if (added) {
    [[maybe_unused]] const int32_t inserted = tree.Insert(key);
    assert(inserted == at);  // numbered in the order of insertion
    NetStationNode& node = tree[at];
    node.MacStation = macStation;
    node.Category = facts_->Category;
    if (key.length == 4) ++tables_.IpStationCount;
    else ++tables_.IpxStationCount;
  }
  NetStationNode& node = tree[at];
  if (sender && node.Role != 3) {
    node.Role = 3;
    if (key.length == 4) ++tables_.IpSenderCount;
    else ++tables_.IpxSenderCount;
  }
  return at;
}

int32_t FrameAnalyser::NewStream(const PacketInfo& p, int32_t peer) {
  auto at = int32_t(tables_.Streams.size());
  TTransHead& s = tables_.Streams.emplace_back();
  s.Kind = p.Kind;
  s.SourcePort = p.SourcePort;
  s.DestPort = p.DestPort;
  s.Peer = peer;
  TNetPeer& owner = tables_.NetPeers[size_t(peer)];
  if (owner.FirstStream < 0) owner.FirstStream = at;
  else tables_.Streams[size_t(owner.LastStream)].Next = at;
  owner.LastStream = at;
  return at;
}

void FrameAnalyser::AccountPacket(const PacketInfo& p, int64_t frameCounter) {
  const FrameFacts& f = *facts_;
  const int64_t length = f.FrameLength;
  const uint32_t kindBit = 1u << p.Kind;

  const PacketRecords& numbered = f.Records;
  const int32_t source = NetStation(p.SourceNet, numbered.SourceStation,
                                    (f.NewRecords & new_record::SourceStation) != 0, true, sourceStation_);
  {
    NetStationNode& s = tables_.NetStationTree[source];
    s.TransportKinds |= kindBit;
    s.SentTransportKinds = s.TransportKinds;
    ++s.FramesSent;
    s.BytesSent += length;
  }

  const int32_t destination = NetStation(p.DestNet, numbered.DestStation,
                                         (f.NewRecords & new_record::DestStation) != 0, false, destinationStation_);
  {
    NetStationNode& d = tables_.NetStationTree[destination];
    d.TransportKinds |= kindBit;
    ++d.FramesReceived;
    d.BytesReceived += length;
  }

  // A new conversation joins the end of its sender's chain; a new stream, its conversation's.
  const int32_t peer = numbered.Peer, stream = numbered.Stream;
  if (f.NewRecords & new_record::Peer) {
    assert(size_t(peer) == tables_.NetPeers.size());
    tables_.NetPeers.emplace_back().DestAddress = p.DestNet;
    NetStationNode& s = tables_.NetStationTree[source];
    if (s.FirstNetPeer < 0) s.FirstNetPeer = peer;
    else tables_.NetPeers[size_t(s.LastNetPeer)].Next = peer;
    s.LastNetPeer = peer;
  }
  if (f.NewRecords & new_record::Stream) {
    [[maybe_unused]] const int32_t made = NewStream(p, peer);
    assert(made == stream);
  }
  // The peer's counts are added with the DLC peer's, once the frame is done.
  const TNetPeer* conversation = &tables_.NetPeers[size_t(peer)];
  const uint8_t kindSlot = uint8_t(std::min<size_t>(p.Kind, kTransportKindCount - 1));
  __builtin_prefetch(conversation, 1);
  __builtin_prefetch(&conversation->FramesByKind[kindSlot], 1);
  pendingNetPeer_ = PendingNetPeer{peer, p.Kind, kindSlot, p.Ttl};

  auto& packets = tables_.PacketList;
  {
    TTransHead& s = tables_.Streams[size_t(stream)];
    s.MaxWindow = std::max(s.MaxWindow, p.Window);
  }

  // Packet record, after a gap marker when data is missing before it. Records are linked
  // backwards only; the forward links are made when the read is over.
  auto append = [&]() {
    auto at = int32_t(packets.size());
    TPacket& added = packets.emplace_back();
    added.Stream = stream;
    TTransHead& s = tables_.Streams[size_t(stream)];
    added.Prev = s.LastPacket;
    if (s.LastPacket < 0) s.FirstPacket = at;
    s.LastPacket = at;
    return at;
  };
  const bool hadPackets = tables_.Streams[size_t(stream)].LastPacket >= 0;
  int32_t record = append();
  if (hadPackets) {
    const TTransHead& last = tables_.Streams[size_t(stream)];
    bool gap = false;
    if (p.Kind == transport::Tcp && (p.TcpFlags & kSyn) == 0) {
      gap = int64_t(p.Sequence) > int64_t(last.LastSequence) + last.LastDataLength + 1 && !last.LastRetransmitted;
    } else if (p.Kind == transport::Ncp && p.Sequence != 0) {
      gap = int64_t(p.Sequence) - int64_t(last.LastSequence) > 1;
    }
    if (gap) {
      TPacket& marker = packets[size_t(record)];
      marker.TimeStamp = last.LastTimeStamp;
      marker.FrameLength = f.FrameLength;
      marker.FrameNumber = frameCounter;
      marker.Sequence = p.Sequence;
      marker.Acknowledge = p.Acknowledge;
      marker.Flags = p.Flags | packet_flag::GapMarker;
      ++tables_.Streams[size_t(stream)].GapMarkers;
      record = append();
    }
  }
  ++tables_.Streams[size_t(stream)].PacketCount;
  {
    TPacket& r = packets[size_t(record)];
    r.TimeStamp = f.TimeStamp;
    r.FrameLength = f.FrameLength;
    r.FrameNumber = frameCounter;
    r.NetOffset = f.NetOffset;
    r.FragmentOffset = p.FragmentOffset;
    r.NetHeaderLength = p.NetHeaderLength;
    r.NetLength = p.NetLength;
    r.IpId = p.IpId;
    r.TransportHeaderLength = p.TransportHeaderLength;
    r.Sequence = p.Sequence;
    r.Acknowledge = p.Acknowledge;
    r.Mss = p.Mss;
    r.TcpFlags = p.TcpFlags;
    r.Window = p.Window;
    r.NcpFunction = p.NcpFunction;
    r.Flags = p.Flags;
    r.Ttl = p.Ttl;
    if (f.Status & kCrcError) r.Flags |= packet_flag::FrameError;
  }

  if (p.Kind == transport::Tcp) {
    TPacket& r = packets[size_t(record)];
    if (p.TcpFlags & kRst) r.Flags |= packet_flag::TcpReset;
    // Later fragments carry no TCP header: their zero window field is no window.
    if ((p.TcpFlags & (kFin | kSyn | kRst)) == 0 && p.Window == 0 && p.FragmentOffset == 0)
      r.Flags |= packet_flag::ZeroWindow;
  }
  CheckEarlierPackets(p, record, tables_.Streams[size_t(stream)]);
  RememberLast(tables_.Streams[size_t(stream)], packets[size_t(record)]);
  if (numbered.ReportedStream >= 0) InsertIcmpReport(p, numbered.ReportedStream, frameCounter);
}

void FrameAnalyser::CheckEarlierPackets(const PacketInfo& p, int32_t record, TTransHead& stream) {
  auto& packets = tables_.PacketList;
  TPacket& r = packets[size_t(record)];
  // Nothing earlier can match a TCP segment that starts beyond every sequence end seen and
  // carries a TTL no lower than any before it: the walk back is then skipped.
  const int64_t highestEnd = stream.HighestSequenceEnd;
  const uint8_t highestTtl = stream.HighestTtl;
  if (p.Kind == transport::Tcp) {
    const int64_t end = int64_t(p.Sequence) + DataLength(r) + ((p.TcpFlags & (kFin | kSyn | kRst)) ? 1 : 0);
    stream.HighestSequenceEnd = std::max(stream.HighestSequenceEnd, end);
    stream.HighestTtl = std::max(stream.HighestTtl, p.Ttl);
  }
  const int32_t prev = r.Prev;
  if (prev < 0 && p.Kind != transport::PBurst) return;
  // Earlier real transmissions: gap markers and report records stand for no frame.
  auto earlier = [&](int32_t from) {
    while (from >= 0 && (IsGapMarker(packets[size_t(from)].Flags) ||
                         (packets[size_t(from)].Flags & packet_flag::IcmpReport) != 0))
      from = packets[size_t(from)].Prev;
    return from;
  };
  const bool group = (p.Flags & packet_flag::GroupAddressed) != 0;
  const bool request = (p.Flags & packet_flag::Request) != 0;

  if (facts_->Category != category::Ipx && facts_->Category != category::NetBiosIpx && p.FragmentOffset > 0) {
    r.Flags |= packet_flag::UnmatchedFragment;
    for (int32_t at = prev; at >= 0; at = packets[size_t(at)].Prev) {
      const TPacket& c = packets[size_t(at)];
      if (c.IpId != p.IpId) break;
      if (uint32_t(c.FragmentOffset) + c.NetLength - c.NetHeaderLength == p.FragmentOffset) {
        r.Flags &= ~packet_flag::UnmatchedFragment;
        break;
      }
    }
  }

  switch (p.Kind) {
    case transport::Tcp: {
      if (int64_t(p.Sequence) >= highestEnd && p.Ttl >= highestTtl) return;
      const int32_t first = earlier(prev);
      if (first < 0 || p.Acknowledge < packets[size_t(first)].Acknowledge) return;
      int looked = 0;
      for (int32_t at = first; at >= 0 && looked < kLookBack; at = earlier(packets[size_t(at)].Prev)) {
        ++looked;
        const TPacket& c = packets[size_t(at)];
        int64_t data = DataLength(c) + ((c.TcpFlags & (kFin | kSyn | kRst)) ? 1 : 0);
        bool match = c.Sequence == p.Sequence && (data > 0 || p.Ttl < c.Ttl);
        if (!match) continue;
        r.RetransmitDistance = uint8_t(looked);
        r.Flags |= p.Ttl < c.Ttl ? packet_flag::SeenViaRouter : packet_flag::Retransmission;
        return;
      }
      return;
    }
    case transport::Ncp:
    case transport::Spx: {
      const int32_t at = earlier(prev);
      if (at < 0 || !request || group) return;
      const TPacket& c = packets[size_t(at)];
      if ((c.Flags & packet_flag::Request) == 0 || c.Sequence != p.Sequence) return;
      if (p.Ttl > c.Ttl) {
        r.Flags |= packet_flag::SeenViaRouter;
      } else if (p.Kind == transport::Spx) {
        r.Flags |= packet_flag::Retransmission;
      } else if (facts_->TimeStamp - c.TimeStamp < kNcpRetransmitWindow && c.NcpFunction == p.NcpFunction) {
        r.Flags |= packet_flag::Retransmission;
      }
      return;
    }
    case transport::SpxII: {
      if (!request || group) return;
      int looked = 0;
      for (int32_t at = earlier(prev); at >= 0 && looked < kLookBack; at = earlier(packets[size_t(at)].Prev)) {
        ++looked;
        const TPacket& c = packets[size_t(at)];
        if ((c.Flags & packet_flag::Request) == 0 || c.Sequence != p.Sequence) continue;
        r.RetransmitDistance = uint8_t(looked);
        r.Flags |= p.Ttl > c.Ttl ? packet_flag::SeenViaRouter : packet_flag::Retransmission;
        return;
      }
      return;
    }
    case transport::PBurst: {
      if (group) return;
      const int32_t at = earlier(prev);
      const uint8_t lastByte = p.BurstLastByte;
      if (at >= 0 && p.Ttl > packets[size_t(at)].Ttl && packets[size_t(at)].Sequence == p.Sequence) {
        r.Flags |= packet_flag::SeenViaRouter;
      } else if (lastByte != 0) {
        r.Flags |= packet_flag::Retransmission;
        r.NcpFunction = lastByte;
      } else if (at >= 0 && p.Sequence == packets[size_t(at)].Sequence && request &&
                 (p.Flags & packet_flag::NcpRead)) {
        r.Flags |= packet_flag::Retransmission;
        r.NcpFunction = 0;
      }
      return;
    }
    default: return;
  }
  (void)stream;
}

void FrameAnalyser::InsertIcmpReport(const PacketInfo& p, int32_t stream, int64_t frameCounter) {
  const uint16_t ipId = p.InnerIpId;
  auto& packets = tables_.PacketList;
  int32_t match = -1, after = -1;  // the record reached, and the one linked back to it
  int looked = 0;
  for (int32_t at = tables_.Streams[size_t(stream)].LastPacket; at >= 0 && looked < kIcmpLookBackLimit;
       after = at, at = packets[size_t(at)].Prev, ++looked) {
    if (packets[size_t(at)].IpId == ipId && !IsGapMarker(packets[size_t(at)].Flags)) {
      match = at;
      break;
    }
  }
  if (match < 0) return;
  auto at = int32_t(packets.size());
  TPacket report;
  report.TimeStamp = facts_->TimeStamp;
  report.FrameLength = facts_->FrameLength;
  report.FrameNumber = frameCounter;
  report.NetOffset = facts_->NetOffset;
  report.NetHeaderLength = p.NetHeaderLength;
  report.NetLength = p.NetLength;
  report.IpId = p.IpId;
  report.Window = p.Window;
  report.Ttl = p.Ttl;
  report.Sequence = uint32_t(packets[size_t(match)].FrameNumber);
  report.Flags = packet_flag::Reply | packet_flag::IcmpReport;
  report.Stream = stream;
  report.Prev = match;
  packets.push_back(report);
  TTransHead& s = tables_.Streams[size_t(stream)];
  if (after >= 0) {
    packets[size_t(after)].Prev = at;
  } else {
    s.LastPacket = at;
    RememberLast(s, report);
  }
  ++s.IcmpReports;
}

std::vector<uint8_t> FrameAnalyser::ServerPortMarks() const {
  // The conversations of stations that sent (role bit 1), then their streams in one pass
  // through the stream list.
  std::vector<uint8_t> sent(tables_.NetPeers.size(), 0);
  const auto& tree = tables_.NetStationTree;
  for (size_t station = 0; station < tree.size(); ++station) {
    if ((tree[int32_t(station)].Role & 0x1) == 0) continue;
    for (int32_t peer = tree[int32_t(station)].FirstNetPeer; peer >= 0; peer = tables_.NetPeers[size_t(peer)].Next)
      sent[size_t(peer)] = 1;
  }
  auto isServer = [this](uint16_t port) { return (tables_.ServerPortMap[port >> 6] >> (port & 63)) & 1u; };
  std::vector<uint8_t> marks(tables_.Streams.size(), 0);
  for (size_t s = 0; s < marks.size(); ++s) {
    const TTransHead& stream = tables_.Streams[s];
    if (stream.Peer < 0 || size_t(stream.Peer) >= sent.size() || !sent[size_t(stream.Peer)]) continue;
    // Towards a server port a request, from one a reply (between two server ports too).
    if (isServer(stream.SourcePort)) marks[s] = uint8_t(packet_flag::Reply);
    else if (isServer(stream.DestPort)) marks[s] = uint8_t(packet_flag::Request);
  }
  return marks;
}

}  // namespace korvane
