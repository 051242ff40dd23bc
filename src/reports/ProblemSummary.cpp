#include "reports/ProblemSummary.h"

#include <cctype>

#include "reports/Formatters.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, 2> kHeadings = {"Source to Destination Problem Summary",
                                                        "Destination to Source Problem Summary"};

struct CountNoun {
  ProblemCount kind;
  std::string_view noun;
};

// Before the routing and retransmission lines.
constexpr std::array<CountNoun, 15> kLeadingNouns = {{
    {ProblemCount::IcmpMessage, "ICMP message"},
    {ProblemCount::DlcCrcError, "DLC CRC error"},
    {ProblemCount::ShortPacket, "Short packet"},
    {ProblemCount::LongPacket, "Long packet"},
    {ProblemCount::ServerBusy, "server busy"},
    {ProblemCount::IpChecksumError, "IP checksum error"},
    {ProblemCount::IpMissingFragment, "IP missing fragment"},
    {ProblemCount::IpLowTtl, "IP low TTL"},
    {ProblemCount::UdpChecksumError, "UDP checksum error"},
    {ProblemCount::TcpChecksumError, "TCP checksum error"},
    {ProblemCount::TcpIdleTooLong, "TCP idle too long"},
    {ProblemCount::TcpSlowAck, "TCP slow ack"},
    {ProblemCount::TcpLowMss, "TCP low MSS"},
    {ProblemCount::TcpStuckWindow, "TCP stuck window"},
    {ProblemCount::TcpLowWindow, "TCP low window"},
}};

// After them.
constexpr std::array<CountNoun, 2> kTrailingNouns = {{
    {ProblemCount::ZeroWindow, "zero window"},
    {ProblemCount::TcpReset, "TCP reset"},
}};

template <size_t N>
void AppendCounts(std::vector<std::string>& lines, const DirectionCounters& counters,
                  const std::array<CountNoun, N>& nouns) {
  for (const CountNoun& n : nouns)
    if (counters[n.kind] > 0) lines.push_back(ProblemCountLine(counters[n.kind], n.noun));
}

}  // namespace

const std::array<std::string_view, 2>& ProblemSummaryHeadings() { return kHeadings; }

std::string ProblemCountLine(int64_t count, std::string_view noun) {
  std::string line = CountText(count) + " " + std::string(noun);
  if (count == 1) return line + ".";
  // "TCP low MSS" ends in an "s" as well.
  const bool endsInS = !noun.empty() && std::tolower(static_cast<unsigned char>(noun.back())) == 's';
  return line + (endsInS ? "es." : "s.");
}

std::vector<std::string> ProblemLines(const DirectionCounters& c) {
  std::vector<std::string> lines;
  AppendCounts(lines, c, kLeadingNouns);
  if (c.LocallyRouted > 0)
    lines.push_back(CountText(c.LocallyRouted) + " locally routed packet(s) totalling " +
                    CountText(c.LocallyRoutedBytes) + " bytes.");
  if (c.Retransmissions > 0) {
    lines.push_back(CountText(c.Retransmissions) + " transport retransmission(s) totalling " +
                    CountText(c.RetransmittedBytes) + " bytes.");
    lines.push_back("  ...the average retransmission time is " +
                    NumberText(c.RetransmitMicros / 1000 / double(c.Retransmissions), 2) + " milliseconds.");
  }
  if (c.RetransmitsAfterError > 0)
    lines.push_back("  ..." + CountText(c.RetransmitsAfterError) +
                    " of the retransmission(s) follow a packet with a CRC or checksum error.");
  AppendCounts(lines, c, kTrailingNouns);
  return lines;
}

ProblemSummary BuildProblemSummary(const MeasurementSelection& selection, uint16_t measurementStatus,
                                   const std::array<DirectionCounters, 2>& counters) {
  ProblemSummary summary;
  summary.Labels = {{{"Source:", selection.SourceText},
                     {"Destination:", selection.DestinationText},
                     {"Protocol/App:", selection.AppText}}};
  // Only a kind the analysis does not know stops it; a one-way stream or an ICMP stream
  // of replies only has its packets judged like any other.
  if (measurementStatus == measurement_status::UnsupportedKind) {
    summary.Boxes[0].push_back("Unable to perform problem analysis.");
    return summary;
  }
  for (size_t d = 0; d < 2; ++d) summary.Boxes[d] = ProblemLines(counters[d]);
  return summary;
}

std::vector<std::string> ProblemSummaryTextLines(const ProblemSummary& summary) {
  std::vector<std::string> out;
  for (size_t d = 0; d < 2; ++d) {
    out.emplace_back(kHeadings[d]);
    out.insert(out.end(), summary.Boxes[d].begin(), summary.Boxes[d].end());
  }
  return out;
}

ProblemSummary AnalyseProblems(const TraceSession& session, const MeasurementSelection& selection,
                               const ProblemFinderSettings& settings) {
  MeasurementSelection run = selection;
  run.LatencyMode = run.ThroughputMode = false;
  run.ProblemMode = true;
  MeasurementResults results;
  ConversationMeasurement(session, run, results);
  const PacketDiagnosticsResult judged = DiagnosePackets(session, selection, settings);
  return BuildProblemSummary(selection, results.MeasurementStatus, judged.Counters);
}

}  // namespace korvane
