#include "reports/TableDump.h"

#include <cstdio>

#include "reports/Formatters.h"

namespace korvane {

using Json = nlohmann::ordered_json;

std::string MacKeyText(const AddressKey& key) {
  std::string text;
  char hex[3];
  for (size_t i = 0; i < 6; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", key.bytes[i]);
    text += hex;
  }
  return text;
}

Json DumpTables(const TraceSession& session, const DumpOptions& options) {
  const TraceFileInfo& info = session.info;
  const AnalysisTables& t = session.tables;
  Json doc;
  doc["TraceFileInfo"] = {
      {"CurrentFileName", info.CurrentFileName},
      {"DetectedFormat", info.DetectedFormat},
      {"AnalyzerName", AnalyzerName(info)},
      {"TopologyCode", info.TopologyCode},
      {"WanEncapsulation", info.WanEncapsulation},
      {"FileBandwidthKnown", info.FileBandwidthKnown},
      {"FileBandwidthBps", info.FileBandwidthBps},
      {"LineSpeedMbps", info.LineSpeedMbps},
      {"Comment", info.Comment},
      {"FileSize", info.FileSize},
      {"StartDateTime", IsoDateTimeText(info.StartDateTime)},
      {"TimeZoneBias", info.TimeZoneBias},
      {"FramesRead", info.FramesRead},
      {"SlicedPacketsSeen", info.SlicedPacketsSeen},
  };
  const GlobalStats& s = t.Stats;
  doc["GlobalStats"] = {
      {"MinFrameSize", s.MinFrameSize},       {"MaxFrameSize", s.MaxFrameSize},
      {"MaxBroadcastFrameSize", s.MaxBroadcastFrameSize}, {"MaxMulticastFrameSize", s.MaxMulticastFrameSize},
      {"AverageFrameSize", s.AverageFrameSize}, {"FramesAnalysed", s.FramesAnalysed},
      {"BroadcastFrames", s.BroadcastFrames}, {"MulticastFrames", s.MulticastFrames},
      {"LlcFrames", s.LlcFrames},             {"SnapFrames", s.SnapFrames},
      {"EtypeFrames", s.EtypeFrames},         {"NovellRawFrames", s.NovellRawFrames},
      {"CrcErrors", s.CrcErrors},             {"Runts", s.Runts},
      {"OversizeFrames", s.OversizeFrames},   {"Fragments", s.Fragments},
  };
  doc["SizeBuckets"] = t.SizeBuckets;
  Json protocols = Json::array();
  for (const ProtocolStats& p : t.ProtocolTable)
    protocols.push_back({{"Frames", p.Frames}, {"GroupFrames", p.GroupFrames}, {"Bytes", p.Bytes},
                         {"Encapsulations", p.Encapsulations}});
  doc["ProtocolTable"] = protocols;
  doc["SoftErrorTotals"] = t.SoftErrorTotals;
  const UtilisationSummary& u = t.Utilisation;
  doc["UtilisationSummary"] = {
      {"AverageUtilisation", u.AverageUtilisation},       {"PeakUtilisation", u.PeakUtilisation},
      {"PeakIntervalBytes", u.PeakIntervalBytes},         {"PeakIntervalFrames", u.PeakIntervalFrames},
      {"AverageGroupUtilisation", u.AverageGroupUtilisation}, {"PeakBroadcastUtilisation", u.PeakBroadcastUtilisation},
      {"PeakGroupIntervalBytes", u.PeakGroupIntervalBytes}, {"PeakGroupIntervalFrames", u.PeakGroupIntervalFrames},
  };
  doc["IntervalCount"] = t.IntervalCount;
  doc["CumulativeBytes"] = t.CumulativeBytes;
  doc["CumulativeBroadcastBytes"] = t.CumulativeBroadcastBytes;
  doc["CumulativeMulticastBytes"] = t.CumulativeMulticastBytes;
  doc["MediaCapacity"] = t.MediaCapacity;
  doc["TraceElapsed"] = t.TraceElapsed;
  doc["SourceRoutedFrames"] = t.SourceRoutedFrames;
  doc["MacFrames"] = t.MacFrames;
  doc["StationCount"] = t.StationCount;
  doc["SendingStationCount"] = t.SendingStationCount;
  doc["IpStationCount"] = t.IpStationCount;
  doc["IpxStationCount"] = t.IpxStationCount;
  doc["IpSenderCount"] = t.IpSenderCount;
  doc["IpxSenderCount"] = t.IpxSenderCount;
  doc["RingStationCount"] = int64_t(t.RingStations.size());
  Json stations = Json::array();
  for (const auto& [key, node] : t.StationTree) stations.push_back({{"Address", MacKeyText(key)}});
  doc["Stations"] = stations;
  doc["NetStations"] = Json::array();
  Json ring = Json::array();
  for (const RingStation& r : t.RingStations)
    ring.push_back({{"Address", MacKeyText(r.Address)}, {"Flags", r.Flags}, {"Seen", r.Seen}});
  doc["RingStations"] = ring;
  doc["Names"] = Json::array();
  (void)options;
  return doc;
}

}  // namespace korvane
