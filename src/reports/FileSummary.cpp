#include "reports/FileSummary.h"

#include <algorithm>

#include <cmath>

#include "analysis/FrameAnalyser.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {
int64_t Rounded(double v) { return int64_t(RoundEven(v)); }
}  // namespace

FileSummary BuildFileSummary(const TraceSession& session, const SummaryOptions& options) {
  const AnalysisTables& t = session.tables;
  const GlobalStats& s = t.Stats;
  const UtilisationSummary& u = t.Utilisation;
  const TraceFileInfo& info = session.info;
  const bool tokenRing = info.TopologyCode == topology::TokenRing;
  const int32_t lineSpeed = std::max<int32_t>(1, options.lineSpeedMbps > 0 ? options.lineSpeedMbps : session.AnalysedLineSpeedMbps);
  const int32_t duplex = options.duplexFactor > 0 ? options.duplexFactor : 1;
  const int64_t total = s.FramesAnalysed;
  const int64_t intervals = t.IntervalCount;

  FileSummary out;
  // Media utilisation, rescaled to the chosen line speed and duplex.
  out.utilisationCaption = "Media Utilization (based on " + std::to_string(lineSpeed) + " Mbps)";
  const double scale = double(session.AnalysedLineSpeedMbps) / (double(lineSpeed) * duplex);
  auto scaled = [&](int64_t value) { return Rounded(scale * double(value)); };
  auto perSecond = [&](int64_t value) { return CountText(intervals > 0 ? value / intervals : 0); };
  out.lineSpeedMbps = lineSpeed;
  out.broadcastOnly = options.broadcastOnly;
  if (!options.broadcastOnly) {
    out.averageUtilisationPercent = scaled(u.AverageUtilisation);
    out.peakUtilisationPercent = scaled(u.PeakUtilisation);
    out.averageBytesPerSecond = perSecond(Rounded(t.CumulativeBytes));
    out.peakBytesPerSecond = CountText(u.PeakIntervalBytes);
    out.averageFramesPerSecond = perSecond(total);
    out.peakFramesPerSecond = CountText(u.PeakIntervalFrames);
  } else {
    out.averageUtilisationPercent = scaled(u.AverageGroupUtilisation);
    out.peakUtilisationPercent = scaled(u.PeakBroadcastUtilisation);
    out.averageBytesPerSecond = perSecond(Rounded(t.CumulativeBroadcastBytes));
    out.peakBytesPerSecond = CountText(u.PeakGroupIntervalBytes);
    out.averageFramesPerSecond = perSecond(s.BroadcastFrames + s.MulticastFrames);
    out.peakFramesPerSecond = CountText(u.PeakGroupIntervalFrames);
  }
  out.averageBandwidth = PercentText(out.averageUtilisationPercent);
  out.peakBandwidth = PercentText(out.peakUtilisationPercent);
  if (out.averageUtilisationPercent > 100 || out.peakUtilisationPercent > 100) {
    const std::string line = "Utilization above 100%: the line must be faster than " + std::to_string(lineSpeed) +
                             " Mbps" + (duplex > 1 ? " full duplex" : "") + ".";
    out.utilisationNote = line + " Choose its speed under Options > Default Bandwidth.";
    out.utilisationHint = line + " Give its speed with --bandwidth MBPS.";
  }

  out.attributes = {
      {"Analyzer", AnalyzerName(info)},
      {"Interface", tokenRing ? "Token Ring" : "Ethernet"},
      {"Bandwidth", std::to_string(int64_t(lineSpeed) * duplex) + " Mbps"},
      {"Duration", session.DurationText},
      {"File Date", FileDateText(info.CurrentFileName)},
      {"File Size", CountText(info.FileSize) + " bytes"},
      {"Comment", info.Comment},
  };

  auto framePct = [&](int64_t x) { return total > 0 ? int(Rounded(double(x) / double(total) * 100.0)) : 0; };
  auto bytePct = [&](int64_t x) {
    return t.CumulativeBytes > 0 ? int(Rounded(double(x) / t.CumulativeBytes * 100.0)) : int(x);
  };
  auto average = [](double bytes, int64_t frames) { return frames > 0 ? Rounded(bytes / double(frames)) : 0; };
  const int64_t stationFrames = total - s.BroadcastFrames - s.MulticastFrames;
  const int64_t stationBytes = Rounded(t.CumulativeBytes - t.CumulativeBroadcastBytes - t.CumulativeMulticastBytes);
  const int64_t multicastBytes = Rounded(t.CumulativeMulticastBytes);
  const int64_t broadcastBytes = Rounded(t.CumulativeBroadcastBytes);
  out.frameStatistics[0] = {"Station", CountText(stationFrames), framePct(stationFrames), CountText(stationBytes),
                            bytePct(stationBytes), CountText(average(t.CumulativeBytes, total)),
                            CountText(s.MaxFrameSize)};
  out.frameStatistics[1] = {tokenRing ? "Functional" : "Multicast", CountText(s.MulticastFrames),
                            framePct(s.MulticastFrames), CountText(multicastBytes), bytePct(multicastBytes),
                            CountText(average(t.CumulativeMulticastBytes, s.MulticastFrames)),
                            CountText(s.MaxMulticastFrameSize)};
  out.frameStatistics[2] = {"Broadcast", CountText(s.BroadcastFrames), framePct(s.BroadcastFrames),
                            CountText(broadcastBytes), bytePct(broadcastBytes),
                            CountText(average(t.CumulativeBroadcastBytes, s.BroadcastFrames)),
                            CountText(s.MaxBroadcastFrameSize)};
  out.frameStatistics[3] = {"Total", CountText(total), 0, CountText(Rounded(t.CumulativeBytes)), 0, "", ""};

  const int64_t third = tokenRing ? t.MacFrames : s.EtypeFrames;
  out.encapsulations[0] = {"LLC", "802.3 w/802.2 Logical Link Control", CountText(s.LlcFrames), framePct(s.LlcFrames)};
  out.encapsulations[1] = {"SNAP", "802.3 w/802.2 SubNetwork Access Point", CountText(s.SnapFrames),
                           framePct(s.SnapFrames)};
  out.encapsulations[2] = {tokenRing ? "MAC" : "Etype", tokenRing ? "Media Access Control" : "Ethernet II",
                           CountText(third), framePct(third)};
  out.encapsulations[3] = {tokenRing ? "" : "Novell Raw", "802.3 w/o LLC", CountText(s.NovellRawFrames),
                           framePct(s.NovellRawFrames), !tokenRing};

  out.statusPanels = {tokenRing ? "Token Ring" : "Ethernet", CountText(total) + " Frames",
                      AnalyzerName(info) + " file " + info.CurrentFileName};
  return out;
}

std::string FileSummaryText(const FileSummary& summary) {
  std::string text;
  auto line = [&](std::initializer_list<std::string_view> cells) {
    bool first = true;
    for (auto cell : cells) {
      if (!first) text += '\t';
      text += cell;
      first = false;
    }
    text += '\n';
  };
  auto pct = [](int p) { return std::to_string(p) + "%"; };

  line({summary.utilisationCaption});
  namespace h = summary_heading;
  line({"", h::Average, h::Peak});
  line({h::Bandwidth, summary.averageBandwidth, summary.peakBandwidth});
  line({h::BytesPerSecond, summary.averageBytesPerSecond, summary.peakBytesPerSecond});
  line({h::FramesPerSecond, summary.averageFramesPerSecond, summary.peakFramesPerSecond});
  if (!summary.utilisationHint.empty()) line({"Note", summary.utilisationHint});
  text += '\n';
  line({h::FileAttributes});
  for (const auto& [label, value] : summary.attributes) line({label, value});
  text += '\n';
  line({h::FrameStatistics});
  line({"", h::Frames, "%", h::Bytes, "%", h::AverageSize, h::Largest});
  for (size_t i = 0; i < 3; ++i) {
    const auto& r = summary.frameStatistics[i];
    line({r.label, r.frames, pct(r.framesPercent), r.bytes, pct(r.bytesPercent), r.averageSize, r.largest});
  }
  const auto& total = summary.frameStatistics[3];
  line({total.label, total.frames, "", total.bytes});
  text += '\n';
  line({h::Encapsulations});
  for (const auto& r : summary.encapsulations) {
    if (r.gaugeVisible)
      line({r.label, r.count, pct(r.percent)});
    else
      line({r.label, r.count});
  }
  text += '\n';
  line({"Status Bar"});
  for (const auto& panel : summary.statusPanels) line({panel});
  return text;
}

}  // namespace korvane
