// The Network window's statistics table: one row per sending IP or IPX station, with the
// display names the table and the peer map share.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"

namespace korvane {

inline constexpr int kNetworkStatsColumns = 9;

// "Network Address", "Protocols", "Dests", "Snd+Rcv Pkts", "Snd+Rcv Bytes", "Utilization",
// "Ave Send", "Ave Recv", "Pkt Ratio".
const std::array<std::string_view, kNetworkStatsColumns>& NetworkStatsHeadings();

enum class NetProtocol { Ip, Ipx };

struct NetworkNameOptions {
  bool smartNames = true;    // "SmartNames": learned names first
  bool ipxNodeByOui = true;  // "Show IPX Node by OUI" (table) / "Show IPX OUI" (map)
};

// Whether a network station belongs to the IP (4-byte address) or the IPX (10-byte
// address) table.
bool IsStationOf(const NetStationNode& station, NetProtocol protocol);

// The display name: the learned name (SmartNames), else dotted decimal for an IP station,
// network and node for an IPX station (the node by vendor when asked for).
std::string NetStationDisplayName(const TraceSession& session, const NetStationNode& station,
                                  const NetworkNameOptions& options);
// A map label: the display name, cut to 26 characters and followed by "..." when longer.
std::string NetworkMapLabel(const std::string& displayName);
// The last item of the map's popup menu for a station: "No DLC Address", or "DLC Address
// is " and the MAC station's vendor name and last 6 hex digits (known vendor) or its 12
// hex digits.
std::string DlcAddressMenuText(const TraceSession& session, const NetStationNode& station);

struct NetworkStatsRow {
  int32_t station = -1;  // NetStationTree node: the row's key
  AddressKey address;
  std::array<std::string, kNetworkStatsColumns> cells;
};

// One row per station of the protocol that has sent, in address order.
std::vector<NetworkStatsRow> BuildNetworkStats(const TraceSession& session, NetProtocol protocol,
                                               const NetworkNameOptions& options = {});

// Sorts on a column: 0, 1 and 8 as text (case-insensitive), 2..7 as numbers.
void SortNetworkRows(std::vector<NetworkStatsRow>& rows, int column, bool ascending);

}  // namespace korvane
