// The peer maps' layout on traces with 5, 21 and 200 sending stations: the density bar,
// the keys, label placement, clicks on labels, and the column-order file of both tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "reports/PeerMap.h"
#include "scenario/PacketBuilder.h"
#include "settings/IniFileStore.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using namespace tools;

Mac StationMac(int i) { return {0x02, 0x00, 0x00, 0x00, uint8_t(i >> 8), uint8_t(i)}; }
Ip4 StationIp(int i) { return {10, 0, uint8_t(i >> 8), uint8_t(i)}; }

// Station 0 serves every other station over UDP and answers each; every client also sends
// an LLC frame to the next client; clients 1 and 2 exchange IPX packets that crossed 4
// and 7 routers.
std::vector<ScenarioFrame> OfficeOf(int senders) {
  std::vector<ScenarioFrame> frames;
  double t = 0;
  auto add = [&](Bytes bytes) {
    ScenarioFrame f;
    f.timeUs = t += 500;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    frames.push_back(std::move(f));
  };
  auto udp = [&](int from, int to, size_t size) {
    add(EthernetFrame(StationMac(to), StationMac(from), kEtherTypeIpv4,
                      Ipv4Packet(StationIp(from), StationIp(to), kIpProtoUdp, 64, uint16_t(frames.size()), 0,
                                 UdpDatagram(StationIp(from), StationIp(to), 1030, 53, Bytes(size, 'q')))));
  };
  for (int i = 1; i < senders; ++i) {
    for (int k = 0; k <= i % 3; ++k) udp(i, 0, 100);
    udp(0, i, 300);
    add(Llc8023Frame(StationMac(i % (senders - 1) + 1), StationMac(i), 0xF0, 0xF0, 0x03, Bytes(50, 'n')));
  }
  auto ipx = [&](int from, int to, uint8_t hops) {
    add(EthernetFrame(StationMac(to), StationMac(from), 0x8137,
                      IpxPacket(4, {0x1A, StationMac(to), 0x0453}, {0x1A, StationMac(from), 0x0453}, Bytes(40, 'x'),
                                hops)));
  };
  ipx(1, 2, 4);
  ipx(2, 1, 7);
  return frames;
}

// A font of fixed size, whatever is installed: 0.75 pixel per point and character.
MapTextMetrics FixedMetrics() {
  return {[](std::string_view text, int points) { return double(text.size()) * points * 0.75; },
          [](int points) { return points * 1.5 + 1; }};
}

bool HasColour(const MapLine& line, const MapColour& colour) {
  return std::find(line.colours.begin(), line.colours.end(), colour) != line.colours.end();
}

class PeerMapTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    for (int senders : {5, 21, 200}) {
      MemorySource source(WriteSnifferDos(OfficeOf(senders), {}));
      auto session = std::make_unique<TraceSession>();
      EXPECT_EQ(OpenTrace(*session, "office.enc", &source).status, OpenStatus::Loaded);
      sessions_[senders] = std::move(session);
    }
  }
  static void TearDownTestSuite() { sessions_.clear(); }

  const TraceSession& Session() const { return *sessions_.at(GetParam()); }
  StationMapInput Station(double width = 640, double height = 480) const {
    StationMapInput in;
    in.width = width;
    in.height = height;
    return in;
  }
  PeerMapLayout Map(const StationMapInput& in) const { return LayoutStationMap(Session(), in, FixedMetrics()); }

  static inline std::map<int, std::unique_ptr<TraceSession>> sessions_;
};

TEST_P(PeerMapTest, DensityBarFromTwentyOnePlottedStations) {
  const int senders = GetParam();
  ASSERT_EQ(Session().tables.SendingStationCount, senders);
  const PeerMapLayout full = Map(Station());
  EXPECT_EQ(full.plottedCount, senders);
  EXPECT_EQ(full.densityBarShown, senders >= 21);
  EXPECT_EQ(full.threshold, 0.0);  // the bar at its top shows every station
  // Every point has a label, except the overflow point past 180 stations.
  EXPECT_EQ(full.labels.size(), size_t(std::min(senders, 180)));
  EXPECT_EQ(full.labels.back().text == kOverflowLabel, senders > 180);

  StationMapInput thin = Station();
  thin.densityPosition = 1;
  const PeerMapLayout sparse = Map(thin);
  EXPECT_EQ(sparse.densityBarShown, senders >= 21);
  if (senders >= 21) {
    EXPECT_GT(sparse.threshold, 0.0);
    // As few stations as the bar asks for, or, when the busiest sender alone has more
    // partners, that sender alone.
    std::set<int32_t> drawnSenders;
    for (const MapLine& line : sparse.lines) drawnSenders.insert(line.from);
    if (double(sparse.plottedCount) / double(Session().tables.StationCount) > 1.0 / kDensityMaximum) {
      ASSERT_EQ(drawnSenders.size(), 1u);
      const StationNode& busiest = Session().tables.StationTree[*drawnSenders.begin()];
      for (const StationStatsRow& row : BuildStationStats(Session()))
        EXPECT_LE(Session().tables.StationTree[row.station].FramesSent, busiest.FramesSent);
    }
    // Labels and lines follow the same threshold: every drawn line ends at plotted stations.
    std::set<int32_t> plotted;
    for (const MapLabel& l : sparse.labels) plotted.insert(l.station);
    for (const MapLine& line : sparse.lines) {
      EXPECT_TRUE(plotted.count(line.from) && plotted.count(line.to));
      const StationNode& from = Session().tables.StationTree[line.from];
      EXPECT_GE(double(from.FramesSent) / double(Session().info.FramesRead), sparse.threshold);
    }
  } else {
    EXPECT_EQ(sparse.plottedCount, senders);
  }
}

TEST_P(PeerMapTest, KeysFilterLines) {
  // Encapsulation: UDP goes in Ethernet II frames (Etype, aqua), the neighbours' frames in
  // LLC (fuchsia).
  const PeerMapLayout all = Map(Station());
  auto count = [](const PeerMapLayout& m, const MapColour& c) {
    return std::count_if(m.lines.begin(), m.lines.end(), [&](const MapLine& l) { return HasColour(l, c); });
  };
  EXPECT_GT(count(all, map_colour::Aqua), 0);
  EXPECT_GT(count(all, map_colour::Fuchsia), 0);
  StationMapInput noEtype = Station();
  noEtype.keyStates[2] = false;  // Key3 "Etype"
  const PeerMapLayout llcOnly = Map(noEtype);
  EXPECT_EQ(count(llcOnly, map_colour::Aqua), 0);
  if (GetParam() < 180) {  // past 180 stations the overflow point makes the two maps hold different stations
    EXPECT_EQ(count(llcOnly, map_colour::Fuchsia), count(all, map_colour::Fuchsia));
  }
  EXPECT_EQ(llcOnly.lines.size(), size_t(count(llcOnly, map_colour::Fuchsia)));

  // Protocol with every key off: the circle alone.
  StationMapInput off = Station();
  off.mode = StationMapMode::Protocol;
  off.keyStates.fill(false);
  const PeerMapLayout empty = Map(off);
  EXPECT_TRUE(empty.lines.empty());
  EXPECT_TRUE(empty.labels.empty());
  off.keyStates[3] = true;  // Key4 "IP": blue lines only, each to or from the server
  const PeerMapLayout ip = Map(off);
  ASSERT_FALSE(ip.lines.empty());
  const int32_t server = Session().tables.StationTree.Find(AddressKey::From(StationMac(0).data(), 6));
  for (const MapLine& l : ip.lines) {
    EXPECT_EQ(l.colours, std::vector<MapColour>{map_colour::Blue});
    EXPECT_TRUE(l.from == server || l.to == server);
  }

  // The network map: UDP off leaves no IP line; IPX hops add up over both directions.
  NetworkMapInput net;
  net.width = 640;
  net.height = 480;
  EXPECT_FALSE(LayoutNetworkMap(Session(), net, FixedMetrics()).lines.empty());
  net.keyStates[0] = false;  // Key1 "UDP"
  EXPECT_TRUE(LayoutNetworkMap(Session(), net, FixedMetrics()).lines.empty());
  net.keyStates = kAllKeysOn;
  net.mode = NetworkMapMode::IpxHops;
  const PeerMapLayout hops = LayoutNetworkMap(Session(), net, FixedMetrics());
  ASSERT_EQ(hops.lines.size(), 2u);
  for (const MapLine& l : hops.lines) EXPECT_EQ(l.colours, std::vector<MapColour>{hops.keys.keys[10].colour});
  EXPECT_EQ(hops.keys.keys[10].caption, "10+ Hops");
  net.keyStates[10] = false;
  EXPECT_TRUE(LayoutNetworkMap(Session(), net, FixedMetrics()).lines.empty());
}

TEST_P(PeerMapTest, HeavyLinksDrawWider) {
  // The server's answers to everybody are its own frames; each client's share is small.
  for (const MapLine& l : Map(Station()).lines) {
    const double share = double(l.frames) / double(Session().info.FramesRead);
    EXPECT_EQ(l.width, share > 0.2 ? 3 : share > 0.1 ? 2 : 1) << l.frames;
  }
}

TEST_P(PeerMapTest, LabelsNeverCoverPoints) {
  for (auto [w, h] : {std::pair{640.0, 480.0}, {300.0, 250.0}, {1400.0, 1000.0}}) {
    for (StationMapMode mode : {StationMapMode::Errors, StationMapMode::Encapsulation, StationMapMode::Protocol}) {
      StationMapInput in = Station(w, h);
      in.mode = mode;
      const PeerMapLayout m = Map(in);
      for (const MapLabel& label : m.labels) {
        EXPECT_GE(label.rect.left, 0) << w;
        EXPECT_LE(label.rect.left + label.rect.width, w) << w;
        for (const MapLabel& other : m.labels) {
          const MapRect dot{other.pointX - other.dotRadius, other.pointY - other.dotRadius, 2 * other.dotRadius,
                            2 * other.dotRadius};
          EXPECT_FALSE(label.rect.Intersects(dot))
              << label.text << " covers the point of " << other.text << " at " << w << "x" << h;
        }
      }
    }
  }
}

TEST_P(PeerMapTest, ClickOnALabelFindsItsRow) {
  const PeerMapLayout m = Map(Station());
  const std::vector<StationStatsRow> rows = BuildStationStats(Session());
  size_t senders = 0;
  for (size_t i = 0; i < m.labels.size(); ++i) {
    const MapLabel& label = m.labels[i];
    if (!label.sender) {
      EXPECT_FALSE(m.SenderLabelAt(label.rect.left + 1, label.rect.top + 1) == i);
      continue;
    }
    ++senders;
    // Somewhere on the label (labels of a dense map overlap a little) a click finds it.
    std::optional<size_t> hit;
    for (double y = label.rect.top; y < label.rect.top + label.rect.height && hit != i; y += 1)
      hit = m.SenderLabelAt(label.rect.left + label.rect.width / 2, y);
    ASSERT_EQ(hit, i) << label.text;
    auto row = std::find_if(rows.begin(), rows.end(), [&](const StationStatsRow& r) { return r.station == label.station; });
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(row->cells[0], label.text);
  }
  EXPECT_EQ(senders, size_t(std::min(GetParam(), 179)));
  EXPECT_FALSE(m.SenderLabelAt(m.centreX, m.centreY).has_value());
}

TEST_P(PeerMapTest, SmallFramesNeverPlotASender) {
  TraceSession& session = *sessions_.at(GetParam());
  StationNode& client = session.tables.StationTree[session.tables.StationTree.Find(AddressKey::From(StationMac(1).data(), 6))];
  const int64_t bytes = client.BytesSent;
  client.BytesSent = client.FramesSent * 17 + client.FramesSent - 1;  // 17 bytes a frame on average
  const PeerMapLayout m = Map(Station());
  client.BytesSent = bytes;
  for (const MapLine& l : m.lines) EXPECT_NE(l.from, session.tables.StationTree.Find(client.Address));
}

INSTANTIATE_TEST_SUITE_P(Senders, PeerMapTest, ::testing::Values(5, 21, 200));

TEST(ColumnOrderFile, RoundTripsAndFallsBack) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("korvane-columns-" + std::to_string(::getpid()) + ".ini")).string();
  IniFileStore file;
  WriteColumnOrder(file, kStationColumnSection, {11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  WriteColumnOrder(file, kNetworkColumnSection, {9, 8, 7, 6, 5, 4, 3, 2, 1});
  ASSERT_TRUE(file.Save(path));
  IniFileStore back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(ReadColumnOrder(back, kStationColumnSection, kStationStatsColumns),
            (std::vector<int>{11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(ReadColumnOrder(back, kNetworkColumnSection, kNetworkStatsColumns),
            (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  // Written by hand, without quotes; ten numbers for the station table are not its order.
  back.Parse("[StationStats]\nColumnOrder=2,1,3,4,5,6,7,8,9,10\n[NetworkStatisticsForm]\nColumnOrder=2,1,3,4,5,6,7,8,9\n");
  EXPECT_EQ(ReadColumnOrder(back, kStationColumnSection, kStationStatsColumns),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(ReadColumnOrder(back, kNetworkColumnSection, kNetworkStatsColumns),
            (std::vector<int>{2, 1, 3, 4, 5, 6, 7, 8, 9}));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace korvane
