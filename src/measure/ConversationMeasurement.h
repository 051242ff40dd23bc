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

namespace korvane {

struct MeasurementSelection {
  // Indexes into NetStationTree, NetPeers and Streams; -1 = none.
  int32_t SourceStation = -1, ForwardConversation = -1, ForwardStream = -1;
  int32_t DestinationStation = -1, ReverseConversation = -1, ReverseStream = -1;
  int32_t StreamIndex = 0;
  std::string SourceText, DestinationText, AppText;
  int64_t StartFrame = 1, EndFrame = 0;  // inclusive frame-number range
  bool OneWay = false;                   // input and output
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
                          NoSnmpGet = 5, BareAcksOnly = 6, NoCommand = 7, NoTcpDataAcked = 11;
}

struct MeasurementResults {
  uint16_t MeasurementStatus = 0;
  int64_t FwdCount = 0, FwdBytes = 0;
  int64_t RevCount = 0, RevBytes = 0;
  int64_t PairCount = 0;
  double LatencyMin = 2147483647.0, LatencyMax = 0, LatencySum = 0;
  int64_t SampleCount = 0, SampleBytes = 0;
  int64_t PayloadSum = 0;
  double ThroughputMin = 2147483647.0, ThroughputMax = 0;  // bytes per second
  double Duration = 0;
  int64_t RetransmitCount = 0, LocalRoutingCount = 0, ZeroWindowCount = 0, ResetCount = 0, IcmpErrorCount = 0;
  bool FlaggedPacketSeen = false;
};

// Kinds that latency and problem analysis accept: ICMP, TCP, UDP, NCP, SPX, SPXII,
// NetBIOS, SMB and PBurst.
bool MeasurableKind(uint8_t kind);

// The partner's conversation back to the source of a forward conversation; -1 when the
// partner never sent anything to the source.
int32_t FindReturnConversation(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation);

// The partner's stream back to the sender, as the measurement pairs them; -1 when there
// is none. oneWay is set when the partner sent nothing back to the sender at all.
int32_t FindReverseStream(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation,
                          int32_t forwardStream, bool* oneWay);

void ConversationMeasurement(const TraceSession& session, MeasurementSelection& selection,
                             MeasurementResults& results);

}  // namespace korvane
