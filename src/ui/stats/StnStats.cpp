#include "ui/stats/StnStats.h"

#include <QRadioButton>

#include "analysis/TraceSession.h"
#include "reports/StationStats.h"

namespace korvane {

namespace {
constexpr TStatisticsWindow::Texts kTexts = {
    "StationStats", "Station - ", "StationStats", "Identification", {"Errors", "Encapsulation", "Protocol"},
    "Show OUI",     "Show OUI"};
}  // namespace

TStationStats::TStationStats(const TraceSession& session, KeyValueStore& settings, std::string columnOrderFile,
                             QWidget* parent)
    : TStatisticsWindow(kTexts, session, settings, std::move(columnOrderFile), parent) {
  Initialise();
}

std::vector<TStatisticsWindow::Row> TStationStats::BuildRows(bool smartNames, bool oui) const {
  std::vector<Row> rows;
  for (StationStatsRow& r : BuildStationStats(session_, {smartNames, oui}))
    rows.push_back({r.station, std::vector<std::string>(r.cells.begin(), r.cells.end())});
  return rows;
}

bool TStationStats::TextColumn(int column) const { return column <= 2 || column == 10; }

PeerMapLayout TStationStats::LayoutMap(double width, double height, const MapTextMetrics& metrics) const {
  StationMapInput in;
  in.mode = StationMapMode(Mode());
  in.destinations = Destinations();
  in.densityPosition = DensityPosition();
  in.keyStates = KeyStates();
  in.selected = &selected_;
  MapNames(in.names.smartNames, in.names.showOui);
  in.width = width;
  in.height = height;
  return LayoutStationMap(session_, in, metrics);
}

MapKeySet TStationStats::KeysOf(int mode) const { return StationMapKeys(StationMapMode(mode), session_.info.TopologyCode); }

std::vector<std::string> TStationStats::Headings() const {
  const auto& h = StationStatsHeadings();
  return {h.begin(), h.end()};
}

std::vector<std::pair<int32_t, std::string>> TStationStats::Senders() const {
  std::vector<std::pair<int32_t, std::string>> senders;
  StationNameOptions names;
  MapNames(names.smartNames, names.showOui);
  const auto& tree = session_.tables.StationTree;
  for (int32_t i : tree.InOrder())
    if (tree[i].Role & 1) senders.emplace_back(i, StationDisplayName(session_, tree[i], names));
  return senders;
}

size_t TStationStats::NodeCount() const { return session_.tables.StationTree.size(); }

void TStationStats::Activated() {
  SetModeCaption(0, session_.info.TopologyCode == topology::TokenRing ? tr("None") : tr("Errors"));
}

}  // namespace korvane
