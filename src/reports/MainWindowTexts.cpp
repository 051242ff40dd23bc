#include "reports/MainWindowTexts.h"

#include "input/TraceTypes.h"
#include "reports/Formatters.h"
#include "reports/OpenTrace.h"

namespace korvane {

std::string MainCaption(const std::string& currentFileName, std::string_view suffix) {
  std::string caption = "Korvane Seravo (tm) ";
  if (!currentFileName.empty()) {
    caption += " - ";
    caption += FileNamePart(currentFileName);
    caption += suffix;
  }
  return caption;
}

std::string TraceCaptionSuffix(const TraceFileInfo& info) {
  std::string suffix(info.SlicedPacketsSeen ? kSlicedPacketsSuffix : std::string_view());
  if (info.CutShort) suffix += " [cut short at frame " + CountText(info.CutAtFrame) + "]";
  else if (info.StopRequested) suffix += " [partially read]";
  return suffix;
}

namespace {
// "*." + the part of an extension after its first ".".
std::string Pattern(const std::string& extension) {
  const size_t dot = extension.find('.');
  return "*." + (dot == std::string::npos ? extension : extension.substr(dot + 1));
}

// The patterns of one format, in the order the list gives them.
std::vector<std::string> FormatPatterns(TraceFormat f) {
  std::vector<std::string> patterns;
  for (const std::string& extension : OpenedExtensions(f)) patterns.push_back(Pattern(extension));
  return patterns;
}
}  // namespace

std::vector<FileTypeFilter> OpenDialogFileTypes() {
  std::vector<FileTypeFilter> formats;
  std::string all;
  for (TraceFormat f = 0; f <= fmt_id::Empty; ++f) {
    if (!IsAcceptedFormat(f) || f == fmt_id::AsciiText) continue;
    std::string joined;
    for (const std::string& pattern : FormatPatterns(f)) {
      // Each pattern once in the list of every trace type.
      if ((";" + all).find(";" + pattern + ";") == std::string::npos) all += pattern + ";";
      joined += (joined.empty() ? "" : "; ") + pattern;
    }
    formats.push_back({std::string(FormatDisplayName(f)), joined});
  }
  std::vector<FileTypeFilter> list{{"Any Trace File", all + "*.kvd;"}};
  for (FileTypeFilter& format : formats)
    list.push_back({format.description + " (" + format.patterns + ")", format.patterns});
  list.push_back({"Sample Trace File (*.kvd)", "*.kvd"});
  // Every file, with or without an extension.
  list.push_back({"All files (*)", "*"});
  return list;
}

std::string OpenDialogFilter() {
  std::string filter;
  for (const FileTypeFilter& type : OpenDialogFileTypes()) {
    if (!filter.empty()) filter += '|';
    filter += type.description + "|" + type.patterns;
  }
  return filter;
}

std::array<BandwidthOption, 4> BandwidthOptions(uint8_t topologyCode, int64_t fileBandwidthKnown,
                                                int64_t fileBandwidthBps) {
  std::array<BandwidthOption, 4> options;
  const bool tokenRing = topologyCode == topology::TokenRing;
  const std::array<int32_t, 3> speeds = tokenRing ? std::array<int32_t, 3>{4, 16, 100}
                                                  : std::array<int32_t, 3>{10, 100, 1000};
  for (size_t i = 0; i < speeds.size(); ++i)
    options[i] = {std::to_string(speeds[i]) + " Mbps", speeds[i], true};
  if (fileBandwidthKnown != 0) {
    const int64_t mbps = fileBandwidthBps / 1000000;
    options[3] = {"Source File (" + std::to_string(mbps) + " Mbps)", int32_t(mbps), true};
  } else {
    options[3] = {"", 0, false};
  }
  return options;
}

int CheckedBandwidthOption(uint8_t topologyCode, int32_t analysedLineSpeedMbps) {
  if (topologyCode != topology::Ethernet && topologyCode != topology::TokenRing) return -1;
  const auto options = BandwidthOptions(topologyCode, 0, 0);
  for (int i = 0; i < 3; ++i)
    if (options[size_t(i)].mbps == analysedLineSpeedMbps) return i;
  return -1;
}

std::string RecentFileCaption(size_t index, const std::string& entry) {
  return "&" + std::to_string(index + 1) + " " + entry;
}

}  // namespace korvane
