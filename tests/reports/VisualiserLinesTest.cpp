// The packet visualiser as text: bars, ticks, columns, detail texts, diagnostics and the
// lines korvane-cli prints.
#include <gtest/gtest.h>

#include "measure/StreamPairBuilder.h"
#include "reports/VisualiserLines.h"

namespace korvane {
namespace {

using test::kAckFlag;
using test::kFin;
using test::kPsh;
using test::kSyn;
using Builder = test::StreamPairBuilder;

VisualiserDrawing Draw(const Builder& x, const VisualiserOptions& options = {},
                       const ProblemFinderSettings& settings = {}) {
  return DrawVisualiser(x.s, DiagnosePackets(x.s, x.Selection(), settings), options);
}

std::vector<std::string> Details(const VisualiserDrawing& d) {
  std::vector<std::string> out;
  for (const VisualiserLine& line : d.Lines) out.push_back(line.Detail + line.Diagnostics);
  return out;
}

VisualiserOptions AllColumns() {
  VisualiserOptions o;
  o.Columns = {true, true, true, true, true, true};
  return o;
}

TEST(VisualiserBars, LengthFollowsTheFrameSize) {
  EXPECT_EQ(BytesPerPixel(4), 11);
  EXPECT_EQ(BytesPerPixel(10), 5);
  EXPECT_EQ(BytesPerPixel(0), 14);   // kept within the track bar's range
  EXPECT_EQ(BytesPerPixel(200), 5);
  EXPECT_EQ(BarLength(1518, BytesPerPixel(4)), 139);
  EXPECT_EQ(BarLength(64, BytesPerPixel(4)), 6);
  EXPECT_EQ(BarLength(1518, BytesPerPixel(10)), 304);
  EXPECT_EQ(BarLength(64, BytesPerPixel(10)), 13);
  EXPECT_EQ(BarLength(10, 0), 11);  // never a division by zero
}

TEST(VisualiserTicks, GapsAndRulerMarks) {
  EXPECT_EQ(TickGapPixels(50000, 1), 100);
  EXPECT_EQ(TickGapPixels(50000, 10), 10);
  EXPECT_EQ(TickGapPixels(50000, 0), 0);  // "Disabled": packets evenly spaced
  EXPECT_EQ(TickGapPixels(1000, 1), 2);
  EXPECT_EQ(TickGapPixels(999, 1), 0);    // not more than one unit
  EXPECT_EQ(TickGapPixels(-5000, 1), 0);
  EXPECT_EQ(TickGapPixels(1e30, 1), int64_t(1e15));

  ASSERT_EQ(RulerMarkCount(100), 50);
  std::vector<RulerMark> marks;
  for (int64_t k = 1; k <= RulerMarkCount(100); ++k) marks.push_back(RulerMarkAt(k, 1));
  EXPECT_EQ(marks[0].Offset, 2);
  EXPECT_EQ(marks[0].Length, 5);
  EXPECT_EQ(marks[4].Length, 10);
  EXPECT_EQ(marks[9].Length, 10);
  EXPECT_EQ(marks[9].Label, "10 ms");
  EXPECT_EQ(marks[49].Offset, 100);
  EXPECT_EQ(marks[49].Label, "50 ms");
  EXPECT_EQ(std::count_if(marks.begin(), marks.end(), [](const RulerMark& m) { return !m.Label.empty(); }), 5);
  EXPECT_EQ(RulerMarkAt(10, 1000).Label, "10,000 ms");
  EXPECT_EQ(RulerMarkCount(1), 0);
  EXPECT_EQ(RulerMarkCount(-4), 0);

  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag));
  x.Add(x.reverse, Builder::Tcp(2, 1000, 1, 1, kAckFlag));
  x.Add(x.forward, Builder::Tcp(3, 51000, 1, 1, kAckFlag));
  auto drawn = Draw(x);
  ASSERT_EQ(drawn.Lines.size(), 3u);
  EXPECT_EQ(drawn.Lines[0].GapPixels, 0);
  EXPECT_EQ(drawn.Lines[1].GapPixels, 2);
  EXPECT_EQ(drawn.Lines[2].GapPixels, 100);
  VisualiserOptions off;
  off.TickSpacingMs = 0;
  for (const VisualiserLine& line : Draw(x, off).Lines) EXPECT_EQ(line.GapPixels, 0);
}

TEST(VisualiserColumns, SwitchesHeadingsAndValues) {
  const VisualiserColumns defaults;
  ASSERT_EQ(VisualiserColumnInfos(defaults).size(), 1u);
  EXPECT_EQ(VisualiserColumnInfos(defaults)[0].heading, "Packet");
  std::vector<std::string_view> headings;
  for (const auto& c : VisualiserColumnInfos(AllColumns().Columns)) headings.push_back(c.heading);
  EXPECT_EQ(headings, (std::vector<std::string_view>{"Packet", "Size", "dTime", "cTime", "cBytes", "sBytes", "rBytes"}));
  EXPECT_TRUE(VisualiserColumnInfos({false, false, false, false, false, false}).empty());

  Builder x;
  x.TcpPair();
  TPacket a = Builder::Tcp(1, 1000000, 1, 1, kAckFlag), b = Builder::Tcp(2, 1500000, 1, 1, kAckFlag),
          c = Builder::Tcp(4, 3250000, 1, 1, kAckFlag), d = Builder::Tcp(5, 1237750000, 1, 1, kAckFlag);
  a.FrameLength = 100;
  b.FrameLength = 200;
  c.FrameLength = 300;
  d.FrameLength = 1000;
  x.Add(x.forward, a);
  x.Add(x.reverse, b);
  TPacket marker = c;
  marker.Flags = packet_flag::GapMarker;
  marker.TimeStamp = a.TimeStamp;
  x.Add(x.forward, marker);
  x.Add(x.forward, c);
  x.Add(x.forward, d);
  auto drawn = Draw(x, AllColumns());
  ASSERT_EQ(drawn.Lines.size(), 5u);
  using Row = std::vector<std::string>;
  EXPECT_EQ(drawn.Lines[0].Columns, (Row{"1", "100", "0.000000", "0.000000", "100", "100", "0"}));
  EXPECT_EQ(drawn.Lines[1].Columns, (Row{"2", "200", "0.500000", "0.500000", "300", "100", "200"}));
  // A gap marker stands for no frame: only the frame that revealed the gap is shown.
  EXPECT_EQ(drawn.Lines[2].Columns, (Row{"4", "", "", "", "", "", ""}));
  EXPECT_EQ(drawn.Lines[3].Columns, (Row{"4", "300", "1.750000", "2.250000", "600", "400", "200"}));
  EXPECT_EQ(drawn.Lines[4].Columns, (Row{"5", "1000", "1,234.500000", "1,236.750000", "1600", "1400", "200"}));
}

TEST(VisualiserColumns, ByteColumnsHaveNoSeparators) {
  // "%1d": plain decimal, unlike the times.
  Builder x;
  x.forward = x.Stream(x.ab, transport::Udp, 1030, 53);
  for (int64_t f = 1; f <= 3; ++f) x.Add(x.forward, Builder::Plain(f, double(f), 1500));
  auto drawn = Draw(x, AllColumns());
  EXPECT_EQ(drawn.Lines[2].Columns[4], "4500");
}

TEST(VisualiserDetail, TcpTexts) {
  Builder x;
  x.TcpPair();
  TPacket syn = Builder::Tcp(1, 0, 1000, 0, kSyn);
  syn.Mss = 1460;
  x.Add(x.forward, syn);
  TPacket synAck = Builder::Tcp(2, 1000, 4294967295u, 1001, kSyn | kAckFlag);
  synAck.Mss = 1460;
  x.Add(x.reverse, synAck);
  x.Add(x.forward, Builder::Tcp(3, 2000, 1001, 0, kAckFlag | kPsh, 100));
  x.Add(x.reverse, Builder::Tcp(4, 3000, 0, 1101, kAckFlag));
  x.Add(x.forward, Builder::Tcp(5, 4000, 1101, 1, kFin | kPsh | 0x20 | kAckFlag));
  TPacket reset = Builder::Tcp(6, 5000, 1102, 1, kFin | test::kRst | kAckFlag, 10);
  reset.Flags = packet_flag::TcpReset;
  x.Add(x.forward, reset);
  auto drawn = Draw(x);
  EXPECT_EQ(Details(drawn), (std::vector<std::string>{
                                "IP Len=40 TTL=64; TCP SYN (MSS=1460) Ack=0 Seq=1000 Win=8760",
                                "IP Len=40 TTL=64; TCP SYN (MSS=1460) Ack=1001 (Pkt 1) Seq=4294967295 Win=8760",
                                "IP Len=140 TTL=64; TCP PSH Seq=1001 Len=100 Win=8760",
                                "IP Len=40 TTL=64; TCP Ack=1101 (Pkt 3) Seq=0 Win=8760",
                                "IP Len=40 TTL=64; TCP FIN PSH URG Ack=1 Seq=1101 Win=8760",
                                "IP Len=50 TTL=64; TCP FIN RST Seq=1102 Len=10 Win=8760 Reset Connection",
                            }));
  EXPECT_EQ(drawn.Lines[0].Colour, BarColour::Send);
  EXPECT_EQ(drawn.Lines[1].Colour, BarColour::Receive);
}

TEST(VisualiserDetail, DiagnosticsFollowTheDetailAndFillTheList) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1000, 0, kAckFlag, 10, 60000));
  TPacket syn = Builder::Tcp(7, 1000, 1000, 0, kSyn, 0, 100);
  syn.Mss = 536;
  syn.Ttl = 1;
  x.Add(x.forward, syn);
  auto drawn = Draw(x);
  ASSERT_EQ(drawn.Lines.size(), 2u);
  // The separator stays before the diagnostics; it goes only when there are none.
  EXPECT_EQ(drawn.Lines[1].Detail, "IP Len=40 TTL=1; TCP SYN (MSS=536) Ack=0 Seq=1000 Win=100; ");
  EXPECT_EQ(drawn.Lines[1].Diagnostics, " Low TTL, Low Starting MSS");
  ASSERT_EQ(drawn.Entries.size(), 1u);
  EXPECT_EQ(drawn.Entries[0].Text, "Pkt #7 Low TTL, Low Starting MSS");
  EXPECT_EQ(drawn.Entries[0].Line, 1u);
  EXPECT_EQ(VisualiserTextLines(x.s, x.Selection(), {})[1],
            ">\t7\tIP Len=40 TTL=1; TCP SYN (MSS=536) Ack=0 Seq=1000 Win=100;  Low TTL, Low Starting MSS");
}

TEST(VisualiserDetail, OtherTransportsAndRoleWords) {
  Builder x;
  x.forward = x.Stream(x.ab, transport::Udp, 1030, 53);
  x.reverse = x.Stream(x.Back(), transport::Udp, 53, 1030);
  TPacket query = Builder::Plain(1, 0, 80);  // IP length 62
  query.Flags = packet_flag::Request;
  x.Add(x.forward, query);
  TPacket answer = Builder::Plain(2, 10, 120);
  answer.Flags = packet_flag::Reply;
  x.Add(x.reverse, answer);
  TPacket fragment = Builder::Plain(3, 20, 120);
  fragment.FragmentOffset = 1480;
  x.Add(x.reverse, fragment);
  x.Add(x.forward, Builder::Plain(4, 30, 80));  // neither way
  EXPECT_EQ(Details(Draw(x)), (std::vector<std::string>{"Cmd; IP Len=62 TTL=64; UDP Len=42",
                                                        "Rep; IP Len=102 TTL=64; UDP Len=82",
                                                        "IP Frag Len=102 Off=1480 TTL=64",
                                                        "IP Len=62 TTL=64; UDP Len=42"}));

  Builder ipx(true);
  const int32_t spx = ipx.Stream(ipx.ab, transport::Spx, 1, 2);
  const int32_t ncp = ipx.Stream(ipx.ab, transport::Ncp, 0x4003, 0x0451);
  const int32_t netbios = ipx.Stream(ipx.ab, transport::NetBios, 3, 4);
  const int32_t burst = ipx.Stream(ipx.ab, transport::PBurst, 5, 6);
  TPacket p = Builder::Plain(1, 0, 100);
  p.NetHeaderLength = 30;
  p.NetLength = 82;
  p.Ttl = 2;
  p.Sequence = 3;
  p.Acknowledge = 4;
  auto detail = [&](int32_t stream, uint32_t flags) {
    p.Flags = flags;
    ipx.s.tables.Streams[size_t(stream)].FirstPacket = -1;
    ipx.s.tables.Streams[size_t(stream)].LastPacket = -1;
    ipx.Add(stream, p);
    ipx.forward = stream;
    return Details(Draw(ipx)).at(0);
  };
  EXPECT_EQ(detail(spx, packet_flag::Request), "Data; IPX Len=82 Hops=2; SPX Seq=3 Ack=4");
  EXPECT_EQ(detail(spx, packet_flag::Reply), "Ack; IPX Len=82 Hops=2; SPX Seq=3 Ack=4");
  EXPECT_EQ(detail(ncp, packet_flag::Reply), "Rep; IPX Len=82 Hops=2; NCP Seq=3");
  EXPECT_EQ(detail(netbios, packet_flag::Request), "IPX Len=82 Hops=2; NetBIOS");
  EXPECT_EQ(detail(burst, packet_flag::Request), "Cmd; IPX Len=82 Hops=2; PBurst Seq=3 Ack=4");
}

TEST(VisualiserDetail, GapMarkers) {
  Builder x;
  x.TcpPair();
  x.Add(x.forward, Builder::Tcp(1, 0, 1, 1, kAckFlag, 100));
  TPacket marker = Builder::Tcp(2, 0, 500, 1, kAckFlag, 100);
  marker.Flags = packet_flag::GapMarker | kAckFlag;
  x.Add(x.forward, marker);
  x.Add(x.forward, Builder::Tcp(2, 2000, 500, 1, kAckFlag, 100));
  auto drawn = Draw(x);
  ASSERT_EQ(drawn.Lines.size(), 3u);
  EXPECT_EQ(drawn.Lines[1].Detail, "POSSIBLE MISSING OR FILTERED TCP PACKET(S)");
  EXPECT_EQ(drawn.Lines[1].Colour, BarColour::Gap);
  EXPECT_EQ(drawn.Lines[1].Diagnostics, "");
  EXPECT_EQ(drawn.Lines[2].Colour, BarColour::Send);
}

TEST(VisualiserDetail, IcmpReportNamesTheReportingStation) {
  using namespace tools;
  const Ip4 a = {10, 0, 0, 1}, b = {10, 0, 0, 2}, router = {10, 0, 0, 254};
  test::FrameFeeder f;
  f.Frame(EthernetFrame(f.kMacB, f.kMacA, kEtherTypeIpv4,
                        Ipv4Packet(a, b, kIpProtoUdp, 64, 0x4242, 0, UdpDatagram(a, b, 1050, 9999, Bytes(20, 'u')))));
  Bytes quoted = Ipv4Packet(a, b, kIpProtoUdp, 1, 0x4242, 0, UdpDatagram(a, b, 1050, 9999, Bytes(20, 'u')));
  quoted.resize(28);
  Bytes icmp = quoted;
  icmp.insert(icmp.begin(), {11, 0, 0, 0, 0, 0, 0, 0});  // time exceeded, from a router on the way
  f.Frame(EthernetFrame(f.kMacA, f.kMacB, kEtherTypeIpv4, Ipv4Packet(router, a, kIpProtoIcmp, 255, 9, 0, icmp)));
  f.Frame(EthernetFrame(f.kMacB, f.kMacA, kEtherTypeIpv4,
                        Ipv4Packet(a, b, kIpProtoUdp, 64, 0x4243, 0, UdpDatagram(a, b, 1050, 9999, Bytes(20, 'u')))));
  const MeasurementSelection selection = f.Select(a, b, transport::Udp, 1050, 9999);
  ASSERT_GE(selection.ForwardStream, 0);
  auto drawn = DrawVisualiser(f.s, DiagnosePackets(f.s, selection, {}), {});
  ASSERT_EQ(drawn.Lines.size(), 3u);
  EXPECT_EQ(drawn.Lines[1].Detail, "ICMP from 10.0.0.254");
  EXPECT_EQ(drawn.Lines[1].Colour, BarColour::Diagnostic);
  EXPECT_EQ(drawn.Lines[1].FrameNumber, 2);
  EXPECT_EQ(drawn.Lines[2].FrameNumber, 3);
  // A report record moves neither the clock nor the byte counts on.
  auto columns = DrawVisualiser(f.s, DiagnosePackets(f.s, selection, {}), AllColumns());
  using Row = std::vector<std::string>;
  EXPECT_EQ(columns.Lines[1].Columns, (Row{"2", "74", "0.001000", "0.001000", "66", "66", "0"}));
  EXPECT_EQ(columns.Lines[2].Columns, (Row{"3", "66", "0.002000", "0.002000", "132", "132", "0"}));
}

TEST(VisualiserDetail, DiagnosticTexts) {
  auto text = [](DiagnosticKind kind, double value = 0, int64_t packet = 0, uint32_t number = 0, uint32_t extra = 0,
                 uint8_t function = 0) {
    return DiagnosticText({.Value = value, .Packet = packet, .Number = number, .Extra = extra, .Kind = kind,
                           .Function = function});
  };
  EXPECT_EQ(text(DiagnosticKind::LowTtl), "Low TTL");
  EXPECT_EQ(text(DiagnosticKind::IdleTooLong, 1300.6, 4), "Idle Too Long (1,301 secs from Pkt 4)");
  EXPECT_EQ(text(DiagnosticKind::StuckWindow, 0, 0, 4000, 8000), "Window Stuck at 4000 (largest = 8000)");
  EXPECT_EQ(text(DiagnosticKind::SlowAck, 1250.505, 7), "Slow Ack (1,250.51 ms from Pkt 7)");
  EXPECT_EQ(text(DiagnosticKind::LocallyRouted, 0, 3), "Locally Routed (Pkt 3)");
  EXPECT_EQ(text(DiagnosticKind::FastRetransmission, 3, 1), "Fast Transport Retransmission (3.00 ms from pkt 1)");
  EXPECT_EQ(text(DiagnosticKind::PacketBurstRequest, 0, 0, 3), "NCP Command requesting 3 PBurst pkt(s)");
  EXPECT_EQ(text(DiagnosticKind::PacketBurstRequest, 0, 0, 0, 7, 1), "NCP Command Read requesting PBurst sequence 7");
  EXPECT_EQ(text(DiagnosticKind::DlcCrcError), "DLC CRC Error");
  EXPECT_EQ(text(DiagnosticKind::LongPacket), "Long Packet");
}

TEST(VisualiserText, LinesFromAnalysedFrames) {
  using namespace tools;
  const Ip4 a = {10, 0, 0, 1}, b = {10, 0, 0, 2};
  test::FrameFeeder f;
  f.Tcp(a, b, {1030, 80, 100, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100);
  f.Tcp(a, b, {1030, 80, 200, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100);
  f.Tcp(a, b, {1030, 80, 100, 1, tcp_flags::kAck | tcp_flags::kPsh}, 100, 3000);  // sent again
  f.Tcp(b, a, {80, 1030, 1, 300, tcp_flags::kAck}, 0, 400000);                    // 400 ms later
  const MeasurementSelection selection = f.Select(a, b, transport::Tcp, 1030, 80);
  VisualiserOptions options;
  options.Columns.ShowPacketNumber = false;
  const auto lines = VisualiserTextLines(f.s, selection, {}, options);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       ">\tIP Len=140 TTL=64; TCP PSH Seq=100 Len=100 Win=8760",
                       ">\tIP Len=140 TTL=64; TCP PSH Seq=200 Len=100 Win=8760",
                       ">\tIP Len=140 TTL=64; TCP PSH Seq=100 Len=100 Win=8760 Transport Retransmission, "
                       "Fast Transport Retransmission (4.00 ms from pkt 1)",
                       "<\tIP Len=40 TTL=64; TCP Ack=300 (Pkt 2) Seq=1 Win=8760;  Slow Ack (403.00 ms from Pkt 2)",
                   }));
}

}  // namespace
}  // namespace korvane
