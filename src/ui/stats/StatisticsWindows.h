// The Station and Network windows joined to the main window: its Station and Network
// buttons show them, and a trace about to be read (or closed) closes them until they are
// next shown, rebuilt. The desktop program and the GUI tests join them alike.
#pragma once
#include <string>

namespace korvane {

class KeyValueStore;
class TMainForm;
class TNetworkStatisticsForm;
class TStationStats;

struct StatisticsWindows {
  TStationStats* station = nullptr;
  TNetworkStatisticsForm* network = nullptr;
};

// The windows belong to the main window. Placement is kept in `settings`, the tables'
// column order in the INI file at columnOrderFile.
StatisticsWindows AttachStatisticsWindows(TMainForm& form, KeyValueStore& settings, const std::string& columnOrderFile);

}  // namespace korvane
