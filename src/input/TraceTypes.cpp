#include "input/TraceTypes.h"

#include "input/FormatTable.h"

namespace korvane {

void SetComment(TraceFileInfo& info, std::string_view text) {
  size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  if (text.size() > kCommentMax - 1) text = text.substr(0, kCommentMax - 1);
  info.Comment.assign(text);
}

std::string_view FormatDisplayName(TraceFormat format) {
  const FormatEntry* entry = FindFormatEntry(format);
  return entry ? entry->name : std::string_view{};
}

std::string AnalyzerName(TraceFormat format, uint8_t topologyCode, bool pcapExtended) {
  if (format == fmt_id::EtherPeek) return topologyCode == topology::TokenRing ? "TokenPeek" : "EtherPeek";
  std::string name(FormatDisplayName(format));
  if (format == fmt_id::Tcpdump && pcapExtended) name += " (modified)";
  return name;
}

std::string AnalyzerName(const TraceFileInfo& info) {
  return AnalyzerName(info.DetectedFormat, info.TopologyCode, info.PcapExtended);
}

std::string DefaultExtension(TraceFormat format, uint8_t topologyCode) {
  const FormatEntry* entry = FindFormatEntry(format);
  if (!entry) return {};
  const FormatExtensions& e = entry->extensions;
  std::string_view extension = topologyCode == topology::Ethernet    ? e.ethernet
                               : topologyCode == topology::TokenRing ? e.tokenRing
                               : topologyCode == topology::Fddi      ? e.fddi
                                                                     : e.other;
  return std::string(extension.empty() ? e.ethernet : extension);
}

std::vector<std::string> OpenedExtensions(TraceFormat format) {
  const FormatEntry* entry = FindFormatEntry(format);
  if (!entry) return {};
  std::vector<std::string> extensions;
  for (std::string_view e : {entry->extensions.ethernet, entry->extensions.tokenRing, entry->extensions.alsoOpened})
    if (!e.empty()) extensions.emplace_back(e);
  return extensions;
}

}  // namespace korvane
