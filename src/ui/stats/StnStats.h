// The "Station" window: the MAC stations of the trace on a peer map, coloured by errors,
// encapsulation or protocol, and in the station statistics table.
#pragma once
#include "ui/stats/StatisticsWindow.h"

namespace korvane {

class TStationStats : public TStatisticsWindow {
  Q_OBJECT
 public:
  TStationStats(const TraceSession& session, KeyValueStore& settings, std::string columnOrderFile,
                QWidget* parent = nullptr);

 protected:
  std::vector<Row> BuildRows(bool smartNames, bool oui) const override;
  bool TextColumn(int column) const override;
  int BytesColumn() const override { return 5; }
  PeerMapLayout LayoutMap(double width, double height, const MapTextMetrics& metrics) const override;
  MapKeySet KeysOf(int mode) const override;
  std::vector<std::string> Headings() const override;
  std::vector<std::pair<int32_t, std::string>> Senders() const override;
  size_t NodeCount() const override;
  void Activated() override;
};

}  // namespace korvane
