// korvane-mktrace: writes a scenario as a trace file of one of the formats Korvane reads.
#include <CLI/CLI.hpp>

#include <iostream>

#include "writers/ScenarioWriters.h"
#include "writers/TraceWriters.h"

using namespace korvane::tools;

int main(int argc, char** argv) {
  CLI::App app{"Writes a scenario as a trace file. Some formats are recognised by their file "
               "name: EtherPeek .pkt (Token Ring .tpc), DataGLANce .dgc, NetLens .s04/.t04, Digitech .dat.",
               "korvane-mktrace"};
  std::string scenario = "office", format = "sniffer", output;
  size_t frameCount = 1000000;
  uint32_t seed = 1;
  std::vector<std::string> formats;
  for (const auto& [name, writer] : ScenarioWriters()) formats.push_back(name);
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

  const std::vector<ScenarioFrame> frames = scenario == "office"      ? OfficeLanScenario()
                                            : scenario == "tokenring" ? TokenRingScenario()
                                                                      : SyntheticLoad(frameCount, seed);
  const Bytes bytes = ScenarioWriters().at(format)(frames, scenario == "tokenring");
  if (bytes.empty() || !WriteFile(output, bytes)) {
    std::cerr << "cannot write " << output << '\n';
    return 1;
  }
  return 0;
}
