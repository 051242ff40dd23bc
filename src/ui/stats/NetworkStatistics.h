// The "Network" window: the IP or the IPX stations of the trace on a peer map, coloured by
// transport or by hop count, and in the network statistics table. A sender's menu hands
// it and its busiest partner on the map to the conversation toolbox.
#pragma once
#include "ui/stats/StatisticsWindow.h"

namespace korvane {

class TNetworkStatisticsForm : public TStatisticsWindow {
  Q_OBJECT
 public:
  TNetworkStatisticsForm(const TraceSession& session, KeyValueStore& settings, std::string columnOrderFile,
                         QWidget* parent = nullptr);

  QAction* ToolboxAction() const { return toolboxAction_; }
  QAction* DlcAction() const { return dlcAction_; }
  // "&Seravo ToolBox": the clicked station and its partner to the toolbox, when there is one.
  void Analyze1Click();

 signals:
  // The toolbox is asked to show the conversation from one network station to another.
  void ToolboxPairRequested(const korvane::AddressKey& sourceStation, const korvane::AddressKey& destStation);

 protected:
  std::vector<Row> BuildRows(bool smartNames, bool oui) const override;
  bool TextColumn(int column) const override;
  int BytesColumn() const override { return 4; }
  PeerMapLayout LayoutMap(double width, double height, const MapTextMetrics& metrics) const override;
  MapKeySet KeysOf(int mode) const override;
  std::vector<std::string> Headings() const override;
  std::vector<std::pair<int32_t, std::string>> Senders() const override;
  size_t NodeCount() const override;
  void PrepareMenu(int32_t station) override;
  void Activated() override;
  void ModeChanged() override;

 private:
  NetProtocol Protocol() const;

  QAction* toolboxAction_ = nullptr;
  QAction* dlcAction_ = nullptr;
  NetProtocol rowsProtocol_ = NetProtocol::Ip;
};

}  // namespace korvane
