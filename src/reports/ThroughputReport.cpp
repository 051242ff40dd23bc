#include "reports/ThroughputReport.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "reports/Formatters.h"
#include "reports/LatencyReport.h"
#include "reports/Selection.h"

namespace korvane {

namespace {

constexpr const char* kNoPacketsBack = "There are no packets to analyze from destination to source.";

std::string Figure(double value) { return " " + NumberText(value, 3, 1); }

void FillHalf(ThroughputHalf& half, const MeasurementSelection& s, const MeasurementResults& r,
              const ThroughputOptions& options, bool lower) {
  half.shown = true;
  half.label = "From " + s.SourceText + " to " + s.DestinationText;
  const char* direction = lower ? " the destination to the source.  A minimum of "
                                : " the source to the destination.  A minimum of ";
  // A range without the sender's packets falls through to the no-packets note below.
  if (r.MeasurementStatus != 0 && r.MeasurementStatus != measurement_status::NoPacketsInRange) {
    half.memo = r.MeasurementStatus == measurement_status::UnsupportedKind
                    ? "Throughput analysis currently supported for IP applications using Ping (ICMP Echo), UDP, or "
                      "TCP; or IPX applications using NCP, Packet Burst, SPX, or NetBIOS."
                    : "Unable to analyze throughput.";
    return;
  }
  const int window = std::clamp<int>(options.sampleWindow, 4, 100);
  if (r.SampleCount <= 0) {
    half.memo = lower ? kNoPacketsBack : "There are no packets to analyze from source to destination.";
    return;
  }
  half.bytes = CountText(r.SampleBytes);
  half.averageSize = CountText(r.SampleBytes / r.SampleCount);
  half.averagePayload = CountText(r.PayloadSum / r.SampleCount);
  half.overhead =
      r.SampleBytes > 0 ? " " + FixedText(100.0 - double(r.PayloadSum) / double(r.SampleBytes) * 100.0, 2, 1) + "%" : "";
  if (r.SampleCount < window) {
    half.memo = (r.SampleCount == 1 ? std::string("There is only 1 packet")
                                    : "There are only " + std::to_string(r.SampleCount) + " packets") +
                " from" + direction + std::to_string(window) +
                " is required for throughput analysis. This can be adjusted in the" + " Packet Sample Window setting.";
    return;
  }
  half.hasResults = true;
  half.total = CountText(r.SampleCount);
  half.duration = MeasuredDurationText(r.Duration);
  const double unit = options.kbits ? 8.0 : 1.0;
  // A window whose packets all carry one time stamp measures no rate: its figures show "-".
  const bool sampled = r.ThroughputMax > 0;
  const double lowest = sampled ? r.ThroughputMin / 1000 : NAN;
  const double peak = sampled ? r.ThroughputMax / 1000 : NAN;
  const double average = r.ThroughputAverage > 0 ? r.ThroughputAverage / 1000 : NAN;
  const double contention = peak - average;
  half.lowest = Figure(unit * lowest);
  half.peak = Figure(unit * peak);
  half.average = Figure(unit * average);
  half.contention = Figure(unit * contention);
  half.chart = MakeAnalysisChart({unit * lowest, unit * peak, unit * average, unit * contention});
  half.memo = std::to_string(r.SampleCount) + " packets included in the throughput analysis over the range " +
              std::to_string(s.StartFrame) + " to " + std::to_string(s.EndFrame) + ".";
  const std::vector<std::string> lines = {
      "Throughput Analysis for " + TrimRight(s.AppText) + " from " + s.SourceText + " to " + s.DestinationText,
      "",
      std::string("Throughput in ") + (options.kbits ? "KBits/Second" : "KBytes/Second"),
      "Minimum \t" + half.lowest,
      "Maximum \t" + half.peak,
      "Average \t" + half.average,
      "Contention \t" + half.contention,
      "",
      "Packets",
      "Total \t" + half.total,
      "Average Size \t" + half.averageSize,
      "Average Payload \t" + half.averagePayload,
      "Protocol Overhead \t" + half.overhead};
  for (size_t i = 0; i < lines.size(); ++i) half.copyText += (i ? "\n" : "") + lines[i];
}

}  // namespace

ThroughputReport BuildThroughputReport(const TraceSession& session, MeasurementSelection s,
                                       const ThroughputOptions& options) {
  ThroughputReport report;
  report.caption = "Detailed Throughput Analysis for " + s.AppText;
  report.groupCaption = options.kbits ? "Throughput (in KBits/Second)" : "Throughput (in KBytes/Second)";
  s.ThroughputMode = true;
  s.LatencyMode = false;
  s.ProblemMode = false;
  s.SampleWindow = uint16_t(std::clamp<int>(options.sampleWindow, 4, 100));
  s.IncludeAckPackets = options.includeAckPackets;
  MeasurementResults r;
  ConversationMeasurement(session, s, r);
  FillHalf(report.upper, s, r, options, false);
  if (!s.OneWay && s.ReverseStream >= 0) {
    s.SwapDirection();
    ConversationMeasurement(session, s, r);
    FillHalf(report.lower, s, r, options, true);
    s.SwapDirection();
  } else if (!s.OneWay) {
    // The partner talks back, but not in this stream: nothing flows the other way here.
    report.lower.shown = true;
    report.lower.label = "From " + s.DestinationText + " to " + s.SourceText;
    report.lower.memo = kNoPacketsBack;
  }
  return report;
}

std::string ThroughputText(const ThroughputReport& report) {
  auto half = [](const ThroughputHalf& h) { return HalfText{h.shown, h.hasResults, h.copyText, h.memo}; };
  return TwoHalvesText(half(report.upper), half(report.lower));
}

}  // namespace korvane
