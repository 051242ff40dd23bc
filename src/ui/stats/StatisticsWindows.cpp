#include "ui/stats/StatisticsWindows.h"

#include "reports/TipWizard.h"
#include "ui/main/MainForm.h"
#include "ui/stats/NetworkStatistics.h"
#include "ui/stats/StnStats.h"
#include "ui/tools/SeravoToolboxForm.h"

namespace korvane {

StatisticsWindows AttachStatisticsWindows(TMainForm& form, KeyValueStore& settings, const std::string& columnOrderFile,
                                          TSeravoToolboxForm* toolbox) {
  StatisticsWindows windows;
  windows.station = new TStationStats(form.Session(), settings, columnOrderFile, &form);
  windows.network = new TNetworkStatisticsForm(form.Session(), settings, columnOrderFile, &form);
  QObject::connect(&form, &TMainForm::StationStatisticsRequested, windows.station, &TStationStats::ShowWindow);
  QObject::connect(&form, &TMainForm::NetworkStatisticsRequested, windows.network,
                   &TNetworkStatisticsForm::ShowWindow);
  for (TStatisticsWindow* w : {static_cast<TStatisticsWindow*>(windows.station),
                               static_cast<TStatisticsWindow*>(windows.network)}) {
    QObject::connect(&form, &TMainForm::PagesCleared, w, &TStatisticsWindow::TraceClosing);
    QObject::connect(w, &TStatisticsWindow::Hidden, &form, [&form] { form.RestoreTips(); });
  }
  // The Tip Wizard speaks of the window the user has just opened.
  const auto tips = [](const std::vector<int>& set) { return QList<int>(set.begin(), set.end()); };
  QObject::connect(&form, &TMainForm::StationStatisticsRequested, &form,
                   [&form, tips] { form.SetTips(tips(tipset::StationStatistics)); });
  QObject::connect(&form, &TMainForm::NetworkStatisticsRequested, &form,
                   [&form, tips] { form.SetTips(tips(tipset::NetworkStatistics)); });
  if (toolbox)
    QObject::connect(windows.network, &TNetworkStatisticsForm::ToolboxPairRequested, toolbox,
                     &TSeravoToolboxForm::ShowForPair);
  return windows;
}

}  // namespace korvane
