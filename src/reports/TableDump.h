// The analysis tables and trace attributes as one JSON document (korvane-cli dump).
#pragma once
#include <nlohmann/json.hpp>

#include "analysis/TraceSession.h"

namespace korvane {

struct DumpOptions {
  bool packets = false;
};

nlohmann::ordered_json DumpTables(const TraceSession& session, const DumpOptions& options);

std::string MacKeyText(const AddressKey& key);
// IP dotted, IPX as network "." node in hex with the network zeros kept, MAC as 12 hex digits.
std::string NetKeyText(const AddressKey& key);

}  // namespace korvane
