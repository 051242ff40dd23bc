// The latency and throughput windows' texts on hand-made streams.
#include <gtest/gtest.h>

#include "measure/ConversationFixture.h"
#include "reports/AnalysisChart.h"
#include "reports/LatencyReport.h"
#include "reports/Selection.h"
#include "reports/ThroughputReport.h"

namespace korvane {
namespace {

using testing::ConversationTables;

constexpr uint16_t kAck = 0x10;
constexpr uint32_t kRequest = packet_flag::Request, kReply = packet_flag::Reply;

struct Windows : ConversationTables {
  // count client packets of `payload` bytes 10 ms apart; answered (2 ms later) unless oneWay.
  Windows(int count, bool oneWay, int payload = 100) {
    const int32_t client = Station(1), server = Station(2);
    forwardPeer = Peer(client, server);
    forward = Stream(forwardPeer, transport::Tcp, 1025, 80);
    if (!oneWay) {
      reversePeer = Peer(server, client);
      reverse = Stream(reversePeer, transport::Tcp, 80, 1025);
    }
    for (int i = 0; i < count; ++i) {
      Add(forward, {.frame = 2 * i + 1, .time = 10000.0 * i, .flags = kRequest, .seq = uint32_t(payload * i),
                    .payload = payload, .tcpFlags = kAck});
      if (!oneWay)
        Add(reverse, {.frame = 2 * i + 2, .time = 10000.0 * i + 2000, .flags = kReply, .ack = uint32_t(payload * (i + 1)),
                      .payload = 36, .tcpFlags = kAck});
    }
    selection.SourceStation = client;
    selection.DestinationStation = server;
    selection.ForwardConversation = forwardPeer;
    selection.ForwardStream = forward;
    selection.ReverseConversation = reversePeer;
    selection.ReverseStream = reverse;
    selection.OneWay = oneWay;
    selection.SourceText = "10.0.0.1";
    selection.DestinationText = "10.0.0.2";
    selection.AppText = "TCP/Port 1025<->HTTP  ";
    selection.EndFrame = session().info.FramesRead;
  }
  int32_t forwardPeer = -1, reversePeer = -1, forward = -1, reverse = -1;
  MeasurementSelection selection;
};

TEST(LatencyReport, BothHalvesOfARequestResponseStream) {
  Windows w(4, false);
  const LatencyReport report = BuildLatencyReport(w.session(), w.selection, {});
  EXPECT_EQ(report.caption, "Detailed Response Time Analysis for TCP/Port 1025<->HTTP  ");
  const LatencyHalf& up = report.upper;
  ASSERT_TRUE(up.hasResults);
  EXPECT_EQ(up.label, "Sender: 10.0.0.1  Responder: 10.0.0.2");
  EXPECT_EQ(up.best, " 2.000");
  EXPECT_EQ(up.contention, " 0.000");
  EXPECT_EQ(up.memo, "4 packet pair found out of 8 total packets for latency analysis over the range 1 to 8.");
  EXPECT_EQ(up.ratio, "1:1");
  EXPECT_EQ(up.averageSendSize, "164");
  EXPECT_EQ(up.averageReceiveSize, "100");
  EXPECT_EQ(up.duration, "00:00:00.032");
  EXPECT_EQ(up.copyText.substr(0, up.copyText.find('\n')),
            "Latency Analysis for TCP/Port 1025<->HTTP.  Sender: 10.0.0.1 Responder: 10.0.0.2");
  EXPECT_NE(up.copyText.find("\nAverage \t 2.000\n"), std::string::npos);
  EXPECT_NE(up.copyText.find("\nSend-to-Receive Ratio \t1:1\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(up.kept.minLatencyMs, 2.0);
  EXPECT_EQ(up.kept.ratioText, "1:1");
  // The client's packets acknowledge nothing of the server's answers.
  EXPECT_TRUE(report.lower.shown);
  EXPECT_EQ(report.lower.label, "Sender: 10.0.0.2  Responder: 10.0.0.1");
  EXPECT_EQ(report.lower.memo, "Unable to analyze latency.  Responder didn't ack any TCP data.");
  EXPECT_EQ(w.selection.SourceText, "10.0.0.1");  // the caller's selection is untouched
}

TEST(LatencyReport, OneWayStreamFillsOnlyTheUpperMemo) {
  Windows w(3, true);
  const LatencyReport report = BuildLatencyReport(w.session(), w.selection, {});
  EXPECT_FALSE(report.upper.hasResults);
  EXPECT_EQ(report.upper.memo, "Unable to analyze latency.  Packets are one-way.");
  EXPECT_EQ(report.upper.label, "Sender: 10.0.0.1  Destination: 10.0.0.2");
  EXPECT_FALSE(report.lower.shown);
  EXPECT_EQ(LatencyText(report), "Unable to analyze latency.  Packets are one-way.\n");
}

TEST(AnalysisWindows, PacketCountsCarryThousandsSeparators) {
  Windows w(500, false, 1400);
  const LatencyReport latency = BuildLatencyReport(w.session(), w.selection, {});
  ASSERT_TRUE(latency.upper.hasResults);
  EXPECT_EQ(latency.upper.total, "1,000");
  EXPECT_EQ(latency.upper.averageSendSize, "1,464");
  EXPECT_NE(latency.upper.copyText.find("\nTotal \t1,000\n"), std::string::npos);
  // The notes keep plain integers.
  EXPECT_EQ(latency.upper.memo.substr(0, 40), "500 packet pair found out of 1000 total ");
  const ThroughputReport throughput = BuildThroughputReport(w.session(), w.selection, {});
  ASSERT_TRUE(throughput.upper.hasResults);
  EXPECT_EQ(throughput.upper.averageSize, "1,464");
  EXPECT_EQ(throughput.upper.averagePayload, "1,420");
  EXPECT_NE(throughput.upper.copyText.find("\nAverage Size \t1,464\n"), std::string::npos);
}

// The toolbox's selection of a UDP 1031 -> 69 stream whose partner talks back to the
// source, but only Telnet.
struct NoAnsweringStream : ConversationTables {
  NoAnsweringStream() {
    const int32_t client = Station(1), server = Station(2);
    const int32_t peer = Peer(client, server);
    const int32_t udp = Stream(peer, transport::Udp, 1031, 69);
    const int32_t telnet = Stream(Peer(server, client), transport::Tcp, 23, 1030);
    for (int i = 0; i < 10; ++i) {
      Add(udp, {.frame = 2 * i + 1, .time = 10000.0 * i, .flags = kRequest, .payload = 50, .ipId = uint16_t(i)});
      Add(telnet, {.frame = 2 * i + 2, .time = 10000.0 * i + 2000, .payload = 10, .tcpFlags = kAck});
    }
    selection = PrepareSelection(session(), {.sourceStation = client, .peer = peer, .stream = udp,
                                             .source = "10.0.0.1", .destination = "10.0.0.2", .app = "UDP/1031<->tftp"});
  }
  MeasurementSelection selection;
};

TEST(AnalysisWindows, LowerHalvesSayThereIsNoReverseTrafficWhenNothingAnswersTheStream) {
  NoAnsweringStream x;
  ASSERT_FALSE(x.selection.OneWay);
  ASSERT_EQ(x.selection.ReverseStream, -1);
  const LatencyReport latency = BuildLatencyReport(x.session(), x.selection, {});
  EXPECT_EQ(latency.upper.memo, "Unable to analyze latency.  No reponse packets found for this selection.");
  EXPECT_TRUE(latency.lower.shown);
  EXPECT_FALSE(latency.lower.hasResults);
  EXPECT_EQ(latency.lower.label, "Sender: 10.0.0.2  Responder: 10.0.0.1");
  EXPECT_EQ(latency.lower.memo, "Unable to analyze latency.  Packets are one-way.");
  const ThroughputReport throughput = BuildThroughputReport(x.session(), x.selection, {});
  EXPECT_TRUE(throughput.upper.hasResults);
  EXPECT_TRUE(throughput.lower.shown);
  EXPECT_FALSE(throughput.lower.hasResults);
  EXPECT_EQ(throughput.lower.label, "From 10.0.0.2 to 10.0.0.1");
  EXPECT_EQ(throughput.lower.memo, "There are no packets to analyze from destination to source.");
}

TEST(AnalysisWindows, RangeAfterTheLastPacket) {
  Windows w(4, false);  // frames 1..8
  w.selection.StartFrame = 20;
  w.selection.EndFrame = 30;
  const LatencyReport latency = BuildLatencyReport(w.session(), w.selection, {});
  EXPECT_EQ(latency.upper.memo, "Unable to analyze latency.  There are no packets from Sender in the selected range.");
  EXPECT_EQ(latency.lower.memo, latency.upper.memo);
  const ThroughputReport throughput = BuildThroughputReport(w.session(), w.selection, {});
  EXPECT_EQ(throughput.upper.memo, "There are no packets to analyze from source to destination.");
  EXPECT_EQ(throughput.lower.memo, "There are no packets to analyze from destination to source.");
  // A one-way stream keeps its lower halves empty.
  Windows oneWay(4, true);
  oneWay.selection.StartFrame = 20;
  oneWay.selection.EndFrame = 30;
  EXPECT_FALSE(BuildLatencyReport(oneWay.session(), oneWay.selection, {}).lower.shown);
  EXPECT_FALSE(BuildThroughputReport(oneWay.session(), oneWay.selection, {}).lower.shown);
}

TEST(LatencyReport, ErrorTexts) {
  EXPECT_EQ(LatencyErrorText(0), "Unable to analyze latency.  ");
  EXPECT_EQ(LatencyErrorText(3), "Unable to analyze latency.  No reponse packets found for this selection.");
  EXPECT_EQ(LatencyErrorText(11), "Unable to analyze latency.  Responder didn't ack any TCP data.");
}

TEST(ThroughputReport, TooFewPacketsForTheWindow) {
  Windows w(5, true);
  ThroughputReport report = BuildThroughputReport(w.session(), w.selection, {});
  EXPECT_FALSE(report.upper.hasResults);
  EXPECT_EQ(report.upper.memo,
            "There are only 5 packets from the source to the destination.  A minimum of 8 is required for "
            "throughput analysis. This can be adjusted in the Packet Sample Window setting.");
  EXPECT_EQ(report.upper.bytes, "820");
  EXPECT_EQ(report.upper.averagePayload, "120");
  EXPECT_EQ(report.upper.overhead, " 26.83%");
  EXPECT_FALSE(report.lower.shown);  // one-way: the lower half stays empty
  Windows one(1, true);
  report = BuildThroughputReport(one.session(), one.selection, {});
  EXPECT_EQ(report.upper.memo.substr(0, 40), "There is only 1 packet from the source t");
}

TEST(ThroughputReport, FiguresAndTheKbitsMultiplier) {
  Windows w(10, false);
  ThroughputOptions options;
  options.sampleWindow = 4;
  const ThroughputReport bytes = BuildThroughputReport(w.session(), w.selection, options);
  ASSERT_TRUE(bytes.upper.hasResults);
  EXPECT_EQ(bytes.groupCaption, "Throughput (in KBytes/Second)");
  // 1640 bytes over 90 ms and the first frame's wire time (164 + 20 bytes at 10 Mbit/s),
  // the time rule of every sample window.
  EXPECT_EQ(bytes.upper.average, " 18.192");
  EXPECT_EQ(bytes.upper.total, "10");
  EXPECT_EQ(bytes.lower.label, "From 10.0.0.2 to 10.0.0.1");
  EXPECT_TRUE(bytes.lower.hasResults);
  options.kbits = true;
  const ThroughputReport bits = BuildThroughputReport(w.session(), w.selection, options);
  EXPECT_EQ(bits.groupCaption, "Throughput (in KBits/Second)");
  EXPECT_EQ(bits.upper.average, " 145.540");
  EXPECT_EQ(bits.upper.total, bytes.upper.total);
  EXPECT_NE(bits.upper.copyText.find("Throughput in KBits/Second"), std::string::npos);
}

TEST(AnalysisChart, ScaleTopAndBars) {
  AnalysisChart c = MakeAnalysisChart({0.5, 2.4, 1.0, 0.5});
  EXPECT_DOUBLE_EQ(c.top, 3.0);  // nearest of (24 + 5) / 5 = 5.8 -> 6, x 5 / 10
  EXPECT_EQ(c.topLabel, "3.0");
  EXPECT_EQ(c.halfLabel, "1.5");
  EXPECT_EQ(c.barHeights[1], 72);
  c = MakeAnalysisChart({10, 42, 20, 22});
  EXPECT_DOUBLE_EQ(c.top, 45);
  EXPECT_EQ(c.topLabel, "    45");
  EXPECT_DOUBLE_EQ(MakeAnalysisChart({1, 420, 2, 3}).top, 450);
  EXPECT_DOUBLE_EQ(MakeAnalysisChart({1, 4200, 2, 3}).top, 4500);
  EXPECT_DOUBLE_EQ(MakeAnalysisChart({1, 42000, 2, 3}).top, 42000);
  EXPECT_EQ(MakeAnalysisChart({1, 42000, 2, 3}).barHeights[1], 90);
}

}  // namespace
}  // namespace korvane
