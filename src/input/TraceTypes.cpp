#include "input/TraceTypes.h"

namespace korvane {

namespace {
constexpr std::array<std::string_view, 27> kNames = {
    "AG EtherPeek/TokenPeek",
    "Agilent LAN Analyzer",
    "Digitech LAN900",
    "Fluke Protocol Inspector",
    "HP Internet Advisor",
    "HP Internet Advisor (pre-Win95)",
    "IBM DataGLANce",
    "Intel LANDesk/NetSight",
    "Microsoft NetMon (SMS 1.2)",
    "Microsoft NetMon (SMS 2.0)",
    "NAI NetXRay/Sniffer Windows",
    "NAI Sniffer DOS",
    "NI Observer",
    "Novell LANalyzer",
    "Precision Guesswork LANWatch",
    "Sun Snoop",
    "Shomiti Surveyor/OEM",
    "tcpdump",
    "TTC FireBerd 500",
    "TTC FireBerd 500 PC",
    "TTC NetLens/Spider",
    "WWG DA-30",
    "WWG Domino",
    "WWG LinkView PRO",
    "ASCII Text",
    "",
    "",
};

constexpr std::array<std::string_view, 27> kExtensions = {
    ".pkt", ".cap", ".dat", ".cap", ".dat", ".eth", ".dgc", ".cap", ".cap",
    ".cap", ".cap", ".enc", ".bfr", ".tr1", ".dmp", ".snoop", ".cap", ".dmp",
    ".pkt", ".cap", ".t04", ".an1", ".cap", ".cap", ".txt", "", "",
};
}  // namespace

void SetComment(TraceFileInfo& info, std::string_view text) {
  size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  if (text.size() > kCommentMax - 1) text = text.substr(0, kCommentMax - 1);
  info.Comment.assign(text);
}

std::string_view FormatDisplayName(TraceFormat format) {
  return format < kNames.size() ? kNames[format] : std::string_view{};
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
  if (format >= kExtensions.size()) return {};
  bool other = topologyCode != topology::Ethernet;
  switch (format) {
    case fmt_id::EtherPeek: return other ? ".tpc" : ".pkt";
    case fmt_id::HpPreWin95: return other ? ".trn" : ".eth";
    case fmt_id::SnifferDos:
      if (topologyCode == topology::Ethernet) return ".enc";
      if (topologyCode == topology::TokenRing) return ".trc";
      if (topologyCode == topology::Fddi) return ".fdc";
      return ".syc";
    default: return std::string(kExtensions[format]);
  }
}

}  // namespace korvane
