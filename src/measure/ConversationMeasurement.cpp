#include "measure/ConversationMeasurement.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "analysis/FrameAnalyser.h"

namespace korvane {

// How the walk treats records that stand for no transmission, and the frame range:
// - gap markers (packets missing from the trace) and ICMP report records are never
//   commands, responses or throughput samples, and a gap marker counts in no counter;
// - only packets inside StartFrame..EndFrame are counted, flagged or sampled, on both
//   sides, so a range that starts late does not count the partner's earlier packets;
// - the walk of the sender's packets ends at the end of the range only: a partner whose
//   next packet lies beyond the range leaves the sender's remaining packets counted;
// - the search for a response stops at the end of the range and after kResponseSearchLimit
//   partner packets, so that a stream of unanswered commands stays a linear walk.

namespace {

constexpr int kTcpLookAhead = 41;
constexpr int kResponseSearchLimit = 4096;
constexpr int kSampleRing = 100;
constexpr uint32_t kTimingErrors = packet_flag::TcpChecksumError | packet_flag::UdpChecksumError |
                                   packet_flag::IpChecksumError | packet_flag::FrameError;

int64_t Payload(const TPacket& p) {
  return int64_t(p.NetLength) - int64_t(p.NetHeaderLength) - int64_t(p.TransportHeaderLength);
}
bool BareAck(const TPacket& p) { return (p.TcpFlags & 0x1F) == 0x10 && Payload(p) == 0; }
bool NoTransmission(const TPacket& p) {
  return IsGapMarker(p.Flags) || (p.Flags & packet_flag::IcmpReport) != 0;
}
// The sequence number a TCP segment's answer acknowledges.
int64_t ExpectedAck(const TPacket& p) { return int64_t(p.Sequence) + std::max<int64_t>(Payload(p), 1); }

bool PortsSwapped(uint8_t kind) {
  return kind == transport::Tcp || kind == transport::Udp || kind == transport::Spx || kind == transport::SpxII ||
         kind == transport::NetBios || kind == transport::PBurst;
}

class Walk {
 public:
  Walk(const TraceSession& session, MeasurementSelection& selection, MeasurementResults& results)
      : s_(session), t_(session.tables), packets_(session.tables.PacketList), sel_(selection), res_(results) {}

  void Run();

 private:
  const TPacket& P(int32_t i) const { return packets_[size_t(i)]; }
  int32_t Next(int32_t i) const { return P(i).Next; }
  bool InRange(const TPacket& x) const { return x.FrameNumber >= sel_.StartFrame && x.FrameNumber <= sel_.EndFrame; }

  void FlagHook(const TPacket& x);
  void UpdateLast(int32_t i) {
    const TPacket& x = P(i);
    if (x.FrameNumber <= sel_.EndFrame && x.FrameNumber >= P(last_).FrameNumber) last_ = i;
  }
  void CountForward(const TPacket& x) {
    if (NoTransmission(x) || !InRange(x)) return;
    ++res_.FwdCount;
    res_.FwdBytes += x.FrameLength;
  }
  void CountReverse(const TPacket& x) {
    if (NoTransmission(x) || !InRange(x)) return;
    ++res_.RevCount;
    res_.RevBytes += x.FrameLength;
  }
  // Moves the sender cursor on by one packet; false at the end of the stream.
  bool StepForward();
  // Moves the partner cursor on by one packet; false at the end of the stream.
  bool StepReverse() {
    if (Next(r_) < 0) return false;
    r_ = Next(r_);
    UpdateLast(r_);
    CountReverse(P(r_));
    return true;
  }
  void CatchUp() {
    if (!bothWays_) return;
    UpdateLast(r_);
    while (P(r_).FrameNumber < P(p_).FrameNumber && StepReverse()) {
    }
  }
  bool FindReverse();
  bool Synchronise();
  void TimeCommand();
  std::optional<int32_t> FindResponse(const TPacket& command) const;
  void Sample(const TPacket& x);

  const TraceSession& s_;
  const AnalysisTables& t_;
  const std::vector<TPacket>& packets_;
  MeasurementSelection& sel_;
  MeasurementResults& res_;
  uint8_t kind_ = 0;
  int32_t p_ = -1, r_ = -1, first_ = -1, last_ = -1;
  bool bothWays_ = false;
  std::optional<uint16_t> previousIpId_;
  std::array<std::pair<double, uint16_t>, kSampleRing> ring_{};
  int ringIndex_ = 0;
};

void Walk::FlagHook(const TPacket& x) {
  if (IsGapMarker(x.Flags) || !InRange(x)) return;
  if (x.Flags & packet_flag::Retransmission) ++res_.RetransmitCount;
  if (x.Flags & packet_flag::SeenViaRouter) ++res_.LocalRoutingCount;
  if (x.Flags & packet_flag::ZeroWindow) ++res_.ZeroWindowCount;
  if (x.Flags & packet_flag::TcpReset) ++res_.ResetCount;
  if (x.Flags & packet_flag::IcmpReport) ++res_.IcmpErrorCount;
  if (x.Flags & packet_flag::ServerBusyReply) res_.FlaggedPacketSeen = true;
}

bool Walk::StepForward() {
  if (Next(p_) < 0) return false;
  p_ = Next(p_);
  FlagHook(P(p_));
  UpdateLast(p_);
  CountForward(P(p_));
  if (sel_.ThroughputMode) Sample(P(p_));
  CatchUp();
  return true;
}

void Walk::Sample(const TPacket& x) {
  if (NoTransmission(x)) return;
  if (!sel_.IncludeAckPackets && kind_ == transport::Tcp && BareAck(x)) return;
  if (!InRange(x)) return;
  const int window = std::clamp<int>(sel_.SampleWindow, 4, kSampleRing);
  ++res_.SampleCount;
  res_.SampleBytes += x.FrameLength;
  ring_[size_t(ringIndex_)] = {x.TimeStamp, x.FrameLength};
  res_.PayloadSum += int64_t(x.NetLength) - int64_t(x.NetHeaderLength);
  if (res_.SampleCount >= window) {
    int64_t sum = 0;
    for (int i = 0; i < window; ++i) sum += ring_[size_t(i)].second;
    const int oldest = (ringIndex_ + 1) % window;
    double span = ring_[size_t(ringIndex_)].first - ring_[size_t(oldest)].first;
    if (span >= 0) {
      const double speed = s_.info.LineSpeedMbps;  // bits per microsecond
      const double bytes = ring_[size_t(oldest)].second;
      if (speed > 0 && s_.info.TopologyCode == topology::Ethernet) span += (bytes + 20) * 8 / speed;
      if (speed > 0 && s_.info.TopologyCode == topology::TokenRing) span += bytes * 8 / speed;
      // A window that still spans no time (all stamps equal on a medium without a known
      // transmission time) says nothing about throughput and is not sampled.
      if (span > 0) {
        const double throughput = double(sum) / (span / 1000000.0);
        res_.ThroughputMax = std::max(res_.ThroughputMax, throughput);
        res_.ThroughputMin = std::min(res_.ThroughputMin, throughput);
      }
    }
  }
  ringIndex_ = (ringIndex_ + 1) % window;
}

bool Walk::FindReverse() {
  bool oneWay = sel_.OneWay;
  const int32_t stream =
      FindReverseStream(t_, sel_.SourceStation, sel_.ForwardConversation, sel_.ForwardStream, &oneWay);
  sel_.OneWay = oneWay;
  if (oneWay) {
    res_.MeasurementStatus = measurement_status::OneWay;
    return false;
  }
  if (stream < 0) {
    res_.MeasurementStatus = measurement_status::NoPartnerStream;
    return false;
  }
  r_ = t_.Streams[size_t(stream)].FirstPacket;
  if (r_ < 0) {
    res_.MeasurementStatus = measurement_status::NoPartnerStream;
    return false;
  }
  CountReverse(P(r_));
  bothWays_ = true;
  return true;
}

// Moves the sender cursor to the first command. False when the run cannot start.
bool Walk::Synchronise() {
  auto stepUntil = [this](auto&& isCommand) {
    while (!isCommand(P(p_)))
      if (!StepForward()) return false;
    return true;
  };
  auto command = [](const TPacket& x) {
    return !NoTransmission(x) && (x.Flags & packet_flag::Request) && !(x.Flags & packet_flag::GroupAddressed);
  };
  switch (kind_) {
    case transport::Icmp:
      if (!stepUntil([](const TPacket& x) { return !NoTransmission(x) && x.Window == 8; })) {
        res_.MeasurementStatus = measurement_status::NoEchoRequest;
        return false;
      }
      break;
    case transport::Tcp:
      if (!stepUntil([](const TPacket& x) { return !NoTransmission(x) && !BareAck(x); })) {
        res_.MeasurementStatus = measurement_status::BareAcksOnly;
        return false;
      }
      break;
    case transport::Udp:
    case transport::Ncp:
    case transport::Spx:
    case transport::SpxII:
    case transport::NetBios:
    case transport::Smb:
    case transport::PBurst:
      if (!stepUntil(command)) {
        res_.MeasurementStatus = measurement_status::NoCommand;
        return false;
      }
      break;
    default:
      break;
  }
  CatchUp();
  if (P(p_).FrameNumber > P(r_).FrameNumber) return false;
  if (kind_ == transport::Tcp) {
    while (NoTransmission(P(r_)) || P(r_).Acknowledge <= P(p_).Sequence) {
      if (!StepReverse()) {
        res_.MeasurementStatus = measurement_status::NoTcpDataAcked;
        return false;
      }
      CatchUp();
    }
  }
  return true;
}

std::optional<int32_t> Walk::FindResponse(const TPacket& command) const {
  int looked = 0;
  for (int32_t q = r_; q >= 0 && looked < kResponseSearchLimit; q = Next(q), ++looked) {
    const TPacket& x = P(q);
    if (x.FrameNumber > sel_.EndFrame) break;
    if (NoTransmission(x)) continue;
    switch (kind_) {
      case transport::Icmp:
      case transport::Ncp:
      case transport::Smb:
        if (x.Sequence == command.Sequence) return q;
        break;
      case transport::Spx:
      case transport::SpxII:
      case transport::NetBios:
      case transport::PBurst:
        if (uint64_t(x.Acknowledge) == uint64_t(command.Sequence) + 1) return q;
        break;
      case transport::Udp:
        if (x.FrameNumber >= command.FrameNumber) return q;
        break;
      case transport::Tcp: {
        const int64_t expected = ExpectedAck(command);
        if (int64_t(x.Acknowledge) == expected) return q;
        if (int64_t(x.Acknowledge) > expected) return std::nullopt;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

void Walk::TimeCommand() {
  const TPacket& p = P(p_);
  if (NoTransmission(p) || (p.Flags & kTimingErrors) || p.FrameNumber == sel_.EndFrame || !InRange(p)) return;
  if (kind_ == transport::Tcp && BareAck(p)) return;
  if (kind_ == transport::Udp && previousIpId_ && *previousIpId_ == p.IpId) return;
  const std::optional<int32_t> found = FindResponse(p);
  if (!found) return;
  const TPacket& q = P(*found);
  if (kind_ == transport::Tcp) {
    // An answer that acknowledges a later command's data belongs to that command.
    int32_t later = p.Next;
    for (int n = 0; n < kTcpLookAhead && later >= 0; later = Next(later)) {
      const TPacket& x = P(later);
      if (IsGapMarker(x.Flags)) continue;
      ++n;
      if (ExpectedAck(x) == int64_t(q.Acknowledge)) return;
    }
  }
  double time = q.TimeStamp - p.TimeStamp;
  if (!sel_.IncludeLocalMediaTime && s_.info.LineSpeedMbps > 0) time -= q.FrameLength * 8.0 / s_.info.LineSpeedMbps;
  if (time < 0 || (p.Flags & (packet_flag::SeenViaRouter | packet_flag::Retransmission))) return;
  if (sel_.SmallResponsesOnly && q.FrameLength >= 101) return;
  if (sel_.LargeResponsesOnly && q.FrameLength <= 999) return;
  ++res_.PairCount;
  res_.LatencyMax = std::max(res_.LatencyMax, time);
  res_.LatencyMin = std::min(res_.LatencyMin, time);
  res_.LatencySum += time;
}

void Walk::Run() {
  res_ = MeasurementResults{};
  const auto& streams = t_.Streams;
  if (sel_.ForwardStream < 0 || size_t(sel_.ForwardStream) >= streams.size() || sel_.SourceStation < 0 ||
      size_t(sel_.SourceStation) >= t_.NetStationTree.size() || sel_.ForwardConversation < 0 ||
      size_t(sel_.ForwardConversation) >= t_.NetPeers.size()) {
    res_.MeasurementStatus = measurement_status::NoPartnerStream;
    return;
  }
  const TTransHead& stream = streams[size_t(sel_.ForwardStream)];
  kind_ = stream.Kind;
  if ((sel_.LatencyMode || sel_.ProblemMode) && !MeasurableKind(kind_)) {
    res_.MeasurementStatus = measurement_status::UnsupportedKind;
    return;
  }
  p_ = stream.FirstPacket;
  if (p_ < 0) return;
  FlagHook(P(p_));
  while (P(p_).FrameNumber < sel_.StartFrame && Next(p_) >= 0) {
    p_ = Next(p_);
    FlagHook(P(p_));
  }
  first_ = last_ = p_;
  CountForward(P(p_));

  bool synchronised = false;
  if (!sel_.ThroughputMode) {
    if (FindReverse()) synchronised = Synchronise();
  } else {
    Sample(P(p_));
    r_ = p_;
  }

  // The sender's packets are walked for their counts even when no command can be timed
  // (a one-way stream, or one that never synchronised).
  const bool timing = sel_.LatencyMode && bothWays_ && synchronised;
  if (P(p_).FrameNumber <= sel_.EndFrame) {
    for (;;) {
      CatchUp();
      if (timing) TimeCommand();
      if (!NoTransmission(P(p_))) previousIpId_ = P(p_).IpId;
      UpdateLast(p_);
      if (Next(p_) < 0) break;
      p_ = Next(p_);
      FlagHook(P(p_));
      UpdateLast(p_);
      if (P(p_).FrameNumber > sel_.EndFrame) break;
      CountForward(P(p_));
      if (sel_.ThroughputMode) Sample(P(p_));
    }
  }
  if (bothWays_) {
    CatchUp();
    while (P(r_).FrameNumber <= sel_.EndFrame && StepReverse()) {
    }
  }
  res_.Duration = std::max(0.0, P(last_).TimeStamp - P(first_).TimeStamp);
}

}  // namespace

void MeasurementSelection::SwapDirection() {
  std::swap(SourceStation, DestinationStation);
  std::swap(ForwardConversation, ReverseConversation);
  std::swap(ForwardStream, ReverseStream);
  std::swap(SourceText, DestinationText);
}

bool MeasurableKind(uint8_t kind) {
  switch (kind) {
    case transport::Icmp:
    case transport::Tcp:
    case transport::Udp:
    case transport::Ncp:
    case transport::Spx:
    case transport::SpxII:
    case transport::NetBios:
    case transport::Smb:
    case transport::PBurst:
      return true;
    default:
      return false;
  }
}

int32_t FindReturnConversation(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation) {
  if (sourceStation < 0 || size_t(sourceStation) >= tables.NetStationTree.size() || forwardConversation < 0 ||
      size_t(forwardConversation) >= tables.NetPeers.size())
    return -1;
  const int32_t partner = tables.NetStationTree.Find(tables.NetPeers[size_t(forwardConversation)].DestAddress);
  if (partner < 0) return -1;
  const AddressKey& source = tables.NetStationTree[sourceStation].Address;
  for (int32_t peer = tables.NetStationTree[partner].FirstNetPeer; peer >= 0; peer = tables.NetPeers[size_t(peer)].Next)
    if (tables.NetPeers[size_t(peer)].DestAddress == source) return peer;
  return -1;
}

int32_t FindReverseStream(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation,
                          int32_t forwardStream, bool* oneWay) {
  const TTransHead& forward = tables.Streams[size_t(forwardStream)];
  const int32_t back = *oneWay ? -1 : FindReturnConversation(tables, sourceStation, forwardConversation);
  if (back < 0) {
    *oneWay = true;
    return -1;
  }
  for (int32_t k = tables.NetPeers[size_t(back)].FirstStream; k >= 0; k = tables.Streams[size_t(k)].Next) {
    const TTransHead& candidate = tables.Streams[size_t(k)];
    if (forward.Kind == transport::Icmp) {
      if (candidate.Kind == transport::Icmp) return k;
    } else if (PortsSwapped(forward.Kind)) {
      // Ports are compared within one family: a UDP answer never pairs with a TCP command.
      const bool ipFamily = forward.Kind == transport::Tcp || forward.Kind == transport::Udp;
      if ((!ipFamily || candidate.Kind == forward.Kind) && candidate.SourcePort == forward.DestPort &&
          candidate.DestPort == forward.SourcePort)
        return k;
    } else if (candidate.Kind == forward.Kind) {
      return k;
    }
  }
  return -1;
}

void ConversationMeasurement(const TraceSession& session, MeasurementSelection& selection,
                             MeasurementResults& results) {
  Walk(session, selection, results).Run();
}

}  // namespace korvane
