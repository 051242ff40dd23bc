// The partner rule on one trace in which two hosts talk TCP, UDP, ICMP echo, NCP and SPX
// at the same time, read by the real analyser: every user of a stream pair (the lookup,
// the index, the toolbox selection, the measurement, the visualiser and the grid) pairs
// each stream with the partner's stream of its own kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "measure/PacketDiagnostics.h"
#include "measure/PartnerStream.h"
#include "measure/StreamPairBuilder.h"
#include "reports/ConversationGrid.h"
#include "reports/Formatters.h"
#include "reports/Selection.h"
#include "reports/StreamList.h"

namespace korvane {
namespace {

using namespace tools;

constexpr Ip4 kIpA = {10, 0, 0, 1}, kIpB = {10, 0, 0, 2};
constexpr uint32_t kIpxNet = 0x22;

struct KindCase {
  const char* name;
  uint8_t kind;
  int exchanges;  // command/answer pairs; a different number per kind
};

// A and B, both IP and IPX; the TCP exchange comes first so that B's first stream back
// to A is TCP, whichever kind is selected.
class MixedTrace {
 public:
  MixedTrace() {
    for (int i = 0; i < 6; ++i) {
      if (i < 4) TcpExchange(i);
      if (i < 2) UdpExchange(i);
      if (i < 3) EchoExchange(i);
      if (i < 5) NcpExchange(i);
      SpxExchange(i);
    }
    feed.End();
    feed.s.info.FramesRead = feed.s.info.FrameCounter;
  }

  const TraceSession& session() const { return feed.s; }
  int32_t Station(bool ipx, bool a) const {
    if (!ipx) return feed.s.tables.NetStationTree.Find(AddressKey::From((a ? kIpA : kIpB).data(), 4));
    uint8_t key[10] = {0, 0, 0, uint8_t(kIpxNet)};
    const Mac& node = a ? test::FrameFeeder::kMacA : test::FrameFeeder::kMacB;
    std::copy(node.begin(), node.end(), key + 4);
    return feed.s.tables.NetStationTree.Find(AddressKey::From(key, 10));
  }
  // The conversation of one station with the other and its stream of a kind.
  std::pair<int32_t, int32_t> Stream(uint8_t kind, bool fromA) const {
    const AnalysisTables& t = feed.s.tables;
    const bool ipx = kind >= transport::Ncp;
    const int32_t from = Station(ipx, fromA), to = Station(ipx, !fromA);
    for (int32_t p = t.NetStationTree[from].FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next) {
      if (!(t.NetPeers[size_t(p)].DestAddress == t.NetStationTree[to].Address)) continue;
      for (int32_t k = t.NetPeers[size_t(p)].FirstStream; k >= 0; k = t.Streams[size_t(k)].Next)
        if (t.Streams[size_t(k)].Kind == kind) return {p, k};
    }
    return {-1, -1};
  }

 private:
  void Ip(bool fromA, uint8_t protocol, const Bytes& payload) {
    ++ipId_;
    feed.Frame(EthernetFrame(fromA ? test::FrameFeeder::kMacB : test::FrameFeeder::kMacA,
                             fromA ? test::FrameFeeder::kMacA : test::FrameFeeder::kMacB, kEtherTypeIpv4,
                             Ipv4Packet(fromA ? kIpA : kIpB, fromA ? kIpB : kIpA, protocol, 64, ipId_, 0, payload)));
  }
  void Ipx(bool fromA, uint8_t type, uint16_t socketA, uint16_t socketB, const Bytes& payload) {
    const IpxAddress a{kIpxNet, test::FrameFeeder::kMacA, socketA}, b{kIpxNet, test::FrameFeeder::kMacB, socketB};
    feed.Frame(EthernetFrame(fromA ? b.node : a.node, fromA ? a.node : b.node, kEtherTypeIpx,
                             IpxPacket(type, fromA ? b : a, fromA ? a : b, payload)));
  }
  void TcpExchange(int i) {
    const auto n = uint32_t(i);
    Ip(true, kIpProtoTcp, TcpSegment(kIpA, kIpB, {1030, 53, 1000 + 100 * n, 5000 + 20 * n, 0x18}, Bytes(100, 'q')));
    Ip(false, kIpProtoTcp, TcpSegment(kIpB, kIpA, {53, 1030, 5000 + 20 * n, 1100 + 100 * n, 0x18}, Bytes(20, 'r')));
  }
  void UdpExchange(int) {  // the same port numbers as the TCP stream
    Ip(true, kIpProtoUdp, UdpDatagram(kIpA, kIpB, 1030, 53, Bytes(30, 'u')));
    Ip(false, kIpProtoUdp, UdpDatagram(kIpB, kIpA, 53, 1030, Bytes(60, 'v')));
  }
  void EchoExchange(int i) {
    Ip(true, kIpProtoIcmp, IcmpEcho(false, 7, uint16_t(i + 1), Bytes(32, 'e')));
    Ip(false, kIpProtoIcmp, IcmpEcho(true, 7, uint16_t(i + 1), Bytes(32, 'e')));
  }
  void NcpExchange(int i) {
    Bytes request = {0x22, 0x22, uint8_t(i), 1, 1, 0, 72};
    request.resize(40, 0);
    Bytes reply = {0x33, 0x33, uint8_t(i), 1, 1, 0, 0, 0};
    Ipx(true, 17, 0x4003, 0x0451, request);
    Ipx(false, 17, 0x4003, 0x0451, reply);
  }
  void SpxExchange(int i) {
    auto spx = [](uint8_t control, uint16_t from, uint16_t to, uint16_t seq, uint16_t ack, size_t data) {
      Bytes b;
      PutU8(b, control);
      PutU8(b, 0);
      PutU16(b, from);
      PutU16(b, to);
      PutU16(b, seq);
      PutU16(b, ack);
      PutU16(b, 4);
      b.resize(b.size() + data, 's');
      return b;
    };
    Ipx(true, 5, 0x4005, 0x8060, spx(0x40, 0x1111, 0x2222, uint16_t(i), 0, 200));
    Ipx(false, 5, 0x4005, 0x8060, spx(0x80, 0x2222, 0x1111, 0, uint16_t(i + 1), 0));
  }

  test::FrameFeeder feed;
  uint16_t ipId_ = 0;
};

const MixedTrace& Trace() {
  static const auto trace = std::make_unique<MixedTrace>();
  return *trace;
}

class PartnerStreamRule : public ::testing::TestWithParam<KindCase> {};

TEST_P(PartnerStreamRule, EveryUserPairsTheStreamWithTheAnswersOfItsKind) {
  const KindCase& c = GetParam();
  const TraceSession& session = Trace().session();
  const AnalysisTables& t = session.tables;
  const auto [forwardPeer, forward] = Trace().Stream(c.kind, true);
  const auto [backPeer, back] = Trace().Stream(c.kind, false);
  ASSERT_GE(forward, 0);
  ASSERT_GE(back, 0);
  ASSERT_EQ(t.Streams[size_t(forward)].PacketCount, c.exchanges);
  const int32_t source = Trace().Station(c.kind >= transport::Ncp, true);

  // The lookup and the index agree, both ways round.
  const PartnerLookup found = FindPartnerStream(t, source, forwardPeer, forward);
  EXPECT_EQ(found.ReturnConversation, backPeer);
  EXPECT_EQ(found.Stream, back);
  const PartnerStreamIndex index(t);
  EXPECT_EQ(index.Of(forward).Stream, back);
  EXPECT_EQ(index.Of(forward).ReturnConversation, backPeer);
  EXPECT_EQ(index.Of(back).Stream, forward);

  // The toolbox selection and the visualiser.
  const std::vector<StreamEntry> list = BuildStreamList(session);
  const auto entry = std::find_if(list.begin(), list.end(), [&](const StreamEntry& e) { return e.stream == forward; });
  ASSERT_NE(entry, list.end());
  MeasurementSelection selection = PrepareSelection(session, *entry);
  EXPECT_EQ(selection.ReverseStream, back);
  EXPECT_FALSE(selection.OneWay);
  EXPECT_EQ(DiagnosePackets(session, selection, ProblemFinderSettings{}).ReverseStream, back);

  // The measurement times every command against the answers of its own kind, and the
  // lower half (roles exchanged) walks the partner's stream as the sender.
  selection.LatencyMode = true;
  const MeasurementSelection before = selection;
  MeasurementResults r;
  ConversationMeasurement(session, selection, r);
  EXPECT_EQ(r.PairCount, c.exchanges);
  EXPECT_EQ(r.FwdCount, c.exchanges);
  EXPECT_EQ(r.RevCount, c.exchanges);
  EXPECT_EQ(selection.OneWay, before.OneWay);  // the selection is only read
  selection.SwapDirection();
  ConversationMeasurement(session, selection, r);
  EXPECT_EQ(r.FwdCount, c.exchanges);
  EXPECT_EQ(r.RevCount, c.exchanges);

  // The grid counts both directions of the stream on its row.
  const ConversationGrid grid = BuildConversationGrid(session, ProblemFinderSettings{}, {});
  const std::string name(TransportKindName(c.kind));
  const auto row = std::find_if(grid.rows.begin(), grid.rows.end(), [&](const GridRow& g) {
    return g.cells[11].starts_with(name + "/") || g.cells[11].starts_with(name + " ") ||
           g.cells[11].ends_with("/" + name);
  });
  ASSERT_NE(row, grid.rows.end());
  EXPECT_EQ(row->cells[12], CountText(2 * c.exchanges));
}

INSTANTIATE_TEST_SUITE_P(TwoHostsFiveKinds, PartnerStreamRule,
                         ::testing::Values(KindCase{"Tcp", transport::Tcp, 4}, KindCase{"Udp", transport::Udp, 2},
                                           KindCase{"IcmpEcho", transport::Icmp, 3},
                                           KindCase{"Ncp", transport::Ncp, 5}, KindCase{"Spx", transport::Spx, 6}),
                         [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

// Streams made record by record, for the cases the trace above cannot show.
TEST(PartnerStream, KindsPortSpacesAndOneWay) {
  test::StreamPairBuilder x(true);
  const int32_t spx = x.Stream(x.ab, transport::Spx, 7, 8);
  const int32_t smb = x.Stream(x.ab, transport::Smb, 0x0552, 0x0550);
  const int32_t back = x.Back();
  x.Stream(back, transport::Smb, 0x0553, 0x0552);  // another SMB socket pair
  const int32_t backSmb = x.Stream(back, transport::Smb, 0x0550, 0x0552);
  const int32_t backSpx2 = x.Stream(back, transport::SpxII, 8, 7);  // the connection, now SPXII
  const AnalysisTables& t = x.s.tables;
  EXPECT_EQ(FindPartnerStream(t, x.a, x.ab, smb).Stream, backSmb);
  EXPECT_EQ(FindPartnerStream(t, x.a, x.ab, spx).Stream, backSpx2);
  EXPECT_EQ(FindPartnerStream(t, x.a, x.ab, -1).Stream, -1);

  test::StreamPairBuilder ip;
  const int32_t udp = ip.Stream(ip.ab, transport::Udp, 1031, 69);
  ip.Stream(ip.Back(), transport::Tcp, 69, 1031);  // talks back, but never in UDP
  const PartnerLookup none = FindPartnerStream(ip.s.tables, ip.a, ip.ab, udp);
  EXPECT_FALSE(none.OneWay());
  EXPECT_EQ(none.Stream, -1);
  EXPECT_EQ(PartnerStreamIndex(ip.s.tables).Of(udp).Stream, -1);

  test::StreamPairBuilder oneWay;
  const int32_t lonely = oneWay.Stream(oneWay.ab, transport::Tcp, 1030, 80);
  EXPECT_TRUE(FindPartnerStream(oneWay.s.tables, oneWay.a, oneWay.ab, lonely).OneWay());
  EXPECT_TRUE(PartnerStreamIndex(oneWay.s.tables).Of(lonely).OneWay());
}

// The index lists each conversation's streams as its chain does, and pairs every stream as
// the walk does: for the chains the accounting makes, and for a chain made otherwise.
TEST(PartnerStreamIndexTest, ListsEveryConversationsStreamsInChainOrder) {
  AnalysisTables t = Trace().session().tables;
  auto check = [](const AnalysisTables& tables) {
    const PartnerStreamIndex index(tables);
    for (size_t station = 0; station < tables.NetStationTree.size(); ++station)
      for (int32_t p = tables.NetStationTree[int32_t(station)].FirstNetPeer; p >= 0; p = tables.NetPeers[size_t(p)].Next) {
        std::vector<int32_t> chain;
        for (int32_t k = tables.NetPeers[size_t(p)].FirstStream; k >= 0; k = tables.Streams[size_t(k)].Next) {
          chain.push_back(k);
          const PartnerLookup walked = FindPartnerStream(tables, int32_t(station), p, k);
          EXPECT_EQ(index.Of(k).Stream, walked.Stream) << "stream " << k;
          EXPECT_EQ(index.Of(k).ReturnConversation, walked.ReturnConversation) << "stream " << k;
        }
        const std::span<const int32_t> listed = index.StreamsOf(p);
        EXPECT_EQ(std::vector<int32_t>(listed.begin(), listed.end()), chain) << "conversation " << p;
      }
    EXPECT_TRUE(index.StreamsOf(int32_t(tables.NetPeers.size())).empty());
  };
  check(t);

  // The conversation with the most streams has its chain turned round.
  const PartnerStreamIndex before(t);
  size_t longest = 0;
  for (size_t p = 0; p < t.NetPeers.size(); ++p)
    if (before.StreamsOf(int32_t(p)).size() > before.StreamsOf(int32_t(longest)).size()) longest = p;
  std::vector<int32_t> chain;
  for (int32_t k = t.NetPeers[longest].FirstStream; k >= 0; k = t.Streams[size_t(k)].Next) chain.push_back(k);
  ASSERT_GE(chain.size(), 3u);
  std::reverse(chain.begin(), chain.end());
  t.NetPeers[longest].FirstStream = chain.front();
  for (size_t i = 0; i < chain.size(); ++i) t.Streams[size_t(chain[i])].Next = i + 1 < chain.size() ? chain[i + 1] : -1;
  check(t);
}

}  // namespace
}  // namespace korvane
