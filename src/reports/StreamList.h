// Every conversation stream the toolbox can select, with the texts of its three lists:
// "Source", "Destination" and "Protocol/App". These texts are what the conversation tools
// of korvane-cli take to pick a stream.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"

namespace korvane {

struct StreamListOptions {
  bool ipxLowerByOui = true;  // "IPX Lower by OUI": IPX nodes shown by vendor
};

// "Source", "Destination", "Protocol/App", "Stream".
const std::array<std::string_view, 4>& StreamListHeadings();

// A network station as the Source and Destination lists show it: IP dotted, IPX as
// network and node (the node by vendor when asked for).
std::string NetAddressText(const TraceSession& session, const AddressKey& address, const StreamListOptions& options);

// The ICMP message name of a type and code; empty when the type (or code) has none.
std::string_view IcmpMessageName(uint8_t type, uint8_t code);

// The "Protocol/App" text of a stream. Mirrored gives the label of the reverse direction
// (destination port or socket first), as the swap looks it up.
std::string StreamAppText(const TraceSession& session, const TTransHead& stream, bool mirrored = false);

struct StreamEntry {
  int32_t sourceStation = -1;  // NetStationTree node
  int32_t peer = -1;           // NetPeers index
  int32_t stream = -1;         // Streams index
  int32_t destinationIndex = 0;  // position of the peer in the source's Destination list
  int32_t streamIndex = 0;       // position of the stream in the Protocol/App list
  std::string source, destination, app;
};

// Sources in address order (stations that have sent), their destinations in list order,
// their streams in list order.
std::vector<StreamEntry> BuildStreamList(const TraceSession& session, const StreamListOptions& options = {});

// The entry the three texts and the stream index pick, as the toolbox selects it: the
// first source item with the text, the first destination item with the text, then the
// stream at the index. Nothing when one of them is not there.
std::optional<StreamEntry> FindStream(const std::vector<StreamEntry>& list, const std::string& source,
                                      const std::string& destination, int32_t streamIndex);

}  // namespace korvane
