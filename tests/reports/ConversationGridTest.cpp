#include "reports/ConversationGrid.h"

#include <gtest/gtest.h>

#include "measure/ConversationFixture.h"
#include "reports/Formatters.h"

namespace korvane {
namespace {

using testing::ConversationTables;
using testing::Pkt;

constexpr uint16_t kAck = 0x10;
constexpr uint32_t kRequest = packet_flag::Request, kReply = packet_flag::Reply;

struct Grid : ConversationTables {
  // A TCP exchange of client (10.0.0.c) with server (10.0.0.s) on the given server port:
  // rounds commands of 100 bytes answered after delay us by replies of answerBytes,
  // commands spaced by spacing us.
  void Tcp(uint8_t c, uint8_t s, uint16_t port, int rounds, double delay, int answerBytes = 300,
           double spacing = 100000, uint32_t extraClientFlags = 0) {
    const int32_t client = Station(c), server = Station(s);
    const int32_t forward = Stream(Peer(client, server), transport::Tcp, 1025, port);
    const int32_t reverse = Stream(Peer(server, client), transport::Tcp, port, 1025);
    for (int i = 0; i < rounds; ++i) {
      const double t = base + spacing * i;
      Add(forward, {.frame = ++frame, .time = t, .flags = kRequest | (i == 0 ? extraClientFlags : 0),
                    .seq = 1000u + 100u * uint32_t(i), .payload = 100, .tcpFlags = kAck});
      Add(reverse, {.frame = ++frame, .time = t + delay, .flags = kReply, .seq = 9000u + uint32_t(answerBytes * i),
                    .ack = 1100u + 100u * uint32_t(i), .payload = answerBytes, .tcpFlags = kAck});
    }
    base += spacing * rounds + 1000;
  }
  ConversationGrid Build(const ConversationGridOptions& options = {}) {
    return BuildConversationGrid(session(), settings, options);
  }
  ProblemFinderSettings settings;
  int64_t frame = 0;
  double base = 0;
};

TEST(ConversationGrid, OneConversationRowWithItsFigures) {
  Grid g;
  g.Tcp(1, 2, 80, 12, 4000, 1400, 10000);
  const ConversationGrid grid = g.Build();
  ASSERT_EQ(grid.rows.size(), 1u);
  EXPECT_EQ(grid.countLabel, "1 Conversation Analyzed");
  const GridRow& row = grid.rows[0];
  EXPECT_EQ(row.cells[9], "10.0.0.1");
  EXPECT_EQ(row.cells[10], "10.0.0.2");
  EXPECT_EQ(row.cells[11], "TCP/Port 1025<->HTTP");
  EXPECT_EQ(row.cells[12], "24");
  EXPECT_EQ(row.cells[13], CountText(12 * 164 + 12 * 1464));
  EXPECT_EQ(row.cells[15], " 4.000");
  EXPECT_EQ(row.cells[14], "00:00:00");
  EXPECT_EQ(row.cells[21], "UNKNOWN");  // no MAC station behind the hand-made tables
  // 12 x 164 bytes out and 12 x 1464 back, each over 0.11 s; 160 KBytes/s is no low throughput.
  EXPECT_EQ(row.cells[16], " 17.891");
  EXPECT_EQ(row.cells[17], " 159.709");
  EXPECT_TRUE(row.cells[0].empty());
  EXPECT_EQ(grid.boxes[0][0], "A = Low Server to Client Throughput - 0");
  EXPECT_EQ(grid.boxes[2][0], "I = # of ICMP Error Reports - 0");
}

TEST(ConversationGrid, SlowServersAndLowThroughputAreMarked) {
  Grid g;
  g.Tcp(1, 2, 80, 5, 150000, 300, 300000);  // 150 ms answers of 364 bytes every 0.3 s
  ConversationGrid grid = g.Build();
  ASSERT_EQ(grid.rows.size(), 1u);
  EXPECT_EQ(grid.rows[0].cells[1], kGridMark);
  EXPECT_TRUE(grid.rows[0].MarkedB());
  EXPECT_EQ(grid.rows[0].cells[0], kGridMark);  // about 1.5 KBytes/s back
  EXPECT_EQ(grid.totals.A, 1);
  EXPECT_EQ(grid.totals.B, 1);
  // Raising the response threshold above 150 ms clears B; switching A off clears A.
  g.settings.SetThreshold(ProblemThreshold::CSSlowResponseTime, 151);
  g.settings.SetEnabled(ProblemCheck::CSLowThroughput, false);
  grid = g.Build();
  EXPECT_TRUE(grid.rows[0].cells[0].empty());
  EXPECT_TRUE(grid.rows[0].cells[1].empty());
  EXPECT_EQ(grid.totals.B, 0);
}

TEST(ConversationGrid, FtpControlIsNeverMarkedAOrD) {
  Grid g;
  g.Tcp(1, 2, 21, 6, 1000, 20, 300000);  // slow and chatty, but FTP control
  const ConversationGrid grid = g.Build();
  ASSERT_EQ(grid.rows.size(), 1u);
  EXPECT_TRUE(grid.rows[0].cells[0].empty());
  EXPECT_TRUE(grid.rows[0].cells[3].empty());
  Grid h;
  h.Tcp(1, 2, 23, 6, 1000, 20, 300000);  // the same on Telnet: both marks
  const ConversationGrid other = h.Build();
  EXPECT_EQ(other.rows[0].cells[0], kGridMark);
  EXPECT_EQ(other.rows[0].cells[3], kGridMark);
}

TEST(ConversationGrid, GroupAddressedAndOneWayStreams) {
  Grid g;
  // A broadcast first packet never makes a row.
  const int32_t a = g.Station(1), b = g.Station(255);
  g.Add(g.Stream(g.Peer(a, b), transport::Udp, 137, 137), {.frame = 1, .flags = kRequest | packet_flag::GroupAddressed});
  // A server seen only answering: the partner is the client, no throughput either way.
  const int32_t server = g.Station(9), client = g.Station(8);
  const int32_t replies = g.Stream(g.Peer(server, client), transport::Tcp, 80, 3000);
  for (int i = 0; i < 6; ++i)
    g.Add(replies, {.frame = 2 + i, .time = 50000.0 * i, .flags = kReply, .seq = 100u * uint32_t(i), .payload = 100,
                    .tcpFlags = kAck});
  const ConversationGrid grid = g.Build();
  ASSERT_EQ(grid.rows.size(), 1u);
  const GridRow& row = grid.rows[0];
  EXPECT_EQ(row.cells[9], "10.0.0.8");
  EXPECT_EQ(row.cells[10], "10.0.0.9");
  EXPECT_EQ(row.cells[11], "TCP/Port 3000<->HTTP");
  EXPECT_EQ(row.cells[16], "-");
  EXPECT_EQ(row.cells[17], "-");
  EXPECT_EQ(row.cells[15], "-");
  EXPECT_EQ(row.cells[12], "6");
}

TEST(ConversationGrid, PacketsAndBytesSelectorPicksADirection) {
  Grid g;
  g.Tcp(1, 2, 80, 4, 1000, 300);
  // Two extra client packets: the client sends 6, the server 4.
  const int32_t forward = g.tables().NetPeers[size_t(g.tables().NetStationTree[g.Station(1)].FirstNetPeer)].FirstStream;
  g.Add(forward, {.frame = 100, .time = 900000, .seq = 1400, .payload = 10, .tcpFlags = kAck});
  g.Add(forward, {.frame = 101, .time = 900001, .seq = 1410, .payload = 10, .tcpFlags = kAck});
  ConversationGridOptions options;
  EXPECT_EQ(g.Build(options).rows[0].cells[12], "10");
  options.packetsBytes = PacketsBytes::ClientToServer;
  ConversationGrid grid = g.Build(options);
  EXPECT_EQ(grid.headings[12], "Pkts Clt->Svr");
  EXPECT_EQ(grid.rows[0].cells[12], "6");
  EXPECT_EQ(grid.rows[0].cells[13], CountText(4 * 164 + 2 * 74));
  options.packetsBytes = PacketsBytes::ServerToClient;
  grid = g.Build(options);
  EXPECT_EQ(grid.headings[13], "Bytes Clt<-Svr");
  EXPECT_EQ(grid.rows[0].cells[12], "4");
}

TEST(ConversationGrid, CounterColumnsFollowTheirChecksButTotalsCountRetransmissions) {
  Grid g;
  g.Tcp(1, 2, 80, 4, 1000, 300, 100000, packet_flag::Retransmission | packet_flag::ZeroWindow);
  ConversationGrid grid = g.Build();
  EXPECT_EQ(grid.rows[0].cells[4], "1");
  EXPECT_EQ(grid.rows[0].cells[6], "1");
  g.settings.SetEnabled(ProblemCheck::TCPTransportRetransmission, false);
  g.settings.SetEnabled(ProblemCheck::TCPZeroWindow, false);
  grid = g.Build();
  EXPECT_TRUE(grid.rows[0].cells[4].empty());
  EXPECT_EQ(grid.totals.E, 1);  // E adds what it does not show
  EXPECT_TRUE(grid.rows[0].cells[6].empty());
  EXPECT_EQ(grid.totals.G, 0);
  EXPECT_EQ(grid.boxes[1][0], "E = # of Transport Retransmissions - 1");
}

TEST(ConversationGrid, NumericColumnsSortAsNumbersAndTextColumnsAsText) {
  ConversationGrid grid;
  for (const char* h : {"9", "10", "", "1,200"}) {
    GridRow row;
    row.cells.Set(7, h);
    row.cells.Set(9, h);
    grid.rows.push_back(row);
  }
  SortConversationGrid(grid, 7, true);
  EXPECT_EQ(grid.rows[1].cells[7], "9");
  EXPECT_EQ(grid.rows[2].cells[7], "10");
  EXPECT_EQ(grid.rows[3].cells[7], "1,200");
  SortConversationGrid(grid, 9, false);
  EXPECT_EQ(grid.rows[0].cells[9], "9");
  EXPECT_EQ(grid.rows[3].cells[9], "");
}

TEST(ConversationGrid, ACellReplacedLeavesItsNeighboursAsTheyWere) {
  GridCells cells;
  for (size_t c = 0; c < kGridColumns; ++c) cells.Append(std::string(c % 3, char('a' + c)));
  const GridCells before = cells;
  cells.Set(9, "a much longer name");
  cells.Set(0, "");
  cells.Set(kGridColumns - 1, "last");
  cells.Set(10, cells[9]);  // a cell may be set from a cell of its own row
  for (size_t c = 0; c < kGridColumns; ++c) {
    if (c == 0 || c == 9 || c == 10 || c == kGridColumns - 1) continue;
    EXPECT_EQ(cells[c], before[c]) << c;
  }
  EXPECT_EQ(cells[9], "a much longer name");
  EXPECT_EQ(cells[10], "a much longer name");
  EXPECT_EQ(cells[kGridColumns - 1], "last");
  cells.Set(9, before[9]);
  cells.Set(10, before[10]);
  cells.Set(0, before[0]);
  cells.Set(kGridColumns - 1, before[kGridColumns - 1]);
  EXPECT_EQ(cells, before);
}

TEST(ConversationGrid, TraceWithoutNetworkStationsShowsTheNote) {
  Grid g;
  const ConversationGrid grid = g.Build();
  EXPECT_TRUE(grid.noIpTraffic);
  EXPECT_EQ(ConversationGridText(grid), std::string(kNoIpTrafficText) + "\n");
}

TEST(ConversationGrid, NetworkAndIpxStationsOfTheTrace) {
  Grid g;
  EXPECT_FALSE(TraceHasNetworkStations(g.session()));
  g.Tcp(1, 2, 80, 4, 1000);
  EXPECT_TRUE(TraceHasNetworkStations(g.session()));
  EXPECT_FALSE(TraceHasIpxStations(g.session()));
  g.tables().IpxStationCount = 1;
  EXPECT_TRUE(TraceHasIpxStations(g.session()));
}

TEST(ConversationGrid, SelectionTextCopiesTheRectangleWithMarksAsX) {
  ConversationGrid grid;
  for (int r = 0; r < 3; ++r) {
    GridRow row;
    for (size_t c = 0; c < kGridColumns; ++c) row.cells.Append(std::to_string(r) + "." + std::to_string(c));
    grid.rows.push_back(row);
  }
  grid.rows[1].cells.Set(0, kGridMark);
  EXPECT_EQ(ConversationGridSelectionText(grid, 0, 1, 2, 2), "X\t1.1\t1.2\n2.0\t2.1\t2.2\n");
  // Clamped to the shown columns and the rows there are; the hidden columns never leave.
  EXPECT_EQ(ConversationGridSelectionText(grid, 17, 2, 30, 9), "2.17\n");
  EXPECT_EQ(ConversationGridSelectionText(grid, -1, -1, 0, 0), "0.0\n");
  EXPECT_EQ(ConversationGridSelectionText(grid, 3, 0, 2, 2), "");
  EXPECT_EQ(ConversationGridSelectionText(ConversationGrid{}, 0, 0, 17, 0), "");
}

TEST(ConversationGrid, CountLabel) {
  EXPECT_EQ(ConversationCountLabel(0), "");
  EXPECT_EQ(ConversationCountLabel(1), "1 Conversation Analyzed");
  EXPECT_EQ(ConversationCountLabel(1234), "1,234 Conversations Analyzed");
}

}  // namespace
}  // namespace korvane
