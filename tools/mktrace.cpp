// korvane-mktrace: writes a scenario as a trace file of one of the formats Korvane reads.
#include <CLI/CLI.hpp>

#include <functional>
#include <iostream>
#include <map>

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

using namespace korvane::tools;

namespace {

using Frames = std::vector<ScenarioFrame>;
using Writer = std::function<Bytes(const Frames&, bool tokenRing)>;

// The writer's own time zone, so that every file records 09:30 local time.
int32_t LocalBias() {
  CaptureStart s;
  return korvane::TimeZoneBiasAt(korvane::EncodeDateTime(s.year, s.month, s.day, s.hour, s.minute, s.second));
}

const std::map<std::string, Writer>& Writers() {
  static const std::map<std::string, Writer> writers = {
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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes a scenario as a trace file. Some formats are recognised by their file "
               "name: EtherPeek .pkt (Token Ring .tpc), DataGLANce .dgc, NetLens .s04/.t04, Digitech .dat.",
               "korvane-mktrace"};
  std::string scenario = "office", format = "sniffer", output;
  size_t frameCount = 1000000;
  uint32_t seed = 1;
  std::vector<std::string> formats;
  for (const auto& [name, writer] : Writers()) formats.push_back(name);
  app.add_option("SCENARIO", scenario, "office, tokenring or load")->required()
      ->check(CLI::IsMember({"office", "tokenring", "load"}));
  app.add_option("FORMAT", format, "trace format")->required()->check(CLI::IsMember(formats));
  app.add_option("OUTPUT", output, "file to write")->required();
  app.add_option("--frames", frameCount, "frames of the load scenario");
  app.add_option("--seed", seed, "seed of the load scenario");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }

  const Frames frames = scenario == "office"      ? OfficeLanScenario()
                        : scenario == "tokenring" ? TokenRingScenario()
                                                  : SyntheticLoad(frameCount, seed);
  const Bytes bytes = Writers().at(format)(frames, scenario == "tokenring");
  if (bytes.empty() || !WriteFile(output, bytes)) {
    std::cerr << "cannot write " << output << '\n';
    return 1;
  }
  return 0;
}
