// Packet diagnostics of a stream pair: merge order, the reverse stream, every finding with
// its check switched off and on and at its threshold, and the per-direction counters.
#include <gtest/gtest.h>

#include "measure/PacketDiagnostics.h"
#include "measure/StreamPairBuilder.h"

namespace korvane {
namespace {

using test::kAckFlag;
using test::kFin;
using test::kPsh;
using test::kRst;
using test::kSyn;
using Builder = test::StreamPairBuilder;

std::vector<int64_t> Frames(const Builder& x, const PacketDiagnosticsResult& r, bool withDirection = false) {
  std::vector<int64_t> out;
  for (const DiagnosedPacket& p : r.Packets) {
    const int64_t frame = x.s.tables.PacketList[size_t(p.Packet)].FrameNumber;
    out.push_back(withDirection && !p.Forward ? -frame : frame);
  }
  return out;
}

// The findings of the drawn packet with a frame number (the last one when several share it).
std::vector<DiagnosticKind> KindsAt(const Builder& x, const PacketDiagnosticsResult& r, int64_t frame) {
  std::vector<DiagnosticKind> out;
  for (const DiagnosedPacket& p : r.Packets) {
    if (x.s.tables.PacketList[size_t(p.Packet)].FrameNumber != frame) continue;
    out.clear();
    for (const Diagnostic& d : r.DiagnosticsOf(p)) out.push_back(d.Kind);
  }
  return out;
}

const Diagnostic* FindingAt(const Builder& x, const PacketDiagnosticsResult& r, int64_t frame, DiagnosticKind kind) {
  for (const DiagnosedPacket& p : r.Packets) {
    if (x.s.tables.PacketList[size_t(p.Packet)].FrameNumber != frame) continue;
    for (const Diagnostic& d : r.DiagnosticsOf(p))
      if (d.Kind == kind) return &d;
  }
  return nullptr;
}

bool Has(const Builder& x, const PacketDiagnosticsResult& r, int64_t frame, DiagnosticKind kind) {
  return FindingAt(x, r, frame, kind) != nullptr;
}

ProblemFinderSettings With(std::initializer_list<std::pair<ProblemThreshold, int>> thresholds) {
  ProblemFinderSettings s;
  for (auto [t, v] : thresholds) s.SetThreshold(t, v);
  return s;
}

ProblemFinderSettings Without(ProblemCheck check) {
  ProblemFinderSettings s;
  s.SetEnabled(check, false);
  return s;
}

TEST(PacketDiagnostics, MergesBothDirectionsInFrameOrderWithinTheRange) {
  Builder x;
  x.TcpPair();
  for (int64_t f : {1, 4, 5, 9}) x.Add(x.forward, Builder::Tcp(f, double(f) * 1000, 100, 1, kAckFlag));
  for (int64_t f : {2, 3, 6, 10, 11}) x.Add(x.reverse, Builder::Tcp(f, double(f) * 1000, 1, 100, kAckFlag));
  const ProblemFinderSettings settings;
  auto all = DiagnosePackets(x.s, x.Selection(), settings);
  EXPECT_EQ(all.ForwardStream, x.forward);
  EXPECT_EQ(all.ReverseStream, x.reverse);
  EXPECT_EQ(Frames(x, all, true), (std::vector<int64_t>{1, -2, -3, 4, 5, -6, 9, -10, -11}));
  EXPECT_EQ(Frames(x, DiagnosePackets(x.s, x.Selection(3, 9), settings)), (std::vector<int64_t>{3, 4, 5, 6, 9}));
  EXPECT_EQ(Frames(x, DiagnosePackets(x.s, x.Selection(5, 5), settings)), (std::vector<int64_t>{5}));
  EXPECT_TRUE(DiagnosePackets(x.s, x.Selection(12, 20), settings).Packets.empty());
}

TEST(PacketDiagnostics, AReportRecordIsDrawnAfterThePacketItReports) {
  Builder x;
  x.forward = x.Stream(x.ab, transport::Udp, 1050, 9999);
  x.reverse = x.Stream(x.Back(), transport::Udp, 9999, 1050);
  x.Add(x.forward, Builder::Plain(2, 2000));
  TPacket report = Builder::Plain(7, 7000);
  report.Flags = packet_flag::Reply | packet_flag::IcmpReport;
  report.Sequence = 2;  // the reported packet
  x.Add(x.forward, report);
  x.Add(x.forward, Builder::Plain(5, 5000));
  x.Add(x.reverse, Builder::Plain(3, 3000));
  x.Add(x.reverse, Builder::Plain(6, 6000));
  const ProblemFinderSettings settings;
  EXPECT_EQ(Frames(x, DiagnosePackets(x.s, x.Selection(), settings)), (std::vector<int64_t>{2, 7, 3, 5, 6}));
  // The report's own frame lies beyond the range: it is left out, the rest stays in order.
  EXPECT_EQ(Frames(x, DiagnosePackets(x.s, x.Selection(1, 6), settings)), (std::vector<int64_t>{2, 3, 5, 6}));
}

TEST(PacketDiagnostics, WithoutAnAnswerOnlyTheForwardPacketsAreWalked) {
  Builder x;
  x.forward = x.Stream(x.ab, transport::Tcp, 1030, 80);
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 0, kSyn));
  x.Add(x.forward, Builder::Tcp(2, 1000, 1, 0, kSyn));
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
  EXPECT_EQ(r.ReverseStream, -1);
  EXPECT_EQ(Frames(x, r, true), (std::vector<int64_t>{1, 2}));
  // A selection without a stream walks nothing.
  MeasurementSelection none = x.Selection();
  none.ForwardStream = -1;
  EXPECT_TRUE(DiagnosePackets(x.s, none, ProblemFinderSettings{}).Packets.empty());
}

TEST(PacketDiagnostics, LowTtlOnIpAtTheThreshold) {
  Builder x;
  x.forward = x.Stream(x.ab, transport::Udp, 1030, 53);
  for (int64_t f = 1; f <= 4; ++f) {
    TPacket p = Builder::Plain(f, double(f));
    p.Ttl = uint8_t(std::array<int, 4>{1, 2, 0, 5}[size_t(f - 1)]);
    x.Add(x.forward, p);
  }
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});  // threshold 1
  EXPECT_TRUE(Has(x, r, 1, DiagnosticKind::LowTtl));
  EXPECT_FALSE(Has(x, r, 2, DiagnosticKind::LowTtl));
  EXPECT_TRUE(Has(x, r, 3, DiagnosticKind::LowTtl));
  EXPECT_EQ(r.Counters[0][ProblemCount::IpLowTtl], 2);
  auto higher = DiagnosePackets(x.s, x.Selection(), With({{ProblemThreshold::IPLowTTL, 5}}));
  EXPECT_EQ(higher.Counters[0][ProblemCount::IpLowTtl], 4);
  auto off = DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::IPLowTTL));
  EXPECT_TRUE(off.Diagnostics.empty());
  EXPECT_EQ(off.Counters[0][ProblemCount::IpLowTtl], 0);

  // On IPX the field is a hop count: never a low TTL.
  Builder ipx(true);
  ipx.forward = ipx.Stream(ipx.ab, transport::Ncp);
  TPacket hops = Builder::Plain(1, 0);
  hops.Ttl = 0;
  ipx.Add(ipx.forward, hops);
  EXPECT_TRUE(DiagnosePackets(ipx.s, ipx.Selection(), ProblemFinderSettings{}).Diagnostics.empty());
}

TEST(PacketDiagnostics, LowStartingMssOnSynAtTheThreshold) {
  Builder x;
  x.TcpPair();
  auto syn = [](int64_t frame, uint16_t mss, uint16_t flags = kSyn) {
    TPacket p = Builder::Tcp(frame, double(frame), 0, 0, flags);
    p.Mss = mss;
    return p;
  };
  x.Add(x.forward, syn(1, 1024));
  x.Add(x.forward, syn(2, 1025));
  x.Add(x.forward, syn(3, 0));
  x.Add(x.reverse, syn(4, 536, kSyn | kAckFlag));
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});  // threshold 1024
  EXPECT_EQ(KindsAt(x, r, 1), std::vector<DiagnosticKind>{DiagnosticKind::LowStartingMss});
  EXPECT_TRUE(KindsAt(x, r, 2).empty());
  EXPECT_TRUE(KindsAt(x, r, 3).empty());
  EXPECT_TRUE(Has(x, r, 4, DiagnosticKind::LowStartingMss));
  EXPECT_EQ(r.Counters[0][ProblemCount::TcpLowMss], 1);
  EXPECT_EQ(r.Counters[1][ProblemCount::TcpLowMss], 1);
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::TCPLowMSS)).Counters[0][ProblemCount::TcpLowMss], 0);
}

TEST(PacketDiagnostics, IdleTooLongFromThePreviousPacketOfTheSameDirection) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag));
  x.Add(x.forward, Builder::Tcp(2, 1000000, 1, 1, kAckFlag));   // exactly 1 s: not longer
  x.Add(x.forward, Builder::Tcp(3, 2000001, 1, 1, kAckFlag));   // 1.000001 s
  x.Add(x.reverse, Builder::Tcp(4, 2500000, 1, 1, kAckFlag));   // the other way: no effect
  x.Add(x.forward, Builder::Tcp(5, 3200000, 1, 1, kAckFlag));   // 1.2 s after frame 3
  x.Add(x.forward, Builder::Tcp(6, 9000000, 1, 1, kFin | kAckFlag));  // closing: not judged
  const auto settings = With({{ProblemThreshold::TCPIdleTooLong, 1}});
  auto r = DiagnosePackets(x.s, x.Selection(), settings);
  EXPECT_FALSE(Has(x, r, 2, DiagnosticKind::IdleTooLong));
  const Diagnostic* third = FindingAt(x, r, 3, DiagnosticKind::IdleTooLong);
  ASSERT_NE(third, nullptr);
  EXPECT_NEAR(third->Value, 1.000001, 1e-9);
  EXPECT_EQ(third->Packet, 2);
  const Diagnostic* fifth = FindingAt(x, r, 5, DiagnosticKind::IdleTooLong);
  ASSERT_NE(fifth, nullptr);
  EXPECT_EQ(fifth->Packet, 3);
  EXPECT_FALSE(Has(x, r, 4, DiagnosticKind::IdleTooLong));  // the first of its direction
  EXPECT_FALSE(Has(x, r, 6, DiagnosticKind::IdleTooLong));
  EXPECT_EQ(r.Counters[0][ProblemCount::TcpIdleTooLong], 2);
  EXPECT_EQ(r.Counters[1][ProblemCount::TcpIdleTooLong], 0);
  // The default threshold is 300 s.
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{}).Counters[0][ProblemCount::TcpIdleTooLong], 0);
  ProblemFinderSettings off = settings;
  off.SetEnabled(ProblemCheck::TCPIdleTooLong, false);
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), off).Counters[0][ProblemCount::TcpIdleTooLong], 0);
}

TEST(PacketDiagnostics, LowWindowBelowThePercentageOfTheDirectionsLargest) {
  Builder x;
  x.TcpPair();
  TPacket syn = Builder::Tcp(1, 0, 0, 0, kSyn, 0, 64000);  // never scaled: not a measure
  x.Add(x.forward, syn);
  x.Add(x.forward, Builder::Tcp(2, 1, 1, 1, kAckFlag, 100, 63));  // a scaled window
  x.Add(x.reverse, Builder::Tcp(3, 2, 1, 101, kAckFlag, 0, 10000));
  x.Add(x.reverse, Builder::Tcp(4, 3, 1, 101, kAckFlag, 0, 999));
  x.Add(x.reverse, Builder::Tcp(5, 4, 1, 101, kAckFlag, 0, 1000));
  TPacket closed = Builder::Tcp(6, 5, 1, 101, kAckFlag, 0, 0);
  closed.Flags = packet_flag::ZeroWindow;
  x.Add(x.reverse, closed);
  TPacket synAck = Builder::Tcp(7, 6, 0, 1, kSyn | kAckFlag, 0, 500);
  x.Add(x.reverse, synAck);
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});  // 10 percent
  EXPECT_EQ(r.LargestWindows, (std::array<uint16_t, 2>{63, 10000}));
  EXPECT_TRUE(KindsAt(x, r, 2).empty());  // 63 against the SYN's 64000 or B's 10000 would be low
  EXPECT_TRUE(Has(x, r, 4, DiagnosticKind::LowWindow));
  EXPECT_FALSE(Has(x, r, 5, DiagnosticKind::LowWindow));
  EXPECT_EQ(KindsAt(x, r, 6), std::vector<DiagnosticKind>{DiagnosticKind::ZeroWindow});
  EXPECT_FALSE(Has(x, r, 7, DiagnosticKind::LowWindow));
  EXPECT_EQ(r.Counters[1][ProblemCount::TcpLowWindow], 1);
  EXPECT_EQ(r.Counters[0][ProblemCount::TcpLowWindow], 0);
  EXPECT_EQ(r.Counters[1][ProblemCount::ZeroWindow], 1);
  EXPECT_FALSE(Has(x, DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::TCPLowWindow)), 4,
                   DiagnosticKind::LowWindow));
}

TEST(PacketDiagnostics, APacketsFindingsDoNotDependOnTheRangeDrawn) {
  // Windows that shrink and stick, a slow acknowledgement and idle pauses, judged over
  // every range: each packet in a range has the findings it has in the whole stream pair.
  Builder x;
  x.TcpPair();
  uint32_t seq = 1;
  const std::array<double, 8> at = {0, 5, 400, 1600, 1700, 3900, 4000, 4100};
  const std::array<uint16_t, 8> window = {60000, 60000, 3000, 3000, 3000, 3000, 40000, 2000};
  for (size_t i = 0; i < at.size(); ++i) {
    x.Add(x.forward, Builder::Tcp(int64_t(2 * i + 1), at[i] * 1000, seq, 1, kAckFlag | kPsh, 100, 8000));
    seq += 100;
    x.Add(x.reverse, Builder::Tcp(int64_t(2 * i + 2), (at[i] + 300) * 1000, 1, seq, kAckFlag, 0, window[i]));
  }
  const auto settings = With({{ProblemThreshold::TCPStuckWindow, 1000}, {ProblemThreshold::TCPIdleTooLong, 1}});
  const auto whole = DiagnosePackets(x.s, x.Selection(), settings);
  ASSERT_GT(whole.Diagnostics.size(), 4u);
  auto texts = [](const PacketDiagnosticsResult& r, const DiagnosedPacket& p) {
    std::vector<std::tuple<DiagnosticKind, int64_t, uint32_t>> out;
    for (const Diagnostic& d : r.DiagnosticsOf(p)) out.emplace_back(d.Kind, d.Packet, d.Number);
    return out;
  };
  for (int64_t from = 1; from <= 16; ++from) {
    for (int64_t to = from; to <= 16; ++to) {
      const auto part = DiagnosePackets(x.s, x.Selection(from, to), settings);
      ASSERT_EQ(part.Packets.size(), size_t(to - from + 1));
      for (const DiagnosedPacket& p : part.Packets) {
        const auto same = std::find_if(whole.Packets.begin(), whole.Packets.end(),
                                       [&](const DiagnosedPacket& w) { return w.Packet == p.Packet; });
        EXPECT_EQ(texts(part, p), texts(whole, *same)) << "range " << from << ".." << to;
        EXPECT_EQ(p.AcknowledgedFrame, same->AcknowledgedFrame);
      }
    }
  }
}

TEST(PacketDiagnostics, StuckWindowOncePerRunWhileThePartnerSendsData) {
  Builder x;
  x.TcpPair();
  const double ms = 1000;
  uint32_t seq = 1;
  auto data = [&](int64_t frame, double at) {
    x.Add(x.forward, Builder::Tcp(frame, at * ms, seq, 1, kAckFlag | kPsh, 100, 8000));
    seq += 100;
  };
  auto ack = [&](int64_t frame, double at, uint16_t window) {
    x.Add(x.reverse, Builder::Tcp(frame, at * ms, 1, seq, kAckFlag, 0, window));
  };
  data(1, 0);
  ack(2, 1, 4000);
  data(3, 20);
  ack(4, 50, 4000);
  data(5, 60);
  ack(6, 100.999, 4000);  // 99.999 ms into the run
  ack(7, 101, 4000);      // 100 ms: stuck
  data(8, 150);
  ack(9, 300, 4000);      // still stuck, already reported
  ack(10, 310, 6000);     // a new run at B's largest window: nothing to report
  data(11, 320);
  ack(12, 600, 6000);
  ack(13, 610, 5000);     // a new run
  ack(14, 900, 5000);     // no data from the partner since it began
  const auto settings = With({{ProblemThreshold::TCPStuckWindow, 100}});
  auto r = DiagnosePackets(x.s, x.Selection(), settings);
  EXPECT_FALSE(Has(x, r, 6, DiagnosticKind::StuckWindow));
  const Diagnostic* stuck = FindingAt(x, r, 7, DiagnosticKind::StuckWindow);
  ASSERT_NE(stuck, nullptr);
  EXPECT_EQ(stuck->Number, 4000u);
  EXPECT_EQ(stuck->Extra, 6000u);
  EXPECT_FALSE(Has(x, r, 9, DiagnosticKind::StuckWindow));
  EXPECT_FALSE(Has(x, r, 12, DiagnosticKind::StuckWindow));
  EXPECT_FALSE(Has(x, r, 14, DiagnosticKind::StuckWindow));
  EXPECT_EQ(r.Counters[1][ProblemCount::TcpStuckWindow], 1);
  EXPECT_EQ(r.Counters[0][ProblemCount::TcpStuckWindow], 0);  // A's 8000 never shrinks
  ProblemFinderSettings off = settings;
  off.SetEnabled(ProblemCheck::TCPStuckWindow, false);
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), off).Counters[1][ProblemCount::TcpStuckWindow], 0);
  // The default threshold (2000 ms) is never reached here.
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{}).Counters[1][ProblemCount::TcpStuckWindow], 0);
}

TEST(PacketDiagnostics, SlowAckFromTheAcknowledgedSegment) {
  auto build = [](Builder& x, double ackAtMs) {
    x.TcpPair();
    x.Add(x.forward, Builder::Tcp(1, 0, 1000, 1, kAckFlag | kPsh, 100));
    x.Add(x.forward, Builder::Tcp(2, 10, 1100, 1, kAckFlag));  // a bare ACK takes no sequence space
    x.Add(x.reverse, Builder::Tcp(3, ackAtMs * 1000, 1, 1100, kAckFlag));
    x.Add(x.reverse, Builder::Tcp(4, 600000, 1, 1100, kAckFlag));  // a duplicate: not timed again
    x.Add(x.forward, Builder::Tcp(5, 700000, 1100, 1, kAckFlag | kPsh, 100));
    x.Add(x.reverse, Builder::Tcp(6, 701000, 1, 1200, kAckFlag));
  };
  Builder onTime;
  build(onTime, 250);  // exactly the threshold: not later than it
  auto r = DiagnosePackets(onTime.s, onTime.Selection(), ProblemFinderSettings{});
  ASSERT_EQ(r.Packets.size(), 6u);
  EXPECT_EQ(r.Packets[2].AcknowledgedFrame, 1);
  EXPECT_EQ(r.Packets[3].AcknowledgedFrame, 1);
  EXPECT_EQ(r.Packets[5].AcknowledgedFrame, 5);
  EXPECT_EQ(r.Packets[1].AcknowledgedFrame, 0);  // nothing of B's takes sequence space
  EXPECT_EQ(r.Counters[1][ProblemCount::TcpSlowAck], 0);

  Builder late;
  build(late, 250.001);
  auto s = DiagnosePackets(late.s, late.Selection(), ProblemFinderSettings{});
  const Diagnostic* slow = FindingAt(late, s, 3, DiagnosticKind::SlowAck);
  ASSERT_NE(slow, nullptr);
  EXPECT_NEAR(slow->Value, 250.001, 1e-6);
  EXPECT_EQ(slow->Packet, 1);
  EXPECT_FALSE(Has(late, s, 4, DiagnosticKind::SlowAck));
  EXPECT_EQ(s.Counters[1][ProblemCount::TcpSlowAck], 1);
  EXPECT_EQ(DiagnosePackets(late.s, late.Selection(), Without(ProblemCheck::TCPSlowAck)).Counters[1][ProblemCount::TcpSlowAck], 0);
  // The acknowledged segment may lie before the range: the finding does not depend on it.
  auto ranged = DiagnosePackets(late.s, late.Selection(2, 10), ProblemFinderSettings{});
  EXPECT_EQ(ranged.Packets[1].AcknowledgedFrame, 1);
  EXPECT_TRUE(Has(late, ranged, 3, DiagnosticKind::SlowAck));

  // A SYN takes one sequence number: the SYN-ACK answers it.
  Builder handshake;
  handshake.TcpPair();
  handshake.Add(handshake.forward, Builder::Tcp(1, 0, 5000, 0, kSyn));
  handshake.Add(handshake.reverse, Builder::Tcp(2, 300000, 9000, 5001, kSyn | kAckFlag));
  auto h = DiagnosePackets(handshake.s, handshake.Selection(), ProblemFinderSettings{});
  EXPECT_EQ(h.Packets[1].AcknowledgedFrame, 1);
  EXPECT_TRUE(Has(handshake, h, 2, DiagnosticKind::SlowAck));
}

TEST(PacketDiagnostics, RetransmissionsAndRoutedCopiesFindTheirEarlierCopy) {
  Builder x;
  x.TcpPair();
  TPacket first = Builder::Tcp(1, 0, 100, 1, kAckFlag, 100);
  first.Flags = packet_flag::TcpChecksumError;
  x.Add(x.forward, first);
  TPacket marker = Builder::Tcp(3, 0, 300, 1, kAckFlag);
  marker.Flags = packet_flag::GapMarker;
  x.Add(x.forward, marker);
  x.Add(x.forward, Builder::Tcp(3, 2000, 300, 1, kAckFlag, 100));
  TPacket again = Builder::Tcp(4, 3000, 100, 1, kAckFlag, 100);
  again.Flags = packet_flag::Retransmission;
  again.RetransmitDistance = 2;  // frame 3, then frame 1: the gap marker is no packet
  x.Add(x.forward, again);
  TPacket routed = Builder::Tcp(5, 3500, 100, 1, kAckFlag, 100);
  routed.Flags = packet_flag::SeenViaRouter;
  routed.Ttl = 63;
  routed.RetransmitDistance = 1;
  x.Add(x.forward, routed);

  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
  EXPECT_EQ(KindsAt(x, r, 4),
            (std::vector<DiagnosticKind>{DiagnosticKind::TransportRetransmission, DiagnosticKind::FastRetransmission}));
  const Diagnostic* fast = FindingAt(x, r, 4, DiagnosticKind::FastRetransmission);
  ASSERT_NE(fast, nullptr);
  EXPECT_DOUBLE_EQ(fast->Value, 3.0);
  EXPECT_EQ(fast->Packet, 1);
  const Diagnostic* local = FindingAt(x, r, 5, DiagnosticKind::LocallyRouted);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->Packet, 4);
  const DirectionCounters& c = r.Counters[0];
  EXPECT_EQ(c.Retransmissions, 1);
  EXPECT_EQ(c.RetransmittedBytes, again.FrameLength);
  EXPECT_DOUBLE_EQ(c.RetransmitMicros, 3000);
  EXPECT_EQ(c.RetransmitsAfterError, 1);  // its first copy failed its checksum
  EXPECT_EQ(c.LocallyRouted, 1);
  EXPECT_EQ(c.LocallyRoutedBytes, routed.FrameLength);
  EXPECT_EQ(c[ProblemCount::TcpChecksumError], 1);

  // At exactly the fast threshold a retransmission is not fast.
  auto atLimit = DiagnosePackets(x.s, x.Selection(), With({{ProblemThreshold::TCPFastTransportRetransmission, 3}}));
  EXPECT_FALSE(Has(x, atLimit, 4, DiagnosticKind::FastRetransmission));
  EXPECT_TRUE(Has(x, atLimit, 4, DiagnosticKind::TransportRetransmission));
  // Each check on its own.
  auto noRetransmission = DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::TCPTransportRetransmission));
  EXPECT_EQ(KindsAt(x, noRetransmission, 4), std::vector<DiagnosticKind>{DiagnosticKind::FastRetransmission});
  EXPECT_EQ(noRetransmission.Counters[0].Retransmissions, 0);
  EXPECT_DOUBLE_EQ(noRetransmission.Counters[0].RetransmitMicros, 0);
  auto noFast = DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::TCPFastTransportRetransmission));
  EXPECT_EQ(KindsAt(x, noFast, 4), std::vector<DiagnosticKind>{DiagnosticKind::TransportRetransmission});
  // The other transports' checks leave TCP alone.
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::NCPTransportRetransmission)).Counters[0].Retransmissions, 1);
  auto noLocal = DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::IPLocalRouting));
  EXPECT_TRUE(KindsAt(x, noLocal, 5).empty());
  EXPECT_EQ(noLocal.Counters[0].LocallyRouted, 0);
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::IPXLocalRouting)).Counters[0].LocallyRouted, 1);
}

TEST(PacketDiagnostics, IpxTransportsUseTheirOwnChecks) {
  auto build = [](Builder& x, uint8_t kind) {
    x.forward = x.Stream(x.ab, kind, 0x4003, 0x0451);
    TPacket request = Builder::Plain(1, 0);
    request.Flags = packet_flag::Request;
    request.Sequence = 5;
    x.Add(x.forward, request);
    request.FrameNumber = 2;
    request.TimeStamp = 10000;
    request.Flags |= packet_flag::Retransmission;  // the accounting leaves the distance at 0
    x.Add(x.forward, request);
    request.FrameNumber = 3;
    request.TimeStamp = 11000;
    request.Ttl = 65;
    request.Flags = packet_flag::Request | packet_flag::SeenViaRouter;
    x.Add(x.forward, request);
  };
  for (uint8_t kind : {transport::Ncp, transport::Spx, transport::SpxII}) {
    SCOPED_TRACE(int(kind));
    Builder x(true);
    build(x, kind);
    const bool ncp = kind == transport::Ncp;
    auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
    EXPECT_EQ(KindsAt(x, r, 2),
              (std::vector<DiagnosticKind>{DiagnosticKind::TransportRetransmission, DiagnosticKind::FastRetransmission}));
    EXPECT_EQ(FindingAt(x, r, 2, DiagnosticKind::FastRetransmission)->Packet, 1);
    EXPECT_EQ(FindingAt(x, r, 3, DiagnosticKind::LocallyRouted)->Packet, 2);
    EXPECT_DOUBLE_EQ(r.Counters[0].RetransmitMicros, 10000);
    const auto own = ncp ? ProblemCheck::NCPTransportRetransmission : ProblemCheck::SPXTransportRetransmission;
    const auto other = ncp ? ProblemCheck::SPXTransportRetransmission : ProblemCheck::NCPTransportRetransmission;
    EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(own)).Counters[0].Retransmissions, 0);
    EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(other)).Counters[0].Retransmissions, 1);
    EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::TCPTransportRetransmission)).Counters[0].Retransmissions, 1);
    const auto fast = ncp ? ProblemThreshold::NCPFastTransportRetransmission : ProblemThreshold::SPXFastTransportRetransmission;
    EXPECT_FALSE(Has(x, DiagnosePackets(x.s, x.Selection(), With({{fast, 10}})), 2, DiagnosticKind::FastRetransmission));
    EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::IPXLocalRouting)).Counters[0].LocallyRouted, 0);
    EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::IPLocalRouting)).Counters[0].LocallyRouted, 1);
  }
}

TEST(PacketDiagnostics, PacketBurstRetransmitRequests) {
  Builder x(true);
  x.forward = x.Stream(x.ab, transport::PBurst, 0x4003, 0x4005);
  TPacket missing = Builder::Plain(1, 0);
  missing.Flags = packet_flag::Retransmission;
  missing.NcpFunction = 3;
  x.Add(x.forward, missing);
  TPacket repeated = Builder::Plain(2, 500);
  repeated.Flags = packet_flag::Retransmission | packet_flag::Request | packet_flag::NcpRead;
  repeated.Sequence = 7;
  x.Add(x.forward, repeated);
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
  const Diagnostic* some = FindingAt(x, r, 1, DiagnosticKind::PacketBurstRequest);
  ASSERT_NE(some, nullptr);
  EXPECT_EQ(some->Number, 3u);
  EXPECT_EQ(some->Function, 0);
  const Diagnostic* whole = FindingAt(x, r, 2, DiagnosticKind::PacketBurstRequest);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->Number, 0u);
  EXPECT_EQ(whole->Extra, 7u);
  EXPECT_EQ(whole->Function, 1);
  EXPECT_EQ(KindsAt(x, r, 2).size(), 1u);     // a request, not a repeated packet
  EXPECT_EQ(r.Counters[0].Retransmissions, 0);
  EXPECT_TRUE(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::NCPPacketBurst)).Diagnostics.empty());
}

TEST(PacketDiagnostics, FlagFindingsFollowTheirChecks) {
  struct Case {
    uint32_t flag;
    ProblemCheck check;
    DiagnosticKind kind;
    ProblemCount counter;
  };
  const Case cases[] = {
      {packet_flag::ServerBusyReply, ProblemCheck::NCPServerBusy, DiagnosticKind::ServerBusy, ProblemCount::ServerBusy},
      {packet_flag::TcpReset, ProblemCheck::TCPResetConnection, DiagnosticKind::ResetConnection, ProblemCount::TcpReset},
      {packet_flag::UnmatchedFragment, ProblemCheck::IPMissingFragment, DiagnosticKind::MissingFragment,
       ProblemCount::IpMissingFragment},
      {packet_flag::ZeroWindow, ProblemCheck::TCPZeroWindow, DiagnosticKind::ZeroWindow, ProblemCount::ZeroWindow},
      {packet_flag::FrameError, ProblemCheck::EthernetCRCError, DiagnosticKind::DlcCrcError, ProblemCount::DlcCrcError},
      {packet_flag::IpChecksumError, ProblemCheck::IPChecksumError, DiagnosticKind::IpChecksumError,
       ProblemCount::IpChecksumError},
      {packet_flag::UdpChecksumError, ProblemCheck::UDPChecksumError, DiagnosticKind::UdpChecksumError,
       ProblemCount::UdpChecksumError},
      {packet_flag::TcpChecksumError, ProblemCheck::TCPChecksumError, DiagnosticKind::TcpChecksumError,
       ProblemCount::TcpChecksumError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.kind));
    Builder x;
    x.TcpPair();
    x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag, 10));
    TPacket flagged = Builder::Tcp(2, 1000, 1, 11, kAckFlag, 0, 6000);
    flagged.Flags = c.flag;
    x.Add(x.reverse, flagged);
    auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
    EXPECT_EQ(KindsAt(x, r, 2), std::vector<DiagnosticKind>{c.kind});
    EXPECT_TRUE(KindsAt(x, r, 1).empty());
    EXPECT_EQ(r.Counters[1][c.counter], 1);
    EXPECT_EQ(r.Counters[0][c.counter], 0);
    auto off = DiagnosePackets(x.s, x.Selection(), Without(c.check));
    EXPECT_TRUE(off.Diagnostics.empty());
    EXPECT_TRUE(off.Counters[1].Empty());
  }
}

TEST(PacketDiagnostics, ShortAndLongFramesOnEthernetOnly) {
  Builder x;
  x.forward = x.Stream(x.ab, transport::Udp, 1030, 53);
  const uint16_t lengths[] = {63, 64, 1518, 1519};
  for (int64_t f = 1; f <= 4; ++f) x.Add(x.forward, Builder::Plain(f, double(f), lengths[f - 1]));
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
  EXPECT_EQ(KindsAt(x, r, 1), std::vector<DiagnosticKind>{DiagnosticKind::ShortPacket});
  EXPECT_TRUE(KindsAt(x, r, 2).empty());
  EXPECT_TRUE(KindsAt(x, r, 3).empty());
  EXPECT_EQ(KindsAt(x, r, 4), std::vector<DiagnosticKind>{DiagnosticKind::LongPacket});
  EXPECT_EQ(r.Counters[0][ProblemCount::ShortPacket], 1);
  EXPECT_EQ(r.Counters[0][ProblemCount::LongPacket], 1);
  EXPECT_FALSE(Has(x, DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::EthernetUndersized)), 1,
                   DiagnosticKind::ShortPacket));
  EXPECT_FALSE(Has(x, DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::EthernetOversized)), 4,
                   DiagnosticKind::LongPacket));
  x.s.info.TopologyCode = topology::TokenRing;
  EXPECT_TRUE(DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{}).Diagnostics.empty());
}

TEST(PacketDiagnostics, ALaterFragmentGetsNoTcpFindings) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag, 100, 30000));
  TPacket fragment = Builder::Tcp(2, 500e6, 0, 0, 0, 0, 0);  // no TCP header: all fields 0
  fragment.TransportHeaderLength = 0;
  fragment.FragmentOffset = 1480;
  fragment.Flags = packet_flag::ZeroWindow | packet_flag::UnmatchedFragment;
  x.Add(x.forward, fragment);
  auto r = DiagnosePackets(x.s, x.Selection(), With({{ProblemThreshold::TCPIdleTooLong, 1}}));
  EXPECT_EQ(KindsAt(x, r, 2), std::vector<DiagnosticKind>{DiagnosticKind::MissingFragment});
}

TEST(PacketDiagnostics, AReportRecordCountsOneIcmpMessageAndNothingElse) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag, 10));
  TPacket report = Builder::Plain(2, 400e6, 40);  // short, TTL 0, long after frame 1
  report.Ttl = 0;
  report.Flags = packet_flag::Reply | packet_flag::IcmpReport;
  report.Sequence = 1;
  x.Add(x.forward, report);
  x.Add(x.forward, Builder::Tcp(3, 1000, 11, 1, kAckFlag, 10));
  auto r = DiagnosePackets(x.s, x.Selection(), With({{ProblemThreshold::TCPIdleTooLong, 1}}));
  EXPECT_TRUE(r.Diagnostics.empty());  // frame 3 is judged against frame 1, not the report
  EXPECT_EQ(r.Counters[0][ProblemCount::IcmpMessage], 1);
  EXPECT_EQ(r.Counters[1][ProblemCount::IcmpMessage], 0);
  EXPECT_EQ(DiagnosePackets(x.s, x.Selection(), Without(ProblemCheck::ICMP)).Counters[0][ProblemCount::IcmpMessage], 0);
}

TEST(PacketDiagnostics, AtMostTenTextsButEveryFindingCounts) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag, 10, 60000));
  TPacket bad = Builder::Tcp(2, 100, 1, 1, kSyn | kRst, 0, 100);
  bad.Ttl = 0;
  bad.Mss = 200;
  bad.FrameLength = 60;
  bad.RetransmitDistance = 1;
  bad.Flags = packet_flag::Retransmission | packet_flag::ServerBusyReply | packet_flag::TcpReset |
              packet_flag::UnmatchedFragment | packet_flag::FrameError | packet_flag::IpChecksumError |
              packet_flag::UdpChecksumError | packet_flag::TcpChecksumError;
  x.Add(x.forward, bad);
  auto r = DiagnosePackets(x.s, x.Selection(), ProblemFinderSettings{});
  ASSERT_EQ(r.Packets.size(), 2u);
  EXPECT_EQ(r.Packets[1].DiagnosticCount, kMaxPacketDiagnostics);
  EXPECT_EQ(r.Diagnostics.size(), size_t(kMaxPacketDiagnostics));
  const DirectionCounters& c = r.Counters[0];
  EXPECT_EQ(c[ProblemCount::IpLowTtl], 1);
  EXPECT_EQ(c[ProblemCount::TcpLowMss], 1);
  EXPECT_EQ(c.Retransmissions, 1);
  EXPECT_EQ(c[ProblemCount::TcpChecksumError], 1);  // the 11th finding
  EXPECT_EQ(c[ProblemCount::ShortPacket], 1);       // the 12th
}

TEST(PacketDiagnostics, ElapsedTimeAcrossMidnight) {
  EXPECT_DOUBLE_EQ(ElapsedMicros(1000, 3500), 2500);
  EXPECT_DOUBLE_EQ(ElapsedMicros(86399900000.0, 100000.0), 200000.0);
  EXPECT_DOUBLE_EQ(ElapsedMicros(5000, 4000), -1000);  // out of order, not a day later
}

}  // namespace
}  // namespace korvane
