#include "reports/Selection.h"

#include <algorithm>

#include "reports/Formatters.h"

namespace korvane {

MeasurementSelection PrepareSelection(const TraceSession& session, const StreamEntry& entry, int64_t from,
                                      int64_t to) {
  const AnalysisTables& t = session.tables;
  MeasurementSelection s;
  s.SourceStation = entry.sourceStation;
  s.ForwardConversation = entry.peer;
  s.ForwardStream = entry.stream;
  s.StreamIndex = entry.streamIndex;
  s.SourceText = entry.source;
  s.DestinationText = entry.destination;
  s.AppText = entry.app;
  s.EndFrame = to > 0 ? to : session.info.FramesRead;
  s.StartFrame = std::clamp<int64_t>(from, 1, std::max<int64_t>(1, s.EndFrame));
  s.DestinationStation = t.NetStationTree.Find(t.NetPeers[size_t(entry.peer)].DestAddress);
  const PartnerLookup partner = FindPartnerStream(t, entry.sourceStation, entry.peer, entry.stream);
  s.ReverseConversation = partner.ReturnConversation;
  s.ReverseStream = partner.Stream;
  s.OneWay = partner.OneWay();
  return s;
}

std::string MeasuredDurationText(double micros) { return TimeOfDayText(std::max(0.0, micros)); }

std::string TwoHalvesText(const HalfText& upper, const HalfText& lower) {
  std::string out;
  for (const HalfText* half : {&upper, &lower}) {
    if (!half->shown) continue;
    if (!out.empty()) out += "\n";
    if (half->hasResults) out.append(half->copyText).append("\n");
    out.append(half->memo).append("\n");
  }
  return out;
}

}  // namespace korvane
