// Measures one protocol stream of one conversation over a range of frame numbers: packet
// and byte counts each way, command/response pairing (latency), a sliding throughput
// window, and the problem flag counters. One pass over each packet chain, no allocation.
//
// The caller fills a MeasurementSelection, sets its mode flags, runs the measurement and
// reads the MeasurementResults. All times are microseconds.
#pragma once
#include <cstdint>
#include <string>

#include "analysis/TraceSession.h"
#include "measure/PartnerStream.h"

namespace korvane {

struct MeasurementSelection {
  // Indexes into NetStationTree, NetPeers and Streams; -1 = none.
  int32_t SourceStation = -1, ForwardConversation = -1, ForwardStream = -1;
  int32_t DestinationStation = -1, ReverseConversation = -1, ReverseStream = -1;
  int32_t StreamIndex = 0;
  std::string SourceText, DestinationText, AppText;
  int64_t StartFrame = 1, EndFrame = 0;  // inclusive frame-number range
  bool OneWay = false;                   // the toolbox found nothing sent back; the run then looks for no partner
  bool LatencyMode = false, ThroughputMode = false, ProblemMode = false;
  bool IncludeAckPackets = true;
  bool IncludeLocalMediaTime = true;
  bool SmallResponsesOnly = false, LargeResponsesOnly = false;
  uint16_t SampleWindow = 8;  // 4..100

  // Exchanges the three directional items with their reverse counterparts (and the
  // source and destination texts); running twice restores the selection.
  void SwapDirection();
};

namespace measurement_status {
inline constexpr uint16_t Ok = 0, UnsupportedKind = 1, OneWay = 2, NoPartnerStream = 3, NoEchoRequest = 4,
                          NoSnmpGet = 5, BareAcksOnly = 6, NoCommand = 7, NoTcpDataAcked = 11,
                          NoPacketsInRange = 12;  // the sender has no packet in StartFrame..EndFrame
}

struct MeasurementResults {
  uint16_t MeasurementStatus = 0;
  int64_t FwdCount = 0, FwdBytes = 0;
  int64_t RevCount = 0, RevBytes = 0;
  int64_t PairCount = 0;
  double LatencyMin = 2147483647.0, LatencyMax = 0, LatencySum = 0;
  int64_t SampleCount = 0, SampleBytes = 0;
  int64_t PayloadSum = 0;
  // Bytes per second over each window of SampleWindow packets and, once there are that
  // many, over the whole sample: ThroughputMin <= ThroughputAverage <= ThroughputMax.
  double ThroughputMin = 2147483647.0, ThroughputMax = 0;
  // SampleBytes over the time the sampled packets took, by the same rule as each window's
  // (see the sampler); 0 when that time is 0.
  double ThroughputAverage = 0;
  double Duration = 0;
  int64_t RetransmitCount = 0, LocalRoutingCount = 0, ZeroWindowCount = 0, ResetCount = 0, IcmpErrorCount = 0;
  bool FlaggedPacketSeen = false;
};

// Kinds that latency and problem analysis accept: ICMP, TCP, UDP, NCP, SPX, SPXII,
// NetBIOS, SMB and PBurst.
bool MeasurableKind(uint8_t kind);

// Runs the measurement. The partner's stream is the one that answers the forward stream
// (PartnerStream.h), taken from `partners` when given, else looked up; the selection is
// only read.
void ConversationMeasurement(const TraceSession& session, const MeasurementSelection& selection,
                             MeasurementResults& results, const PartnerStreamIndex* partners = nullptr);

}  // namespace korvane
