#include "reports/TableDump.h"

#include <cstdio>

#include "reports/Formatters.h"

namespace korvane {

using Json = nlohmann::ordered_json;

std::string NetKeyText(const AddressKey& key) {
  char text[40];
  const uint8_t* b = key.bytes.data();
  if (key.length == 4) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
  }
  if (key.length == 10) {
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X.%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4], b[5],
                  b[6], b[7], b[8], b[9]);
    return text;
  }
  return MacKeyText(key);
}

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
  const auto& stationTree = t.StationTree;
  Json stations = Json::array();
  for (int32_t i : stationTree.InOrder()) {
    const StationNode& s = stationTree[i];
    Json dlc = Json::array();
    for (int32_t d = s.FirstDlcPeer; d >= 0; d = t.DlcPeers[size_t(d)].Next) {
      const TDLCPeer& p = t.DlcPeers[size_t(d)];
      dlc.push_back({{"DestAddress", MacKeyText(p.DestAddress)}, {"FrameConditions", p.FrameConditions},
                     {"Categories", p.Categories}, {"Encapsulations", p.Encapsulations}, {"Frames", p.Frames},
                     {"Bytes", p.Bytes}, {"FramesByEncapsulation", p.FramesByEncapsulation},
                     {"FramesByCategory", p.FramesByCategory}});
    }
    Json mac = Json::array();
    for (int32_t m = s.FirstMacInfo; m >= 0; m = t.MacInfos[size_t(m)].Next) {
      const TMACInfo& info = t.MacInfos[size_t(m)];
      mac.push_back({{"Naun", MacKeyText(info.Naun)}, {"NaunVendorIndex", info.NaunVendorIndex},
                     {"SoftErrors", info.SoftErrors}});
    }
    stations.push_back({{"Address", MacKeyText(s.Address)}, {"VendorIndex", s.VendorIndex},
                        {"FramesSent", s.FramesSent}, {"BytesSent", s.BytesSent},
                        {"FramesReceived", s.FramesReceived}, {"BytesReceived", s.BytesReceived},
                        {"GroupFramesSent", s.GroupFramesSent}, {"ErrorFramesSent", s.ErrorFramesSent},
                        {"PostCollisionFrames", s.PostCollisionFrames}, {"Role", s.Role},
                        {"FrameConditions", s.FrameConditions}, {"SentFrameConditions", s.SentFrameConditions},
                        {"SoftErrorKinds", s.SoftErrorKinds}, {"Categories", s.Categories},
                        {"SentCategories", s.SentCategories}, {"Encapsulations", s.Encapsulations},
                        {"SentEncapsulations", s.SentEncapsulations}, {"DlcPeers", dlc}, {"MacInfo", mac}});
  }
  doc["Stations"] = stations;

  const auto& netTree = t.NetStationTree;
  Json netStations = Json::array();
  for (int32_t i : netTree.InOrder()) {
    const NetStationNode& n = netTree[i];
    Json peers = Json::array();
    for (int32_t pi = n.FirstNetPeer; pi >= 0; pi = t.NetPeers[size_t(pi)].Next) {
      const TNetPeer& peer = t.NetPeers[size_t(pi)];
      Json streams = Json::array();
      for (int32_t si = peer.FirstStream; si >= 0; si = t.Streams[size_t(si)].Next) {
        const TTransHead& s = t.Streams[size_t(si)];
        Json stream = {{"Kind", s.Kind}, {"SourcePort", s.SourcePort}, {"DestPort", s.DestPort},
                       {"MaxWindow", s.MaxWindow}, {"PacketCount", s.PacketCount},
                       {"GapMarkers", s.GapMarkers}, {"IcmpReports", s.IcmpReports}};
        if (options.packets) {
          Json packets = Json::array();
          for (int32_t k = s.FirstPacket; k >= 0; k = t.PacketList[size_t(k)].Next) {
            const TPacket& p = t.PacketList[size_t(k)];
            packets.push_back({{"TimeStamp", p.TimeStamp}, {"FrameLength", p.FrameLength},
                               {"FrameNumber", p.FrameNumber}, {"NetOffset", p.NetOffset},
                               {"FragmentOffset", p.FragmentOffset}, {"NetHeaderLength", p.NetHeaderLength},
                               {"NetLength", p.NetLength}, {"IpId", p.IpId},
                               {"TransportHeaderLength", p.TransportHeaderLength}, {"Sequence", p.Sequence},
                               {"Acknowledge", p.Acknowledge}, {"Window", p.Window}, {"TcpFlags", p.TcpFlags},
                               {"Ttl", p.Ttl}, {"NcpFunction", p.NcpFunction}, {"Flags", p.Flags},
                               {"Mss", p.Mss}, {"RetransmitDistance", p.RetransmitDistance}});
          }
          stream["Packets"] = packets;
        }
        streams.push_back(stream);
      }
      peers.push_back({{"DestAddress", NetKeyText(peer.DestAddress)}, {"TransportKinds", peer.TransportKinds},
                       {"LastTtl", peer.LastTtl}, {"Frames", peer.Frames}, {"Bytes", peer.Bytes},
                       {"FramesByKind", peer.FramesByKind}, {"Streams", streams}});
    }
    netStations.push_back({{"Address", NetKeyText(n.Address)}, {"Category", n.Category},
                           {"MacStation", n.MacStation >= 0 ? MacKeyText(stationTree[n.MacStation].Address) : ""},
                           {"FramesSent", n.FramesSent}, {"BytesSent", n.BytesSent},
                           {"FramesReceived", n.FramesReceived}, {"BytesReceived", n.BytesReceived},
                           {"Role", n.Role}, {"TransportKinds", n.TransportKinds},
                           {"SentTransportKinds", n.SentTransportKinds}, {"Peers", peers}});
  }
  doc["NetStations"] = netStations;
  Json ring = Json::array();
  for (const RingStation& r : t.RingStations)
    ring.push_back({{"Address", MacKeyText(r.Address)}, {"Flags", r.Flags}, {"Seen", r.Seen}});
  doc["RingStations"] = ring;
  Json names = Json::array();
  for (const auto& [key, name] : t.Names.All()) names.push_back({{"Key", NetKeyText(key)}, {"Name", name}});
  doc["Names"] = names;
  return doc;
}

}  // namespace korvane
