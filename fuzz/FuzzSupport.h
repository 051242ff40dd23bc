// What both fuzz targets do around the engine: one session, made once and reused by every
// run the way the desktop program reuses it from trace to trace, that reads nothing but the
// input; a pass over every report that walks the analysis tables; and a count of runs per
// kind of input, printed when the fuzzer ends.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

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

// The session every run uses, made in LLVMFuzzerInitialize. No station-name files of other
// analysers: only the input reaches the analyser. Opening a trace resets what the previous
// run left, as it does in the programs; the vendor table and the port names stay empty.
inline TraceSession& Session() {
  static const std::unique_ptr<TraceSession> session = [] {
    auto made = std::make_unique<TraceSession>();
    made->analyser.SetNameFiles(nullptr);
    return made;
  }();
  return *session;
}

// The session for the next run: the file attributes and the frame buffer are cleared, so
// that an input reads the same whatever ran before it (the tables are reset by the read).
inline TraceSession& FreshSession() {
  TraceSession& session = Session();
  session.info = TraceFileInfo{};
  CapturedFrame& frame = *session.frame;
  frame.TimeStamp = 0;
  frame.FrameLength = frame.StoredLength = frame.Status = 0;
  frame.Data.fill(0);
  return session;
}

// Runs per kind of input (a reader family, a topology), printed on stderr at exit as
// "runs per KIND: NAME COUNT ...", so that a long run tells how deep each kind went.
class RunCounts {
 public:
  RunCounts(const char* kind, std::vector<const char*> names) : kind_(kind), names_(std::move(names)) {
    counts_.assign(names_.size(), 0);
  }
  void Count(size_t which) { ++counts_[which]; }
  void Print() const {
    std::fprintf(stderr, "runs per %s:", kind_);
    for (size_t i = 0; i < names_.size(); ++i)
      std::fprintf(stderr, " %s %llu", names_[i], static_cast<unsigned long long>(counts_[i]));
    std::fprintf(stderr, "\n");
  }

 private:
  const char* kind_;
  std::vector<const char*> names_;
  std::vector<uint64_t> counts_;
};

// Builds every view the way korvane-cli prints it; the results are dropped. The table dump
// only on request: it is mostly the JSON library's work and took two thirds of a run.
inline void WalkReports(const TraceSession& session, bool dumpTables) {
  FileSummaryText(BuildFileSummary(session, {}));
  SummaryOptions halfSpeed;
  halfSpeed.lineSpeedMbps = 4;
  halfSpeed.duplexFactor = 2;
  halfSpeed.broadcastOnly = true;
  FileSummaryText(BuildFileSummary(session, halfSpeed));

  // The tables as korvane-cli dumps them, without the packet list (numbers only, and it
  // would double the time of every run). The JSON is built but not written out as text.
  if (dumpTables) DumpTables(session, {});

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
