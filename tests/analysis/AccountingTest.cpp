// Station and conversation accounting and network decoding, on hand-made frames.
#include <gtest/gtest.h>

#include <cstring>

#include "analysis/TraceSession.h"
#include "scenario/PacketBuilder.h"

namespace korvane {
namespace {

using namespace tools;

const Mac kA = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
const Mac kB = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
const Mac kC = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0C};
const Ip4 kIpA = {10, 0, 0, 1};
const Ip4 kIpB = {10, 0, 0, 2};

class Feeder {
 public:
  explicit Feeder(uint8_t topology = topology::Ethernet) {
    s.info.TopologyCode = topology;
    s.info.DetectedFormat = fmt_id::SnifferDos;
    s.analyser.BeginTrace(false);
  }
  // Clears the frame buffer first unless told to leave the last frame's bytes in it, as a
  // reader does.
  void Frame(const Bytes& bytes, uint16_t status = 0, bool clear = true) {
    CapturedFrame& f = *s.frame;
    if (clear) f.Data.fill(0);
    std::memcpy(f.Data.data(), bytes.data(), bytes.size());
    const bool ethernet = s.info.TopologyCode == topology::Ethernet;
    f.FrameLength = f.StoredLength = uint16_t(bytes.size() + (ethernet ? 4 : 0));
    f.Status = status;
    f.TimeStamp = time += 1000;
    s.analyser.FeedFrame(s.info.FrameCounter);
  }
  void Tcp(const Ip4& src, const Ip4& dst, TcpFields fields, size_t payload, uint8_t ttl = 128, uint16_t id = 1,
           const Mac& from = kA, const Mac& to = kB) {
    Frame(EthernetFrame(to, from, 0x0800,
                        Ipv4Packet(src, dst, 6, ttl, id, 0, TcpSegment(src, dst, fields, Bytes(payload, 'x')))));
  }
  void Udp(const Ip4& src, const Ip4& dst, uint16_t sp, uint16_t dp, size_t payload = 20, uint16_t id = 7,
           uint16_t fragment = 0) {
    Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(src, dst, 17, 64, id, fragment, UdpDatagram(src, dst, sp, dp, Bytes(payload, 'u')))));
  }
  void End() { s.analyser.EndTrace(true); }

  const TTransHead* Stream(const Ip4& src, const Ip4& dst, uint16_t sp, uint16_t dp) const {
    const auto& t = s.tables;
    int32_t station = t.NetStationTree.Find(AddressKey::From(src.data(), 4));
    if (station < 0) return nullptr;
    AddressKey dest = AddressKey::From(dst.data(), 4);
    for (int32_t p = t.NetStationTree[station].FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next) {
      if (t.NetPeers[size_t(p)].DestAddress != dest) continue;
      for (int32_t k = t.NetPeers[size_t(p)].FirstStream; k >= 0; k = t.Streams[size_t(k)].Next)
        if (t.Streams[size_t(k)].SourcePort == sp && t.Streams[size_t(k)].DestPort == dp) return &t.Streams[size_t(k)];
    }
    return nullptr;
  }
  // A stream's records in chain order, read back from its last one (the forward links are
  // only made at the end of the read).
  std::vector<TPacket> Packets(const TTransHead* stream) const {
    std::vector<TPacket> out;
    for (int32_t k = stream ? stream->LastPacket : -1; k >= 0; k = s.tables.PacketList[size_t(k)].Prev)
      out.insert(out.begin(), s.tables.PacketList[size_t(k)]);
    return out;
  }
  TraceSession s;
  double time = 0;
};

TEST(MacAccounting, DestinationsInFirstSeenOrderAndLateSenders) {
  Feeder f;
  f.Frame(EthernetFrame(kB, kA, 0x0806, Bytes(28, 0)));
  f.Frame(EthernetFrame(kC, kA, 0x0806, Bytes(28, 0)));
  f.Frame(EthernetFrame(kB, kA, 0x0806, Bytes(28, 0)));
  const auto& t = f.s.tables;
  EXPECT_EQ(t.StationCount, 3);
  EXPECT_EQ(t.SendingStationCount, 1);
  const StationNode& a = t.StationTree[t.StationTree.Find(AddressKey::From(kA.data(), 6))];
  ASSERT_GE(a.FirstDlcPeer, 0);
  const TDLCPeer& first = t.DlcPeers[size_t(a.FirstDlcPeer)];
  EXPECT_EQ(first.DestAddress, AddressKey::From(kB.data(), 6));
  EXPECT_EQ(first.Frames, 2);
  ASSERT_GE(first.Next, 0);
  EXPECT_EQ(t.DlcPeers[size_t(first.Next)].DestAddress, AddressKey::From(kC.data(), 6));
  EXPECT_EQ(t.DlcPeers[size_t(first.Next)].Next, -1);
  // B, so far only a destination, starts sending.
  const StationNode& before = t.StationTree[t.StationTree.Find(AddressKey::From(kB.data(), 6))];
  EXPECT_EQ(before.Role, 0);
  EXPECT_EQ(before.FirstDlcPeer, -1);
  f.Frame(EthernetFrame(kA, kB, 0x0806, Bytes(28, 0)));
  const StationNode& b = t.StationTree[t.StationTree.Find(AddressKey::From(kB.data(), 6))];
  EXPECT_EQ(b.Role, 3);
  EXPECT_EQ(t.SendingStationCount, 2);
  EXPECT_GE(b.FirstDlcPeer, 0);
  EXPECT_EQ(b.FramesReceived, 2);
}

TEST(MacAccounting, FramesRightAfterACollisionCount) {
  Feeder f;
  f.Frame(Bytes(40, 0x11), kCrcError);  // a collision fragment
  f.Frame(EthernetFrame(kB, kA, 0x0806, Bytes(28, 0)));
  f.Frame(EthernetFrame(kB, kA, 0x0806, Bytes(28, 0)));
  f.Frame(EthernetFrame(kB, kA, 0x0806, Bytes(28, 0)));
  const auto& t = f.s.tables;
  EXPECT_EQ(t.StationTree[t.StationTree.Find(AddressKey::From(kA.data(), 6))].PostCollisionFrames, 2);
}

TEST(Direction, PortRules) {
  Feeder f;
  f.s.ports.SetUserPorts({"1521\tOracle listener"});
  f.Udp(kIpA, kIpB, 1030, 80);
  f.Udp(kIpB, kIpA, 80, 1030);
  f.Udp(kIpA, kIpB, 1030, 1030);
  f.Udp(kIpA, kIpB, 5000, 3000);
  f.Udp(kIpA, kIpB, 3000, 5000);
  f.Udp(kIpA, kIpB, 2000, 1521);
  f.Udp(kIpA, kIpB, 1521, 2000);
  auto flags = [&](uint16_t sp, uint16_t dp, bool forward = true) {
    auto packets = f.Packets(forward ? f.Stream(kIpA, kIpB, sp, dp) : f.Stream(kIpB, kIpA, sp, dp));
    return packets.empty() ? 0xFFu : packets[0].Flags & 3u;
  };
  EXPECT_EQ(flags(1030, 80), packet_flag::Request);
  EXPECT_EQ(flags(80, 1030, false), packet_flag::Reply);
  EXPECT_EQ(flags(1030, 1030), 0u);
  EXPECT_EQ(flags(5000, 3000), packet_flag::Request);
  EXPECT_EQ(flags(3000, 5000), packet_flag::Reply);
  // Below 1024 the lower port is the server's; the user's server port decides above it.
  EXPECT_EQ(flags(2000, 1521), packet_flag::Request);
  EXPECT_EQ(flags(1521, 2000), packet_flag::Reply);
}

TEST(Streams, TcpGapMarkers) {
  Feeder f;
  f.Tcp(kIpA, kIpB, {1030, 80, 1000, 1, 0x18}, 100);
  f.Tcp(kIpA, kIpB, {1030, 80, 1101, 1, 0x18}, 100);  // one more than the next byte: no gap
  f.Tcp(kIpA, kIpB, {1030, 80, 1203, 1, 0x18}, 100);  // 1202 expected (+1 allowed): gap
  auto packets = f.Packets(f.Stream(kIpA, kIpB, 1030, 80));
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_FALSE(IsGapMarker(packets[1].Flags));
  EXPECT_TRUE(IsGapMarker(packets[2].Flags));
  EXPECT_EQ(packets[2].Sequence, 1203u);
  EXPECT_EQ(packets[2].FrameNumber, 3);
  EXPECT_EQ(packets[2].TimeStamp, packets[1].TimeStamp);
  EXPECT_EQ(packets[3].Sequence, 1203u);
  EXPECT_EQ(f.Stream(kIpA, kIpB, 1030, 80)->PacketCount, 3);
  EXPECT_EQ(f.Stream(kIpA, kIpB, 1030, 80)->GapMarkers, 1);
}

TEST(Streams, RetransmissionsAndRoutedCopies) {
  Feeder f;
  f.Tcp(kIpA, kIpB, {1030, 80, 5000, 1, 0x18}, 100, 128);
  f.Tcp(kIpA, kIpB, {1030, 80, 5000, 1, 0x18}, 100, 127);  // forwarded back onto the segment
  f.Tcp(kIpA, kIpB, {1030, 80, 5100, 1, 0x18}, 100, 128);
  f.Tcp(kIpA, kIpB, {1030, 80, 5100, 1, 0x18}, 100, 128);  // sent again
  auto packets = f.Packets(f.Stream(kIpA, kIpB, 1030, 80));
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(packets[1].Flags & (packet_flag::SeenViaRouter | packet_flag::Retransmission), packet_flag::SeenViaRouter);
  EXPECT_EQ(packets[3].Flags & (packet_flag::SeenViaRouter | packet_flag::Retransmission), packet_flag::Retransmission);
  EXPECT_EQ(packets[3].RetransmitDistance, 1);

  // A repeat of a segment 25 packets back lies beyond the look-back.
  Feeder g;
  uint32_t seq = 100;
  for (int i = 0; i < 25; ++i, seq += 10) g.Tcp(kIpA, kIpB, {1030, 80, seq, 1, 0x18}, 10);
  g.Tcp(kIpA, kIpB, {1030, 80, 100, 1, 0x18}, 10);
  g.Tcp(kIpA, kIpB, {1030, 80, 300, 1, 0x18}, 10);  // 6 packets back
  auto many = g.Packets(g.Stream(kIpA, kIpB, 1030, 80));
  ASSERT_GE(many.size(), 27u);
  EXPECT_EQ(many[many.size() - 2].Flags & packet_flag::Retransmission, 0u);
  EXPECT_NE(many.back().Flags & packet_flag::Retransmission, 0u);
}

TEST(Streams, IcmpReportFollowsTheReportedDatagram) {
  Feeder f;
  f.Udp(kIpA, kIpB, 1050, 9999, 20, 0x4242);
  f.Udp(kIpA, kIpB, 1050, 9999, 20, 0x4243);
  // Port unreachable from B, quoting a datagram's header and ports.
  auto report = [&f](const Ip4& src, const Ip4& dst, uint16_t sp, uint16_t dp, uint16_t id) {
    Bytes quoted = Ipv4Packet(src, dst, 17, 64, id, 0, UdpDatagram(src, dst, sp, dp, Bytes(20, 'u')));
    quoted.resize(28);
    Bytes icmp = {3, 3, 0, 0, 0, 0, 0, 0};
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    f.Frame(EthernetFrame(kA, kB, 0x0800, Ipv4Packet(kIpB, kIpA, 1, 64, 9, 0, icmp)));
  };
  report(kIpA, kIpB, 1050, 9999, 0x4242);
  // Datagrams of flows never met: of known stations to another port, and to an unknown station.
  report(kIpA, kIpB, 1050, 7777, 0x4242);
  report(kIpA, {10, 0, 0, 3}, 1050, 9999, 0x4242);
  f.End();
  auto packets = f.Packets(f.Stream(kIpA, kIpB, 1050, 9999));
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[1].Flags, packet_flag::Reply | packet_flag::IcmpReport);
  EXPECT_EQ(packets[1].Sequence, uint32_t(packets[0].FrameNumber));
  EXPECT_EQ(packets[2].IpId, 0x4243);
  EXPECT_EQ(f.Stream(kIpA, kIpB, 1050, 9999)->IcmpReports, 1);
  // The reports themselves make one ICMP stream of three packets, and no other stream.
  EXPECT_EQ(f.s.tables.Streams.size(), 2u);
  EXPECT_EQ(f.s.tables.Streams[1].PacketCount, 3);
  EXPECT_EQ(f.s.tables.NetStationTree.size(), 2u);
}

TEST(Streams, ServerPortsLearnedFromConnectionRequests) {
  Feeder f;
  f.Tcp(kIpA, kIpB, {1031, 8080, 1, 0, 0x02}, 0);     // SYN to 8080: learned
  f.Tcp(kIpB, kIpA, {8080, 1031, 9, 2, 0x12}, 0);     // SYN-ACK from 8080
  f.Tcp(kIpB, kIpA, {1030, 2000, 9, 2, 0x12}, 0);     // SYN-ACK from 1030: teaches nothing
  f.Tcp(kIpA, kIpB, {1031, 8080, 2, 10, 0x18}, 50);
  f.End();
  const auto& map = f.s.tables.ServerPortMap;
  auto isServer = [&](uint16_t port) { return ((map[port >> 6] >> (port & 63)) & 1u) != 0; };
  EXPECT_TRUE(isServer(8080));
  EXPECT_FALSE(isServer(1030));
  EXPECT_FALSE(isServer(1031));
  for (const TPacket& p : f.Packets(f.Stream(kIpA, kIpB, 1031, 8080))) EXPECT_EQ(p.Flags & 3u, packet_flag::Request);
  for (const TPacket& p : f.Packets(f.Stream(kIpB, kIpA, 8080, 1031))) EXPECT_EQ(p.Flags & 3u, packet_flag::Reply);
}

TEST(Decoding, LaterTcpFragmentsAreNoZeroWindows) {
  Feeder f;
  TcpFields fields;
  fields.srcPort = 1500;
  fields.dstPort = 80;
  fields.flags = 0x18;
  fields.window = 8192;
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 6, 64, 90, 0x2000,
                                                   TcpSegment(kIpA, kIpB, fields, Bytes(44, 'a')))));
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 6, 64, 90, 8, Bytes(40, 'b'))));
  auto packets = f.Packets(f.Stream(kIpA, kIpB, 1500, 80));
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[1].FragmentOffset, 64);
  EXPECT_EQ(packets[1].Flags & packet_flag::ZeroWindow, 0u);
}

TEST(Decoding, FragmentsChecksumsAndCounts) {
  Feeder f;
  // First fragment (more fragments) and a second one carrying no UDP header.
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 17, 64, 77, 0x2000, UdpDatagram(kIpA, kIpB, 1200, 2049, Bytes(40, 'a')))));
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 17, 64, 77, 6, Bytes(40, 'b'))));
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 17, 64, 78, 12, Bytes(40, 'c'))));
  auto packets = f.Packets(f.Stream(kIpA, kIpB, 1200, 2049));
  ASSERT_EQ(packets.size(), 2u);  // the unmatched third fragment has no ports
  EXPECT_EQ(packets[1].FragmentOffset, 48);
  EXPECT_EQ(packets[1].Flags & packet_flag::UnmatchedFragment, 0u);
  EXPECT_EQ(packets[0].Flags & (packet_flag::UdpChecksumError | packet_flag::IpChecksumError), 0u);

  // A zero UDP checksum is never checked; a damaged one is flagged; so is a damaged IP header.
  Bytes udp = UdpDatagram(kIpA, kIpB, 1300, 2300, Bytes(30, 'z'));
  udp[6] = udp[7] = 0;
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 17, 64, 80, 0, udp)));
  udp[6] = 0x12;
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 17, 64, 81, 0, udp)));
  Bytes ip = Ipv4Packet(kIpA, kIpB, 17, 64, 82, 0, UdpDatagram(kIpA, kIpB, 1300, 2300, Bytes(30, 'z')));
  ip[10] ^= 0x01;
  f.Frame(EthernetFrame(kB, kA, 0x0800, ip));
  auto checked = f.Packets(f.Stream(kIpA, kIpB, 1300, 2300));
  ASSERT_EQ(checked.size(), 3u);
  EXPECT_EQ(checked[0].Flags & packet_flag::UdpChecksumError, 0u);
  EXPECT_NE(checked[1].Flags & packet_flag::UdpChecksumError, 0u);
  EXPECT_NE(checked[2].Flags & packet_flag::IpChecksumError, 0u);
  EXPECT_EQ(f.s.tables.IpStationCount, 2);
  EXPECT_EQ(f.s.tables.IpSenderCount, 1);

  // Odd lengths end on a padded byte, on TCP as on UDP.
  for (size_t size : {1u, 7u, 31u, 333u}) {
    f.Udp(kIpA, kIpB, 1400, 2400, size, uint16_t(90 + size));
    f.Tcp(kIpA, kIpB, {1401, 80, 1, 1, 0x18}, size);
  }
  for (const TPacket& p : f.Packets(f.Stream(kIpA, kIpB, 1400, 2400)))
    EXPECT_EQ(p.Flags & packet_flag::UdpChecksumError, 0u) << p.NetLength;
  for (const TPacket& p : f.Packets(f.Stream(kIpA, kIpB, 1401, 80)))
    EXPECT_EQ(p.Flags & packet_flag::TcpChecksumError, 0u) << p.NetLength;
  Bytes odd = TcpSegment(kIpA, kIpB, {1402, 80, 1, 1, 0x18}, Bytes(33, 'q'));
  odd.back() ^= 0x40;
  f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 6, 64, 99, 0, odd)));
  EXPECT_NE(f.Packets(f.Stream(kIpA, kIpB, 1402, 80))[0].Flags & packet_flag::TcpChecksumError, 0u);
}

// Payloads of every length up to a full frame, of varied bytes: the sum is taken many bytes
// a step, and any byte of a long payload counts.
TEST(Decoding, TransportChecksumsOfEveryLength) {
  Feeder f;
  uint32_t seed = 12345;
  for (size_t size = 0; size <= 1460; ++size) {
    Bytes payload(size);
    for (uint8_t& b : payload) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 23);
    f.Frame(EthernetFrame(kB, kA, 0x0800,
                          Ipv4Packet(kIpA, kIpB, 6, 64, uint16_t(size), 0, TcpSegment(kIpA, kIpB, {1500, 80, 1, 1, 0x18}, payload))));
    if (size == 0) continue;
    Bytes damaged = TcpSegment(kIpA, kIpB, {1501, 80, 1, 1, 0x18}, payload);
    damaged[20 + size * 5 / 7] ^= 0x5A;  // somewhere along the payload
    f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 6, 64, uint16_t(size), 0, damaged)));
  }
  for (const TPacket& p : f.Packets(f.Stream(kIpA, kIpB, 1500, 80)))
    EXPECT_EQ(p.Flags & packet_flag::TcpChecksumError, 0u) << p.NetLength;
  for (const TPacket& p : f.Packets(f.Stream(kIpA, kIpB, 1501, 80)))
    EXPECT_NE(p.Flags & packet_flag::TcpChecksumError, 0u) << p.NetLength;
  EXPECT_EQ(f.Packets(f.Stream(kIpA, kIpB, 1501, 80)).size(), 1460u);
}

TEST(Decoding, IpxKindsBySocketAndType) {
  Feeder f;
  IpxAddress client{0x1234, kA, 0x4003}, server{0x1234, kB, 0x0451};
  Bytes ncp = {0x22, 0x22, 5, 0, 0, 0, 72};
  ncp.resize(20, 0);
  f.Frame(EthernetFrame(kB, kA, 0x8137, IpxPacket(17, server, client, ncp)));
  f.Frame(EthernetFrame(kB, kA, 0x8137, IpxPacket(0, server, client, Bytes(20, 0))));
  const auto& t = f.s.tables;
  ASSERT_EQ(t.Streams.size(), 1u);  // both NCP: one stream
  EXPECT_EQ(t.Streams[0].Kind, transport::Ncp);
  EXPECT_EQ(t.Streams[0].PacketCount, 2);
  const TPacket& first = t.PacketList[size_t(t.Streams[0].FirstPacket)];
  EXPECT_EQ(first.Flags & (packet_flag::Request | packet_flag::NcpRead), packet_flag::Request | packet_flag::NcpRead);
  EXPECT_EQ(first.NcpFunction, 72);
  EXPECT_EQ(first.Sequence, 5u);
  EXPECT_EQ(t.IpxStationCount, 2);
}

// A packet burst's last byte marks it as a retransmission; a burst packet that ends before
// that byte has none, whatever an earlier, longer frame left in the buffer.
TEST(Decoding, ShortBurstPacketReadsNoByteOfAnEarlierFrame) {
  for (bool whole : {true, false}) {
    SCOPED_TRACE(whole ? "long enough" : "too short");
    Feeder f;
    IpxAddress client{0x1234, kA, 0x4003}, server{0x1234, kB, 0x4005};
    f.Frame(EthernetFrame(kB, kA, 0x8137, IpxPacket(4, server, client, Bytes(200, 0x5A))));
    Bytes burst = {0x77, 0x77};
    burst.resize(whole ? 36 : 20, 0);
    if (whole) burst[35] = 0x5A;
    f.Frame(EthernetFrame(kB, kA, 0x8137, IpxPacket(17, server, client, burst)), 0, false);
    const auto& t = f.s.tables;
    ASSERT_EQ(t.Streams.size(), 2u);
    ASSERT_EQ(t.Streams[1].Kind, transport::PBurst);
    const TPacket& r = t.PacketList[size_t(t.Streams[1].LastPacket)];
    EXPECT_EQ((r.Flags & packet_flag::Retransmission) != 0, whole);
    EXPECT_EQ(r.NcpFunction, whole ? 0x5A : 0);
  }
}

TEST(Decoding, MaximumSegmentSizeOnlyFromTheOptions) {
  // A connection request with the option, and one without options whose data begins with
  // the option's bytes.
  for (bool option : {true, false}) {
    SCOPED_TRACE(option ? "option" : "data");
    Feeder f;
    TcpFields syn{1050, 80, 100, 0, 0x02};
    syn.mss = option ? 1460 : 0;
    const Bytes data = option ? Bytes{} : Bytes{2, 4, 0x05, 0xB4, 'x', 'x'};
    f.Frame(EthernetFrame(kB, kA, 0x0800, Ipv4Packet(kIpA, kIpB, 6, 64, 1, 0, TcpSegment(kIpA, kIpB, syn, data))));
    const auto packets = f.Packets(f.Stream(kIpA, kIpB, 1050, 80));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Mss, option ? 1460 : 0);
  }
}

Bytes SoftErrorReport(const Mac& naun, uint8_t line, uint8_t burst) {
  Bytes vector(2 + 1 + 1 + 50, 0);  // positions relative to the frame: vector starts at 14
  vector[3] = 0x29;
  vector[20 - 14] = line;
  vector[22 - 14] = burst;
  std::copy(naun.begin(), naun.end(), vector.begin() + (42 - 14));
  return vector;
}

Bytes Monitor(uint8_t command, const Mac& naun) {
  Bytes vector(40, 0);
  vector[3] = command;
  std::copy(naun.begin(), naun.end(), vector.begin() + (26 - 14));
  return vector;
}

const Mac kRem = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x08};
const Mac kAllStations = {0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

TEST(RingMac, SoftErrorReports) {
  Feeder f(topology::TokenRing);
  f.Frame(TokenRingFrame(0x10, 0x00, kRem, kA, {}, SoftErrorReport(kB, 2, 1)));
  f.Frame(TokenRingFrame(0x10, 0x00, kRem, kA, {}, SoftErrorReport(kC, 1, 0)));
  f.Frame(TokenRingFrame(0x10, 0x00, kB, kA, {}, SoftErrorReport(kB, 5, 0)));  // not to the monitor
  const auto& t = f.s.tables;
  EXPECT_EQ(t.SoftErrorTotals[6], 3);  // Line
  EXPECT_EQ(t.SoftErrorTotals[2], 1);  // Burst
  const StationNode& a = t.StationTree[t.StationTree.Find(AddressKey::From(kA.data(), 6))];
  EXPECT_EQ(a.SoftErrorKinds, 0x40 | 0x04);
  ASSERT_GE(a.FirstMacInfo, 0);
  const TMACInfo& first = t.MacInfos[size_t(a.FirstMacInfo)];
  EXPECT_EQ(first.Naun, AddressKey::From(kB.data(), 6));
  EXPECT_EQ(first.SoftErrors[6], 7);
  ASSERT_GE(first.Next, 0);
  EXPECT_EQ(t.MacInfos[size_t(first.Next)].SoftErrors[6], 1);
}

TEST(RingMac, RingMapInRingOrder) {
  Feeder f(topology::TokenRing);
  auto order = [&] {
    std::vector<uint8_t> last;
    for (const RingStation& r : f.s.tables.RingStations) last.push_back(r.Address.bytes[5]);
    return last;
  };
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kA, {}, Monitor(0x05, kC)));
  EXPECT_EQ(order(), (std::vector<uint8_t>{0x0A}));
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kB, {}, Monitor(0x06, kA)));
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kC, {}, Monitor(0x06, kA)));
  EXPECT_EQ(order(), (std::vector<uint8_t>{0x0A, 0x0C, 0x0B}));
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kA, {}, Monitor(0x05, kB)));  // a new poll
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kC, {}, Monitor(0x06, kA)));
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kA, {}, Monitor(0x05, kB)));  // B did not answer
  const auto& ring = f.s.tables.RingStations;
  EXPECT_EQ(ring[0].Flags, 0x01);
  EXPECT_EQ(ring[2].Flags & 0x04, 0x04);  // B missed a poll
  EXPECT_EQ(ring[1].Flags & 0x04, 0);
  // The active monitor turning standby keeps the memory of it.
  f.Frame(TokenRingFrame(0x10, 0x00, kAllStations, kA, {}, Monitor(0x06, kB)));
  EXPECT_EQ(ring[0].Flags, 0x02);
}

}  // namespace
}  // namespace korvane
