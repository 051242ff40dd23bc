// The packet diagnostics of one conversation stream pair, as the packet visualiser draws
// them: the selected stream and its reverse stream merged in frame order, each packet
// judged against the problem finder's enabled checks and thresholds, and every finding
// counted per kind and per direction for the problem analysis summary.
//
// The walk keeps findings as small coded records; the visualiser's report turns them into
// their texts. Counts are 64-bit.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/TraceSession.h"
#include "measure/ConversationMeasurement.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {

inline constexpr int kMaxPacketDiagnostics = 10;

// The kinds of finding a packet can carry, in the order they are collected.
enum class DiagnosticKind : uint8_t {
  LowTtl,               // "Low TTL"
  LowStartingMss,       // "Low Starting MSS"
  IdleTooLong,          // Value = seconds, Packet = the previous packet of the direction
  LowWindow,            // "Low Window"
  StuckWindow,          // Number = the window, Extra = the largest window of its direction
  SlowAck,              // Value = milliseconds, Packet = the acknowledged packet
  LocallyRouted,        // Packet = the earlier copy (0 = not found)
  TransportRetransmission,
  FastRetransmission,   // Value = milliseconds, Packet = the earlier copy
  PacketBurstRequest,   // Number = packets asked for, 0 = the whole burst of sequence Extra;
                        // Function = 1 read, 2 write, 0 not known
  ServerBusy,
  ResetConnection,
  MissingFragment,
  ZeroWindow,
  DlcCrcError,
  IpChecksumError,
  UdpChecksumError,
  TcpChecksumError,
  ShortPacket,
  LongPacket,
};

struct Diagnostic {
  double Value = 0;
  int64_t Packet = 0;
  uint32_t Number = 0;
  uint32_t Extra = 0;
  DiagnosticKind Kind = DiagnosticKind::LowTtl;
  uint8_t Function = 0;
};

// The problem counters of one direction. Findings count only while their check is on.
enum class ProblemCount : uint8_t {
  IcmpMessage, DlcCrcError, ShortPacket, LongPacket, ServerBusy, IpChecksumError, IpMissingFragment,
  IpLowTtl, UdpChecksumError, TcpChecksumError, TcpIdleTooLong, TcpSlowAck, TcpLowMss, TcpStuckWindow,
  TcpLowWindow, ZeroWindow, TcpReset,
};
inline constexpr int kProblemCountKinds = 17;

struct DirectionCounters {
  std::array<int64_t, kProblemCountKinds> Counts{};
  int64_t LocallyRouted = 0, LocallyRoutedBytes = 0;
  int64_t Retransmissions = 0, RetransmittedBytes = 0;
  double RetransmitMicros = 0;         // summed time from each earlier copy
  int64_t RetransmitsAfterError = 0;   // retransmissions of a copy with a CRC or checksum error

  int64_t& operator[](ProblemCount kind) { return Counts[size_t(kind)]; }
  int64_t operator[](ProblemCount kind) const { return Counts[size_t(kind)]; }
  bool Empty() const;
};

// One drawn packet, in drawing order.
struct DiagnosedPacket {
  int32_t Packet = -1;            // PacketList index
  int32_t FirstDiagnostic = 0;    // into PacketDiagnosticsResult::Diagnostics
  int64_t AcknowledgedFrame = 0;  // TCP: the packet of the other direction it acknowledges, 0 = none
  uint8_t DiagnosticCount = 0;
  bool Forward = true;            // sent by the selected source
};

struct PacketDiagnosticsResult {
  int32_t ForwardStream = -1, ReverseStream = -1;
  std::vector<DiagnosedPacket> Packets;
  std::vector<Diagnostic> Diagnostics;
  std::array<DirectionCounters, 2> Counters{};  // [0] source to destination, [1] back
  std::array<uint16_t, 2> LargestWindows{};     // per direction, outside SYN segments

  std::span<const Diagnostic> DiagnosticsOf(const DiagnosedPacket& p) const {
    return {Diagnostics.data() + p.FirstDiagnostic, p.DiagnosticCount};
  }
};

// Microseconds from one capture time to a later one. A step back of more than half a day
// is the capture clock passing midnight; a smaller one (frames captured out of order)
// stays negative.
double ElapsedMicros(double before, double now);


// Walks the selection's forward stream and the partner's stream that answers it over
// StartFrame..EndFrame and judges every packet.
PacketDiagnosticsResult DiagnosePackets(const TraceSession& session, const MeasurementSelection& selection,
                                        const ProblemFinderSettings& settings);

}  // namespace korvane
