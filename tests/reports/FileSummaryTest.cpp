#include <gtest/gtest.h>

#include "reports/FileSummary.h"
#include "reports/Formatters.h"

namespace korvane {
namespace {

std::unique_ptr<TraceSession> Session(uint8_t topology) {
  auto s = std::make_unique<TraceSession>();
  s->info.TopologyCode = topology;
  s->info.DetectedFormat = fmt_id::SnifferDos;
  s->info.CurrentFileName = "/tmp/none/office.enc";
  s->AnalysedLineSpeedMbps = 10;
  AnalysisTables& t = s->tables;
  t.Stats.FramesAnalysed = 1000;
  t.Stats.MulticastFrames = 100;
  t.Stats.BroadcastFrames = 0;
  t.Stats.MaxFrameSize = 1518;
  t.Stats.MaxMulticastFrameSize = 300;
  t.CumulativeBytes = 500000;
  t.CumulativeMulticastBytes = 20000;
  t.IntervalCount = 10;
  t.Utilisation.AverageUtilisation = 4;
  t.Utilisation.PeakUtilisation = 30;
  t.Utilisation.AverageGroupUtilisation = 1;
  t.Utilisation.PeakBroadcastUtilisation = 3;
  t.Stats.LlcFrames = 250;
  t.Stats.EtypeFrames = 750;
  t.MacFrames = 125;
  return s;
}

TEST(FileSummary, FrameStatisticsWithoutBroadcasts) {
  auto s = Session(topology::Ethernet);
  FileSummary f = BuildFileSummary(*s, {});
  EXPECT_EQ(f.frameStatistics[0].frames, "900");
  EXPECT_EQ(f.frameStatistics[0].framesPercent, 90);
  EXPECT_EQ(f.frameStatistics[0].bytes, "480,000");
  EXPECT_EQ(f.frameStatistics[0].bytesPercent, 96);
  EXPECT_EQ(f.frameStatistics[0].averageSize, "500");
  EXPECT_EQ(f.frameStatistics[0].largest, "1,518");
  EXPECT_EQ(f.frameStatistics[1].label, "Multicast");
  EXPECT_EQ(f.frameStatistics[1].averageSize, "200");
  EXPECT_EQ(f.frameStatistics[2].averageSize, "0");
  EXPECT_EQ(f.frameStatistics[2].framesPercent, 0);
  EXPECT_EQ(f.frameStatistics[3].frames, "1,000");
  EXPECT_EQ(f.averageBytesPerSecond, "50,000");
  EXPECT_EQ(f.averageFramesPerSecond, "100");
  EXPECT_EQ(f.averageBandwidth, "4%");
  EXPECT_EQ(f.encapsulations[2].label, "Etype");
  EXPECT_EQ(f.encapsulations[2].percent, 75);
  EXPECT_EQ(f.statusPanels[1], "1,000 Frames");
  EXPECT_EQ(f.statusPanels[2], "NAI Sniffer DOS file /tmp/none/office.enc");
}

TEST(FileSummary, LineSpeedAndDuplexRescaleUtilisation) {
  auto s = Session(topology::Ethernet);
  SummaryOptions tenfold;
  tenfold.lineSpeedMbps = 100;
  FileSummary f = BuildFileSummary(*s, tenfold);
  EXPECT_EQ(f.utilisationCaption, "Media Utilization (based on 100 Mbps)");
  EXPECT_EQ(f.averageBandwidth, "<1%");
  EXPECT_EQ(f.peakBandwidth, "3%");
  SummaryOptions duplex;
  duplex.duplexFactor = 2;
  f = BuildFileSummary(*s, duplex);
  EXPECT_EQ(f.averageBandwidth, "2%");
  EXPECT_EQ(f.peakBandwidth, "15%");
  EXPECT_EQ(f.attributes[2].second, "20 Mbps");
}

TEST(FileSummary, BroadcastOnlyCountsGroupFramesButBroadcastBytes) {
  auto s = Session(topology::Ethernet);
  s->tables.Stats.BroadcastFrames = 50;
  s->tables.CumulativeBroadcastBytes = 3000;
  SummaryOptions o;
  o.broadcastOnly = true;
  FileSummary f = BuildFileSummary(*s, o);
  EXPECT_EQ(f.averageFramesPerSecond, "15");
  EXPECT_EQ(f.averageBytesPerSecond, "300");
  EXPECT_EQ(f.averageBandwidth, "1%");
  EXPECT_EQ(f.peakBandwidth, "3%");
}

TEST(FileSummary, TokenRingLabelsAndEmptyTrace) {
  auto s = Session(topology::TokenRing);
  FileSummary f = BuildFileSummary(*s, {});
  EXPECT_EQ(f.frameStatistics[1].label, "Functional");
  EXPECT_EQ(f.encapsulations[2].label, "MAC");
  EXPECT_EQ(f.encapsulations[2].count, "125");
  EXPECT_EQ(f.encapsulations[3].label, "");
  EXPECT_FALSE(f.encapsulations[3].gaugeVisible);
  EXPECT_EQ(f.statusPanels[0], "Token Ring");

  TraceSession empty;
  f = BuildFileSummary(empty, {});
  EXPECT_EQ(f.averageFramesPerSecond, "0");
  EXPECT_EQ(f.frameStatistics[0].averageSize, "0");
  EXPECT_EQ(f.averageBandwidth, "<1%");
  EXPECT_NE(FileSummaryText(f).find("Frame Statistics"), std::string::npos);
}

TEST(Formatters, Counts) {
  EXPECT_EQ(CountText(0), "0");
  EXPECT_EQ(CountText(999), "999");
  EXPECT_EQ(CountText(1000), "1,000");
  EXPECT_EQ(CountText(1234567890123), "1,234,567,890,123");
  EXPECT_EQ(CountText(-45678), "-45,678");
  EXPECT_EQ(DurationText(499999), "00:00:00");
  EXPECT_EQ(DurationText(500001), "00:00:01");
  EXPECT_EQ(DurationText(3600e6 * 26 + 61e6), "26:01:01");
}

}  // namespace
}  // namespace korvane
