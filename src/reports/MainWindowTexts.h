// Texts of the main window that follow from the open trace: the caption, the Open dialog's
// file types, the Default Bandwidth options and the Reopen captions.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// "Korvane Seravo (tm) ", followed by " - " + the file-name part + suffix while a file is open.
std::string MainCaption(const std::string& currentFileName, std::string_view suffix = {});
inline constexpr std::string_view kSlicedPacketsSuffix = " (contains sliced packets)";

struct TraceFileInfo;
// The caption's suffix for a read trace: sliced packets, and whether the read ended early
// (" [partially read]" when stopped, " [cut short at frame N]" when the file ended inside
// a record or failed to read), so that a partial trace stays marked after its read.
std::string TraceCaptionSuffix(const TraceFileInfo& info);

// One entry of the Open dialog's file-type list: its description and its patterns,
// separated by ";" as the description shows them ("*.pkt; *.tpc").
struct FileTypeFilter {
  std::string description;
  std::string patterns;
};
// "Any Trace File" first, one entry per accepted format, then the sample trace files and
// "Any File".
std::vector<FileTypeFilter> OpenDialogFileTypes();
// The list as one filter text: description|patterns|description|patterns...
std::string OpenDialogFilter();

// The Default Bandwidth options: three by topology, the fourth the speed the file records.
struct BandwidthOption {
  std::string caption;
  int32_t mbps = 0;
  bool visible = true;
};
std::array<BandwidthOption, 4> BandwidthOptions(uint8_t topologyCode, int64_t fileBandwidthKnown,
                                                int64_t fileBandwidthBps);
// The option (0..2) that a trace read at this speed checks; -1 for none.
int CheckedBandwidthOption(uint8_t topologyCode, int32_t analysedLineSpeedMbps);

// "&" + (index + 1) + " " + the entry, for Reopen entries 0..7.
std::string RecentFileCaption(size_t index, const std::string& entry);

}  // namespace korvane
