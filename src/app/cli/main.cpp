// korvane-cli: the engine without a window, for scripts and tests.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <array>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"
#include "app/cli/CliSupport.h"
#include "app/cli/ConversationCommands.h"
#include "input/ByteSource.h"
#include "input/ReadLoop.h"
#include "reports/DlcErrors.h"
#include "reports/FileSummary.h"
#include "reports/InstalledFiles.h"
#include "reports/NetworkStats.h"
#include "reports/OpenTrace.h"
#include "reports/ProtocolTable.h"
#include "reports/ReportJson.h"
#include "reports/StationStats.h"
#include "reports/StreamList.h"
#include "reports/TableDump.h"
#include "settings/IniFileStore.h"
#include "settings/ServerPortSettings.h"

namespace korvane {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitInternal = 1;
constexpr int kExitRefused = 2;

struct CommonOptions {
  std::string file;
  int bandwidthMbps = 0;
  bool fullDuplex = false;
  std::string settingsFile;
  std::string ouiFile;
  bool json = false;
};

// Prints every frame as the reader hands it over, before the analysis touches it.
class FramePrinter final : public FrameSink {
 public:
  FramePrinter(const CapturedFrame& frame, bool json) : frame_(frame), json_(json) {}
  void BeginTrace(bool) override {
    if (json_) std::fputs("[", stdout);
  }
  uint8_t AnalyseFrame(CapturedFrame&, int64_t frameCounter) override {
    const size_t shown = std::min(frame_.StoredLength, frame_.FrameLength);
    line_.clear();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(shown * 2);
    for (size_t i = 0; i < shown; ++i) {
      hex += kHex[frame_.Data[i] >> 4];
      hex += kHex[frame_.Data[i] & 15];
    }
    if (json_) {
      fmt::format_to(std::back_inserter(line_),
                     "{}{{\"Frame\":{},\"TimeStamp (us)\":{:.3f},\"FrameLength\":{},\"StoredLength\":{},"
                     "\"Status\":\"0x{:04X}\",\"Data\":\"{}\"}}",
                     frameCounter == 1 ? "\n" : ",\n", frameCounter, frame_.TimeStamp, frame_.FrameLength,
                     frame_.StoredLength, frame_.Status, hex);
    } else {
      fmt::format_to(std::back_inserter(line_), "{}\t{:.3f}\t{}\t{}\t0x{:04X}\t{}\n", frameCounter,
                     frame_.TimeStamp, frame_.FrameLength, frame_.StoredLength, frame_.Status, hex);
    }
    std::fwrite(line_.data(), 1, line_.size(), stdout);
    return 0;
  }
  void EndTrace(bool) override {
    if (json_) std::fputs("\n]\n", stdout);
  }

 private:
  const CapturedFrame& frame_;
  bool json_;
  std::string line_;
};

struct OpenedTrace {
  std::unique_ptr<TraceSession> session = std::make_unique<TraceSession>();
  std::unique_ptr<FileSource> source;
};

// A read that ended before the file's data did says so on stderr; it fails only when it
// read no frame at all.
int ReportEarlyEnd(const TraceFileInfo& info) {
  const std::string text = CutShortText(info);
  if (text.empty()) return kExitDone;
  std::cerr << text << '\n';
  return info.FramesRead > 0 ? kExitDone : kExitRefused;
}

// Opens and checks the trace; prints the refusal and returns its exit status otherwise.
int Check(const CommonOptions& common, OpenedTrace& trace) {
  trace.source = FileSource::Open(common.file);
  OpenResult result;
  if (!trace.source) {
    result.message = "Unable to open Source file.  File is in use or name is bad.";
  } else {
    result = CheckTrace(*trace.session, common.file, *trace.source);
  }
  if (result.status != OpenStatus::Loaded) {
    std::cerr << result.message << '\n';
    return kExitRefused;
  }
  return kExitDone;
}

// ---- name tables read before a trace: vendor prefixes and user-defined server ports ----

// Loads the vendor table and the user's server ports, as the desktop program does at start-up.
void LoadNameTables(const CommonOptions& common, TraceSession& session) {
  const std::string oui =
      common.ouiFile.empty() ? FindProgramDataFile(RunningProgramFolder(), "OUI.TXT").string() : common.ouiFile;
  if (!session.vendors.Load(oui)) session.vendors.Clear();
  IniFileStore settings;
  LoadSettingsFile(common.settingsFile, settings);
  ServerPortSettings ports;
  ports.Load(settings);
  session.ports.SetUserPorts(ports.Entries);
}

int Read(const CommonOptions& common, OpenedTrace& trace, bool streamWalks = true) {
  LoadNameTables(common, *trace.session);
  trace.session->analyser.SetStreamWalks(streamWalks);
  if (int status = Check(common, trace); status != kExitDone) return status;
  OpenResult result = ReadShowingProgress(*trace.session, *trace.source, FileNamePart(common.file));
  if (result.status != OpenStatus::Loaded) {
    std::cerr << result.message << '\n';
    return kExitRefused;
  }
  return ReportEarlyEnd(trace.session->info);
}

int RunDetect(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Check(common, trace); status != kExitDone) return status;
  const TraceFileInfo& info = trace.session->info;
  if (common.json) {
    Json out;
    out["DetectedFormat"] = info.DetectedFormat;
    out["AnalyzerName"] = AnalyzerName(info);
    out["TopologyCode"] = info.TopologyCode;
    out["FileBandwidthBps"] = info.FileBandwidthBps;
    out["FileBandwidthKnown"] = info.FileBandwidthKnown;
    std::cout << JsonText(out);
    return kExitDone;
  }
  fmt::print("DetectedFormat\tAnalyzerName\tTopologyCode\tFileBandwidthBps\tFileBandwidthKnown\n");
  fmt::print("{}\t{}\t{}\t{}\t{}\n", info.DetectedFormat, AnalyzerName(info), info.TopologyCode,
             info.FileBandwidthBps, info.FileBandwidthKnown);
  return kExitDone;
}

int RunFrames(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Check(common, trace); status != kExitDone) return status;
  TraceSession& session = *trace.session;
  FramePrinter printer(*session.frame, common.json);
  ReadOutcome outcome = ReadTraceFile(*trace.source, session.info, *session.frame, printer, session.progress, false);
  std::fflush(stdout);
  if (!outcome.tablesReady) {
    std::cerr << FileNamePart(common.file) << " has a damaged header and cannot be read.\n";
    return kExitRefused;
  }
  return ReportEarlyEnd(session.info);
}

int RunSummary(const CommonOptions& common, bool broadcastOnly) {
  OpenedTrace trace;
  // The File Summary is made of the tables alone: no stream is walked.
  if (int status = Read(common, trace, false); status != kExitDone) return status;
  SummaryOptions options;
  options.broadcastOnly = broadcastOnly;
  options.lineSpeedMbps = common.bandwidthMbps;
  options.duplexFactor = common.fullDuplex ? 2 : 1;
  const FileSummary built = BuildFileSummary(*trace.session, options);
  std::cout << (common.json ? JsonText(FileSummaryJson(built)) : FileSummaryText(built));
  return kExitDone;
}

int RunDump(const CommonOptions& common, bool packets) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  DumpOptions options;
  options.packets = packets;
  std::cout << DumpTables(*trace.session, options).dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  return kExitDone;
}

// ---- the table views ----

// Whether a column of a table holds texts (names, addresses, lists): a set of column indexes.
struct TextColumns {
  std::vector<size_t> columns;
  bool operator()(size_t column) const { return std::find(columns.begin(), columns.end(), column) != columns.end(); }
};

// A table: the heading row and the rows tab-separated, or with --json an array of objects
// keyed by the headings, figures as numbers.
template <size_t N, class Rows>
void PrintTable(const std::array<std::string_view, N>& headings, const Rows& rows, bool json, TextColumns textColumns) {
  if (json) {
    std::cout << JsonText(TableJson(headings, rows, textColumns));
    return;
  }
  std::string text;
  for (size_t c = 0; c < N; ++c) {
    if (c > 0) text += '\t';
    text += headings[c];
  }
  text += '\n';
  for (const auto& row : rows) {
    for (size_t c = 0; c < N; ++c) {
      if (c > 0) text += '\t';
      text += row[c];
    }
    text += '\n';
  }
  std::cout << text;
}

int RunProtocols(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  std::vector<std::array<std::string, kProtocolTableColumns>> rows;
  for (ProtocolRow& row : BuildProtocolTable(trace.session->tables)) rows.push_back(std::move(row.cells));
  PrintTable(ProtocolTableHeadings(), rows, common.json, {{0, 6}});
  return kExitDone;
}

int RunStations(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  std::vector<std::array<std::string, kStationStatsColumns>> rows;
  for (StationStatsRow& row : BuildStationStats(*trace.session)) rows.push_back(std::move(row.cells));
  PrintTable(StationStatsHeadings(), rows, common.json, {{0, 1, 2, 10}});
  return kExitDone;
}

int RunNetwork(const CommonOptions& common, bool ipx) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  std::vector<std::array<std::string, kNetworkStatsColumns>> rows;
  for (NetworkStatsRow& row : BuildNetworkStats(*trace.session, ipx ? NetProtocol::Ipx : NetProtocol::Ip))
    rows.push_back(std::move(row.cells));
  PrintTable(NetworkStatsHeadings(), rows, common.json, {{0, 1, 8}});
  return kExitDone;
}

int RunStreams(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  std::vector<std::array<std::string, 4>> rows;
  for (StreamEntry& e : BuildStreamList(*trace.session))
    rows.push_back({std::move(e.source), std::move(e.destination), std::move(e.app), std::to_string(e.streamIndex)});
  PrintTable(StreamListHeadings(), rows, common.json, {{0, 1, 2}});
  return kExitDone;
}

// The conversation tools. The problem finder's settings come from the same settings file
// as the server ports; --bandwidth sets the line speed the transmission times use.
int RunConversation(const CommonOptions& common, ConversationCommand command, ConversationOptions options) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  if (common.bandwidthMbps > 0) trace.session->info.LineSpeedMbps = common.bandwidthMbps;
  IniFileStore store;
  LoadSettingsFile(common.settingsFile, store);
  ProblemFinderSettings settings;
  settings.Load(store);
  options.json = common.json;
  return RunConversationCommand(command, *trace.session, settings, options);
}

// The DLC Error Expert: on Ethernet the copy text; on Token Ring the Soft Error Summary's
// copy text, the notes under "Notes", then under "Ring Map" the map's message (when it has
// one) and its stations in ring order with a heading row.
int RunDlcErrors(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  const TraceSession& session = *trace.session;
  static constexpr std::array<std::string_view, 5> kRingHeadings = {"Position", "Address", "Station", "Ring Poll",
                                                                    "Station Errors"};
  if (session.info.TopologyCode != topology::TokenRing) {
    EthernetErrors errors = BuildEthernetErrors(session);
    if (!common.json) {
      std::cout << EthernetErrorsCopyText(errors);
      return kExitDone;
    }
    nlohmann::ordered_json out;
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    for (const FrameErrorItem& item : errors.frameErrors) summary[item.label] = FigureJson(item.count);
    out["Frame Error Summary"] = std::move(summary);
    nlohmann::ordered_json collisions = nlohmann::ordered_json::array();
    for (const CollisionRow& row : errors.collisions) {
      if (!row.filled) continue;
      collisions.push_back({{"DLC Source", row.source},
                            {"Transmits", FigureJson(row.transmitsText)},
                            {"Retransmits", FigureJson(row.retransmitsText)},
                            {"% Retransmitted", row.percent}});
    }
    out["Collision Fragment Analysis"] = std::move(collisions);
    out["Notes"] = std::vector<std::string>(errors.notes.begin() + 1, errors.notes.end());
    std::cout << out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return kExitDone;
  }
  TokenRingErrors errors = BuildTokenRingErrors(session);
  std::vector<std::array<std::string, 5>> ring;
  for (const RingMapStation& s : errors.ring.stations)
    ring.push_back({std::to_string(s.position), s.overflow ? std::string() : MacKeyText(s.address), s.label,
                    s.ringPollKey, s.stationErrorKey});
  if (!common.json) {
    std::cout << SoftErrorSummaryCopyText(errors) << "Notes\n";
    for (const std::string& note : errors.notes) std::cout << note << '\n';
    std::cout << "Ring Map\n";
    if (!errors.ring.message.empty()) std::cout << errors.ring.message << '\n';
    PrintTable(kRingHeadings, ring, false, {{1, 2, 3, 4}});
    return kExitDone;
  }
  nlohmann::ordered_json out;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const SoftErrorRow& row : errors.rows) {
    std::string_view box;
    for (const SoftErrorBoxText& b : SoftErrorBoxes())
      if (b.box == row.box) box = b.caption;
    rows.push_back({{"Error", row.label},
                    {"Box", box},
                    {"Total", FigureJson(row.total)},
                    {"Stations", row.stations},
                    {"Reporting Station/NAUN/Count", row.entries}});
  }
  out["Soft Error Summary"] = std::move(rows);
  out["Notes"] = errors.notes;
  out["Ring Map"] = {{"Message", errors.ring.message}, {"Stations", TableJson(kRingHeadings, ring, TextColumns{{1, 2, 3, 4}})}};
  std::cout << out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  return kExitDone;
}

int Main(int argc, char** argv) {
  CLI::App app{"Korvane trace analyser, headless", "korvane-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("korvane-cli ") + KORVANE_VERSION, "print the version and exit");
  CommonOptions common;
  // Options are made for the subcommand named first only (every subcommand when none is):
  // making them all took a millisecond of every run.
  const std::string_view named = argc > 1 && argv[1][0] != '-' ? std::string_view(argv[1]) : std::string_view();
  auto wanted = [&](const CLI::App* sub) { return named.empty() || sub->get_name() == named; };
  auto addCommon = [&](CLI::App* sub) {
    if (!wanted(sub)) return;
    sub->add_option("FILE", common.file, "trace file")->required();
    sub->add_option("--bandwidth", common.bandwidthMbps, "line speed in Mbit/s for utilisation")
        ->check(WholeNumber(1, 100000, "the line speed in Mbit/s"));
    sub->add_flag("--full-duplex", common.fullDuplex, "as the Full Duplex option");
    sub->add_option("--settings", common.settingsFile, "settings file to read")->check(ExistingFile());
    sub->add_option("--oui", common.ouiFile, "vendor-prefix file")->check(ExistingFile());
    sub->add_flag("--json", common.json, "print tables as JSON");
  };
  auto* detect = app.add_subcommand("detect", "format, analyser, topology and bandwidth of a trace");
  addCommon(detect);
  auto* frames = app.add_subcommand("frames", "every frame handed to the analyser");
  addCommon(frames);
  auto* summary = app.add_subcommand("summary", "the File Summary page");
  addCommon(summary);
  bool broadcastOnly = false;
  summary->add_flag("--broadcast-only", broadcastOnly, "utilisation of broadcast traffic only");
  auto* dump = app.add_subcommand("dump", "the analysis tables as JSON");
  addCommon(dump);
  bool packets = false;
  dump->add_flag("--packets", packets, "include every packet of every stream");
  auto* protocols = app.add_subcommand("protocols", "the protocol table");
  addCommon(protocols);
  auto* dlcErrors = app.add_subcommand("dlc-errors", "the DLC Error Expert's summary");
  addCommon(dlcErrors);
  auto* stations = app.add_subcommand("stations", "the station statistics table");
  addCommon(stations);
  auto* network = app.add_subcommand("network", "the network statistics table");
  addCommon(network);
  bool ipx = false;
  network->add_flag("--ipx", ipx, "IPX stations instead of IP stations");
  auto* streams = app.add_subcommand("streams", "every stream the toolbox can select");
  addCommon(streams);

  ConversationOptions conversationOptions;
  const std::array<std::pair<ConversationCommand, CLI::App*>, 6> conversationCommands = {{
      {ConversationCommand::Conversations, app.add_subcommand("conversations", "the client/server expert grid")},
      {ConversationCommand::Latency, app.add_subcommand("latency", "response time/latency analysis of a stream")},
      {ConversationCommand::Throughput, app.add_subcommand("throughput", "throughput analysis of a stream")},
      {ConversationCommand::WhatIf, app.add_subcommand("whatif", "load & response time analysis of a stream")},
      {ConversationCommand::Problems, app.add_subcommand("problems", "problem analysis summary of a stream")},
      {ConversationCommand::Visualize, app.add_subcommand("visualize", "the packet visualiser as text")},
  }};
  for (const auto& [command, sub] : conversationCommands) {
    addCommon(sub);
    if (wanted(sub)) AddConversationOptions(sub, command, conversationOptions);
  }
  if (const std::optional<std::string> unknown = UnknownSubcommand(app, argc, argv)) {
    std::cerr << *unknown << '\n';
    return kExitInternal;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "korvane-cli: " << e.what() << '\n';
    return kExitInternal;
  }
  if (*detect) return RunDetect(common);
  if (*frames) return RunFrames(common);
  if (*summary) return RunSummary(common, broadcastOnly);
  if (*dump) return RunDump(common, packets);
  if (*protocols) return RunProtocols(common);
  if (*dlcErrors) return RunDlcErrors(common);
  if (*stations) return RunStations(common);
  if (*network) return RunNetwork(common, ipx);
  if (*streams) return RunStreams(common);
  for (const auto& [command, sub] : conversationCommands)
    if (*sub) return RunConversation(common, command, conversationOptions);
  return kExitInternal;
}

}  // namespace
}  // namespace korvane

// Output that could not be written (a full disk, a closed pipe) is a failure, not a success.
int FinishOutput(int status) {
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || std::cout.fail()) {
    std::cerr << "korvane-cli: the output could not be written.\n";
    return status == 0 ? 1 : status;
  }
  return status;
}

int main(int argc, char** argv) {
  try {
    return FinishOutput(korvane::Main(argc, argv));
  } catch (const std::exception& e) {
    std::cerr << "internal error: " << e.what() << '\n';
    return 1;
  } catch (...) {
    std::cerr << "internal error\n";
    return 1;
  }
}
