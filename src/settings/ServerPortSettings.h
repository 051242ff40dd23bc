// The user-defined server ports: the list of the server ports dialog, each entry the port
// number as decimal text, a tab and the name ("8080\tProxy"). Kept in the section "Server
// Ports" under the names "0", "1", "2", ... in list order.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kServerPortsSection = "Server Ports";
// The longest port name, in characters: what the dialog's Name edit takes, and where a
// longer name read from the settings file is cut.
inline constexpr size_t kPortNameMax = 40;

struct ServerPortSettings {
  std::vector<std::string> Entries;

  // Reads "0", "1", ... up to the first missing or empty value; names are cut to kPortNameMax.
  void Load(const KeyValueStore& store);
  // Rewrites the whole section.
  void Save(KeyValueStore& store) const;

  static std::string Entry(std::string_view port, std::string_view name);
  // The text before the tab, and the text after it (empty for an entry without a tab).
  static std::string_view EntryPort(std::string_view entry);
  static std::string_view EntryName(std::string_view entry);

  bool operator==(const ServerPortSettings&) const = default;
};

}  // namespace korvane
