#include "app/cli/ConversationCommands.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "measure/WhatIf.h"
#include "reports/ConversationGrid.h"
#include "reports/LatencyReport.h"
#include "reports/ProblemSummary.h"
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
  sub->add_option("--stream", o.stream, "stream index, as `streams` prints it")->required()->check(CLI::NonNegativeNumber);
  if (range) {
    sub->add_option("--from", o.from, "first frame of the range")->check(CLI::PositiveNumber);
    sub->add_option("--to", o.to, "last frame of the range (default: the last frame)")->check(CLI::PositiveNumber);
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
  const ConversationGrid grid = BuildConversationGrid(session, settings, options);
  if (!o.json) {
    std::cout << ConversationGridText(grid);
    return kExitDone;
  }
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const GridRow& row : grid.rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (int c = 0; c < kGridShownColumns; ++c)
      object[grid.headings[size_t(c)]] = row.cells[size_t(c)] == kGridMark ? std::string("X") : row.cells[size_t(c)];
    rows.push_back(std::move(object));
  }
  nlohmann::ordered_json out;
  out["Conversations"] = std::move(rows);
  out["Totals"] = {grid.boxes[0], grid.boxes[1], grid.boxes[2]};
  std::cout << out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
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
  std::cout << WhatIfTableText(BuildWhatIfTable(inputs));
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
      sub->add_option("--window", o.window, "packet sampling window, 4..100")->check(CLI::Range(4, 100));
      sub->add_flag("--no-acks", o.noAcks, "leave out TCP packets that only acknowledge");
      sub->add_flag("--kbits", o.kbits, "throughput in KBits/Second");
      break;
    case ConversationCommand::WhatIf:
      AddStreamOptions(sub, o, true);
      sub->add_flag("--lower", o.lower, "start from the lower latency half (destination as sender)");
      sub->add_flag("--half-duplex", o.halfDuplex, "half duplex link (default: full duplex)");
      sub->add_option("--users", o.users, "simultaneous users")->check(CLI::NonNegativeNumber);
      sub->add_option("--client", o.clientMs, "client processing, ms")->check(CLI::NonNegativeNumber);
      sub->add_option("--host", o.hostMs, "host processing, ms")->check(CLI::NonNegativeNumber);
      sub->add_option("--send-size", o.sendSize, "average send packet size, bytes")->check(CLI::NonNegativeNumber);
      sub->add_option("--receive-size", o.receiveSize, "average receive packet size, bytes")
          ->check(CLI::NonNegativeNumber);
      sub->add_option("--latency", o.latencyMs, "latency, ms")->check(CLI::NonNegativeNumber);
      sub->add_option("--contention", o.contentionMs, "contention, ms")->check(CLI::NonNegativeNumber);
      sub->add_option("--send-ratio", o.sendRatio, "packet send ratio")->check(CLI::NonNegativeNumber);
      sub->add_option("--receive-ratio", o.receiveRatio, "packet receive ratio")->check(CLI::NonNegativeNumber);
      sub->add_option("--packets", o.packetsPerTransaction, "packets per transaction")->check(CLI::NonNegativeNumber);
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
      std::cout << LatencyText(BuildLatencyReport(session, *selection, options));
      return kExitDone;
    }
    case ConversationCommand::Throughput: {
      ThroughputOptions options;
      options.sampleWindow = uint16_t(o.window);
      options.includeAckPackets = !o.noAcks;
      options.kbits = o.kbits;
      std::cout << ThroughputText(BuildThroughputReport(session, *selection, options));
      return kExitDone;
    }
    case ConversationCommand::WhatIf:
      return WhatIf(session, *selection, o);
    case ConversationCommand::Problems:
      for (const std::string& line : ProblemSummaryTextLines(AnalyseProblems(session, *selection, settings)))
        std::cout << line << '\n';
      return kExitDone;
    case ConversationCommand::Visualize:
      for (const std::string& line : VisualiserTextLines(session, *selection, settings)) std::cout << line << '\n';
      return kExitDone;
    case ConversationCommand::Conversations:
      break;
  }
  return kExitUsage;
}

}  // namespace korvane
