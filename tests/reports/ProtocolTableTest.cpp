// The protocol table, its sorting and copy text, and the chart series.
#include <gtest/gtest.h>

#include "reports/ProtocolTable.h"
#include "scenario/PacketBuilder.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using namespace tools;

std::vector<std::string> Column(const std::vector<ProtocolRow>& rows, size_t column) {
  std::vector<std::string> out;
  for (const ProtocolRow& r : rows) out.push_back(r.cells[column]);
  return out;
}

// 1,000 frames: IP 950 (unicast, 600 bytes on average), ARP 40 (all broadcast), Other 10
// (multicast); the trace's group frames are the 40 broadcasts and 10 multicasts.
AnalysisTables OfficeTables() {
  AnalysisTables t;
  t.Stats.FramesAnalysed = 1000;
  t.Stats.BroadcastFrames = 40;
  t.Stats.MulticastFrames = 10;
  t.ProtocolTable[category::Ip] = {950, 0, 950 * 600, 1u << encapsulation::Etype};
  t.ProtocolTable[category::Arp] = {40, 40, 40 * 64, (1u << encapsulation::Etype) | (1u << encapsulation::Snap)};
  t.ProtocolTable[category::Other] = {10, 10, 2000, 1u << encapsulation::Llc};
  return t;
}

TEST(ProtocolTable, HeadingsAsTheGridShowsThem) {
  const auto& h = ProtocolTableHeadings();
  EXPECT_EQ(h[0], "Protocol");
  EXPECT_EQ(h[1], "Packet Count");
  EXPECT_EQ(h[2], "Packet Percent");
  EXPECT_EQ(h[3], "Ave Pkt Size (Bytes)");
  EXPECT_EQ(h[4], "Broadcast Count");
  EXPECT_EQ(h[5], "Broadcast Percent");
  EXPECT_EQ(h[6], "Encapsulation(s)");
}

TEST(ProtocolTable, OneRowPerCategoryWithFramesInCategoryOrder) {
  auto rows = BuildProtocolTable(OfficeTables());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"ARP/RARP", "IP", "Other"}));
  const auto& arp = rows[0].cells;
  EXPECT_EQ(arp[1], "40");
  EXPECT_EQ(arp[2], "4.00%");
  EXPECT_EQ(arp[3], "64");
  EXPECT_EQ(arp[4], "40");
  EXPECT_EQ(arp[5], "80.00%");  // 40 of the 50 group frames
  EXPECT_EQ(arp[6], "Etype, SNAP");
  const auto& ip = rows[1].cells;
  EXPECT_EQ(ip[1], "950");
  EXPECT_EQ(ip[2], "95.00%");
  EXPECT_EQ(ip[3], "600");
  EXPECT_EQ(ip[4], "0");
  EXPECT_EQ(ip[5], "0.00%");
  EXPECT_EQ(ip[6], "Etype");
  EXPECT_EQ(rows[2].cells[3], "200");
  EXPECT_EQ(rows[2].cells[5], "20.00%");
}

TEST(ProtocolTable, NumbersCarryThousandsSeparatorsAndAveragesRound) {
  AnalysisTables t;
  t.Stats.FramesAnalysed = 30000;
  t.ProtocolTable[category::Ipx] = {12345, 0, 12345 * 1200 + 9000, 1u << encapsulation::NovRaw};
  t.ProtocolTable[category::Mac] = {3, 0, 2000, 0};  // 666.67 bytes
  t.ProtocolTable[category::Lat] = {3, 0, 1000, 0};  // 333.33 bytes
  auto rows = BuildProtocolTable(t);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cells[0], "IPX");
  EXPECT_EQ(rows[0].cells[1], "12,345");
  EXPECT_EQ(rows[0].cells[2], "41.15%");
  EXPECT_EQ(rows[0].cells[3], "1,201");
  EXPECT_EQ(rows[0].cells[6], "NovRaw");
  EXPECT_EQ(rows[1].cells[0], "LAT");
  EXPECT_EQ(rows[1].cells[3], "333");
  EXPECT_EQ(rows[2].cells[0], "MAC");
  EXPECT_EQ(rows[2].cells[3], "667");
  EXPECT_EQ(rows[2].cells[5], "0.00%");  // no group frames in the trace
  EXPECT_EQ(rows[2].cells[6], "");
}

TEST(ProtocolTable, AnEmptyTraceHasNoRows) { EXPECT_TRUE(BuildProtocolTable(AnalysisTables{}).empty()); }

TEST(ProtocolTable, PercentSortsAsNumber) {
  AnalysisTables t;
  t.Stats.FramesAnalysed = 1000;
  t.ProtocolTable[category::Ip] = {95, 0, 9500, 1};    // 9.50%
  t.ProtocolTable[category::Ipx] = {100, 0, 10000, 4};  // 10.00%
  t.ProtocolTable[category::Arp] = {805, 0, 80500, 1};  // 80.50%
  auto rows = BuildProtocolTable(t);
  SortProtocolRows(rows, 2, false);
  EXPECT_EQ(Column(rows, 2), (std::vector<std::string>{"80.50%", "10.00%", "9.50%"}));
  SortProtocolRows(rows, 2, true);
  EXPECT_EQ(Column(rows, 2), (std::vector<std::string>{"9.50%", "10.00%", "80.50%"}));
}

TEST(ProtocolTable, CountsSortIgnoringSeparatorsAndNamesAsText) {
  AnalysisTables t;
  t.Stats.FramesAnalysed = 2000;
  t.ProtocolTable[category::Appletalk] = {999, 0, 999, 1};
  t.ProtocolTable[category::Vines] = {1000, 0, 1000, 1};
  t.ProtocolTable[category::Arp] = {1, 0, 1, 8};
  auto rows = BuildProtocolTable(t);
  SortProtocolRows(rows, 1, true);
  EXPECT_EQ(Column(rows, 1), (std::vector<std::string>{"1", "999", "1,000"}));
  SortProtocolRows(rows, 0, true);  // text, letter case ignored
  EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"Appletalk", "ARP/RARP", "VINES"}));
  SortProtocolRows(rows, 0, false);
  EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"VINES", "ARP/RARP", "Appletalk"}));
  SortProtocolRows(rows, 6, true);
  EXPECT_EQ(Column(rows, 6).front(), "Etype");
  EXPECT_EQ(Column(rows, 6).back(), "SNAP");
}

TEST(ProtocolTable, CopyGivesTheSelectedCellsTabSeparated) {
  auto rows = BuildProtocolTable(OfficeTables());
  EXPECT_EQ(ProtocolTableCopyText(rows, {0, 0, 1, 1}), "ARP/RARP\t40\nIP\t950\n");
  EXPECT_EQ(ProtocolTableCopyText(rows, {5, 2, 6, 2}), "20.00%\tLLC\n");
  std::string all = ProtocolTableCopyText(rows, SelectAllProtocolCells(rows));
  EXPECT_EQ(all,
            "ARP/RARP\t40\t4.00%\t64\t40\t80.00%\tEtype, SNAP\n"
            "IP\t950\t95.00%\t600\t0\t0.00%\tEtype\n"
            "Other\t10\t1.00%\t200\t10\t20.00%\tLLC\n");
}

TEST(FrameSizeChart, EthernetBandsLeaveOutEmptyOnes) {
  AnalysisTables t;
  t.SizeBuckets[0] = 5;
  t.SizeBuckets[1] = 10;
  t.SizeBuckets[3] = 2;
  t.SizeBuckets[4] = 3;
  t.SizeBuckets[6] = 20;
  auto points = FrameSizeSeries(t, topology::Ethernet);
  ASSERT_EQ(points.size(), 4u);  // no 256..511 band, nothing over 1518
  EXPECT_EQ(points[0].label, "18 to 64 -");
  EXPECT_EQ(points[0].value, 5);
  EXPECT_EQ(points[0].colour, (ChartColour{255, 0, 255}));
  EXPECT_EQ(points[1].label, "64 to 255 -");
  EXPECT_EQ(points[2].label, "512 to 1023 -");
  EXPECT_EQ(points[2].value, 5);
  EXPECT_EQ(points[2].colour, (ChartColour{0, 0, 255}));
  EXPECT_EQ(points[3].label, "1024 to 1518 -");
  EXPECT_EQ(points[3].value, 20);
  EXPECT_DOUBLE_EQ(points[3].percent, 50.0);
  t.SizeBuckets[7] = 1;
  points = FrameSizeSeries(t, topology::Ethernet);
  EXPECT_EQ(points.back().label, "Greater than 1518 -");
  EXPECT_EQ(points.back().colour, (ChartColour{128, 0, 0}));
}

TEST(FrameSizeChart, TokenRingBandsGatherTheLongBuckets) {
  AnalysisTables t;
  t.SizeBuckets[0] = 1;
  t.SizeBuckets[2] = 4;
  t.SizeBuckets[5] = 1;
  t.SizeBuckets[16] = 2;
  t.SizeBuckets[18] = 7;
  auto points = FrameSizeSeries(t, topology::TokenRing);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[0].label, " Less than 64 -");
  EXPECT_EQ(points[1].label, "256 to 511 -");
  EXPECT_EQ(points[1].colour, (ChartColour{0, 255, 255}));
  EXPECT_EQ(points[2].label, "1024 to 4097 -");
  EXPECT_EQ(points[2].value, 3);
  EXPECT_EQ(points[3].label, "Greater than 4097 -");
  EXPECT_EQ(points[3].value, 7);
}

TEST(ProtocolChart, PacketClassPicksTheCounts) {
  AnalysisTables t = OfficeTables();
  auto all = ProtocolSeries(t, PacketClass::All);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].label, "ARP/RARP -");
  EXPECT_EQ(all[0].colour, (ChartColour{192, 220, 192}));
  EXPECT_EQ(all[1].label, "IP -");
  EXPECT_EQ(all[1].value, 950);
  EXPECT_DOUBLE_EQ(all[1].percent, 95.0);
  EXPECT_EQ(all[2].colour, (ChartColour{255, 255, 255}));

  auto broadcast = ProtocolSeries(t, PacketClass::Broadcast);
  ASSERT_EQ(broadcast.size(), 2u);
  EXPECT_EQ(broadcast[0].value, 40);
  EXPECT_EQ(broadcast[1].label, "Other -");

  // Every ARP frame is broadcast: Non-Broadcast leaves ARP out.
  auto unicast = ProtocolSeries(t, PacketClass::NonBroadcast);
  ASSERT_EQ(unicast.size(), 1u);
  EXPECT_EQ(unicast[0].label, "IP -");
  EXPECT_EQ(ProtocolChartTitle(PacketClass::NonBroadcast), "Protocol Distribution - Non-Broadcast Packets");
  EXPECT_EQ(ProtocolChartTitle(PacketClass::All), "Protocol Distribution - All Packets");
  EXPECT_EQ(ProtocolCategoryColour(category::Ip), (ChartColour{0, 0, 255}));
  EXPECT_EQ(ProtocolCategoryColour(category::Mac), (ChartColour{0, 255, 255}));
}

// ---- on a trace -----------------------------------------------------------------------

const Mac kA = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
const Mac kB = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
const Ip4 kIpA = {10, 0, 0, 1};
const Ip4 kIpB = {10, 0, 0, 2};

TEST(ProtocolTable, FromAnEthernetTrace) {
  std::vector<ScenarioFrame> frames;
  double t = 0;
  auto add = [&](Bytes bytes) {
    ScenarioFrame f;
    f.timeUs = t += 1000;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    frames.push_back(std::move(f));
  };
  const int arps = 6, ips = 9;
  for (int i = 0; i < arps; ++i)
    add(EthernetFrame(kBroadcastMac, kA, kEtherTypeArp, ArpPacket(kArpRequest, kA, kIpA, Mac{}, kIpB)));
  for (int i = 0; i < ips; ++i)
    add(EthernetFrame(kB, kA, kEtherTypeIpv4,
                      Ipv4Packet(kIpA, kIpB, kIpProtoUdp, 64, uint16_t(i + 1), 0,
                                 UdpDatagram(kIpA, kIpB, 1030, 53, Bytes(100, 'q')))));
  auto session = test::Analyse(WriteSnifferDos(frames, {}), "trace.enc");
  auto rows = BuildProtocolTable(session->tables);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cells[0], "ARP/RARP");
  EXPECT_EQ(rows[0].cells[1], std::to_string(arps));
  EXPECT_EQ(rows[0].cells[4], std::to_string(arps));
  EXPECT_EQ(rows[0].cells[5], "100.00%");
  EXPECT_EQ(rows[0].cells[2], "40.00%");  // 6 of 15
  EXPECT_EQ(rows[1].cells[0], "IP");
  EXPECT_EQ(rows[1].cells[1], std::to_string(ips));
  EXPECT_EQ(rows[1].cells[2], "60.00%");
  EXPECT_EQ(rows[1].cells[5], "0.00%");
  EXPECT_EQ(rows[1].cells[6], "Etype");
  // The IP frames are longer than the ARP frames.
  EXPECT_GT(std::stoi(rows[1].cells[3]), std::stoi(rows[0].cells[3]));
  auto sizes = FrameSizeSeries(session->tables, session->info.TopologyCode);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].label, "64 to 255 -");
  EXPECT_EQ(sizes[0].value, arps + ips);
}

}  // namespace
}  // namespace korvane
