// What both fuzz targets do around the engine: a session that reads nothing but the
// input, and a pass over every report that walks the analysis tables.
#pragma once
#include <cstdlib>

#include "analysis/TraceSession.h"
#include "reports/DlcErrors.h"
#include "reports/FileSummary.h"
#include "reports/NetworkStats.h"
#include "reports/ProtocolTable.h"
#include "reports/StationStats.h"
#include "reports/StreamList.h"
#include "reports/TableDump.h"

namespace korvane::fuzz {

// Fixed time zone: the same input always gives the same local times.
inline void FixTimeZone() { ::setenv("TZ", "UTC", 1); }

// No station-name files of other analysers: only the input reaches the analyser.
inline void ReadOnlyTheInput(TraceSession& session) { session.analyser.SetNameFiles(nullptr); }

// Builds every view the way korvane-cli prints it; the results are dropped.
inline void WalkReports(const TraceSession& session) {
  FileSummaryText(BuildFileSummary(session, {}));
  SummaryOptions halfSpeed;
  halfSpeed.lineSpeedMbps = 4;
  halfSpeed.duplexFactor = 2;
  halfSpeed.broadcastOnly = true;
  FileSummaryText(BuildFileSummary(session, halfSpeed));

  // Comments and learned names hold the file's own bytes, which need not be UTF-8: the JSON
  // text replaces what it cannot encode, so that the walk goes on to the other views. The
  // packet list is left out: numbers only, and it would double the time of every run.
  DumpTables(session, {}).dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);

  std::vector<ProtocolRow> protocols = BuildProtocolTable(session.tables);
  ProtocolTableCopyText(protocols, SelectAllProtocolCells(protocols));
  FrameSizeSeries(session.tables, session.info.TopologyCode);
  ProtocolSeries(session.tables, PacketClass::NonBroadcast);

  BuildStationStats(session);
  BuildNetworkStats(session, NetProtocol::Ip);
  BuildNetworkStats(session, NetProtocol::Ipx);
  BuildStreamList(session);

  if (session.info.TopologyCode == topology::TokenRing)
    SoftErrorSummaryCopyText(BuildTokenRingErrors(session));
  else
    EthernetErrorsCopyText(BuildEthernetErrors(session));
}

}  // namespace korvane::fuzz
