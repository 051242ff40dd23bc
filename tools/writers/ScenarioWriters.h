// Every format korvane-mktrace writes, by the name it has on the command line: a
// scenario's frames in, the bytes of the trace file out.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scenario/Scenario.h"

namespace korvane::tools {

using ScenarioWriter = std::function<Bytes(const std::vector<ScenarioFrame>&, bool tokenRing)>;

// "sniffer", "sniffer-compressed", "netxray", ... in name order.
const std::map<std::string, ScenarioWriter>& ScenarioWriters();

// The extension a file of the format needs to be recognised by its name; "cap" where the
// bytes alone tell the format.
std::string ScenarioExtension(const std::string& format, bool tokenRing);

// A small trace cut from a scenario: `count` frames of at most `maxBytes` bytes, taken at
// even steps through it so that every kind of traffic is likely to be there, in order.
std::vector<ScenarioFrame> SampleFrames(const std::vector<ScenarioFrame>& frames, size_t count, size_t maxBytes);

}  // namespace korvane::tools
