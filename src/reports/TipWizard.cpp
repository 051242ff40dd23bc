#include "reports/TipWizard.h"

#include <algorithm>
#include <array>

namespace korvane {

namespace {
constexpr std::array<std::string_view, kTipCount> kTips = {
    "Right click on the graphic to change its properties.",  // 1
    "Double click on a column to sort it.",  // 2
    "Select a row then right click or click on the Toolbox button to see visual details of that client/server conversation.",  // 3
    "",  // 4
    "Find the worst response times or throughput by sorting in descending order on the respective columns.",  // 5
    "View all conversations with a problem such as \"Slow Network or Server\" by performing a descending sort on that column.",  // 6
    "Find the top users by sorting in descending order on the bytes column.",  // 7
    "Select a series of cells by holding down the left mouse button on a cell and moving down and to the right.",  // 8
    "Click on the copy to clipboard button to copy the selected cells for pasting into your favorite application.",  // 9
    "Too many nodes on a peer map?  Use the \"Select Stations\" button in the statistics to select only certain stations for viewing.",  // 10
    "Click on an item in the key to view or hide that selection.  Use the \"Inv\" to invert all your selections.",  // 11
    "Maximize the Peer Map window for best viewing of up to 180 stations at one time.",  // 12
    "Use an analyzer that can capture error packets for collision fragment analysis.  Capture all packets on a suspect segment.",  // 13
    "Never run with a protocol analyzer.",  // 14
    "Print a snapshot of Korvane windows by selecting one or more active windows to print.",  // 15
    "For extracting data to generate your own reports with Word or Excel, use the Copy to Clipboard button when available.",  // 16
    "Use the \"Files of type\" option to view only analyzer trace files of your choosing.",  // 17
    "Use a wildcard in the \"File name\" to view only certain analyzer file names.",  // 18
    "Use the Packet Scan Range to limit the packets in the Visualizer and limit the packet range for latency and throughput analysis.",  // 19
    "If the Troublelight button is on, click on it to see a summary of the problems associated with this conversation.",  // 20
    "View high, low, and average response times for this conversation by clicking on the Latency button.",  // 21
    "Likewise, view high, low, and average throughput in both directions by clicking on the Race Car button.",  // 22
    "Right click on a station to view detailed statistics for that station.",  // 23
    "Right click on a address to enter the Toolbox for that address or view its statistics.",  // 24
    "Contention is the difference between the Maximum and Average Round Trip and is an indication of how busy resources are such as the network or server.",  // 25
    "The protocol overhead is the bytes in the network layer payload divided by all the bytes up to and including the network layer header.",  // 26
    "Contention is the difference between the Maximum and Average throughput and is an indication of how busy resources are such as the network or server.",  // 27
    "Use the Packet Sample Window to change the number of consecutive packets used to compute the throughput.  A larger window will give results closer to the average.",  // 28
    "Use traces captured from the client segment for accurate client to server & back response time measurements.",  // 29
    "Click on the light bulb to the left to turn off this Tip Wizard.  Use the Help menu to turn back on (or off.)",  // 30
    "When the scrollbar arrows at the right of this box are enabled, there are more tips to view.",  // 31
    "Check the Show Station by OUI to display the upper 6 bytes of a station's address by manufacturer.",  // 32
    "Click on the copy to clipboard button to copy the graphic for pasting into your favorite application.",  // 33
    "For more global statistics about your trace file, try the Packet Size and Protocol Charts or the Protocol Table.",  // 34
    "For peer-to-peer packet transaction details, click on the Client/Server Expert tab or the Toolbox button.",  // 35
    "The \"What If\" analysis is handy for extrapolating performance of the captured LAN application on a WAN.",  // 36
    "Adjust the number of packets to vary the total time to complete the transaction.",  // 37
    "When performing LAN extrapolation, turn off Full Duplex.",  // 38
    "Adjust the Latency value to reflect delay in switches and routers or across a WAN such as frame relay.",  // 39
    "Use Show Measure Latency Using Only Command/Small Response Packets for more accurate measurement of WAN distance and switching delay.",  // 40
    "Use Show Measure Latency Using Only Command/Large Response Packets for more accurate measurement of WAN distance, switching, and bandwidth delay.",  // 41
    "Click on the Source box and use the Up/Down arrow keys to scroll rapidly through the list.",  // 42
    "ProblemFinder setting changes are automatically saved for subsequent analysis sessions.",  // 43
    "When analyzing a new trace for the first time, you may wish to \"Restore All Defaults.\"",  // 44
};
}  // namespace

std::string_view TipText(int number) {
  return number >= 1 && number <= kTipCount ? kTips[size_t(number - 1)] : std::string_view();
}

std::string TipWizardText(const std::vector<int>& tips) {
  std::vector<int> numbers = tips;
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::string text;
  for (int number : numbers) {
    const std::string_view tip = TipText(number);
    if (tip.empty()) continue;
    if (!text.empty()) text += '\n';
    text += "Tip: ";
    text += tip;
  }
  return text;
}

}  // namespace korvane
