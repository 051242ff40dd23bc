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
//   sides, so a range that starts late does not count the partner's earlier packets; the
//   one exception is the partner's first packet at or beyond a sender packet in range,
//   counted even beyond EndFrame (the answer to the last command in range);
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

class Walk {
 public:
  Walk(const TraceSession& session, const MeasurementSelection& selection, MeasurementResults& results,
       const PartnerStreamIndex* partners)
      : s_(session), t_(session.tables), packets_(session.tables.PacketList), sel_(selection), res_(results),
        partners_(partners) {}

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
  void CountReverse(const TPacket& x, bool beyondEnd = false) {
    if (NoTransmission(x) || x.FrameNumber < sel_.StartFrame || (!beyondEnd && x.FrameNumber > sel_.EndFrame)) return;
    ++res_.RevCount;
    res_.RevBytes += x.FrameLength;
  }
  // Moves the sender cursor on by one packet; false at the end of the stream.
  bool StepForward();
  // Moves the partner cursor on by one packet; false at the end of the stream.
  bool StepReverse(bool beyondEnd = false) {
    if (Next(r_) < 0) return false;
    r_ = Next(r_);
    UpdateLast(r_);
    CountReverse(P(r_), beyondEnd);
    return true;
  }
  // Brings the partner cursor to its first packet at or beyond the sender's. While the
  // sender's packet lies in the range, that partner packet is counted even when it lies
  // beyond the end of the range: it is the answer to a command in range.
  void CatchUp() {
    if (!bothWays_) return;
    UpdateLast(r_);
    const bool commandInRange = P(p_).FrameNumber <= sel_.EndFrame;
    while (P(r_).FrameNumber < P(p_).FrameNumber && StepReverse(commandInRange)) {
    }
  }
  bool FindReverse();
  bool Synchronise();
  void TimeCommand();
  std::optional<int32_t> FindResponse(const TPacket& command) const;
  void Sample(const TPacket& x);
  double SampleSpan(double firstTime, double lastTime, uint16_t firstBytes) const;

  const TraceSession& s_;
  const AnalysisTables& t_;
  const RecordList<TPacket>& packets_;
  const MeasurementSelection& sel_;
  MeasurementResults& res_;
  const PartnerStreamIndex* partners_;
  uint8_t kind_ = 0;
  int32_t p_ = -1, r_ = -1, first_ = -1, last_ = -1;
  bool bothWays_ = false;
  std::optional<uint16_t> previousIpId_;
  std::array<std::pair<double, uint16_t>, kSampleRing> ring_{};
  int ringIndex_ = 0;
  std::pair<double, uint16_t> firstSample_{};
  double lastSampleTime_ = 0;
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

// The time a run of sampled packets took on the wire: from the first one's time stamp to
// the last one's, plus the first one's own transmission time on Ethernet or Token Ring (a
// stamp marks one point of a frame; without that the first frame's bytes would be counted
// in no time). The windows and the whole sample use this one rule, so that peak and average
// are comparable: a sample of exactly one window gives the same figure for both.
double Walk::SampleSpan(double firstTime, double lastTime, uint16_t firstBytes) const {
  double span = lastTime - firstTime;
  if (span < 0) return span;
  const double speed = s_.info.LineSpeedMbps;  // bits per microsecond
  if (speed > 0 && s_.info.TopologyCode == topology::Ethernet) span += (firstBytes + 20) * 8 / speed;
  if (speed > 0 && s_.info.TopologyCode == topology::TokenRing) span += firstBytes * 8 / speed;
  return span;
}

void Walk::Sample(const TPacket& x) {
  if (NoTransmission(x)) return;
  if (!sel_.IncludeAckPackets && kind_ == transport::Tcp && BareAck(x)) return;
  if (!InRange(x)) return;
  const int window = std::clamp<int>(sel_.SampleWindow, 4, kSampleRing);
  if (res_.SampleCount == 0) firstSample_ = {x.TimeStamp, x.FrameLength};
  lastSampleTime_ = x.TimeStamp;
  ++res_.SampleCount;
  res_.SampleBytes += x.FrameLength;
  ring_[size_t(ringIndex_)] = {x.TimeStamp, x.FrameLength};
  res_.PayloadSum += int64_t(x.NetLength) - int64_t(x.NetHeaderLength);
  if (res_.SampleCount >= window) {
    int64_t sum = 0;
    for (int i = 0; i < window; ++i) sum += ring_[size_t(i)].second;
    const int oldest = (ringIndex_ + 1) % window;
    const double span = SampleSpan(ring_[size_t(oldest)].first, ring_[size_t(ringIndex_)].first,
                                   ring_[size_t(oldest)].second);
    // A window that still spans no time (all stamps equal on a medium without a known
    // transmission time) says nothing about throughput and is not sampled.
    if (span > 0) {
      const double throughput = double(sum) / (span / 1000000.0);
      res_.ThroughputMax = std::max(res_.ThroughputMax, throughput);
      res_.ThroughputMin = std::min(res_.ThroughputMin, throughput);
    }
  }
  ringIndex_ = (ringIndex_ + 1) % window;
}

bool Walk::FindReverse() {
  PartnerLookup partner;
  if (!sel_.OneWay)
    partner = partners_ ? partners_->Of(sel_.ForwardStream)
                        : FindPartnerStream(t_, sel_.SourceStation, sel_.ForwardConversation, sel_.ForwardStream);
  if (partner.OneWay()) {
    res_.MeasurementStatus = measurement_status::OneWay;
    return false;
  }
  r_ = partner.Stream >= 0 ? t_.Streams[size_t(partner.Stream)].FirstPacket : -1;
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
  if (!InRange(P(p_))) {
    // The stream ends before the range, or has no packet between its ends.
    res_.MeasurementStatus = measurement_status::NoPacketsInRange;
    return;
  }
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
  if (res_.SampleCount > 0) {
    const double span = SampleSpan(firstSample_.first, lastSampleTime_, firstSample_.second);
    if (span > 0) res_.ThroughputAverage = double(res_.SampleBytes) / (span / 1000000.0);
    // The whole sample is itself a run of at least a window's packets. It counts among
    // the samples: windows of a few packets can all miss the busy start and end of a
    // short stream and stay below its average, which would make the peak lower than the
    // average and the contention negative.
    const int window = std::clamp<int>(sel_.SampleWindow, 4, kSampleRing);
    if (res_.SampleCount >= window && res_.ThroughputAverage > 0) {
      res_.ThroughputMax = std::max(res_.ThroughputMax, res_.ThroughputAverage);
      res_.ThroughputMin = std::min(res_.ThroughputMin, res_.ThroughputAverage);
    }
  }
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

void ConversationMeasurement(const TraceSession& session, const MeasurementSelection& selection,
                             MeasurementResults& results, const PartnerStreamIndex* partners) {
  Walk(session, selection, results, partners).Run();
}

}  // namespace korvane
