// The statistics windows' work on a large LAN: builds tables of many MAC and IP stations
// (every station talks to a server and to a few neighbours), then times the station and
// network tables, a sort on every column, and the peer maps at full and thinned density.
// Usage: korvane-bench-stats [STATIONS] (default 10,000)
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "analysis/FrameAnalyser.h"
#include "reports/PeerMap.h"

using namespace korvane;

namespace {

AddressKey Mac(uint32_t i) {
  const uint8_t b[6] = {0x02, 0, 0, uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)};
  return AddressKey::From(b, 6);
}
AddressKey Ip(uint32_t i) {
  const uint8_t b[4] = {10, uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)};
  return AddressKey::From(b, 4);
}

void Build(TraceSession& s, uint32_t stations) {
  AnalysisTables& t = s.tables;
  int64_t total = 0;
  for (uint32_t i = 0; i < stations; ++i) {
    StationNode& m = t.StationTree[t.StationTree.Insert(Mac(i))];
    NetStationNode& n = t.NetStationTree[t.NetStationTree.Insert(Ip(i))];
    n.MacStation = int32_t(i);
    const int64_t frames = 1 + (i * 7919) % 500;
    m.Role = n.Role = 3;
    m.FramesSent = n.FramesSent = frames;
    m.BytesSent = n.BytesSent = frames * 400;
    m.FramesReceived = n.FramesReceived = frames;
    m.BytesReceived = n.BytesReceived = frames * 300;
    m.Encapsulations = m.SentEncapsulations = 1u << encapsulation::Etype;
    m.Categories = m.SentCategories = 1u << category::Ip;
    n.TransportKinds = n.SentTransportKinds = 1u << transport::Tcp;
    n.Category = category::Ip;
    total += frames;
  }
  for (uint32_t i = 0; i < stations; ++i) {
    for (uint32_t to : {0u, (i + 1) % stations, (i + 7) % stations}) {
      if (to == i) continue;
      TDLCPeer d;
      d.DestAddress = Mac(to);
      d.Encapsulations = 1u << encapsulation::Etype;
      d.Categories = 1u << category::Ip;
      d.FrameConditions = 1u << 3;
      d.Frames = t.StationTree[int32_t(i)].FramesSent / 3;
      d.FramesByEncapsulation[encapsulation::Etype] = d.Frames;
      d.FramesByCategory[category::Ip] = d.Frames;
      d.Next = t.StationTree[int32_t(i)].FirstDlcPeer;
      t.StationTree[int32_t(i)].FirstDlcPeer = int32_t(t.DlcPeers.size());
      t.DlcPeers.push_back(d);
      TNetPeer p;
      p.DestAddress = Ip(to);
      p.TransportKinds = 1u << transport::Tcp;
      p.Frames = d.Frames;
      p.FramesByKind[transport::Tcp] = d.Frames;
      p.Next = t.NetStationTree[int32_t(i)].FirstNetPeer;
      t.NetStationTree[int32_t(i)].FirstNetPeer = int32_t(t.NetPeers.size());
      t.NetPeers.push_back(p);
    }
  }
  t.StationCount = t.SendingStationCount = t.IpStationCount = t.IpSenderCount = stations;
  t.IntervalCount = 60;
  s.info.FramesRead = total;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t stations = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 10000;
  auto session = std::make_unique<TraceSession>();
  Build(*session, std::max<uint32_t>(stations, 2));
  const MapTextMetrics metrics{[](std::string_view text, int points) { return double(text.size()) * points * 0.75; },
                               [](int points) { return points * 1.5 + 1; }};

  auto start = std::chrono::steady_clock::now();
  std::vector<StationStatsRow> rows = BuildStationStats(*session);
  std::printf("station table rows    %zu in %.1f ms\n", rows.size(), Since(start));
  double slowest = 0;
  for (int column = 0; column < kStationStatsColumns; ++column) {
    start = std::chrono::steady_clock::now();
    SortStationRows(rows, column, column % 2 == 0);
    slowest = std::max(slowest, Since(start));
  }
  std::printf("slowest column sort   %.1f ms\n", slowest);
  start = std::chrono::steady_clock::now();
  std::vector<NetworkStatsRow> net = BuildNetworkStats(*session, NetProtocol::Ip);
  std::printf("network table rows    %zu in %.1f ms\n", net.size(), Since(start));

  for (int position : {kDensityMaximum, 1}) {
    StationMapInput in;
    in.width = 1000;
    in.height = 700;
    in.densityPosition = position;
    start = std::chrono::steady_clock::now();
    const PeerMapLayout map = LayoutStationMap(*session, in, metrics);
    std::printf("station map, bar %2d   %lld stations, %zu lines in %.1f ms\n", position,
                static_cast<long long>(map.plottedCount), map.lines.size(), Since(start));
    NetworkMapInput nin;
    nin.width = 1000;
    nin.height = 700;
    nin.densityPosition = position;
    start = std::chrono::steady_clock::now();
    const PeerMapLayout netMap = LayoutNetworkMap(*session, nin, metrics);
    std::printf("network map, bar %2d   %lld stations, %zu lines in %.1f ms\n", position,
                static_cast<long long>(netMap.plottedCount), netMap.lines.size(), Since(start));
  }
  return 0;
}
