// Tests for the frame builders, the capture scenarios and the pcap writer.
//
// Checksums are verified with a separate, deliberately naive summation
// rather than the builder's own routines, and the scenarios are cross-checked
// against tshark when it is installed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "scenario/PacketBuilder.h"
#include "scenario/PcapWriter.h"
#include "scenario/Scenario.h"

namespace korvane::tools {
namespace {

// ---------------------------------------------------------------------------
// Independent helpers

uint16_t Be16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) * 256 + b.at(at + 1));
}

uint32_t Be32(const Bytes& b, size_t at) { return uint32_t{Be16(b, at)} << 16 | Be16(b, at + 2); }

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s.at(at + static_cast<size_t>(i)));
  return v;
}

// Plain one's-complement sum over big-endian words, carried in 64 bits and
// folded once at the end. A correctly checksummed block sums to 0xFFFF.
uint16_t NaiveSum(const Bytes& data) {
  uint64_t sum = 0;
  for (size_t i = 0; i < data.size(); i += 2) {
    const uint64_t hi = data[i];
    const uint64_t lo = i + 1 < data.size() ? data[i + 1] : 0;
    sum += hi * 256 + lo;
  }
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(sum);
}

Bytes Slice(const Bytes& b, size_t from, size_t length) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(from + length));
}

bool TransportChecksumValid(const Bytes& ipPacket) {
  const size_t ihl = (ipPacket.at(0) & 0x0F) * 4u;
  const size_t total = Be16(ipPacket, 2);
  const uint8_t protocol = ipPacket.at(9);
  const Bytes segment = Slice(ipPacket, ihl, total - ihl);
  if (protocol == kIpProtoIcmp) return NaiveSum(segment) == 0xFFFF;
  Bytes pseudo = Slice(ipPacket, 12, 8);
  pseudo.push_back(0);
  pseudo.push_back(protocol);
  pseudo.push_back(static_cast<uint8_t>(segment.size() >> 8));
  pseudo.push_back(static_cast<uint8_t>(segment.size()));
  pseudo.insert(pseudo.end(), segment.begin(), segment.end());
  return NaiveSum(pseudo) == 0xFFFF;
}

// Finds the IPv4 packet in an Ethernet (II or SNAP) or Token Ring (SNAP)
// frame. Returns false for anything else, including truncated frames.
bool FindIpv4(const Bytes& frame, bool tokenRing, Bytes& ip) {
  static const Bytes kSnapIp{0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00, 0x08, 0x00};
  size_t at = 0;
  if (tokenRing) {
    if (frame.size() < 15 || (frame[1] & 0xC0) != 0x40) return false;
    at = 14 + ((frame[8] & 0x80) ? (frame[14] & 0x1F) : 0u);
  } else {
    if (frame.size() < 14) return false;
    const uint16_t typeOrLength = Be16(frame, 12);
    if (typeOrLength > 1500 && typeOrLength != kEtherTypeIpv4) return false;
    at = 14;
  }
  const bool ethernetII = !tokenRing && Be16(frame, 12) == kEtherTypeIpv4;
  if (!ethernetII) {
    if (frame.size() < at + kSnapIp.size() ||
        !std::equal(kSnapIp.begin(), kSnapIp.end(),
                    frame.begin() + static_cast<std::ptrdiff_t>(at))) {
      return false;
    }
    at += kSnapIp.size();
  }
  if (frame.size() < at + 20) return false;
  const size_t total = Be16(frame, at + 2);
  if (total < 20 || frame.size() < at + total) return false;
  ip = Slice(frame, at, total);
  return true;
}

Mac MacAt(const Bytes& b, size_t at) {
  Mac m{};
  std::copy(b.begin() + static_cast<std::ptrdiff_t>(at),
            b.begin() + static_cast<std::ptrdiff_t>(at + 6), m.begin());
  return m;
}

const Ip4 kHostA{10, 0, 0, 1};
const Ip4 kHostB{10, 0, 0, 2};
const Mac kMacA{0x00, 0xA0, 0xC9, 0x11, 0x22, 0x33};
const Mac kMacB{0x08, 0x00, 0x20, 0x44, 0x55, 0x66};

// ---------------------------------------------------------------------------
// Checksums

TEST(PacketBuilderChecksum, MatchesPublishedIpv4HeaderExample) {
  // Header 4500 0073 0000 4000 4011 xxxx c0a8 0001 c0a8 00c7 has the
  // well-known checksum 0xB861.
  const Bytes payload(0x73 - 20, 0);
  const Bytes ip = Ipv4Packet({192, 168, 0, 1}, {192, 168, 0, 199}, kIpProtoUdp, 64, 0,
                              kIpDontFragment, payload);
  EXPECT_EQ(Be16(ip, 2), 0x0073);
  EXPECT_EQ(Be16(ip, 10), 0xB861);
}

TEST(PacketBuilderChecksum, Ipv4HeaderSumsToAllOnes) {
  for (uint16_t id : std::initializer_list<uint16_t>{0, 1, 0x1234, 0xFFFF}) {
    const Bytes ip = Ipv4Packet(kHostA, kHostB, kIpProtoTcp, 128, id, 0, Bytes(id % 97, 0x5A));
    EXPECT_EQ(NaiveSum(Slice(ip, 0, 20)), 0xFFFF) << "id " << id;
  }
}

TEST(PacketBuilderChecksum, TcpIncludesPseudoHeader) {
  TcpFields f;
  f.srcPort = 1029;
  f.dstPort = 80;
  f.seq = 0x01020304;
  f.ack = 0xA0B0C0D0;
  f.flags = tcp_flags::kPsh | tcp_flags::kAck;
  const Bytes payload = {'G', 'E', 'T', ' ', '/', '\r', '\n'};  // odd length
  const Bytes tcp = TcpSegment(kHostA, kHostB, f, payload);
  const Bytes ip = Ipv4Packet(kHostA, kHostB, kIpProtoTcp, 128, 7, 0, tcp);
  EXPECT_TRUE(TransportChecksumValid(ip));
  // The same segment claimed between other hosts must not verify.
  const Bytes moved = Ipv4Packet(kHostA, {10, 0, 0, 3}, kIpProtoTcp, 128, 7, 0, tcp);
  EXPECT_FALSE(TransportChecksumValid(moved));
}

TEST(PacketBuilderChecksum, UdpAndIcmpVerify) {
  for (size_t length : {0u, 1u, 2u, 33u, 512u}) {
    Bytes payload(length);
    for (size_t i = 0; i < length; ++i) payload[i] = static_cast<uint8_t>(i * 37 + 11);
    const Bytes udp = UdpDatagram(kHostA, kHostB, 1025, 53, payload);
    EXPECT_EQ(Be16(udp, 4), 8 + length);
    EXPECT_NE(Be16(udp, 6), 0) << "a zero UDP checksum means none was computed";
    EXPECT_TRUE(TransportChecksumValid(Ipv4Packet(kHostA, kHostB, kIpProtoUdp, 64, 1, 0, udp)));
    const Bytes icmp = IcmpEcho(length % 2 == 0, 0x0200, 0x0100, payload);
    EXPECT_TRUE(TransportChecksumValid(Ipv4Packet(kHostA, kHostB, kIpProtoIcmp, 64, 1, 0, icmp)));
  }
}

TEST(PacketBuilderChecksum, DamageIsDetected) {
  const Bytes udp = UdpDatagram(kHostA, kHostB, 1025, 53, Bytes(40, 0x42));
  Bytes ip = Ipv4Packet(kHostA, kHostB, kIpProtoUdp, 64, 1, 0, udp);
  ASSERT_TRUE(TransportChecksumValid(ip));
  ip[40] ^= 0x01;
  EXPECT_FALSE(TransportChecksumValid(ip));
}

// ---------------------------------------------------------------------------
// Frame layout

TEST(PacketBuilderLayout, ShortEthernetFramesArePaddedWithZeros) {
  const Bytes arp = ArpPacket(kArpRequest, kMacA, kHostA, Mac{}, kHostB);
  ASSERT_EQ(arp.size(), 28u);
  const Bytes frame = EthernetFrame(kBroadcastMac, kMacA, kEtherTypeArp, arp);
  ASSERT_EQ(frame.size(), kEthernetMinFrame);
  EXPECT_TRUE(std::all_of(frame.begin() + 42, frame.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(EthernetFrame(kBroadcastMac, kMacA, kEtherTypeArp, arp, false).size(), 42u);
  const Bytes big(1500, 0x77);
  EXPECT_EQ(EthernetFrame(kMacB, kMacA, kEtherTypeIpv4, big).size(), 1514u);
  EXPECT_EQ(PadToEthernetMinimum(Bytes(61, 1)).size(), 61u);
}

TEST(PacketBuilderLayout, EthernetHeaderFields) {
  const Bytes frame = EthernetFrame(kMacB, kMacA, 0x6004, Bytes(100, 0));
  EXPECT_EQ(MacAt(frame, 0), kMacB);
  EXPECT_EQ(MacAt(frame, 6), kMacA);
  EXPECT_EQ(Be16(frame, 12), 0x6004);
}

TEST(PacketBuilderLayout, Llc8023LengthCoversLlcAndPayloadOnly) {
  const Bytes frame = Llc8023Frame(kBroadcastMac, kMacA, 0xF0, 0xF0, 0x03, Bytes(10, 0xEE));
  ASSERT_EQ(frame.size(), 60u);  // padded
  EXPECT_EQ(Be16(frame, 12), 13);
  EXPECT_EQ(frame[14], 0xF0);
  EXPECT_EQ(frame[15], 0xF0);
  EXPECT_EQ(frame[16], 0x03);
}

TEST(PacketBuilderLayout, SnapAndRawIpxHeaders) {
  const Bytes snap = SnapEthernetFrame(kBroadcastMac, kMacA, kEtherTypeArp,
                                       ArpPacket(kArpRequest, kMacA, kHostA, Mac{}, kHostB));
  EXPECT_EQ(Be16(snap, 12), 8 + 28);
  const Bytes expected{0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00, 0x08, 0x06};
  EXPECT_EQ(Slice(snap, 14, 8), expected);

  const IpxAddress dst{0x1A2B, kBroadcastMac, 0x0452};
  const IpxAddress src{0x1A2B, kMacA, 0x0452};
  const Bytes ipx = IpxPacket(4, dst, src, Bytes(64, 0));
  ASSERT_EQ(ipx.size(), 94u);
  EXPECT_EQ(Be16(ipx, 0), 0xFFFF);
  EXPECT_EQ(Be16(ipx, 2), 94);
  EXPECT_EQ(ipx[5], 4);
  EXPECT_EQ(Be32(ipx, 6), 0x1A2Bu);
  EXPECT_EQ(MacAt(ipx, 10), kBroadcastMac);
  EXPECT_EQ(Be16(ipx, 16), 0x0452);
  EXPECT_EQ(MacAt(ipx, 22), kMacA);
  const Bytes raw = RawIpxFrame(kBroadcastMac, kMacA, ipx);
  EXPECT_EQ(Be16(raw, 12), 94);
  EXPECT_EQ(Be16(raw, 14), 0xFFFF);
}

TEST(PacketBuilderLayout, TcpHeaderCarriesMssOption) {
  TcpFields f;
  f.flags = tcp_flags::kSyn;
  f.mss = 1460;
  f.window = 8760;
  const Bytes syn = TcpSegment(kHostA, kHostB, f, {});
  ASSERT_EQ(syn.size(), 24u);
  EXPECT_EQ(syn[12] >> 4, 6);
  EXPECT_EQ(syn[13], tcp_flags::kSyn);
  EXPECT_EQ(Be16(syn, 14), 8760);
  EXPECT_EQ(syn[20], 2);
  EXPECT_EQ(syn[21], 4);
  EXPECT_EQ(Be16(syn, 22), 1460);
  f.mss = 0;
  EXPECT_EQ(TcpSegment(kHostA, kHostB, f, {}).size(), 20u);
}

TEST(PacketBuilderLayout, DnsQueryAndCompressedAnswer) {
  const Bytes name = DnsName("www.example.com");
  const Bytes expectedName{3,   'w', 'w', 'w', 7,   'e', 'x', 'a', 'm',
                           'p', 'l', 'e', 3,   'c', 'o', 'm', 0};
  EXPECT_EQ(name, expectedName);
  const Bytes query = DnsQuery(0x1234, "www.example.com");
  EXPECT_EQ(Be16(query, 0), 0x1234);
  EXPECT_EQ(Be16(query, 4), 1);
  EXPECT_EQ(Be16(query, 6), 0);
  EXPECT_EQ(query.size(), 12 + name.size() + 4);

  const Bytes response = DnsResponseA(0x1234, "www.example.com", {192, 168, 10, 5}, 3600);
  EXPECT_TRUE(Be16(response, 2) & 0x8000);
  EXPECT_EQ(Be16(response, 6), 1);
  const size_t answer = 12 + name.size() + 4;
  EXPECT_EQ(Be16(response, answer), 0xC00C);
  EXPECT_EQ(Be16(response, answer + 2), 1);
  EXPECT_EQ(Be32(response, answer + 6), 3600u);
  EXPECT_EQ(Be16(response, answer + 10), 4);
  EXPECT_EQ(Slice(response, answer + 12, 4), (Bytes{192, 168, 10, 5}));
  EXPECT_EQ(response.size(), answer + 16);
  EXPECT_THROW(DnsName("bad..name"), std::invalid_argument);
}

TEST(PacketBuilderLayout, TokenRingSourceRouting) {
  const Bytes rif = TokenRingRif({0x0011, 0x0020}, 0x00, true);
  EXPECT_EQ(rif, (Bytes{0x06, 0xB0, 0x00, 0x11, 0x00, 0x20}));
  const Bytes frame = TokenRingSnapFrame(kMacB, kMacA, kEtherTypeIpv4, Bytes(20, 0), rif);
  EXPECT_EQ(frame[0], kTokenRingAcFrame);
  EXPECT_EQ(frame[1], kTokenRingFcLlc);
  EXPECT_EQ(MacAt(frame, 2), kMacB);
  EXPECT_EQ(frame[8], kMacA[0] | 0x80);
  EXPECT_EQ(Slice(frame, 9, 5), Slice(Bytes(kMacA.begin(), kMacA.end()), 1, 5));
  EXPECT_EQ(frame[14] & 0x1F, 6);
  EXPECT_EQ(Slice(frame, 20, 8), (Bytes{0xAA, 0xAA, 0x03, 0, 0, 0, 0x08, 0x00}));
  EXPECT_EQ(frame.size(), 14 + 6 + 8 + 20u);

  const Bytes plain = TokenRingLlcFrame(kMacB, kMacA, 0xE0, 0xE0, 0x03, Bytes(5, 0));
  EXPECT_EQ(plain[8], kMacA[0]);
  EXPECT_EQ(Slice(plain, 14, 3), (Bytes{0xE0, 0xE0, 0x03}));
  EXPECT_EQ(plain.size(), 14 + 3 + 5u);  // Token Ring has no minimum frame size
}

TEST(PacketBuilderLayout, TokenRingMacVector) {
  const Bytes una(kMacB.begin(), kMacB.end());
  const Bytes vector = TokenRingMacVector(
      6, 0, 0x29, {TokenRingMacSubvector(0x02, una), TokenRingMacSubvector(0x2D, Bytes(6, 1))});
  ASSERT_EQ(vector.size(), 4u + 8 + 8);
  EXPECT_EQ(Be16(vector, 0), vector.size());
  EXPECT_EQ(vector[2], 0x60);
  EXPECT_EQ(vector[3], 0x29);
  EXPECT_EQ(vector[4], 8);
  EXPECT_EQ(vector[5], 0x02);
  EXPECT_EQ(Slice(vector, 6, 6), una);
  const Bytes frame = TokenRingMacFrame(kTokenRingFcMac, {0xC0, 0, 0, 0, 0, 0x08}, kMacA, vector);
  EXPECT_EQ(frame[1], 0x00);
  EXPECT_EQ(Slice(frame, 14, vector.size()), vector);
}

// ---------------------------------------------------------------------------
// Scenario-wide checks shared by the Ethernet and Token Ring scenarios

void ExpectWellFormedTimeline(const std::vector<ScenarioFrame>& frames) {
  ASSERT_FALSE(frames.empty());
  EXPECT_LT(frames.front().timeUs, 1000.0);
  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    EXPECT_EQ(f.timeUs, static_cast<double>(static_cast<int64_t>(f.timeUs))) << "frame " << i;
    EXPECT_GE(f.wireLength, f.bytes.size()) << "frame " << i;
    if (i > 0) {
      EXPECT_GT(f.timeUs, frames[i - 1].timeUs) << "frame " << i;
    }
  }
}

bool SameFrames(const std::vector<ScenarioFrame>& a, const std::vector<ScenarioFrame>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].timeUs != b[i].timeUs || a[i].bytes != b[i].bytes ||
        a[i].wireLength != b[i].wireLength || a[i].status != b[i].status) {
      return false;
    }
  }
  return true;
}

struct IpCensus {
  size_t ipv4 = 0;
  size_t badHeader = 0;
  size_t badTransport = 0;
  std::set<uint8_t> protocols;
  std::set<uint16_t> tcpPorts;
  std::set<uint16_t> udpPorts;
  // (src, dst, sport, dport, seq) of TCP segments carrying data, with counts.
  std::map<std::tuple<Ip4, Ip4, uint16_t, uint16_t, uint32_t>, int> dataSegments;
};

IpCensus TakeIpCensus(const std::vector<ScenarioFrame>& frames, bool tokenRing) {
  IpCensus census;
  for (const ScenarioFrame& f : frames) {
    if (f.status != 0) continue;
    Bytes ip;
    if (!FindIpv4(f.bytes, tokenRing, ip)) continue;
    ++census.ipv4;
    if (NaiveSum(Slice(ip, 0, 20)) != 0xFFFF) ++census.badHeader;
    if (!TransportChecksumValid(ip)) ++census.badTransport;
    const uint8_t protocol = ip[9];
    census.protocols.insert(protocol);
    if (protocol == kIpProtoTcp || protocol == kIpProtoUdp) {
      auto& ports = protocol == kIpProtoTcp ? census.tcpPorts : census.udpPorts;
      ports.insert(Be16(ip, 20));
      ports.insert(Be16(ip, 22));
    }
    if (protocol == kIpProtoTcp) {
      const size_t payload = ip.size() - 20 - (ip[32] >> 4) * 4u;
      if (payload > 0) {
        Ip4 src{}, dst{};
        std::copy(ip.begin() + 12, ip.begin() + 16, src.begin());
        std::copy(ip.begin() + 16, ip.begin() + 20, dst.begin());
        ++census.dataSegments[{src, dst, Be16(ip, 20), Be16(ip, 22), Be32(ip, 24)}];
      }
    }
  }
  return census;
}

int Retransmissions(const IpCensus& census) {
  int count = 0;
  for (const auto& [key, seen] : census.dataSegments) count += seen - 1;
  return count;
}

// ---------------------------------------------------------------------------
// Office LAN

class OfficeLanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { frames_ = new std::vector<ScenarioFrame>(OfficeLanScenario()); }
  static void TearDownTestSuite() {
    delete frames_;
    frames_ = nullptr;
  }
  static const std::vector<ScenarioFrame>& Frames() { return *frames_; }

 private:
  static std::vector<ScenarioFrame>* frames_;
};
std::vector<ScenarioFrame>* OfficeLanTest::frames_ = nullptr;

TEST_F(OfficeLanTest, IsDeterministic) { EXPECT_TRUE(SameFrames(Frames(), OfficeLanScenario())); }

TEST_F(OfficeLanTest, TimelineSpansHalfAMinute) {
  ExpectWellFormedTimeline(Frames());
  EXPECT_GE(Frames().size(), 300u);
  EXPECT_LE(Frames().size(), 2000u);
  const double seconds = Frames().back().timeUs / 1e6;
  EXPECT_GE(seconds, 30.0);
  EXPECT_LE(seconds, 40.0);
  std::set<int64_t> distinctSeconds;
  for (const ScenarioFrame& f : Frames())
    distinctSeconds.insert(static_cast<int64_t>(f.timeUs / 1e6));
  EXPECT_GE(distinctSeconds.size(), 20u);
}

TEST_F(OfficeLanTest, FramesLookLikeEthernetWithoutFcs) {
  size_t undersized = 0;
  for (const ScenarioFrame& f : Frames()) {
    EXPECT_LE(f.bytes.size(), 1514u);
    EXPECT_EQ(f.wireLength, f.bytes.size());
    if (f.bytes.size() < kEthernetMinFrame) {
      ++undersized;
      EXPECT_NE(f.status, 0) << "only a damaged frame may be shorter than 60 bytes";
    }
  }
  EXPECT_EQ(undersized, 1u);
}

TEST_F(OfficeLanTest, HasOneCrcErrorAndOneCollisionFragment) {
  std::vector<const ScenarioFrame*> damaged;
  for (const ScenarioFrame& f : Frames()) {
    if (f.status) damaged.push_back(&f);
  }
  ASSERT_EQ(damaged.size(), 2u);
  size_t normal = 0, fragments = 0;
  for (const ScenarioFrame* f : damaged) {
    EXPECT_EQ(f->status, kStatusCrcError);
    if (f->bytes.size() >= 30 && f->bytes.size() <= 50) ++fragments;
    if (f->bytes.size() >= 64) ++normal;
  }
  EXPECT_EQ(normal, 1u);
  EXPECT_EQ(fragments, 1u);
}

TEST_F(OfficeLanTest, HostsUseRealisticVendorPrefixes) {
  std::set<Mac> sources;
  std::set<std::array<uint8_t, 3>> ouis;
  for (const ScenarioFrame& f : Frames()) {
    const Mac src = MacAt(f.bytes, 6);
    sources.insert(src);
    ouis.insert({src[0], src[1], src[2]});
  }
  EXPECT_GE(sources.size(), 13u);  // 8 clients, router, DNS, web, FTP, NetWare, ...
  EXPECT_GE(ouis.size(), 8u);
  EXPECT_TRUE(ouis.count({0x00, 0x00, 0x0C}));  // the router
  EXPECT_TRUE(ouis.count({0x08, 0x00, 0x20}));  // the Sun servers
}

TEST_F(OfficeLanTest, ChecksumsAreValidOnUndamagedFrames) {
  const IpCensus census = TakeIpCensus(Frames(), false);
  EXPECT_GT(census.ipv4, 250u);
  EXPECT_EQ(census.badHeader, 0u);
  EXPECT_EQ(census.badTransport, 0u);
}

TEST_F(OfficeLanTest, CarriesTheExpectedIpTraffic) {
  const IpCensus census = TakeIpCensus(Frames(), false);
  EXPECT_TRUE(census.protocols.count(kIpProtoIcmp));
  for (uint16_t port : std::initializer_list<uint16_t>{20, 21, 80})
    EXPECT_TRUE(census.tcpPorts.count(port)) << port;
  for (uint16_t port : std::initializer_list<uint16_t>{53, 137, 520})
    EXPECT_TRUE(census.udpPorts.count(port)) << port;

  // The FTP data connection moves about 100 KB from port 20.
  size_t ftpData = 0;
  for (const auto& [key, seen] : census.dataSegments) {
    if (std::get<2>(key) == 20) ftpData += 1;
  }
  EXPECT_GE(ftpData, 69u);
}

TEST_F(OfficeLanTest, SomeSegmentsAreRetransmittedAfterATimeout) {
  // A data segment is identified by sender, ports and sequence number; the
  // damaged (CRC error) copy of a segment counts as its first transmission.
  std::map<std::tuple<Mac, uint32_t, uint32_t>, double> firstSeen;
  int repeats = 0;
  for (const ScenarioFrame& f : Frames()) {
    Bytes ip;
    if (!FindIpv4(f.bytes, false, ip) || ip[9] != kIpProtoTcp) continue;
    const size_t header = 20 + (ip[32] >> 4) * 4u;
    if (ip.size() <= header) continue;
    const auto id = std::make_tuple(MacAt(f.bytes, 6), Be32(ip, 20), Be32(ip, 24));
    auto [it, inserted] = firstSeen.try_emplace(id, f.timeUs);
    if (!inserted) {
      ++repeats;
      const double gap = f.timeUs - it->second;
      EXPECT_GE(gap, 200e3);
      EXPECT_LE(gap, 300e3);
    }
  }
  EXPECT_EQ(repeats, 3);
  // Undamaged repeats are byte-identical segments.
  EXPECT_EQ(Retransmissions(TakeIpCensus(Frames(), false)), 2);
}

TEST_F(OfficeLanTest, HasBroadcastsMulticastsAndLegacyFraming) {
  size_t arpBroadcasts = 0, ipMulticast = 0, rawIpx = 0, netbiosLlc = 0, snap = 0, lat = 0,
         nbnsBroadcasts = 0;
  for (const ScenarioFrame& f : Frames()) {
    const Bytes& b = f.bytes;
    const Mac dst = MacAt(b, 0);
    const uint16_t type = Be16(b, 12);
    if (type == kEtherTypeArp && dst == kBroadcastMac) ++arpBroadcasts;
    if (dst[0] == 0x01 && dst[1] == 0x00 && dst[2] == 0x5E) ++ipMulticast;
    if (type == 0x6004) ++lat;
    if (type <= 1500 && b.size() >= 17) {
      if (Be16(b, 14) == 0xFFFF) ++rawIpx;
      if (b[14] == 0xF0 && b[15] == 0xF0) ++netbiosLlc;
      if (b[14] == 0xAA && b[15] == 0xAA && b[16] == 0x03) ++snap;
    }
    Bytes ip;
    if (dst == kBroadcastMac && FindIpv4(b, false, ip) && ip[9] == kIpProtoUdp &&
        Be16(ip, 22) == 137) {
      ++nbnsBroadcasts;
    }
  }
  EXPECT_GE(arpBroadcasts, 5u);
  EXPECT_GE(ipMulticast, 1u);
  EXPECT_GE(rawIpx, 2u);
  EXPECT_GE(netbiosLlc, 1u);
  EXPECT_GE(snap, 1u);
  EXPECT_GE(lat, 1u);
  EXPECT_GE(nbnsBroadcasts, 1u);
}

// ---------------------------------------------------------------------------
// Token Ring

class TokenRingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { frames_ = new std::vector<ScenarioFrame>(TokenRingScenario()); }
  static void TearDownTestSuite() {
    delete frames_;
    frames_ = nullptr;
  }
  static const std::vector<ScenarioFrame>& Frames() { return *frames_; }

 private:
  static std::vector<ScenarioFrame>* frames_;
};
std::vector<ScenarioFrame>* TokenRingTest::frames_ = nullptr;

TEST_F(TokenRingTest, IsDeterministicAndWellFormed) {
  EXPECT_TRUE(SameFrames(Frames(), TokenRingScenario()));
  ExpectWellFormedTimeline(Frames());
  EXPECT_GE(Frames().size(), 100u);
  EXPECT_LE(Frames().size(), 300u);
  for (const ScenarioFrame& f : Frames()) {
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.bytes[0], kTokenRingAcFrame);
  }
}

TEST_F(TokenRingTest, RingManagementMacFrames) {
  std::map<uint8_t, size_t> commands;
  for (const ScenarioFrame& f : Frames()) {
    const Bytes& b = f.bytes;
    if ((b[1] & 0xC0) != 0) continue;
    EXPECT_LE(b[1], 0x01);
    ASSERT_GE(b.size(), 18u);
    EXPECT_EQ(Be16(b, 14), b.size() - 14) << "major vector length";
    // Subvector lengths add up to the major vector.
    size_t at = 18;
    while (at < b.size()) {
      ASSERT_GE(b[at], 2);
      at += b[at];
    }
    EXPECT_EQ(at, b.size());
    const uint8_t command = b[17];
    ++commands[command];
    const Mac dst = MacAt(b, 2);
    if (command == 0x05 || command == 0x06) {
      EXPECT_EQ(dst, (Mac{0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
    }
    if (command == 0x29) {
      EXPECT_EQ(dst, (Mac{0xC0, 0x00, 0x00, 0x00, 0x00, 0x08}));
      EXPECT_EQ(b[16] >> 4, 6) << "addressed to the ring error monitor class";
    }
  }
  EXPECT_GE(commands[0x05], 3u);
  EXPECT_GE(commands[0x06], 3 * commands[0x05]);
  EXPECT_GE(commands[0x29], 1u);
}

TEST_F(TokenRingTest, SourceRoutedFramesCarryAConsistentRif) {
  size_t routed = 0, withDesignators = 0;
  for (const ScenarioFrame& f : Frames()) {
    const Bytes& b = f.bytes;
    if (!(b[8] & 0x80)) continue;
    ++routed;
    const size_t rifLength = b[14] & 0x1F;
    EXPECT_GE(rifLength, 2u);
    EXPECT_EQ(rifLength % 2, 0u);
    EXPECT_GE(b.size(), 14 + rifLength + 3);
    if (rifLength > 2) ++withDesignators;
  }
  EXPECT_GE(routed, 10u);
  EXPECT_GE(withDesignators, 5u);
}

TEST_F(TokenRingTest, CarriesIpIpxAndNetbios) {
  std::set<uint8_t> saps;
  for (const ScenarioFrame& f : Frames()) {
    const Bytes& b = f.bytes;
    if ((b[1] & 0xC0) != 0x40) continue;
    const size_t llc = 14 + ((b[8] & 0x80) ? (b[14] & 0x1F) : 0u);
    saps.insert(b.at(llc));
  }
  EXPECT_TRUE(saps.count(0xAA));
  EXPECT_TRUE(saps.count(0xE0));
  EXPECT_TRUE(saps.count(0xF0));

  const IpCensus census = TakeIpCensus(Frames(), true);
  EXPECT_GT(census.ipv4, 50u);
  EXPECT_EQ(census.badHeader, 0u);
  EXPECT_EQ(census.badTransport, 0u);
  EXPECT_TRUE(census.protocols.count(kIpProtoTcp));
  EXPECT_TRUE(census.protocols.count(kIpProtoUdp));
  EXPECT_TRUE(census.protocols.count(kIpProtoIcmp));
}

// ---------------------------------------------------------------------------
// Synthetic load

TEST(SyntheticLoadTest, ExactCountAndReproducible) {
  const auto a = SyntheticLoad(5000, 7);
  ASSERT_EQ(a.size(), 5000u);
  EXPECT_TRUE(SameFrames(a, SyntheticLoad(5000, 7)));
  EXPECT_FALSE(SameFrames(a, SyntheticLoad(5000, 8)));
  EXPECT_TRUE(SyntheticLoad(0, 7).empty());
}

TEST(SyntheticLoadTest, StreamingMatchesVector) {
  const auto frames = SyntheticLoad(2000, 99);
  size_t i = 0;
  bool same = true;
  GenerateSyntheticLoad(2000, 99, [&](const ScenarioFrame& f) {
    same = same && i < frames.size() && f.bytes == frames[i].bytes && f.timeUs == frames[i].timeUs;
    ++i;
  });
  EXPECT_EQ(i, frames.size());
  EXPECT_TRUE(same);
}

TEST(SyntheticLoadTest, RealisticMix) {
  const auto frames = SyntheticLoad(50000, 2024);
  ExpectWellFormedTimeline(frames);
  std::set<Mac> hosts;
  size_t full = 0, minimum = 0, tcp = 0, udp = 0, badIpHeader = 0, ipv4 = 0;
  for (const ScenarioFrame& f : frames) {
    ASSERT_GE(f.bytes.size(), 60u);
    ASSERT_LE(f.bytes.size(), 1514u);
    full += f.bytes.size() == 1514;
    minimum += f.bytes.size() == 60;
    hosts.insert(MacAt(f.bytes, 6));
    Bytes ip;
    if (FindIpv4(f.bytes, false, ip)) {
      ++ipv4;
      if (NaiveSum(Slice(ip, 0, 20)) != 0xFFFF) ++badIpHeader;
      EXPECT_EQ(ip.size(), Be16(ip, 2));
      tcp += ip[9] == kIpProtoTcp;
      udp += ip[9] == kIpProtoUdp;
    }
  }
  EXPECT_GE(hosts.size(), 500u);
  EXPECT_GT(full, frames.size() / 5);
  EXPECT_GT(minimum, frames.size() / 5);
  EXPECT_GT(tcp, udp);
  EXPECT_GT(udp, frames.size() / 20);
  EXPECT_GT(ipv4, frames.size() * 9 / 10);
  EXPECT_EQ(badIpHeader, 0u);
}

// ---------------------------------------------------------------------------
// pcap output

TEST(PcapWriterTest, WritesClassicHeaderAndRecords) {
  std::vector<ScenarioFrame> frames(2);
  frames[0].timeUs = 0;
  frames[0].bytes = Bytes(60, 0xAB);
  frames[0].wireLength = 60;
  frames[1].timeUs = 1'500'123;
  frames[1].bytes = Bytes(64, 0xCD);
  frames[1].wireLength = 1514;  // sliced
  std::ostringstream out;
  ASSERT_TRUE(WritePcap(out, frames, kLinkTypeTokenRing, kDefaultCaptureStartUs));
  const std::string s = out.str();
  ASSERT_EQ(s.size(), 24 + 16 + 60 + 16 + 64u);
  EXPECT_EQ(s.substr(0, 4), std::string("\xD4\xC3\xB2\xA1", 4));
  EXPECT_EQ(Le32(s, 4), 0x00040002u);  // version 2.4
  EXPECT_EQ(Le32(s, 16), 65535u);
  EXPECT_EQ(Le32(s, 20), kLinkTypeTokenRing);

  // 2024-03-05 09:30:00 UTC
  EXPECT_EQ(Le32(s, 24), 1709631000u);
  EXPECT_EQ(Le32(s, 28), 0u);
  EXPECT_EQ(Le32(s, 32), 60u);
  EXPECT_EQ(Le32(s, 36), 60u);
  const size_t second = 24 + 16 + 60;
  EXPECT_EQ(Le32(s, second), 1709631001u);
  EXPECT_EQ(Le32(s, second + 4), 500123u);
  EXPECT_EQ(Le32(s, second + 8), 64u);
  EXPECT_EQ(Le32(s, second + 12), 1514u);
  EXPECT_EQ(static_cast<uint8_t>(s[second + 16]), 0xCD);
}

TEST(PcapWriterTest, OriginalLengthNeverBelowCapturedLength) {
  ScenarioFrame f;
  f.bytes = Bytes(70, 1);  // wire length left unset
  std::ostringstream out;
  WritePcapRecord(out, f, 0);
  EXPECT_EQ(Le32(out.str(), 8), 70u);
  EXPECT_EQ(Le32(out.str(), 12), 70u);
}

TEST(PcapWriterTest, PathVariantReportsFailure) {
  EXPECT_FALSE(
      WritePcap(std::filesystem::path("/nonexistent-dir/x/y.pcap"), {}, kLinkTypeEthernet));
}

// ---------------------------------------------------------------------------
// Cross-check with tshark

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

class TsharkCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "tshark is not installed; skipping the decoder cross-check";
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("korvane-scenario-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  std::string Write(const std::vector<ScenarioFrame>& frames, uint32_t linkType) {
    const auto path = dir_ / "capture.pcap";
    EXPECT_TRUE(WritePcap(path, frames, linkType));
    return path.string();
  }

  // Runs tshark with checksum validation on, printing `fields` for frames
  // matching `filter`.
  static std::vector<std::string> Tshark(const std::string& file, const std::string& filter,
                                         const std::string& fields = "-e frame.number") {
    return Lines(RunCommand("tshark -n -r '" + file +
                            "' -o tcp.check_checksum:TRUE -o udp.check_checksum:TRUE"
                            " -o ip.check_checksum:TRUE"
                            " -Y '" +
                            filter + "' -T fields " + fields));
  }

  static std::set<size_t> FrameNumbers(const std::vector<std::string>& lines) {
    std::set<size_t> numbers;
    for (const std::string& line : lines) numbers.insert(std::stoul(line));
    return numbers;
  }

  // Frames tshark considers broken or suspicious.
  static std::set<size_t> Flagged(const std::string& file) {
    return FrameNumbers(Tshark(file, "_ws.malformed || _ws.expert.severity >= warning"));
  }

  static std::set<size_t> Damaged(const std::vector<ScenarioFrame>& frames) {
    std::set<size_t> numbers;
    for (size_t i = 0; i < frames.size(); ++i) {
      if (frames[i].status) numbers.insert(i + 1);
    }
    return numbers;
  }

  static size_t CapinfosCount(const std::string& file) {
    const std::string out = RunCommand("capinfos -c -M '" + file + "'");
    const auto at = out.find("Number of packets:");
    return at == std::string::npos ? 0 : std::stoul(out.substr(at + 18));
  }

  std::filesystem::path dir_;
};

TEST_F(TsharkCrossCheck, ToolOptionsAreAccepted) {
  // Guards the other checks: a rejected option would make tshark print
  // nothing, and an empty result would look like a clean capture.
  const std::string file = Write(OfficeLanScenario(), kLinkTypeEthernet);
  EXPECT_FALSE(Tshark(file, "frame").empty());
}

TEST_F(TsharkCrossCheck, OfficeLanDecodesCleanly) {
  const auto frames = OfficeLanScenario();
  const std::string file = Write(frames, kLinkTypeEthernet);
  EXPECT_EQ(CapinfosCount(file), frames.size());
  EXPECT_EQ(Tshark(file, "frame").size(), frames.size());

  // Only the deliberately damaged frames are flagged, and tshark does notice
  // both of them (bad checksum, truncated packet).
  EXPECT_EQ(Flagged(file), Damaged(frames));
  EXPECT_EQ(FrameNumbers(Tshark(file, "tcp.checksum.status == \"Bad\"")).size(), 1u);
  EXPECT_TRUE(
      Tshark(file, "ip.checksum.status == \"Bad\" || udp.checksum.status == \"Bad\"").empty());
  EXPECT_EQ(Tshark(file, "tcp.analysis.retransmission").size(), 3u);
}

TEST_F(TsharkCrossCheck, OfficeLanProtocolsAreRecognised) {
  const std::string file = Write(OfficeLanScenario(), kLinkTypeEthernet);
  std::set<std::string> stacks;
  for (const std::string& line : Tshark(file, "frame", "-e frame.protocols")) stacks.insert(line);
  const auto has = [&](const std::string& needle) {
    return std::any_of(stacks.begin(), stacks.end(),
                       [&](const std::string& s) { return s.find(needle) != std::string::npos; });
  };
  for (const char* needle : {"eth:ethertype:arp", "ip:udp:dns", "ip:tcp:http", "ip:tcp:ftp",
                             "ftp-data", "ip:icmp", "udp:nbns", "udp:rip", "eth:llc:netbios",
                             "eth:llc:arp", "eth:ipx", "ethertype:lat", "ethertype:loop"}) {
    EXPECT_TRUE(has(needle)) << needle;
  }
  for (const char* filter : {"ipxsap", "ipxrip", "ncp", "eth.dst == 01:00:5e:00:00:09"}) {
    EXPECT_FALSE(Tshark(file, filter).empty()) << filter;
  }
  EXPECT_EQ(Tshark(file, "http.response.code == 200").size(), 10u);
  EXPECT_EQ(Tshark(file, "dns.flags.response == 1 && dns.a").size(),
            Tshark(file, "dns.flags.response == 0").size());
}

TEST_F(TsharkCrossCheck, TokenRingDecodesCleanly) {
  const auto frames = TokenRingScenario();
  const std::string file = Write(frames, kLinkTypeTokenRing);
  EXPECT_EQ(CapinfosCount(file), frames.size());
  EXPECT_EQ(Tshark(file, "tr").size(), frames.size());
  EXPECT_TRUE(Flagged(file).empty());

  const size_t amp = Tshark(file, "trmac.mvec == 0x05").size();
  EXPECT_GE(amp, 3u);
  EXPECT_EQ(Tshark(file, "trmac.mvec == 0x06").size(), 4 * amp);
  EXPECT_GE(Tshark(file, "trmac.mvec == 0x29 && tr.dst == c0:00:00:00:00:08").size(), 1u);
  EXPECT_GE(Tshark(file, "trmac.naun").size(), 5 * amp);
  EXPECT_GE(Tshark(file, "tr.sr == 1 && tr.rif.ring").size(), 5u);
  for (const char* filter : {"tr && llc.dsap == 0xe0 && ipx", "tr && llc.dsap == 0xf0 && netbios",
                             "tr && llc.oui == 0 && ip && tcp", "tr && udp && dns", "tr && arp"}) {
    EXPECT_FALSE(Tshark(file, filter).empty()) << filter;
  }
}

TEST_F(TsharkCrossCheck, SyntheticLoadIsReadable) {
  const auto frames = SyntheticLoad(3000, 11);
  const std::string file = Write(frames, kLinkTypeEthernet);
  EXPECT_EQ(CapinfosCount(file), frames.size());
  // Payloads are filler, so application decoders may object; the link,
  // IP and transport layers must not.
  EXPECT_TRUE(Tshark(file, "_ws.malformed && !(frame.protocols matches \":(tcp|udp):\")").empty());
  EXPECT_TRUE(Tshark(file, "ip.checksum.status == \"Bad\"").empty());
  EXPECT_EQ(Tshark(file, "ip").size() + Tshark(file, "arp || ipx").size(), frames.size());
}

}  // namespace
}  // namespace korvane::tools
