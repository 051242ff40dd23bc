#include "ui/stats/NetworkStatistics.h"

#include <QAction>
#include <QMenu>
#include <QMetaMethod>
#include <QRadioButton>

#include "analysis/TraceSession.h"
#include "reports/NetworkStats.h"
#include "ui/controls/MessageSink.h"
#include "ui/stats/PeerMapView.h"

namespace korvane {

namespace {
constexpr TStatisticsWindow::Texts kTexts = {
    "NetworkStatisticsForm", "Network - ", "NetworkStatisticsForm", "Protocol", {"IP", "IPX", "IPX-Hops"},
    "Show IPX OUI",          "Show IPX Node by OUI"};
}  // namespace

TNetworkStatisticsForm::TNetworkStatisticsForm(const TraceSession& session, KeyValueStore& settings,
                                               std::string columnOrderFile, QWidget* parent)
    : TStatisticsWindow(kTexts, session, settings, std::move(columnOrderFile), parent) {
  toolboxAction_ = menu_->addAction(tr("&Seravo ToolBox"), this, &TNetworkStatisticsForm::Analyze1Click);
  menu_->addSeparator();
  dlcAction_ = menu_->addAction(QStringLiteral("DLC = "));
  dlcAction_->setEnabled(false);
  Initialise();
}

NetProtocol TNetworkStatisticsForm::Protocol() const { return Mode() == 0 ? NetProtocol::Ip : NetProtocol::Ipx; }

std::vector<TStatisticsWindow::Row> TNetworkStatisticsForm::BuildRows(bool smartNames, bool oui) const {
  std::vector<Row> rows;
  for (NetworkStatsRow& r : BuildNetworkStats(session_, Protocol(), {smartNames, oui}))
    rows.push_back({r.station, std::vector<std::string>(r.cells.begin(), r.cells.end())});
  return rows;
}

bool TNetworkStatisticsForm::TextColumn(int column) const { return column <= 1 || column == 8; }

PeerMapLayout TNetworkStatisticsForm::LayoutMap(double width, double height, const MapTextMetrics& metrics) const {
  NetworkMapInput in;
  in.mode = NetworkMapMode(Mode());
  in.destinations = Destinations();
  in.densityPosition = DensityPosition();
  in.keyStates = KeyStates();
  in.selected = &selected_;
  MapNames(in.names.smartNames, in.names.ipxNodeByOui);
  in.width = width;
  in.height = height;
  return LayoutNetworkMap(session_, in, metrics);
}

MapKeySet TNetworkStatisticsForm::KeysOf(int mode) const { return NetworkMapKeys(NetworkMapMode(mode)); }

std::vector<std::string> TNetworkStatisticsForm::Headings() const {
  const auto& h = NetworkStatsHeadings();
  return {h.begin(), h.end()};
}

std::vector<std::pair<int32_t, std::string>> TNetworkStatisticsForm::Senders() const {
  std::vector<std::pair<int32_t, std::string>> senders;
  NetworkNameOptions names;
  MapNames(names.smartNames, names.ipxNodeByOui);
  const auto& tree = session_.tables.NetStationTree;
  for (int32_t i : tree.InOrder())
    if ((tree[i].Role & 1) && IsStationOf(tree[i], Protocol()))
      senders.emplace_back(i, NetStationDisplayName(session_, tree[i], names));
  return senders;
}

size_t TNetworkStatisticsForm::NodeCount() const { return session_.tables.NetStationTree.size(); }

void TNetworkStatisticsForm::Activated() {
  // A trace without IP stations opens on its IPX stations.
  const bool ip = session_.tables.IpStationCount > 0 || session_.tables.IpxStationCount == 0;
  ModeButton(ip ? 0 : 1)->setChecked(true);
  rowsProtocol_ = Protocol();
}

void TNetworkStatisticsForm::ModeChanged() {
  if (Protocol() == rowsProtocol_) return;
  rowsProtocol_ = Protocol();
  UpdateStnGrid();
}

void TNetworkStatisticsForm::PrepareMenu(int32_t station) {
  dlcAction_->setText(QString::fromStdString(DlcAddressMenuText(session_, session_.tables.NetStationTree[station])));
}

void TNetworkStatisticsForm::Analyze1Click() {
  if (!clickedStation_) return;
  const auto& t = session_.tables;
  const NetStationNode& source = t.NetStationTree[*clickedStation_];
  // The partner: the busiest line from the station on the map, else its first destination.
  std::optional<AddressKey> partner;
  int64_t most = -1;
  for (const MapLine& line : map_->Layout().lines) {
    if (line.from != *clickedStation_ || line.frames <= most) continue;
    most = line.frames;
    partner = t.NetStationTree[line.to].Address;
  }
  if (!partner && source.FirstNetPeer >= 0) partner = t.NetPeers[size_t(source.FirstNetPeer)].DestAddress;
  const QString title = tr("Korvane - Seravo ToolBox");
  if (!partner) {
    Messages().Show(this, title, tr("The station has no partner to analyse."), MessageIcon::Information);
    return;
  }
  if (!isSignalConnected(QMetaMethod::fromSignal(&TNetworkStatisticsForm::ToolboxPairRequested))) {
    Messages().Show(this, title, tr("This window comes with a later version of Korvane."), MessageIcon::Information);
    return;
  }
  emit ToolboxPairRequested(source.Address, *partner);
}

}  // namespace korvane
