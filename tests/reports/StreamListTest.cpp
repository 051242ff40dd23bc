// The toolbox's selectable streams: source, destination and Protocol/App texts.
#include <gtest/gtest.h>

#include "reports/StreamList.h"
#include "scenario/PacketBuilder.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using namespace tools;

const Mac kA = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
const Mac kB = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};
const Ip4 kIpA = {10, 0, 0, 1}, kIpB = {10, 0, 0, 2}, kIpC = {10, 0, 0, 3};

class Trace {
 public:
  void Add(Bytes bytes) {
    ScenarioFrame f;
    f.timeUs = time_ += 1000;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    frames_.push_back(std::move(f));
  }
  void Tcp(const Ip4& from, const Ip4& to, uint16_t sp, uint16_t dp, uint8_t flags) {
    TcpFields f;
    f.srcPort = sp;
    f.dstPort = dp;
    f.flags = flags;
    const Mac& src = from == kIpA ? kA : kB;
    const Mac& dst = from == kIpA ? kB : kA;
    Add(EthernetFrame(dst, src, kEtherTypeIpv4, Ipv4Packet(from, to, kIpProtoTcp, 64, id_++, 0, TcpSegment(from, to, f, {}))));
  }
  void Udp(const Ip4& from, const Ip4& to, uint16_t sp, uint16_t dp) {
    const Mac& src = from == kIpA ? kA : kB;
    const Mac& dst = from == kIpA ? kB : kA;
    Add(EthernetFrame(dst, src, kEtherTypeIpv4,
                      Ipv4Packet(from, to, kIpProtoUdp, 64, id_++, 0, UdpDatagram(from, to, sp, dp, Bytes(30, 'u')))));
  }
  std::unique_ptr<TraceSession> Analyse(const std::vector<std::string>& userPorts = {}) const {
    auto session = std::make_unique<TraceSession>();
    session->vendors.LoadText("00000C CISCO\n");
    session->ports.SetUserPorts(userPorts);
    MemorySource source(WriteSnifferDos(frames_, {}));
    OpenResult result = OpenTrace(*session, "lan.enc", &source);
    EXPECT_EQ(result.status, OpenStatus::Loaded) << result.message;
    return session;
  }

 private:
  std::vector<ScenarioFrame> frames_;
  double time_ = 0;
  uint16_t id_ = 1;
};

Trace Conversations() {
  Trace t;
  t.Tcp(kIpA, kIpB, 1025, 80, tcp_flags::kSyn);
  t.Tcp(kIpB, kIpA, 80, 1025, tcp_flags::kSyn | tcp_flags::kAck);
  t.Udp(kIpA, kIpB, 1030, 53);
  t.Udp(kIpA, kIpC, 1031, 8080);
  t.Tcp(kIpA, kIpB, 1026, 23, tcp_flags::kSyn);
  // IPX: the client at a asks the server at b (NCP socket) from socket 4003.
  const IpxAddress server{0x00001A2B, kB, 0x0451}, client{0x00001A2B, kA, 0x4003};
  t.Add(RawIpxFrame(kB, kA, IpxPacket(17, server, client, Bytes(20, 0x22))));
  return t;
}

std::vector<std::string> Lines(const std::vector<StreamEntry>& list) {
  std::vector<std::string> out;
  for (const StreamEntry& e : list)
    out.push_back(e.source + "|" + e.destination + "|" + e.app + "|" + std::to_string(e.streamIndex));
  return out;
}

TEST(StreamList, Headings) {
  const auto& h = StreamListHeadings();
  EXPECT_EQ(std::vector<std::string>(h.begin(), h.end()),
            (std::vector<std::string>{"Source", "Destination", "Protocol/App", "Stream"}));
}

TEST(StreamList, EveryStreamOfEverySender) {
  auto session = Conversations().Analyse();
  auto list = BuildStreamList(*session);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{
                             "1A2B.CISCO00000A|1A2B.02000000000B|IPX (Socket 4003<->NCP)/NCP|0",
                             "10.0.0.1|10.0.0.2|TCP/Port 1025<->HTTP|0",
                             "10.0.0.1|10.0.0.2|UDP/Port 1030<->DNS|1",
                             "10.0.0.1|10.0.0.2|TCP/Port 1026<->Telnet|2",
                             "10.0.0.1|10.0.0.3|UDP/Port 1031<->Port 8080|0",
                             "10.0.0.2|10.0.0.1|TCP/HTTP<->Port 1025|0",
                         }));
  EXPECT_EQ(list[4].destinationIndex, 1);
  EXPECT_EQ(list[2].destinationIndex, 0);
  const AnalysisTables& t = session->tables;
  EXPECT_EQ(t.Streams[size_t(list[3].stream)].DestPort, 23);
  EXPECT_EQ(t.NetPeers[size_t(list[3].peer)].DestAddress, AddressKey::From(kIpB.data(), 4));
  EXPECT_EQ(t.NetStationTree[list[3].sourceStation].Address, AddressKey::From(kIpA.data(), 4));
}

TEST(StreamList, UserPortsNameTheirPorts) {
  auto session = Conversations().Analyse({"8080\tProxy", "1025\tMy App"});
  auto list = BuildStreamList(*session);
  EXPECT_EQ(list[1].app, "TCP/My App<->HTTP");
  EXPECT_EQ(list[4].app, "UDP/Port 1031<->Proxy");
  EXPECT_EQ(list[5].app, "TCP/HTTP<->My App");
}

TEST(StreamList, IpxNodesInHexWithoutTheVendorOption) {
  auto session = Conversations().Analyse();
  StreamListOptions plain;
  plain.ipxLowerByOui = false;
  auto list = BuildStreamList(*session, plain);
  EXPECT_EQ(list[0].source, "1A2B.00000C00000A");
  EXPECT_EQ(list[0].destination, "1A2B.02000000000B");
  EXPECT_EQ(list[1].source, "10.0.0.1");
}

TEST(StreamList, FindsAStreamByItsTexts) {
  auto session = Conversations().Analyse();
  auto list = BuildStreamList(*session);
  auto found = FindStream(list, "10.0.0.1", "10.0.0.2", 2);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->app, "TCP/Port 1026<->Telnet");
  found = FindStream(list, "10.0.0.1", "10.0.0.3", 0);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->app, "UDP/Port 1031<->Port 8080");
  EXPECT_FALSE(FindStream(list, "10.0.0.1", "10.0.0.3", 1));
  EXPECT_FALSE(FindStream(list, "10.0.0.3", "10.0.0.1", 0));  // never sent
  EXPECT_FALSE(FindStream(list, "10.0.0.2", "10.0.0.3", 0));
}

// Streams made by hand: the kinds without ports and the ICMP message names.
struct HandMade {
  TraceSession s;
  int32_t Stream(uint8_t kind, uint16_t sp, uint16_t dp) {
    TTransHead h;
    h.Kind = kind;
    h.SourcePort = sp;
    h.DestPort = dp;
    s.tables.Streams.push_back(h);
    return int32_t(s.tables.Streams.size()) - 1;
  }
  int32_t Icmp(uint8_t type, uint8_t code, int64_t frame) {
    int32_t k = Stream(0, 0, 0);
    TPacket p;
    p.Window = uint16_t(type | code << 8);
    p.FrameNumber = frame;
    s.tables.PacketList.push_back(p);
    s.tables.Streams[size_t(k)].FirstPacket = s.tables.Streams[size_t(k)].LastPacket =
        int32_t(s.tables.PacketList.size()) - 1;
    return k;
  }
  std::string App(int32_t k, bool mirrored = false) { return StreamAppText(s, s.tables.Streams[size_t(k)], mirrored); }
};

TEST(StreamList, AppTextsByKind) {
  HandMade h;
  EXPECT_EQ(h.App(h.Stream(22, 0, 0)), "Other");
  EXPECT_EQ(h.App(h.Stream(1, 0, 0)), "IGMP");
  EXPECT_EQ(h.App(h.Stream(7, 0, 0)), "Unknown");
  EXPECT_EQ(h.App(h.Stream(9, 0x4003, 0x0455)), "IPX (Socket 4003<->NetBIOS)/SPX");
  EXPECT_EQ(h.App(h.Stream(9, 0x4003, 0x0455), true), "IPX (Socket NetBIOS<->4003)/SPX");
  EXPECT_EQ(h.App(h.Stream(17, 0x0457, 0x0457)), "IPX (Socket Serialize<->Serialize)/WAN Bdcast");
  EXPECT_EQ(h.App(h.Stream(5, 137, 138)), "UDP/NetBIOS Name<->NetBIOS Datagram");
  EXPECT_EQ(h.App(h.Stream(3, 3000, 21), true), "TCP/FTP Control<->Port 3000");
}

TEST(StreamList, IcmpStreamsCarryTheirFirstMessage) {
  HandMade h;
  EXPECT_EQ(h.App(h.Icmp(8, 0, 4)), "ICMP/Echo");
  EXPECT_EQ(h.App(h.Icmp(0, 0, 5)), "ICMP/Echo Reply");
  EXPECT_EQ(h.App(h.Icmp(3, 3, 17)), "ICMP/Port Unreachable (pkt 17)");
  EXPECT_EQ(h.App(h.Icmp(3, 4, 18)), "ICMP/Fragmentation needed and Don't Fragment was set (pkt 18)");
  EXPECT_EQ(h.App(h.Icmp(11, 1, 9)), "ICMP/Fragment Reassembly Time Exceeded (pkt 9)");
  EXPECT_EQ(h.App(h.Icmp(5, 3, 2)), "ICMP/Redirect Datagram for the Type of Service and Host (pkt 2)");
  EXPECT_EQ(h.App(h.Icmp(36, 0, 1)), "ICMP/Mobile Registration Reply (pkt 1)");
  EXPECT_EQ(h.App(h.Icmp(3, 9, 1)), "ICMP");   // a code without a name
  EXPECT_EQ(h.App(h.Icmp(42, 0, 1)), "ICMP");  // a type without a name
  EXPECT_EQ(h.App(h.Stream(0, 0, 0)), "ICMP");  // no packet
  EXPECT_EQ(IcmpMessageName(33, 0), "IPv6 Where-Are-You");
  EXPECT_EQ(IcmpMessageName(17, 0), "Address Mask Request");
}

}  // namespace
}  // namespace korvane
