#include "app/cli/ConversationCommands.h"

#include <cstdint>

#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/cli/CliSupport.h"
#include "measure/WhatIf.h"
#include "reports/ConversationGrid.h"
#include "reports/LatencyReport.h"
#include "reports/ProblemSummary.h"
#include "reports/ReportJson.h"
#include "reports/Selection.h"
#include "reports/StreamList.h"
#include "reports/ThroughputReport.h"
#include "reports/VisualiserLines.h"
#include "reports/WhatIfTable.h"

namespace korvane {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;

void AddStreamOptions(CLI::App* sub, ConversationOptions& o, bool range) {
  sub->add_option("--source", o.source, "source text, as `streams` prints it")->required();
  sub->add_option("--dest", o.destination, "destination text, as `streams` prints it")->required();
  sub->add_option("--stream", o.stream, "stream index, as `streams` prints it")
      ->required()
      ->check(WholeNumber(0, INT32_MAX, "the stream index that `streams` prints"));
  if (range) {
    sub->add_option("--from", o.from, "first frame of the range")->check(WholeNumber(1, INT64_MAX, "a frame number"));
    sub->add_option("--to", o.to, "last frame of the range (default: the last frame)")
        ->check(WholeNumber(1, INT64_MAX, "a frame number"));
  }
}

// The selection for the stream the options name, or nothing (with the message printed).
std::optional<MeasurementSelection> Select(const TraceSession& session, const ConversationOptions& o) {
  const std::vector<StreamEntry> list = BuildStreamList(session);
  const std::optional<StreamEntry> entry = FindStream(list, o.source, o.destination, o.stream);
  if (!entry) {
    std::cerr << "no stream " << o.stream << " from \"" << o.source << "\" to \"" << o.destination
              << "\" in this trace (see korvane-cli streams)\n";
    return std::nullopt;
  }
  if (o.to > 0 && o.from > o.to) {
    std::cerr << "the range --from " << o.from << " --to " << o.to << " is empty\n";
    return std::nullopt;
  }
  return PrepareSelection(session, *entry, o.from, o.to);
}

int Conversations(const TraceSession& session, const ProblemFinderSettings& settings, const ConversationOptions& o) {
  ConversationGridOptions options;
  if (o.packetsBytes == "c2s") options.packetsBytes = PacketsBytes::ClientToServer;
  if (o.packetsBytes == "s2c") options.packetsBytes = PacketsBytes::ServerToClient;
  if (!o.json) {
    WriteConversationGridText(std::cout, session, settings, options);
    return kExitDone;
  }
  const ConversationGrid grid = BuildConversationGrid(session, settings, options);
  std::vector<std::vector<std::string>> cells;
  for (const GridRow& row : grid.rows) {
    std::vector<std::string>& shown = cells.emplace_back();
    for (size_t c = 0; c < kGridShownColumns; ++c) shown.emplace_back(GridCellText(row.cells[c]));
  }
  const std::vector<std::string_view> headings(grid.headings.begin(), grid.headings.end());
  nlohmann::ordered_json out;
  // The marks A..D and the client, server and application stay texts; the counts E..I,
  // packets, bytes, the duration, times and rates are numbers.
  out["Conversations"] = TableJson(headings, cells, [](size_t column) {
    return column < 4 || (column >= 9 && column <= 11);
  });
  out["Totals"] = {grid.boxes[0], grid.boxes[1], grid.boxes[2]};
  std::cout << JsonText(out);
  return kExitDone;
}

int WhatIf(const TraceSession& session, const MeasurementSelection& selection, const ConversationOptions& o) {
  const LatencyReport latency = BuildLatencyReport(session, selection, {});
  const LatencyHalf& half = o.lower ? latency.lower : latency.upper;
  if (!half.hasResults) {
    std::cerr << "no latency figures to start from: "
              << (half.shown ? half.memo : std::string("the lower half was not measured")) << '\n';
    return kExitUsage;
  }
  const uint8_t topology = session.info.TopologyCode;
  WhatIfInputs inputs = LoadWhatIfInputs(half.kept, topology);
  inputs.FullDuplex = !o.halfDuplex;
  // Changes in the order a user makes them in the window: fields first, then the ratios
  // and the packets per transaction with their rules.
  auto set = [](int value, int& field) {
    if (value >= 0) field = value;
  };
  set(o.sendSize, inputs.AveSend);
  set(o.receiveSize, inputs.AveRcv);
  set(o.latencyMs, inputs.Latency);
  set(o.contentionMs, inputs.Contention);
  set(o.users, inputs.Users);
  set(o.clientMs, inputs.Client);
  set(o.hostMs, inputs.Host);
  if (o.sendRatio >= 0) ChangeSendRatio(inputs, o.sendRatio);
  if (o.receiveRatio >= 0) ChangeRcvRatio(inputs, o.receiveRatio);
  if (o.packetsPerTransaction >= 0) ChangePktsTrans(inputs, o.packetsPerTransaction);
  ClampWhatIfInputs(inputs, topology);
  const std::vector<WhatIfTableRow> rows = BuildWhatIfTable(inputs);
  if (o.json) {
    std::cout << JsonText(TableJson(WhatIfHeadings(), [&] {
      std::vector<std::array<std::string, kWhatIfColumns>> cells;
      for (const WhatIfTableRow& row : rows) cells.push_back(row.cells);
      return cells;
    }(), [](size_t column) { return column == 0; }));
    return kExitDone;
  }
  std::cout << WhatIfTableText(rows);
  return kExitDone;
}

}  // namespace

void AddConversationOptions(CLI::App* sub, ConversationCommand command, ConversationOptions& o) {
  switch (command) {
    case ConversationCommand::Conversations:
      sub->add_option("--packets-bytes", o.packetsBytes, "Packets && Bytes: both, c2s or s2c")
          ->check(CLI::IsMember({"both", "c2s", "s2c"}));
      break;
    case ConversationCommand::Latency: {
      AddStreamOptions(sub, o, true);
      auto* small = sub->add_flag("--small", o.small, "only command/small response packets");
      sub->add_flag("--large", o.large, "only command/large response packets")->excludes(small);
      sub->add_flag("--no-local-media", o.noLocalMedia, "leave out the local media transmission time");
      break;
    }
    case ConversationCommand::Throughput:
      AddStreamOptions(sub, o, true);
      sub->add_option("--window", o.window, "packet sampling window, 4..100")
          ->check(WholeNumber(4, 100, "the packet sampling window"));
      sub->add_flag("--no-acks", o.noAcks, "leave out TCP packets that only acknowledge");
      sub->add_flag("--kbits", o.kbits, "throughput in KBits/Second");
      break;
    case ConversationCommand::WhatIf:
      AddStreamOptions(sub, o, true);
      sub->add_flag("--lower", o.lower, "start from the lower latency half (destination as sender)");
      sub->add_flag("--half-duplex", o.halfDuplex, "half duplex link (default: full duplex)");
      sub->add_option("--users", o.users, "simultaneous users")->check(WholeNumber(0, INT32_MAX, "simultaneous users"));
      sub->add_option("--client", o.clientMs, "client processing, ms")->check(WholeNumber(0, INT32_MAX, "client processing"));
      sub->add_option("--host", o.hostMs, "host processing, ms")->check(WholeNumber(0, INT32_MAX, "host processing"));
      sub->add_option("--send-size", o.sendSize, "average send packet size, bytes")->check(WholeNumber(0, INT32_MAX, "average send packet size"));
      sub->add_option("--receive-size", o.receiveSize, "average receive packet size, bytes")
          ->check(WholeNumber(0, INT32_MAX, "average receive packet size"));
      sub->add_option("--latency", o.latencyMs, "latency, ms")->check(WholeNumber(0, INT32_MAX, "latency"));
      sub->add_option("--contention", o.contentionMs, "contention, ms")->check(WholeNumber(0, INT32_MAX, "contention"));
      sub->add_option("--send-ratio", o.sendRatio, "packet send ratio")->check(WholeNumber(0, INT32_MAX, "packet send ratio"));
      sub->add_option("--receive-ratio", o.receiveRatio, "packet receive ratio")->check(WholeNumber(0, INT32_MAX, "packet receive ratio"));
      sub->add_option("--packets", o.packetsPerTransaction, "packets per transaction")->check(WholeNumber(0, INT32_MAX, "packets per transaction"));
      break;
    case ConversationCommand::Problems:
    case ConversationCommand::Visualize:
      AddStreamOptions(sub, o, true);
      break;
  }
}

int RunConversationCommand(ConversationCommand command, const TraceSession& session,
                           const ProblemFinderSettings& settings, const ConversationOptions& o) {
  if (command == ConversationCommand::Conversations) return Conversations(session, settings, o);
  const std::optional<MeasurementSelection> selection = Select(session, o);
  if (!selection) return kExitUsage;
  switch (command) {
    case ConversationCommand::Latency: {
      LatencyOptions options;
      options.responses = o.small ? ResponseFilter::SmallOnly : (o.large ? ResponseFilter::LargeOnly : ResponseFilter::All);
      options.includeLocalMediaTime = !o.noLocalMedia;
      const LatencyReport report = BuildLatencyReport(session, *selection, options);
      std::cout << (o.json ? JsonText(LatencyJson(report)) : LatencyText(report));
      return kExitDone;
    }
    case ConversationCommand::Throughput: {
      ThroughputOptions options;
      options.sampleWindow = uint16_t(o.window);
      options.includeAckPackets = !o.noAcks;
      options.kbits = o.kbits;
      const ThroughputReport report = BuildThroughputReport(session, *selection, options);
      std::cout << (o.json ? JsonText(ThroughputJson(report, o.kbits)) : ThroughputText(report));
      return kExitDone;
    }
    case ConversationCommand::WhatIf:
      return WhatIf(session, *selection, o);
    case ConversationCommand::Problems:
    case ConversationCommand::Visualize: {
      const std::vector<std::string> lines =
          command == ConversationCommand::Problems
              ? ProblemSummaryTextLines(AnalyseProblems(session, *selection, settings))
              : VisualiserTextLines(session, *selection, settings);
      if (o.json) {
        std::cout << JsonText(Json(lines));
        return kExitDone;
      }
      for (const std::string& line : lines) std::cout << line << '\n';
      return kExitDone;
    }
    case ConversationCommand::Conversations:
      break;
  }
  return kExitUsage;
}

}  // namespace korvane
