// The problem analysis summary: count lines, the routing and retransmission lines, the
// order of the box, the measurement status, and a run from analysed frames.
#include <gtest/gtest.h>

#include "measure/StreamPairBuilder.h"
#include "reports/ProblemSummary.h"

namespace korvane {
namespace {

using Lines = std::vector<std::string>;

TEST(ProblemSummary, CountLinePluralRule) {
  EXPECT_EQ(ProblemCountLine(1, "Short packet"), "1 Short packet.");
  EXPECT_EQ(ProblemCountLine(2, "Short packet"), "2 Short packets.");
  EXPECT_EQ(ProblemCountLine(3, "TCP reset"), "3 TCP resets.");
  EXPECT_EQ(ProblemCountLine(2, "status"), "2 statuses.");
  EXPECT_EQ(ProblemCountLine(2, "TCP low MSS"), "2 TCP low MSSes.");
  EXPECT_EQ(ProblemCountLine(1, "TCP low MSS"), "1 TCP low MSS.");
  EXPECT_EQ(ProblemCountLine(1234, "ICMP message"), "1,234 ICMP messages.");
}

TEST(ProblemSummary, NoProblemsLeaveBothBoxesEmpty) {
  const std::array<DirectionCounters, 2> none{};
  EXPECT_TRUE(none[0].Empty());
  const ProblemSummary s = BuildProblemSummary(MeasurementSelection{}, 0, none);
  EXPECT_TRUE(s.Boxes[0].empty());
  EXPECT_TRUE(s.Boxes[1].empty());
  EXPECT_EQ(ProblemSummaryTextLines(s),
            (Lines{"Source to Destination Problem Summary", "Destination to Source Problem Summary"}));
}

TEST(ProblemSummary, RoutingAndRetransmissionLines) {
  DirectionCounters c;
  c.LocallyRouted = 1;
  c.LocallyRoutedBytes = 60;
  EXPECT_EQ(ProblemLines(c), Lines{"1 locally routed packet(s) totalling 60 bytes."});
  EXPECT_FALSE(c.Empty());

  DirectionCounters r;
  r.Retransmissions = 2;
  r.RetransmittedBytes = 3036;
  r.RetransmitMicros = 3000;
  EXPECT_EQ(ProblemLines(r), (Lines{"2 transport retransmission(s) totalling 3,036 bytes.",
                                    "  ...the average retransmission time is 1.50 milliseconds."}));
  r.RetransmitsAfterError = 1;
  EXPECT_EQ(ProblemLines(r).back(), "  ...1 of the retransmission(s) follow a packet with a CRC or checksum error.");
}

TEST(ProblemSummary, LinesInTheWindowsOrder) {
  DirectionCounters c;
  for (int64_t& n : c.Counts) n = 1;
  c[ProblemCount::TcpReset] = 2;
  c.LocallyRouted = 3;
  c.LocallyRoutedBytes = 1800;
  c.Retransmissions = 1;
  c.RetransmittedBytes = 1518;
  c.RetransmitMicros = 12345;
  c.RetransmitsAfterError = 1;
  EXPECT_EQ(ProblemLines(c), (Lines{
                                 "1 ICMP message.",
                                 "1 DLC CRC error.",
                                 "1 Short packet.",
                                 "1 Long packet.",
                                 "1 server busy.",
                                 "1 IP checksum error.",
                                 "1 IP missing fragment.",
                                 "1 IP low TTL.",
                                 "1 UDP checksum error.",
                                 "1 TCP checksum error.",
                                 "1 TCP idle too long.",
                                 "1 TCP slow ack.",
                                 "1 TCP low MSS.",
                                 "1 TCP stuck window.",
                                 "1 TCP low window.",
                                 "3 locally routed packet(s) totalling 1,800 bytes.",
                                 "1 transport retransmission(s) totalling 1,518 bytes.",
                                 "  ...the average retransmission time is 12.35 milliseconds.",
                                 "  ...1 of the retransmission(s) follow a packet with a CRC or checksum error.",
                                 "1 zero window.",
                                 "2 TCP resets.",
                             }));
}

TEST(ProblemSummary, BoxesLabelsAndStatus) {
  MeasurementSelection selection;
  selection.SourceText = "10.0.0.1";
  selection.DestinationText = "10.0.0.2";
  selection.AppText = "TCP/1030<->http";
  std::array<DirectionCounters, 2> counters{};
  counters[1][ProblemCount::ZeroWindow] = 4;
  const ProblemSummary ok = BuildProblemSummary(selection, 0, counters);
  EXPECT_EQ(ok.Labels[0].first, "Source:");
  EXPECT_EQ(ok.Labels[0].second, "10.0.0.1");
  EXPECT_EQ(ok.Labels[1].first, "Destination:");
  EXPECT_EQ(ok.Labels[1].second, "10.0.0.2");
  EXPECT_EQ(ok.Labels[2].first, "Protocol/App:");
  EXPECT_EQ(ok.Labels[2].second, "TCP/1030<->http");
  EXPECT_TRUE(ok.Boxes[0].empty());
  EXPECT_EQ(ok.Boxes[1], Lines{"4 zero windows."});
  EXPECT_EQ(ProblemSummaryTextLines(ok), (Lines{"Source to Destination Problem Summary",
                                                "Destination to Source Problem Summary", "4 zero windows."}));

  // Only a kind the analysis cannot judge stops it: a one-way stream, or one without
  // commands, shows its counts.
  EXPECT_EQ(BuildProblemSummary(selection, measurement_status::OneWay, counters).Boxes, ok.Boxes);
  EXPECT_EQ(BuildProblemSummary(selection, measurement_status::NoEchoRequest, counters).Boxes, ok.Boxes);
  const ProblemSummary failed = BuildProblemSummary(selection, measurement_status::UnsupportedKind, counters);
  EXPECT_EQ(failed.Boxes[0], Lines{"Unable to perform problem analysis."});
  EXPECT_TRUE(failed.Boxes[1].empty());
}

TEST(ProblemSummary, FromAnalysedFrames) {
  using namespace tools;
  const Ip4 a = {10, 0, 0, 1}, b = {10, 0, 0, 2};
  test::FrameFeeder f;
  f.Tcp(a, b, {1030, 80, 100, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100);
  f.Tcp(b, a, {80, 1030, 1, 200, tcp_flags::kAck}, 0);
  f.Tcp(a, b, {1030, 80, 200, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100);
  f.Tcp(a, b, {1030, 80, 200, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100, 2000);  // again, 2 ms later
  f.Tcp(a, b, {1030, 80, 200, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100, 2000);  // and again
  f.Tcp(b, a, {80, 1030, 1, 300, tcp_flags::kAck | tcp_flags::kRst}, 0);
  f.End();
  const MeasurementSelection selection = f.Select(a, b, transport::Tcp, 1030, 80);
  const ProblemSummary s = AnalyseProblems(f.s, selection, {});
  // Frame lengths: 14 + 20 + 20 + 100 bytes and the check sequence.
  EXPECT_EQ(s.Boxes[0], (Lines{"2 transport retransmission(s) totalling 316 bytes.",
                               "  ...the average retransmission time is 2.00 milliseconds."}));
  EXPECT_EQ(s.Boxes[1], Lines{"1 TCP reset."});

  // A stream of ICMP echo replies whose requests were not captured: judged all the same.
  test::StreamPairBuilder replies;
  replies.forward = replies.Stream(replies.ab, transport::Icmp);
  for (int64_t frame : {1, 2}) {
    TPacket reply = test::StreamPairBuilder::Plain(frame, double(frame) * 1000);
    reply.Flags = packet_flag::Reply;
    reply.Ttl = 1;
    replies.Add(replies.forward, reply);
  }
  EXPECT_EQ(AnalyseProblems(replies.s, replies.Selection(), {}).Boxes[0], Lines{"2 IP low TTLs."});

  // A kind that problem analysis does not cover.
  test::StreamPairBuilder x;
  x.forward = x.Stream(x.ab, transport::Igmp);
  x.Add(x.forward, test::StreamPairBuilder::Plain(1, 0));
  EXPECT_EQ(AnalyseProblems(x.s, x.Selection(), {}).Boxes[0], Lines{"Unable to perform problem analysis."});
}

}  // namespace
}  // namespace korvane
