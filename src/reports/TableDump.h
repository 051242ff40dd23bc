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

}  // namespace korvane
