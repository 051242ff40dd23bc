// The Station and Network windows joined to the main window: its Station and Network
// buttons show them, and a trace about to be read (or closed) closes them until they are
// next shown, rebuilt. The desktop program and the GUI tests join them alike.
#pragma once
#include <string>

namespace korvane {

class KeyValueStore;
class TMainForm;
class TNetworkStatisticsForm;
class TSeravoToolboxForm;
class TStationStats;

struct StatisticsWindows {
  TStationStats* station = nullptr;
  TNetworkStatisticsForm* network = nullptr;
};

// The windows belong to the main window. Placement is kept in `settings`, the tables'
// column order in the INI file at columnOrderFile. The Network window's "&Seravo ToolBox"
// item shows the toolbox on the pair (without a toolbox it says that the window comes later).
StatisticsWindows AttachStatisticsWindows(TMainForm& form, KeyValueStore& settings, const std::string& columnOrderFile,
                                          TSeravoToolboxForm* toolbox = nullptr);

}  // namespace korvane
