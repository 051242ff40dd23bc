#include "reports/LatencyReport.h"

#include "reports/Formatters.h"
#include "reports/Selection.h"

namespace korvane {

std::string LatencyErrorText(uint16_t status) {
  std::string text = "Unable to analyze latency.  ";
  switch (status) {
    case measurement_status::UnsupportedKind:
      text += std::string("Latency analysis currently supported for IP applications") +
              " using Ping (ICMP Echo), UDP, or TCP; or IPX applications" +
              " using NCP, Packet Burst, SPX, SMB, or NetBIOS.";
      break;
    case measurement_status::OneWay: text += "Packets are one-way."; break;
    case measurement_status::NoPartnerStream: text += "No reponse packets found for this selection."; break;
    case measurement_status::NoEchoRequest: text += "No ping's orginating from Sender."; break;
    case measurement_status::NoSnmpGet: text += "No SNMP Get's orginating from Sender."; break;
    case measurement_status::BareAcksOnly: text += "Sender didn't send any TCP data (may be TCP ACKs only)."; break;
    case measurement_status::NoCommand: text += "No command packets orginating from Sender."; break;
    case measurement_status::NoTcpDataAcked: text += "Responder didn't ack any TCP data."; break;
    case measurement_status::NoPacketsInRange: text += "There are no packets from Sender in the selected range."; break;
    default: break;
  }
  return text;
}

double AverageLatencyMs(const MeasurementResults& r) {
  return r.PairCount > 0 ? r.LatencySum / double(r.PairCount) / 1000.0 : 0.0;
}

std::string SenderResponderText(const std::string& sender, const std::string& responder) {
  return "Sender: " + sender + "  Responder: " + responder;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

namespace {

void FillHalf(LatencyHalf& half, const MeasurementSelection& s, const MeasurementResults& r) {
  half.shown = true;
  half.label = SenderResponderText(s.SourceText, s.DestinationText);
  if (r.PairCount == 0) {
    half.memo = LatencyErrorText(r.MeasurementStatus);
    return;
  }
  half.hasResults = true;
  const double best = r.LatencyMin / 1000.0;
  const double average = AverageLatencyMs(r);
  const double contention = average - best;
  const double worst = r.LatencyMax / 1000.0;
  half.best = NumberText(best, 3, 1).insert(0, " ");
  half.worst = NumberText(worst, 3, 1).insert(0, " ");
  half.average = NumberText(average, 3, 1).insert(0, " ");
  half.contention = NumberText(contention, 3, 1).insert(0, " ");
  half.chart = MakeAnalysisChart({best, worst, average, contention});
  half.memo = std::to_string(r.PairCount) + " packet pair found out of " + std::to_string(r.FwdCount + r.RevCount) +
              " total packets for latency analysis over the range " + std::to_string(s.StartFrame) + " to " +
              std::to_string(s.EndFrame) + ".";
  half.total = CountText(r.FwdCount + r.RevCount);
  half.duration = MeasuredDurationText(r.Duration);
  half.ratio = RatioText(r.FwdCount, r.RevCount);
  if (r.FwdCount > 0) half.averageSendSize = CountText(r.FwdBytes / r.FwdCount);
  if (r.RevCount > 0) half.averageReceiveSize = CountText(r.RevBytes / r.RevCount);
  half.kept = {best, average, contention, half.ratio,
               r.FwdCount > 0 ? double(r.FwdBytes) / double(r.FwdCount) : 0.0,
               r.RevCount > 0 ? double(r.RevBytes) / double(r.RevCount) : 0.0};
  const std::vector<std::string> lines = {
      "Latency Analysis for " + TrimRight(s.AppText) + ".  Sender: " + s.SourceText + " Responder: " + s.DestinationText,
      "",
      "Latency in Milliseconds",
      "Minimum \t" + half.best,
      "Maximum \t" + half.worst,
      "Average \t" + half.average,
      "Contention \t" + half.contention,
      "",
      "Packets",
      "Total \t" + half.total,
      "Send-to-Receive Ratio \t" + half.ratio,
      "Average Send Size \t" + half.averageSendSize,
      "Average Receive Size \t" + half.averageReceiveSize};
  for (size_t i = 0; i < lines.size(); ++i) half.copyText += (i ? "\n" : "") + lines[i];
}

}  // namespace

LatencyReport BuildLatencyReport(const TraceSession& session, MeasurementSelection s, const LatencyOptions& options) {
  LatencyReport report;
  report.caption = "Detailed Response Time Analysis for " + s.AppText;
  s.SmallResponsesOnly = options.responses == ResponseFilter::SmallOnly;
  s.LargeResponsesOnly = options.responses == ResponseFilter::LargeOnly;
  s.IncludeLocalMediaTime = options.includeLocalMediaTime;
  s.LatencyMode = true;
  s.ThroughputMode = false;
  s.IncludeAckPackets = true;
  MeasurementResults r;
  ConversationMeasurement(session, s, r);
  FillHalf(report.upper, s, r);
  const uint16_t status = r.MeasurementStatus;
  if (status == measurement_status::OneWay || s.OneWay) {
    report.upper.label = "Sender: " + s.SourceText + "  Destination: " + s.DestinationText;
  } else if (status != measurement_status::UnsupportedKind && s.ReverseStream >= 0) {
    s.SwapDirection();
    ConversationMeasurement(session, s, r);
    FillHalf(report.lower, s, r);
    s.SwapDirection();
  } else if (status != measurement_status::UnsupportedKind) {
    // The partner talks back, but not in this stream: nothing flows the other way here.
    report.lower.shown = true;
    report.lower.label = SenderResponderText(s.DestinationText, s.SourceText);
    report.lower.memo = LatencyErrorText(measurement_status::OneWay);
  }
  return report;
}

std::string LatencyText(const LatencyReport& report) {
  auto half = [](const LatencyHalf& h) { return HalfText{h.shown, h.hasResults, h.copyText, h.memo}; };
  return TwoHalvesText(half(report.upper), half(report.lower));
}

}  // namespace korvane
