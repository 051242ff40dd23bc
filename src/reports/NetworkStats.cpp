#include "reports/NetworkStats.h"

#include <algorithm>

#include "reports/Formatters.h"
#include "reports/StationStats.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, kNetworkStatsColumns> kHeadings = {
    "Network Address", "Protocols", "Dests",    "Snd+Rcv Pkts", "Snd+Rcv Bytes",
    "Utilization",     "Ave Send",  "Ave Recv", "Pkt Ratio"};

constexpr size_t kMapLabelLimit = 26;

}  // namespace

const std::array<std::string_view, kNetworkStatsColumns>& NetworkStatsHeadings() { return kHeadings; }

bool IsStationOf(const NetStationNode& station, NetProtocol protocol) {
  return station.Address.length == (protocol == NetProtocol::Ip ? 4 : 10);
}

std::string NetStationDisplayName(const TraceSession& session, const NetStationNode& station,
                                  const NetworkNameOptions& options) {
  if (options.smartNames) {
    if (const std::string* name = session.tables.Names.Find(station.Address)) return *name;
  }
  if (station.Address.length == 10) return IpxAddressText(station.Address, options.ipxNodeByOui, false, session.vendors);
  return IpText(station.Address);
}

std::string NetworkMapLabel(const std::string& displayName) {
  if (displayName.size() <= kMapLabelLimit) return displayName;
  return displayName.substr(0, kMapLabelLimit) + "...";
}

std::string DlcAddressMenuText(const TraceSession& session, const NetStationNode& station) {
  const auto& tree = session.tables.StationTree;
  if (station.MacStation < 0 || size_t(station.MacStation) >= tree.size()) return "No DLC Address";
  const StationNode& mac = tree[station.MacStation];
  std::string hex = MacText(mac.Address);
  std::string_view vendor = session.vendors.Name(mac.VendorIndex);
  if (mac.VendorIndex != 0 && !vendor.empty()) return "DLC Address is " + std::string(vendor) + hex.substr(6);
  return "DLC Address is " + hex;
}

std::vector<NetworkStatsRow> BuildNetworkStats(const TraceSession& session, NetProtocol protocol,
                                               const NetworkNameOptions& options) {
  const AnalysisTables& t = session.tables;
  std::vector<NetworkStatsRow> rows;
  for (int32_t i : t.NetStationTree.InOrder()) {
    const NetStationNode& n = t.NetStationTree[i];
    if ((n.Role & 1) == 0 || !IsStationOf(n, protocol)) continue;
    NetworkStatsRow row;
    row.station = i;
    row.address = n.Address;
    row.cells[0] = NetStationDisplayName(session, n, options);
    for (int k = 0; k < kTransportKindCount; ++k) {
      if ((n.TransportKinds & (1u << k)) == 0) continue;
      if (!row.cells[1].empty()) row.cells[1] += ',';
      row.cells[1] += TransportKindName(uint8_t(k));
    }
    int64_t dests = 0;
    for (int32_t p = n.FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next) ++dests;
    row.cells[2] = CountText(dests);
    row.cells[3] = CountText(n.FramesSent + n.FramesReceived);
    row.cells[4] = CountText(n.BytesSent + n.BytesReceived);
    row.cells[5] = stats_text::Utilisation(n.FramesSent, n.BytesSent, session.info.TopologyCode, t);
    row.cells[6] = stats_text::Average(n.BytesSent, n.FramesSent);
    row.cells[7] = stats_text::Average(n.BytesReceived, n.FramesReceived);
    row.cells[8] = RatioText(n.FramesSent, n.FramesReceived);
    rows.push_back(std::move(row));
  }
  return rows;
}

void SortNetworkRows(std::vector<NetworkStatsRow>& rows, int column, bool ascending) {
  if (column < 0 || column >= kNetworkStatsColumns) return;
  stats_text::SortRows(rows, size_t(column), column <= 1 || column == 8, ascending);
}

}  // namespace korvane
