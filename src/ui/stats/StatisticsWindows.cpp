#include "ui/stats/StatisticsWindows.h"

#include "ui/main/MainForm.h"
#include "ui/stats/NetworkStatistics.h"
#include "ui/stats/StnStats.h"

namespace korvane {

StatisticsWindows AttachStatisticsWindows(TMainForm& form, KeyValueStore& settings, const std::string& columnOrderFile) {
  StatisticsWindows windows;
  windows.station = new TStationStats(form.Session(), settings, columnOrderFile, &form);
  windows.network = new TNetworkStatisticsForm(form.Session(), settings, columnOrderFile, &form);
  QObject::connect(&form, &TMainForm::StationStatisticsRequested, windows.station, &TStationStats::ShowWindow);
  QObject::connect(&form, &TMainForm::NetworkStatisticsRequested, windows.network,
                   &TNetworkStatisticsForm::ShowWindow);
  for (TStatisticsWindow* w : {static_cast<TStatisticsWindow*>(windows.station),
                               static_cast<TStatisticsWindow*>(windows.network)})
    QObject::connect(&form, &TMainForm::TraceClosing, w, &TStatisticsWindow::TraceClosing);
  return windows;
}

}  // namespace korvane
