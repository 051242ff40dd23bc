// The Station window's statistics table: columns, display names, sorting, column order.
#include <gtest/gtest.h>

#include "reports/StationStats.h"
#include "scenario/PacketBuilder.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using namespace tools;

AddressKey Key(std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> b(bytes);
  return AddressKey::From(b.data(), uint8_t(b.size()));
}

StationNode& AddStation(TraceSession& s, const AddressKey& key) {
  AnalysisTables& t = s.tables;
  int32_t at = t.StationTree.Insert(key);
  StationNode& n = t.StationTree[at];
  n.VendorIndex = s.vendors.Lookup(key);
  return n;
}

std::vector<std::string> Column(const std::vector<StationStatsRow>& rows, size_t column) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.cells[column]);
  return out;
}

TEST(StationStats, Headings) {
  const auto& h = StationStatsHeadings();
  std::vector<std::string> all(h.begin(), h.end());
  EXPECT_EQ(all, (std::vector<std::string>{"Source Address", "Encapsulation", "Protocols", "Dests", "Snd+Rcv Pkts",
                                           "Snd+Rcv Bytes", "Utilization", "Ave Send", "Ave Recv", "Bdcasts",
                                           "Pkt Ratio"}));
}

TEST(StationStats, ColumnsFromTheStationRecord) {
  TraceSession s;
  s.vendors.LoadText("00000C CISCO\n");
  s.info.TopologyCode = topology::Ethernet;
  s.tables.MediaCapacity = 1250000;
  s.tables.IntervalCount = 10;
  StationNode& n = AddStation(s, Key({0x00, 0x00, 0x0C, 0x12, 0x34, 0x56}));
  n.Role = 3;
  n.FramesSent = 100;
  n.BytesSent = 100000;
  n.FramesReceived = 900;
  n.BytesReceived = 1234567;
  n.GroupFramesSent = 1500;
  n.Encapsulations = (1u << encapsulation::Etype) | (1u << encapsulation::Snap) | (1u << encapsulation::Llc);
  n.Categories = (1u << category::Arp) | (1u << category::Ip) | (1u << category::Other);
  for (int i = 0; i < 3; ++i) {
    TDLCPeer peer;
    peer.Next = n.FirstDlcPeer;
    s.tables.StationTree[0].FirstDlcPeer = int32_t(s.tables.DlcPeers.size());
    s.tables.DlcPeers.push_back(peer);
  }
  auto rows = BuildStationStats(s);
  ASSERT_EQ(rows.size(), 1u);
  const auto& c = rows[0].cells;
  EXPECT_EQ(c[0], "CISCO123456");
  EXPECT_EQ(c[1], "Etype,LLC,SNAP");
  EXPECT_EQ(c[2], "ARP/RARP,IP,Other");
  EXPECT_EQ(c[3], "3");
  EXPECT_EQ(c[4], "1,000");
  EXPECT_EQ(c[5], "1,334,567");
  // (100 x 20 + 100,000) x 100 / 1,250,000 / 10 = 0.816
  EXPECT_EQ(c[6], "0.82%");
  EXPECT_EQ(c[7], "1,000");
  EXPECT_EQ(c[8], "1,371");  // 1,234,567 div 900
  EXPECT_EQ(c[9], "1,500");
  EXPECT_EQ(c[10], "1:9");

  s.info.TopologyCode = topology::TokenRing;  // one byte of overhead per frame: 0.8008
  EXPECT_EQ(BuildStationStats(s)[0].cells[6], "0.80%");
}

TEST(StationStats, RatiosAndAveragesOfSilentSides) {
  TraceSession s;
  StationNode& a = AddStation(s, Key({0x02, 0, 0, 0, 0, 1}));
  a.Role = 3;
  a.FramesSent = 30;
  a.BytesSent = 3000;
  a.FramesReceived = 10;
  StationNode& b = AddStation(s, Key({0x02, 0, 0, 0, 0, 2}));
  b.Role = 3;
  b.FramesReceived = 5;
  b.BytesReceived = 500;
  StationNode& c = AddStation(s, Key({0x02, 0, 0, 0, 0, 3}));
  c.Role = 3;
  c.FramesSent = 7;
  c.BytesSent = 700;
  StationNode& listener = AddStation(s, Key({0x02, 0, 0, 0, 0, 4}));
  listener.FramesReceived = 50;  // never sent: no row
  auto rows = BuildStationStats(s);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Column(rows, 10), (std::vector<std::string>{"3:1", "0:5", "7:0"}));
  EXPECT_EQ(Column(rows, 7), (std::vector<std::string>{"100", "0", "100"}));
  EXPECT_EQ(Column(rows, 8), (std::vector<std::string>{"0", "100", "0"}));
  EXPECT_EQ(Column(rows, 6), (std::vector<std::string>{"0.00%", "0.00%", "0.00%"}));  // no interval closed
}

TEST(StationStats, DisplayNames) {
  TraceSession s;
  s.vendors.LoadText("00000C CISCO\n");
  const AddressKey named = Key({0x00, 0x00, 0x0C, 0x00, 0x00, 0x01});
  const AddressKey vendorOnly = Key({0x00, 0x00, 0x0C, 0x00, 0x00, 0x02});
  const AddressKey unknown = Key({0x02, 0x60, 0x8C, 0x00, 0x00, 0x03});
  s.tables.Names.Record(named, "FILESERVER");
  for (const AddressKey& k : {named, vendorOnly, unknown}) AddStation(s, k).Role = 3;
  EXPECT_EQ(Column(BuildStationStats(s), 0), (std::vector<std::string>{"FILESERVER", "CISCO000002", "02608C000003"}));
  StationNameOptions noSmart;
  noSmart.smartNames = false;
  EXPECT_EQ(Column(BuildStationStats(s, noSmart), 0),
            (std::vector<std::string>{"CISCO000001", "CISCO000002", "02608C000003"}));
  StationNameOptions plain;
  plain.smartNames = false;
  plain.showOui = false;
  EXPECT_EQ(Column(BuildStationStats(s, plain), 0),
            (std::vector<std::string>{"00000C000001", "00000C000002", "02608C000003"}));
  StationNameOptions namesOnly;
  namesOnly.showOui = false;
  EXPECT_EQ(Column(BuildStationStats(s, namesOnly), 0),
            (std::vector<std::string>{"FILESERVER", "00000C000002", "02608C000003"}));
}

TEST(StationStats, MapLabelsNameWellKnownGroups) {
  TraceSession s;
  auto label = [&](std::initializer_list<uint8_t> bytes) {
    StationNode& n = AddStation(s, Key(bytes));
    return StationMapLabel(s, n, {});
  };
  EXPECT_EQ(label({0x01, 0x80, 0xC2, 0x00, 0x00, 0x00}), "Bridge Group");
  EXPECT_EQ(label({0x03, 0x00, 0x00, 0x00, 0x00, 0x01}), "NetBIOS");
  EXPECT_EQ(label({0xC0, 0x00, 0x00, 0x00, 0x00, 0x08}), "Ring Err Mon");
  EXPECT_EQ(label({0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), "Ring Broadcast");
  EXPECT_EQ(label({0xC0, 0x00, 0x00, 0x00, 0x00, 0x10}), "Ring Config Svr");
  EXPECT_EQ(label({0xC0, 0x00, 0x00, 0x00, 0x00, 0x02}), "Ring Param Svr");
  EXPECT_EQ(label({0x02, 0x00, 0x00, 0x00, 0x00, 0x08}), "020000000008");
}

TEST(StationStats, SortingNumbersAndText) {
  TraceSession s;
  const std::vector<std::pair<uint8_t, int64_t>> stations = {{1, 999}, {2, 1000}, {3, 5}};
  for (auto [last, frames] : stations) {
    StationNode& n = AddStation(s, Key({0x02, 0, 0, 0, 0, last}));
    n.Role = 3;
    n.FramesSent = frames;
    n.BytesSent = frames * 100;
  }
  s.tables.Names.Record(Key({0x02, 0, 0, 0, 0, 3}), "alpha");
  auto rows = BuildStationStats(s);
  SortStationRows(rows, 4, false);
  EXPECT_EQ(Column(rows, 4), (std::vector<std::string>{"1,000", "999", "5"}));
  SortStationRows(rows, 4, true);
  EXPECT_EQ(Column(rows, 4), (std::vector<std::string>{"5", "999", "1,000"}));
  SortStationRows(rows, 0, true);
  EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"020000000001", "020000000002", "alpha"}));
  SortStationRows(rows, 10, false);  // ratios sort as text
  EXPECT_EQ(Column(rows, 10), (std::vector<std::string>{"999:0", "5:0", "1000:0"}));
}

TEST(StationStats, ColumnOrderFallsBackUnlessElevenColumns) {
  std::vector<int> standard = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(ParseColumnOrder("1,2,3,4,5,6,7,8,9,10", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("1,2,3,4,5,6,7,8,9,10,12", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("1,1,3,4,5,6,7,8,9,10,11", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("1,2,3,4,5,6,7,8,9,10,x", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("1,2,3,4,5,6,7,8,9,10,11,1", kStationStatsColumns), standard);
  EXPECT_EQ(ParseColumnOrder("11,10,9,8,7,6,5,4,3,2,1", kStationStatsColumns),
            (std::vector<int>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(ParseColumnOrder("2, 1,3,4,5,6,7,8,9,10,11", kStationStatsColumns),
            (std::vector<int>{2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(StationStats, SelectionTextFollowsTheColumnOrder) {
  TraceSession s;
  StationNode& n = AddStation(s, Key({0x02, 0, 0, 0, 0, 1}));
  n.Role = 3;
  n.FramesSent = 4;
  n.FramesReceived = 2;
  n.BytesSent = 400;
  auto rows = BuildStationStats(s);
  std::vector<int> order = ParseColumnOrder("11,1,2,3,4,5,6,7,8,9,10", kStationStatsColumns);
  EXPECT_EQ(GridSelectionText(rows, order, 0, 0, 1, 0), "2:1\t020000000001\n");
}

// ---- on a trace -----------------------------------------------------------------------

TEST(StationStats, FromAnEthernetTrace) {
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
  const Mac b = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};
  const Ip4 ipA = {10, 0, 0, 1}, ipB = {10, 0, 0, 2};
  std::vector<ScenarioFrame> frames;
  double t = 0;
  auto add = [&](Bytes bytes) {
    ScenarioFrame f;
    f.timeUs = t += 1000;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    frames.push_back(std::move(f));
  };
  for (int i = 0; i < 3; ++i)
    add(EthernetFrame(kBroadcastMac, a, kEtherTypeArp, ArpPacket(kArpRequest, a, ipA, Mac{}, ipB)));
  for (int i = 0; i < 6; ++i)
    add(EthernetFrame(b, a, kEtherTypeIpv4,
                      Ipv4Packet(ipA, ipB, kIpProtoUdp, 64, uint16_t(i + 1), 0,
                                 UdpDatagram(ipA, ipB, 1030, 53, Bytes(100, 'q')))));
  add(Llc8023Frame(a, b, 0xF0, 0xF0, 0x03, Bytes(50, 'n')));
  add(Llc8023Frame(a, b, 0xF0, 0xF0, 0x03, Bytes(50, 'n')));

  auto session = std::make_unique<TraceSession>();
  session->vendors.LoadText("00000C CISCO\n");
  MemorySource source(WriteSnifferDos(frames, {}));
  ASSERT_EQ(OpenTrace(*session, "lan.enc", &source).status, OpenStatus::Loaded);
  auto rows = BuildStationStats(*session);
  ASSERT_EQ(rows.size(), 2u);  // the broadcast address never sent
  const auto& ra = rows[0].cells;
  EXPECT_EQ(ra[0], "CISCO00000A");
  EXPECT_EQ(ra[1], "Etype,LLC");
  EXPECT_EQ(ra[2], "ARP/RARP,IP,NetBIOS-LLC");
  EXPECT_EQ(ra[3], "2");   // the broadcast address and b
  EXPECT_EQ(ra[4], "11");  // 9 sent, 2 received
  EXPECT_EQ(ra[9], "3");
  EXPECT_EQ(ra[10], "4.5:1");
  const auto& rb = rows[1].cells;
  EXPECT_EQ(rb[0], "02000000000B");
  EXPECT_EQ(rb[3], "1");
  EXPECT_EQ(rb[9], "0");
  EXPECT_EQ(rb[10], "1:3");
  EXPECT_EQ(rows[0].station, session->tables.StationTree.Find(AddressKey::From(a.data(), 6)));
}

}  // namespace
}  // namespace korvane
