#include "writers/ScenarioWriters.h"

#include <algorithm>

#include "input/TimeConv.h"
#include "writers/Da30Writer.h"
#include "writers/DataGlanceWriter.h"
#include "writers/DigitechWriter.h"
#include "writers/DominoWriter.h"
#include "writers/EtherPeekWriter.h"
#include "writers/HpWriter.h"
#include "writers/LanAnalyzerWriter.h"
#include "writers/LanWatchWriter.h"
#include "writers/NetMonWriter.h"
#include "writers/ObserverWriter.h"
#include "writers/SnoopWriter.h"
#include "writers/TraceWriters.h"
#include "writers/TtcWriter.h"

namespace korvane::tools {

namespace {

using Frames = std::vector<ScenarioFrame>;

// The writer's own time zone, so that every file records 09:30 local time.
int32_t LocalBias() {
  CaptureStart s;
  return korvane::TimeZoneBiasAt(korvane::EncodeDateTime(s.year, s.month, s.day, s.hour, s.minute, s.second));
}

}  // namespace

const std::map<std::string, ScenarioWriter>& ScenarioWriters() {
  static const std::map<std::string, ScenarioWriter> writers = {
      {"sniffer", [](const Frames& f, bool tr) {
         SnifferDosOptions o;
         o.network = tr ? 0 : 1;
         o.interfaceSpeed = tr ? 16000000 : 10000000;
         return WriteSnifferDos(f, o);
       }},
      {"sniffer-compressed", [](const Frames& f, bool tr) {
         SnifferDosOptions o;
         o.network = tr ? 0 : 1;
         o.interfaceSpeed = tr ? 16000000 : 10000000;
         o.compressed = true;
         return WriteSnifferDos(f, o);
       }},
      {"netxray", [](const Frames& f, bool tr) {
         NetXRayOptions o;
         o.network = tr ? 1 : 0;
         o.lineSpeed = tr ? 16 : 10;
         o.biasSeconds = LocalBias();
         return WriteNetXRay(f, o);
       }},
      {"netxray1", [](const Frames& f, bool tr) {
         NetXRayOptions o;
         o.version2 = false;
         o.network = tr ? 1 : 0;
         o.lineSpeed = tr ? 16 : 10;
         o.biasSeconds = LocalBias();
         return WriteNetXRay(f, o);
       }},
      {"netmon1", [](const Frames& f, bool tr) {
         NetMonOptions o;
         o.macType = tr ? 2 : 1;
         return WriteNetMon(f, o);
       }},
      {"netmon2", [](const Frames& f, bool tr) {
         NetMonOptions o;
         o.version = 2;
         o.macType = tr ? 2 : 1;
         return WriteNetMon(f, o);
       }},
      {"observer", [](const Frames& f, bool tr) {
         ObserverOptions o;
         o.medium = tr ? 1 : 0;
         return WriteObserver(f, o);
       }},
      {"etherpeek", [](const Frames& f, bool tr) {
         EtherPeekOptions o;
         o.tokenRing = tr;
         return WriteEtherPeek(f, o);
       }},
      {"etherpeek6", [](const Frames& f, bool tr) {
         EtherPeekOptions o;
         o.version = 6;
         o.tokenRing = tr;
         return WriteEtherPeek(f, o);
       }},
      {"snoop", [](const Frames& f, bool tr) {
         SnoopOptions o;
         o.linkType = tr ? 2 : 4;
         o.biasSeconds = LocalBias();
         return WriteSnoop(f, o);
       }},
      {"shomiti", [](const Frames& f, bool tr) {
         SnoopOptions o;
         o.shomiti = true;
         o.linkType = tr ? 2 : 4;
         o.biasSeconds = LocalBias();
         return WriteSnoop(f, o);
       }},
      {"lanwatch", [](const Frames& f, bool tr) {
         LanWatchOptions o;
         o.tokenRing = tr;
         return WriteLanWatch(f, o);
       }},
      {"lanalyzer", [](const Frames& f, bool tr) {
         LanAnalyzerOptions o;
         o.tokenRing = tr;
         return WriteLanAnalyzer(f, o);
       }},
      {"da30", [](const Frames& f, bool tr) {
         Da30Options o;
         o.tokenRing = tr;
         return WriteDa30(f, o);
       }},
      {"domino", [](const Frames& f, bool tr) {
         DominoOptions o;
         o.product = tr ? 363 : 358;
         o.biasSeconds = LocalBias();
         return WriteDomino(f, o);
       }},
      {"linkview", [](const Frames& f, bool tr) {
         DominoOptions o;
         o.linkView = true;
         o.product = 739;
         o.interface = tr ? 6 : 4;
         o.biasSeconds = LocalBias();
         return WriteDomino(f, o);
       }},
      {"hp", [](const Frames& f, bool tr) {
         HpOptions o;
         o.interfaceCode = tr ? 4 : 1;
         o.biasSeconds = LocalBias();
         return WriteHp(f, o);
       }},
      {"dataglance", [](const Frames& f, bool tr) {
         DataGlanceOptions o;
         o.medium = tr ? 2 : 3;
         if (tr) o.clock = DataGlanceClock::TokenRing;
         o.biasSeconds = LocalBias();
         return WriteDataGlance(f, o);
       }},
      {"fireberd", [](const Frames& f, bool tr) {
         TtcOptions o;
         o.tokenRing = tr;
         return WriteTtc(f, o);
       }},
      {"netlens", [](const Frames& f, bool tr) {
         TtcOptions o;
         o.netLens = true;
         o.tokenRing = tr;
         return WriteTtc(f, o);
       }},
      {"digitech", [](const Frames& f, bool tr) {
         DigitechOptions o;
         o.kind = tr ? 6 : 5;
         return WriteDigitech(f, o, nullptr);
       }},
  };
  return writers;
}

std::string ScenarioExtension(const std::string& format, bool tokenRing) {
  if (format.rfind("etherpeek", 0) == 0) return tokenRing ? "tpc" : "pkt";
  if (format == "dataglance") return "dgc";
  if (format == "netlens") return tokenRing ? "t04" : "s04";
  if (format == "digitech") return "dat";
  return "cap";
}

std::vector<ScenarioFrame> SampleFrames(const std::vector<ScenarioFrame>& frames, size_t count, size_t maxBytes) {
  std::vector<const ScenarioFrame*> small;
  for (const ScenarioFrame& f : frames)
    if (f.bytes.size() <= maxBytes) small.push_back(&f);
  std::vector<ScenarioFrame> out;
  if (small.empty() || count == 0) return out;
  const double step = double(small.size()) / double(std::min(count, small.size()));
  for (double at = 0; size_t(at) < small.size() && out.size() < count; at += step) out.push_back(*small[size_t(at)]);
  return out;
}

}  // namespace korvane::tools
