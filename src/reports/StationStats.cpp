#include "reports/StationStats.h"

#include <algorithm>

#include "input/TraceTypes.h"
#include "reports/Formatters.h"
#include "settings/IniFileStore.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, kStationStatsColumns> kHeadings = {
    "Source Address", "Encapsulation", "Protocols", "Dests",    "Snd+Rcv Pkts", "Snd+Rcv Bytes",
    "Utilization",    "Ave Send",      "Ave Recv",  "Bdcasts", "Pkt Ratio"};

struct GroupName {
  const char* hex;
  const char* name;
};
constexpr std::array<GroupName, 6> kMapNames = {{
    {"0180C2000000", "Bridge Group"},
    {"030000000001", "NetBIOS"},
    {"C00000000002", "Ring Param Svr"},
    {"C00000000008", "Ring Err Mon"},
    {"C00000000010", "Ring Config Svr"},
    {"C000FFFFFFFF", "Ring Broadcast"},
}};

}  // namespace

namespace stats_text {

std::string Utilisation(int64_t framesSent, int64_t bytesSent, uint8_t topologyCode, const AnalysisTables& tables) {
  const int64_t overhead = topologyCode == topology::TokenRing ? 1 : 20;
  double percent = 0;
  if (tables.MediaCapacity > 0 && tables.IntervalCount > 0)
    percent = double(framesSent * overhead + bytesSent) * 100.0 / double(tables.MediaCapacity) /
              double(tables.IntervalCount);
  return PointText(percent, 2, 3) + "%";
}

std::string Average(int64_t bytes, int64_t frames) { return frames > 0 ? CountText(bytes / frames) : "0"; }



}  // namespace stats_text

const std::array<std::string_view, kStationStatsColumns>& StationStatsHeadings() { return kHeadings; }

std::string StationDisplayName(const TraceSession& session, const StationNode& station,
                               const StationNameOptions& options) {
  if (options.smartNames) {
    if (const std::string* name = session.tables.Names.Find(station.Address)) return *name;
  }
  std::string hex = MacText(station.Address);
  if (options.showOui && station.VendorIndex != 0) {
    std::string_view vendor = session.vendors.Name(station.VendorIndex);
    if (!vendor.empty()) return std::string(vendor) + hex.substr(6);
  }
  return hex;
}

std::string StationMapLabel(const TraceSession& session, const StationNode& station,
                            const StationNameOptions& options) {
  const std::string hex = MacText(station.Address);
  for (const GroupName& g : kMapNames)
    if (hex == g.hex) return g.name;
  return StationDisplayName(session, station, options);
}

std::vector<StationStatsRow> BuildStationStats(const TraceSession& session, const StationNameOptions& options) {
  const AnalysisTables& t = session.tables;
  std::vector<StationStatsRow> rows;
  rows.reserve(size_t(std::max<int64_t>(t.SendingStationCount, 0)));
  for (int32_t i : t.StationTree.InOrder()) {
    const StationNode& n = t.StationTree[i];
    if ((n.Role & 1) == 0) continue;
    StationStatsRow row;
    row.station = i;
    row.address = n.Address;
    row.cells[0] = StationDisplayName(session, n, options);
    for (int e = 0; e < kEncapsulationCount; ++e) {
      if ((n.Encapsulations & (1u << e)) == 0) continue;
      if (!row.cells[1].empty()) row.cells[1] += ',';
      row.cells[1] += EncapsulationName(uint8_t(e));
    }
    for (int c = 0; c < kProtocolCategoryCount; ++c) {
      if ((n.Categories & (1u << c)) == 0) continue;
      if (!row.cells[2].empty()) row.cells[2] += ',';
      row.cells[2] += ProtocolCategoryName(uint8_t(c));
    }
    int64_t dests = 0;
    for (int32_t p = n.FirstDlcPeer; p >= 0; p = t.DlcPeers[size_t(p)].Next) ++dests;
    row.cells[3] = CountText(dests);
    row.cells[4] = CountText(n.FramesSent + n.FramesReceived);
    row.cells[5] = CountText(n.BytesSent + n.BytesReceived);
    row.cells[6] = stats_text::Utilisation(n.FramesSent, n.BytesSent, session.info.TopologyCode, t);
    row.cells[7] = stats_text::Average(n.BytesSent, n.FramesSent);
    row.cells[8] = stats_text::Average(n.BytesReceived, n.FramesReceived);
    row.cells[9] = CountText(n.GroupFramesSent);
    row.cells[10] = RatioText(n.FramesSent, n.FramesReceived);
    rows.push_back(std::move(row));
  }
  return rows;
}

void SortStationRows(std::vector<StationStatsRow>& rows, int column, bool ascending) {
  if (column < 0 || column >= kStationStatsColumns) return;
  stats_text::SortRows(rows, size_t(column), column <= 2 || column == 10, ascending);
}

std::vector<int> ParseColumnOrder(std::string_view value, int columns) {
  std::vector<int> fallback(size_t(std::max(columns, 0)));
  for (int i = 0; i < columns; ++i) fallback[size_t(i)] = i + 1;
  std::vector<int> order;
  std::vector<bool> used(size_t(std::max(columns, 0)) + 1, false);
  size_t at = 0;
  while (at <= value.size()) {
    size_t comma = value.find(',', at);
    if (comma == std::string_view::npos) comma = value.size();
    std::string_view field = value.substr(at, comma - at);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    if (field.empty() || field.size() > 6) return fallback;
    int number = 0;
    for (char c : field) {
      if (c < '0' || c > '9') return fallback;
      number = number * 10 + (c - '0');
    }
    if (number < 1 || number > columns || used[size_t(number)]) return fallback;
    used[size_t(number)] = true;
    order.push_back(number);
    at = comma + 1;
  }
  if (int(order.size()) != columns) return fallback;
  return order;
}

std::vector<int> ReadColumnOrder(const KeyValueStore& file, std::string_view section, int columns) {
  return ParseColumnOrder(file.Value(section, "ColumnOrder").value_or(std::string()), columns);
}

void WriteColumnOrder(KeyValueStore& file, std::string_view section, const std::vector<int>& order) {
  std::string text;
  for (int column : order) {
    if (!text.empty()) text += ',';
    text += std::to_string(column);
  }
  file.SetValue(section, "ColumnOrder", text);
}

std::string DefaultColumnOrderFile() {
  std::string path = DefaultSettingsFile();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1) + "Korvane.ini";
}

}  // namespace korvane
