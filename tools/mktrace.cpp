// korvane-mktrace: writes a scenario as a trace file of one of the formats Korvane reads.
#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

#include "writers/TraceWriters.h"

using namespace korvane::tools;

int main(int argc, char** argv) {
  CLI::App app{"Writes a scenario as a trace file", "korvane-mktrace"};
  std::string scenario = "office", format = "sniffer", output;
  size_t frameCount = 1000000;
  uint32_t seed = 1;
  app.add_option("SCENARIO", scenario, "office, tokenring or load")->required()
      ->check(CLI::IsMember({"office", "tokenring", "load"}));
  app.add_option("FORMAT", format, "sniffer, sniffer-compressed, netxray or netxray1")->required()
      ->check(CLI::IsMember({"sniffer", "sniffer-compressed", "netxray", "netxray1"}));
  app.add_option("OUTPUT", output, "file to write")->required();
  app.add_option("--frames", frameCount, "frames of the load scenario");
  app.add_option("--seed", seed, "seed of the load scenario");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }

  std::vector<ScenarioFrame> frames = scenario == "office"      ? OfficeLanScenario()
                                      : scenario == "tokenring" ? TokenRingScenario()
                                                                : SyntheticLoad(frameCount, seed);
  const bool tokenRing = scenario == "tokenring";
  Bytes bytes;
  if (format.rfind("sniffer", 0) == 0) {
    SnifferDosOptions options;
    options.network = tokenRing ? 0 : 1;
    options.interfaceSpeed = tokenRing ? 16000000 : 10000000;
    options.compressed = format == "sniffer-compressed";
    bytes = WriteSnifferDos(frames, options);
  } else {
    NetXRayOptions options;
    options.version2 = format == "netxray";
    options.network = tokenRing ? 1 : 0;
    options.lineSpeed = tokenRing ? 16 : 10;
    bytes = WriteNetXRay(frames, options);
  }
  if (!WriteFile(output, bytes)) {
    std::cerr << "cannot write " << output << '\n';
    return 1;
  }
  return 0;
}
