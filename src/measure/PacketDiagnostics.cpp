// Packet diagnostics of a stream pair.
//
// How each finding is judged (times are capture times; "the direction" is the packet's
// own, forward = sent by the selected source):
//
// - A packet's findings never depend on the range drawn: the walk judges both streams
//   from their first packets and keeps (and counts) only the packets in the range.
// - Only real packets are judged. A gap marker gets nothing. An ICMP report record counts
//   one ICMP message for the direction of the stream it sits in (when "EnableICMP" is on)
//   and gets no other finding. Neither of them takes part in the time, window or
//   acknowledgement state below.
// - TCP findings need the TCP header: a later IP fragment (FragmentOffset > 0) of a TCP
//   stream gets none of them (Zero Window included).
// - Low TTL: IP streams only (on IPX the field holds the hop count); TTL <= threshold.
// - Low Starting MSS: a segment with SYN whose MSS is nonzero and <= threshold.
// - Idle Too Long: a segment without FIN, SYN or RST whose time since the previous real
//   packet of the same direction is strictly greater than threshold seconds.
// - Windows are compared within one direction. The largest window of a direction is the
//   largest its whole stream advertises outside SYN segments, whatever the range drawn: a SYN's window is never scaled
//   while the later ones are once both sides offer window scaling, and each side scales
//   by its own factor, so raw windows of the two directions or of a SYN and a later
//   segment are not in the same unit. SYN segments are not judged for window findings.
// - Low Window: a nonzero window with window x 100 < threshold x the largest window of
//   its direction, i.e. strictly below the percentage.
// - Stuck Window: per direction, a run is the packets advertising one window value
//   (segments with SYN or RST neither join nor break a run). The finding is given once per
//   run, on the first packet at which all hold: the window is nonzero and below the
//   direction's largest (a window that has not shrunk limits nothing), the other
//   direction sent data (a segment with payload) since the run began, and the time from
//   the run's first packet is >= threshold ms.
// - Slow Ack: a segment with ACK acknowledges the latest real segment of the other
//   direction (looking back at most 64) that takes sequence space (payload, SYN or FIN)
//   and whose sequence end equals the acknowledgement number. That segment is the "(Pkt n)"
//   of the detail text. Only the first acknowledgement of a segment is timed (a segment
//   newer than any this direction acknowledged before); the finding is given when the
//   time from that segment is strictly greater than threshold ms.
// - Locally Routed: a packet with SeenViaRouter, under "EnableIPLocalRouting" on IP
//   streams and "EnableIPXLocalRouting" on IPX streams; counted with its FrameLength.
// - The earlier copy of a retransmission or routed copy is RetransmitDistance real packets
//   back in the same stream (gap markers and report records skipped), or the previous real
//   packet where the accounting leaves the distance 0 (NCP, SPX, PBurst).
// - Transport Retransmission: a packet with Retransmission on TCP, NCP, SPX and SPXII
//   streams under that transport's check; counted with its FrameLength, the time from the
//   earlier copy (never below 0) and, when the earlier copy has FrameError or a checksum
//   error, as a retransmission following an error.
// - Fast Transport Retransmission: in addition, under the transport's fast check, when the
//   time from the earlier copy is strictly less than the transport's threshold in ms.
// - On PBurst streams the Retransmission flag marks a retransmit request, not a repeated
//   packet: it gets only the packet-burst finding ("EnableNCPPacketBurst") and is not
//   counted as a retransmission.
// - Short Packet / Long Packet: Ethernet traces only (FrameLength < 64, > 1518); the other
//   media have other frame size limits.
// - Flag findings (Server Busy, Reset Connection, Missing Fragment, Zero Window, DLC CRC
//   Error, the three checksum errors) follow the packet's flags.
// - A packet keeps at most 10 texts; every finding is counted even past the tenth.
#include "measure/PacketDiagnostics.h"

#include <algorithm>
#include <limits>

#include "analysis/FrameAnalyser.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr uint16_t kFin = 0x01, kSyn = 0x02, kRst = 0x04, kAck = 0x10;
constexpr int kAckLookBack = 64;
constexpr uint32_t kErrorFlags = packet_flag::FrameError | packet_flag::IpChecksumError |
                                 packet_flag::TcpChecksumError | packet_flag::UdpChecksumError;

bool IsReal(const TPacket& p) { return !IsGapMarker(p.Flags) && (p.Flags & packet_flag::IcmpReport) == 0; }
bool IsIpKind(uint8_t kind) { return kind <= transport::IpUnknown; }
bool IsIpxKind(uint8_t kind) { return kind >= transport::Ncp && kind <= transport::IpxUnknown; }

int64_t Payload(const TPacket& p) { return int64_t(p.NetLength) - p.NetHeaderLength - p.TransportHeaderLength; }

bool TakesSequenceSpace(const TPacket& p) { return Payload(p) > 0 || (p.TcpFlags & (kSyn | kFin)) != 0; }

uint32_t SequenceEnd(const TPacket& p) {
  const int64_t data = std::max<int64_t>(Payload(p), 0);
  return uint32_t(p.Sequence + uint64_t(data) + ((p.TcpFlags & kSyn) ? 1 : 0) + ((p.TcpFlags & kFin) ? 1 : 0));
}

// Where a packet sits in frame order: a report record sits right after the packet it
// reports (whose frame number it keeps in Sequence).
int64_t OrderFrame(const TPacket& p) {
  return (p.Flags & packet_flag::IcmpReport) && !IsGapMarker(p.Flags) ? int64_t(p.Sequence) : p.FrameNumber;
}

// The largest window a TCP stream advertises outside SYN segments.
uint16_t LargestWindow(const RecordList<TPacket>& packets, const TTransHead& stream) {
  if (stream.Kind != transport::Tcp) return 0;
  uint16_t largest = 0;
  for (int32_t at = stream.FirstPacket; at >= 0; at = packets[size_t(at)].Next) {
    const TPacket& p = packets[size_t(at)];
    if (IsReal(p) && p.FragmentOffset == 0 && (p.TcpFlags & kSyn) == 0) largest = std::max(largest, p.Window);
  }
  return largest;
}

struct RetransmissionChecks {
  ProblemCheck retransmission, fast;
  ProblemThreshold fastThreshold;
};

// The checks that judge a transport's retransmissions; nothing for kinds that have none.
const RetransmissionChecks* ChecksFor(uint8_t kind) {
  static constexpr RetransmissionChecks kTcp{ProblemCheck::TCPTransportRetransmission,
                                             ProblemCheck::TCPFastTransportRetransmission,
                                             ProblemThreshold::TCPFastTransportRetransmission};
  static constexpr RetransmissionChecks kNcp{ProblemCheck::NCPTransportRetransmission,
                                             ProblemCheck::NCPFastTransportRetransmission,
                                             ProblemThreshold::NCPFastTransportRetransmission};
  static constexpr RetransmissionChecks kSpx{ProblemCheck::SPXTransportRetransmission,
                                             ProblemCheck::SPXFastTransportRetransmission,
                                             ProblemThreshold::SPXFastTransportRetransmission};
  switch (kind) {
    case transport::Tcp: return &kTcp;
    case transport::Ncp: return &kNcp;
    case transport::Spx: case transport::SpxII: return &kSpx;
    default: return nullptr;
  }
}

class Walker {
 public:
  Walker(const TraceSession& session, const ProblemFinderSettings& settings, PacketDiagnosticsResult& result)
      : packets_(session.tables.PacketList),
        settings_(settings),
        ethernet_(session.info.TopologyCode == 0),
        result_(result) {}

  // Judges a packet; `shown` packets (those in the range) are kept with their findings
  // and counted, the others only move the state on, so that a packet's findings never
  // depend on where the range starts.
  void Visit(int32_t index, bool forward, uint8_t kind, bool shown);

 private:
  struct DirectionState {
    int32_t last = -1;          // the previous real packet drawn
    int64_t acknowledgedUpTo = 0;  // newest frame of the other direction acknowledged
    // The current run of one advertised window.
    bool runOpen = false, runReported = false, partnerData = false;
    uint16_t runWindow = 0;
    double runSince = 0;
  };

  bool On(ProblemCheck check) const { return settings_.IsEnabled(check); }
  DirectionCounters& Count(int dir) { return shown_ ? result_.Counters[size_t(dir)] : unshown_; }
  double Limit(ProblemThreshold t) const { return settings_.Threshold(t); }
  int32_t EarlierCopy(int32_t index, int distance) const;
  int32_t Acknowledged(const TPacket& ack, int other) const;
  void Add(DiagnosedPacket& out, const Diagnostic& d);
  void Judge(DiagnosedPacket& out, const TPacket& p, int dir, uint8_t kind);
  void JudgeTcp(DiagnosedPacket& out, const TPacket& p, int dir);
  void JudgeRetransmission(DiagnosedPacket& out, const TPacket& p, int dir, uint8_t kind);

  const RecordList<TPacket>& packets_;
  const ProblemFinderSettings& settings_;
  const bool ethernet_;
  PacketDiagnosticsResult& result_;
  std::array<DirectionState, 2> state_{};
  bool shown_ = false;
  DirectionCounters unshown_;  // what packets before the range would have counted
};

int32_t Walker::EarlierCopy(int32_t index, int distance) const {
  int32_t at = packets_[size_t(index)].Prev;
  for (int left = std::max(distance, 1); at >= 0; at = packets_[size_t(at)].Prev) {
    if (!IsReal(packets_[size_t(at)])) continue;
    if (--left == 0) return at;
  }
  return -1;
}

int32_t Walker::Acknowledged(const TPacket& ack, int other) const {
  int looked = 0;
  for (int32_t at = state_[size_t(other)].last; at >= 0 && looked < kAckLookBack; at = packets_[size_t(at)].Prev) {
    const TPacket& c = packets_[size_t(at)];
    if (!IsReal(c)) continue;
    ++looked;
    if (c.FragmentOffset == 0 && TakesSequenceSpace(c) && SequenceEnd(c) == ack.Acknowledge) return at;
  }
  return -1;
}

void Walker::Add(DiagnosedPacket& out, const Diagnostic& d) {
  if (!shown_ || out.DiagnosticCount >= kMaxPacketDiagnostics) return;
  result_.Diagnostics.push_back(d);
  ++out.DiagnosticCount;
}

void Walker::Visit(int32_t index, bool forward, uint8_t kind, bool shown) {
  shown_ = shown;
  const TPacket& p = packets_[size_t(index)];
  DiagnosedPacket out;
  out.Packet = index;
  out.Forward = forward;
  out.FirstDiagnostic = int32_t(result_.Diagnostics.size());
  const int dir = forward ? 0 : 1;
  if (!IsGapMarker(p.Flags)) {
    if (p.Flags & packet_flag::IcmpReport) {
      if (On(ProblemCheck::ICMP)) ++Count(dir)[ProblemCount::IcmpMessage];
    } else {
      Judge(out, p, dir, kind);
      state_[size_t(dir)].last = index;
    }
  }
  if (shown) result_.Packets.push_back(out);
}

void Walker::Judge(DiagnosedPacket& out, const TPacket& p, int dir, uint8_t kind) {
  DirectionCounters& count = Count(dir);
  const bool ip = IsIpKind(kind);
  auto flagged = [&](uint32_t flag, ProblemCheck check, DiagnosticKind diagnostic, ProblemCount counter) {
    if ((p.Flags & flag) == 0 || !On(check)) return;
    Add(out, {.Kind = diagnostic});
    ++count[counter];
  };

  if (ip && On(ProblemCheck::IPLowTTL) && p.Ttl <= Limit(ProblemThreshold::IPLowTTL)) {
    Add(out, {.Kind = DiagnosticKind::LowTtl});
    ++count[ProblemCount::IpLowTtl];
  }
  const bool tcp = kind == transport::Tcp && p.FragmentOffset == 0;
  if (tcp) JudgeTcp(out, p, dir);

  if ((p.Flags & packet_flag::SeenViaRouter) &&
      ((ip && On(ProblemCheck::IPLocalRouting)) || (IsIpxKind(kind) && On(ProblemCheck::IPXLocalRouting)))) {
    const int32_t copy = EarlierCopy(out.Packet, p.RetransmitDistance);
    Add(out, {.Packet = copy >= 0 ? packets_[size_t(copy)].FrameNumber : 0, .Kind = DiagnosticKind::LocallyRouted});
    ++count.LocallyRouted;
    count.LocallyRoutedBytes += p.FrameLength;
  }
  if (p.Flags & packet_flag::Retransmission) JudgeRetransmission(out, p, dir, kind);

  flagged(packet_flag::ServerBusyReply, ProblemCheck::NCPServerBusy, DiagnosticKind::ServerBusy,
          ProblemCount::ServerBusy);
  if (kind == transport::Tcp)
    flagged(packet_flag::TcpReset, ProblemCheck::TCPResetConnection, DiagnosticKind::ResetConnection,
            ProblemCount::TcpReset);
  flagged(packet_flag::UnmatchedFragment, ProblemCheck::IPMissingFragment, DiagnosticKind::MissingFragment,
          ProblemCount::IpMissingFragment);
  if (tcp)
    flagged(packet_flag::ZeroWindow, ProblemCheck::TCPZeroWindow, DiagnosticKind::ZeroWindow,
            ProblemCount::ZeroWindow);
  flagged(packet_flag::FrameError, ProblemCheck::EthernetCRCError, DiagnosticKind::DlcCrcError,
          ProblemCount::DlcCrcError);
  flagged(packet_flag::IpChecksumError, ProblemCheck::IPChecksumError, DiagnosticKind::IpChecksumError,
          ProblemCount::IpChecksumError);
  flagged(packet_flag::UdpChecksumError, ProblemCheck::UDPChecksumError, DiagnosticKind::UdpChecksumError,
          ProblemCount::UdpChecksumError);
  flagged(packet_flag::TcpChecksumError, ProblemCheck::TCPChecksumError, DiagnosticKind::TcpChecksumError,
          ProblemCount::TcpChecksumError);
  if (ethernet_) {
    if (p.FrameLength < 64 && On(ProblemCheck::EthernetUndersized)) {
      Add(out, {.Kind = DiagnosticKind::ShortPacket});
      ++count[ProblemCount::ShortPacket];
    }
    if (p.FrameLength > 1518 && On(ProblemCheck::EthernetOversized)) {
      Add(out, {.Kind = DiagnosticKind::LongPacket});
      ++count[ProblemCount::LongPacket];
    }
  }
}

void Walker::JudgeTcp(DiagnosedPacket& out, const TPacket& p, int dir) {
  DirectionCounters& count = Count(dir);
  DirectionState& own = state_[size_t(dir)];
  const int other = 1 - dir;
  const uint16_t largest = result_.LargestWindows[size_t(dir)];

  if ((p.TcpFlags & kSyn) && p.Mss != 0 && On(ProblemCheck::TCPLowMSS) &&
      p.Mss <= Limit(ProblemThreshold::TCPLowMSS)) {
    Add(out, {.Kind = DiagnosticKind::LowStartingMss});
    ++count[ProblemCount::TcpLowMss];
  }

  if ((p.TcpFlags & (kFin | kSyn | kRst)) == 0 && own.last >= 0 && On(ProblemCheck::TCPIdleTooLong)) {
    const TPacket& previous = packets_[size_t(own.last)];
    const double idle = ElapsedMicros(previous.TimeStamp, p.TimeStamp);
    if (idle > Limit(ProblemThreshold::TCPIdleTooLong) * 1e6) {
      Add(out, {.Value = idle / 1e6, .Packet = previous.FrameNumber, .Kind = DiagnosticKind::IdleTooLong});
      ++count[ProblemCount::TcpIdleTooLong];
    }
  }

  if ((p.TcpFlags & kSyn) == 0 && p.Window != 0 && On(ProblemCheck::TCPLowWindow) &&
      uint64_t(p.Window) * 100 < uint64_t(settings_.Threshold(ProblemThreshold::TCPLowWindow)) * largest) {
    Add(out, {.Kind = DiagnosticKind::LowWindow});
    ++count[ProblemCount::TcpLowWindow];
  }

  if ((p.TcpFlags & (kSyn | kRst)) == 0) {
    if (!own.runOpen || p.Window != own.runWindow) {
      own.runOpen = true;
      own.runReported = own.partnerData = false;
      own.runWindow = p.Window;
      own.runSince = p.TimeStamp;
    } else if (!own.runReported && own.partnerData && p.Window != 0 && p.Window < largest &&
               On(ProblemCheck::TCPStuckWindow) &&
               ElapsedMicros(own.runSince, p.TimeStamp) >= Limit(ProblemThreshold::TCPStuckWindow) * 1000) {
      Add(out, {.Number = p.Window, .Extra = largest, .Kind = DiagnosticKind::StuckWindow});
      ++count[ProblemCount::TcpStuckWindow];
      own.runReported = true;
    }
  }
  if (Payload(p) > 0) state_[size_t(other)].partnerData = true;

  if (p.TcpFlags & kAck) {
    const int32_t acked = Acknowledged(p, other);
    if (acked >= 0) {
      const TPacket& n = packets_[size_t(acked)];
      out.AcknowledgedFrame = n.FrameNumber;
      if (n.FrameNumber > own.acknowledgedUpTo) {
        own.acknowledgedUpTo = n.FrameNumber;
        const double delay = ElapsedMicros(n.TimeStamp, p.TimeStamp);
        if (On(ProblemCheck::TCPSlowAck) && delay > Limit(ProblemThreshold::TCPSlowAck) * 1000) {
          Add(out, {.Value = delay / 1000, .Packet = n.FrameNumber, .Kind = DiagnosticKind::SlowAck});
          ++count[ProblemCount::TcpSlowAck];
        }
      }
    }
  }
}

void Walker::JudgeRetransmission(DiagnosedPacket& out, const TPacket& p, int dir, uint8_t kind) {
  if (kind == transport::PBurst) {
    if (On(ProblemCheck::NCPPacketBurst)) {
      const uint8_t function = (p.Flags & packet_flag::NcpRead) ? 1 : (p.Flags & packet_flag::NcpWrite) ? 2 : 0;
      Add(out, {.Number = p.NcpFunction, .Extra = p.Sequence, .Kind = DiagnosticKind::PacketBurstRequest,
                .Function = function});
    }
    return;
  }
  const RetransmissionChecks* checks = ChecksFor(kind);
  if (checks == nullptr) return;
  const int32_t copy = EarlierCopy(out.Packet, p.RetransmitDistance);
  const double since = copy >= 0 ? std::max(0.0, ElapsedMicros(packets_[size_t(copy)].TimeStamp, p.TimeStamp)) : 0;
  if (On(checks->retransmission)) {
    Add(out, {.Kind = DiagnosticKind::TransportRetransmission});
    DirectionCounters& count = Count(dir);
    ++count.Retransmissions;
    count.RetransmittedBytes += p.FrameLength;
    count.RetransmitMicros += since;
    if (copy >= 0 && (packets_[size_t(copy)].Flags & kErrorFlags)) ++count.RetransmitsAfterError;
  }
  if (copy >= 0 && On(checks->fast) && since < Limit(checks->fastThreshold) * 1000) {
    Add(out, {.Value = since / 1000, .Packet = packets_[size_t(copy)].FrameNumber,
              .Kind = DiagnosticKind::FastRetransmission});
  }
}

}  // namespace

bool DirectionCounters::Empty() const {
  return std::all_of(Counts.begin(), Counts.end(), [](int64_t c) { return c == 0; }) && LocallyRouted == 0 &&
         Retransmissions == 0;
}

double ElapsedMicros(double before, double now) {
  double elapsed = now - before;
  if (elapsed < -kMicrosPerDay / 2) elapsed += kMicrosPerDay;
  return elapsed;
}

PacketDiagnosticsResult DiagnosePackets(const TraceSession& session, const MeasurementSelection& selection,
                                        const ProblemFinderSettings& settings) {
  PacketDiagnosticsResult result;
  const AnalysisTables& tables = session.tables;
  const int32_t forward = selection.ForwardStream;
  if (forward < 0 || size_t(forward) >= tables.Streams.size()) return result;
  const int32_t conversation =
      selection.ForwardConversation >= 0 ? selection.ForwardConversation : tables.Streams[size_t(forward)].Peer;
  const int32_t reverse = FindPartnerStream(tables, selection.SourceStation, conversation, forward).Stream;
  result.ForwardStream = forward;
  result.ReverseStream = reverse;

  const auto& packets = tables.PacketList;
  const TTransHead& f = tables.Streams[size_t(forward)];
  const TTransHead* r = reverse >= 0 ? &tables.Streams[size_t(reverse)] : nullptr;
  result.LargestWindows = {LargestWindow(packets, f), r ? LargestWindow(packets, *r) : uint16_t(0)};
  auto records = [](const TTransHead* s) { return s ? s->PacketCount + s->GapMarkers + s->IcmpReports : 0; };
  result.Packets.reserve(size_t(records(&f) + records(r)));

  const int64_t start = selection.StartFrame, end = selection.EndFrame;
  Walker walker(session, settings, result);
  // Packets before the range are judged too (and then dropped), so that the time, window
  // and acknowledgement state a packet in the range is judged with is that of the stream.
  auto draw = [&](int32_t at, bool isForward, uint8_t kind) {
    const int64_t frame = packets[size_t(at)].FrameNumber;
    walker.Visit(at, isForward, kind, frame >= start && frame <= end);
  };

  int32_t back = r ? r->FirstPacket : -1;
  auto drawReverseBefore = [&](int64_t order) {
    while (back >= 0 && OrderFrame(packets[size_t(back)]) < order && OrderFrame(packets[size_t(back)]) <= end) {
      draw(back, false, r->Kind);
      back = packets[size_t(back)].Next;
    }
  };
  for (int32_t at = f.FirstPacket; at >= 0; at = packets[size_t(at)].Next) {
    const int64_t order = OrderFrame(packets[size_t(at)]);
    if (order > end) break;
    drawReverseBefore(order);
    draw(at, true, f.Kind);
  }
  drawReverseBefore(std::numeric_limits<int64_t>::max());
  return result;
}

}  // namespace korvane
