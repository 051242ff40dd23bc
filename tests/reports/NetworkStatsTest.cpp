// The Network window's statistics table for IP and IPX stations.
#include <gtest/gtest.h>

#include "reports/NetworkStats.h"
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

NetStationNode& AddStation(TraceSession& s, const AddressKey& key, uint8_t category) {
  NetStationNode& n = s.tables.NetStationTree[s.tables.NetStationTree.Insert(key)];
  n.Category = category;
  return n;
}

std::vector<std::string> Column(const std::vector<NetworkStatsRow>& rows, size_t column) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.cells[column]);
  return out;
}

TEST(NetworkStats, Headings) {
  const auto& h = NetworkStatsHeadings();
  std::vector<std::string> all(h.begin(), h.end());
  EXPECT_EQ(all, (std::vector<std::string>{"Network Address", "Protocols", "Dests", "Snd+Rcv Pkts", "Snd+Rcv Bytes",
                                           "Utilization", "Ave Send", "Ave Recv", "Pkt Ratio"}));
}

TEST(NetworkStats, IpAndIpxStationsGoToTheirOwnTables) {
  TraceSession s;
  s.vendors.LoadText("00000C CISCO\n");
  s.info.TopologyCode = topology::Ethernet;
  s.tables.MediaCapacity = 1250000;
  s.tables.IntervalCount = 4;
  NetStationNode& ip = AddStation(s, Key({192, 168, 1, 20}), category::Ip);
  ip.Role = 3;
  ip.FramesSent = 50;
  ip.BytesSent = 48000;
  ip.FramesReceived = 2000;
  ip.BytesReceived = 128000;
  ip.TransportKinds = (1u << 3) | (1u << 5) | (1u << 0);
  for (int i = 0; i < 4; ++i) {
    TNetPeer peer;
    peer.Next = s.tables.NetStationTree[0].FirstNetPeer;
    s.tables.NetStationTree[0].FirstNetPeer = int32_t(s.tables.NetPeers.size());
    s.tables.NetPeers.push_back(peer);
  }
  NetStationNode& nbt = AddStation(s, Key({192, 168, 1, 3}), category::NetBiosIp);  // an IP station all the same
  nbt.Role = 3;
  nbt.FramesSent = 1;
  NetStationNode& ipx = AddStation(s, Key({0x00, 0x00, 0x1A, 0x2B, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x07}), category::Ipx);
  ipx.Role = 3;
  ipx.FramesSent = 3;
  ipx.BytesSent = 300;
  ipx.TransportKinds = (1u << 8) | (1u << 18) | (1u << 22);
  NetStationNode& silent = AddStation(s, Key({192, 168, 1, 30}), category::Ip);
  silent.FramesReceived = 9;  // never sent: no row

  auto rows = BuildNetworkStats(s, NetProtocol::Ip);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cells[0], "192.168.1.3");
  const auto& c = rows[1].cells;
  EXPECT_EQ(c[0], "192.168.1.20");
  EXPECT_EQ(c[1], "ICMP,TCP,UDP");
  EXPECT_EQ(c[2], "4");
  EXPECT_EQ(c[3], "2,050");
  EXPECT_EQ(c[4], "176,000");
  // (50 x 20 + 48,000) x 100 / 1,250,000 / 4 = 0.98
  EXPECT_EQ(c[5], "0.98%");
  EXPECT_EQ(c[6], "960");
  EXPECT_EQ(c[7], "64");
  EXPECT_EQ(c[8], "1:40");

  auto ipxRows = BuildNetworkStats(s, NetProtocol::Ipx);
  ASSERT_EQ(ipxRows.size(), 1u);
  EXPECT_EQ(ipxRows[0].cells[0], "1A2B.CISCO000007");
  EXPECT_EQ(ipxRows[0].cells[1], "NCP,SAP,Other");
  EXPECT_EQ(ipxRows[0].cells[8], "3:0");
  NetworkNameOptions plain;
  plain.ipxNodeByOui = false;
  EXPECT_EQ(BuildNetworkStats(s, NetProtocol::Ipx, plain)[0].cells[0], "1A2B.00000C000007");
}

TEST(NetworkStats, LearnedNamesAndMapLabels) {
  TraceSession s;
  const AddressKey key = Key({10, 1, 1, 1});
  AddStation(s, key, category::Ip).Role = 3;
  const std::string longName = "a-very-long-host-name.example";  // 29 characters
  s.tables.Names.Record(key, longName);
  auto rows = BuildNetworkStats(s, NetProtocol::Ip);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells[0], longName);
  NetworkNameOptions noSmart;
  noSmart.smartNames = false;
  EXPECT_EQ(BuildNetworkStats(s, NetProtocol::Ip, noSmart)[0].cells[0], "10.1.1.1");

  const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";
  EXPECT_EQ(NetworkMapLabel(thirty), "abcdefghijklmnopqrstuvwxyz...");
  EXPECT_EQ(NetworkMapLabel(thirty.substr(0, 26)), thirty.substr(0, 26));
}

TEST(NetworkStats, DlcAddressMenuItem) {
  TraceSession s;
  s.vendors.LoadText("00000C CISCO\n");
  NetStationNode& none = AddStation(s, Key({10, 0, 0, 1}), category::Ip);
  EXPECT_EQ(DlcAddressMenuText(s, none), "No DLC Address");
  const AddressKey cisco = Key({0x00, 0x00, 0x0C, 0x01, 0x02, 0x03});
  const AddressKey other = Key({0x02, 0x00, 0x00, 0x01, 0x02, 0x03});
  for (const AddressKey& k : {cisco, other}) {
    StationNode& m = s.tables.StationTree[s.tables.StationTree.Insert(k)];
    m.VendorIndex = s.vendors.Lookup(k);
  }
  NetStationNode& a = AddStation(s, Key({10, 0, 0, 2}), category::Ip);
  a.MacStation = s.tables.StationTree.Find(cisco);
  EXPECT_EQ(DlcAddressMenuText(s, a), "DLC Address is CISCO010203");
  NetStationNode& b = AddStation(s, Key({10, 0, 0, 3}), category::Ip);
  b.MacStation = s.tables.StationTree.Find(other);
  EXPECT_EQ(DlcAddressMenuText(s, b), "DLC Address is 020000010203");
}

TEST(NetworkStats, SortingAsNumbersAndText) {
  TraceSession s;
  int64_t frames[] = {1000, 20, 300};
  uint8_t last = 1;
  for (int64_t f : frames) {
    NetStationNode& n = AddStation(s, Key({10, 0, 0, last++}), category::Ip);
    n.Role = 3;
    n.FramesSent = f;
    n.BytesSent = f * 64;
  }
  auto rows = BuildNetworkStats(s, NetProtocol::Ip);
  SortNetworkRows(rows, 3, false);
  EXPECT_EQ(Column(rows, 3), (std::vector<std::string>{"1,000", "300", "20"}));
  SortNetworkRows(rows, 0, false);
  EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"10.0.0.3", "10.0.0.2", "10.0.0.1"}));
  SortNetworkRows(rows, 8, true);  // ratios as text
  EXPECT_EQ(Column(rows, 8), (std::vector<std::string>{"1000:0", "20:0", "300:0"}));
}

// ---- on a trace -----------------------------------------------------------------------

TEST(NetworkStats, FromAnEthernetTrace) {
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
  const Mac b = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};
  const Ip4 ipA = {10, 0, 0, 1}, ipB = {10, 0, 0, 2}, ipC = {10, 0, 0, 3};
  std::vector<ScenarioFrame> frames;
  double t = 0;
  auto add = [&](Bytes bytes) {
    ScenarioFrame f;
    f.timeUs = t += 1000;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    frames.push_back(std::move(f));
  };
  TcpFields syn;
  syn.srcPort = 1025;
  syn.dstPort = 80;
  syn.flags = tcp_flags::kSyn;
  TcpFields synAck = syn;
  std::swap(synAck.srcPort, synAck.dstPort);
  synAck.flags = tcp_flags::kSyn | tcp_flags::kAck;
  add(EthernetFrame(b, a, kEtherTypeIpv4, Ipv4Packet(ipA, ipB, kIpProtoTcp, 64, 1, 0, TcpSegment(ipA, ipB, syn, {}))));
  add(EthernetFrame(a, b, kEtherTypeIpv4,
                    Ipv4Packet(ipB, ipA, kIpProtoTcp, 64, 2, 0, TcpSegment(ipB, ipA, synAck, {}))));
  add(EthernetFrame(b, a, kEtherTypeIpv4,
                    Ipv4Packet(ipA, ipC, kIpProtoUdp, 64, 3, 0, UdpDatagram(ipA, ipC, 1030, 53, Bytes(30, 'q')))));
  add(EthernetFrame(b, a, kEtherTypeIpv4,
                    Ipv4Packet(ipA, ipB, kIpProtoIcmp, 64, 4, 0, IcmpEcho(false, 1, 1, Bytes(32, 'p')))));
  const IpxAddress server{0x00001A2B, b, 0x0451}, client{0x00001A2B, a, 0x4003};
  add(RawIpxFrame(b, a, IpxPacket(17, server, client, Bytes(20, 0x22))));

  auto session = std::make_unique<TraceSession>();
  session->vendors.LoadText("00000C CISCO\n");
  MemorySource source(WriteSnifferDos(frames, {}));
  ASSERT_EQ(OpenTrace(*session, "lan.enc", &source).status, OpenStatus::Loaded);

  auto rows = BuildNetworkStats(*session, NetProtocol::Ip);
  ASSERT_EQ(rows.size(), 2u);  // 10.0.0.3 only received
  EXPECT_EQ(rows[0].cells[0], "10.0.0.1");
  EXPECT_EQ(rows[0].cells[1], "ICMP,TCP,UDP");
  EXPECT_EQ(rows[0].cells[2], "2");
  EXPECT_EQ(rows[0].cells[3], "4");
  EXPECT_EQ(rows[0].cells[8], "3:1");
  EXPECT_EQ(rows[1].cells[0], "10.0.0.2");
  EXPECT_EQ(rows[1].cells[1], "ICMP,TCP");
  EXPECT_EQ(rows[1].cells[2], "1");
  EXPECT_EQ(rows[1].cells[8], "1:2");

  auto ipx = BuildNetworkStats(*session, NetProtocol::Ipx);
  ASSERT_EQ(ipx.size(), 1u);
  EXPECT_EQ(ipx[0].cells[0], "1A2B.CISCO00000A");
  EXPECT_EQ(ipx[0].cells[2], "1");
  EXPECT_EQ(ipx[0].cells[8], "1:0");
}

}  // namespace
}  // namespace korvane
