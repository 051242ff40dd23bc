#include "reports/DlcErrors.h"

#include <algorithm>
#include <cmath>

#include "analysis/FrameAnalyser.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {

// SoftErrorKind members.
constexpr uint8_t kAbort = 0, kAc = 1, kBurst = 2, kFrameCopied = 3, kFrequency = 4, kInternal = 5, kLine = 6,
                  kLostFrame = 7, kReceiverCongestion = 8, kToken = 9;

struct SoftErrorText {
  uint8_t kind;
  SoftErrorBox box;
  const char* label;
  const char* hint;
  const char* copyLabel;
};

// In the order of the page.
constexpr std::array<SoftErrorText, kSoftErrorKindCount> kSoftErrors = {{
    {kBurst, SoftErrorBox::FaultDomain, "Burst Error", "Brief signal loss (2.5 bit times)", "Burst Error"},
    {kLine, SoftErrorBox::FaultDomain, "Line Error", "CRC in packet or error in token", "Line Error"},
    {kToken, SoftErrorBox::RingWide, "Token Error", "Token was lost or corrupted", "Token Error"},
    {kLostFrame, SoftErrorBox::RingWide, "Lost Frame", "Frame was lost", "Lost Frame Error"},
    {kFrameCopied, SoftErrorBox::RingWide, "Frame Copied", "Possible duplicate address", "Frame Copied"},
    {kFrequency, SoftErrorBox::RingWide, "Frequency", "Signal deviation", "Frequency"},
    {kAc, SoftErrorBox::RingWide, "AC", "Duplicate SMP received", "AC"},
    {kReceiverCongestion, SoftErrorBox::StationSpecific, "Rcvr Congestion", "Address recognized but packet not copied",
     "Receiver Congestion"},
    {kInternal, SoftErrorBox::StationSpecific, "Internal Error", "Adapter problem", "Internal Error"},
    {kAbort, SoftErrorBox::StationSpecific, "Transmit Abort", "Station prematurely ended transmission",
     "Transmit Abort"},
}};

// The copied summary: a heading per box and the rows of that box, as positions in kSoftErrors.
struct CopyGroup {
  const char* heading;
  std::vector<int> rows;
};
const std::array<CopyGroup, 3>& CopyGroups() {
  static const std::array<CopyGroup, 3> groups = {{
      {"Fault Domain Errors", {0, 1}},
      {"Station Specific Errors", {7, 8, 9}},
      {"Ring Wide Errors", {2, 3, 4, 5, 6}},
  }};
  return groups;
}

constexpr std::array<SoftErrorBoxText, 3> kBoxes = {{
    {SoftErrorBox::FaultDomain, "Fault Domain", "Errors between reporting station and its upstream neighbor"},
    {SoftErrorBox::RingWide, "Ring Wide", "Errors anywhere on ring"},
    {SoftErrorBox::StationSpecific, "Station Specific", "Errors specific to reporting station"},
}};

constexpr std::array<RingKey, 4> kRingPollKeys = {{
    {"Active Monitor", RingColour::Aqua},
    {"Ex-Active Monitor", RingColour::Teal},
    {"Deinserted", RingColour::Grey},
    {"Standby Monitor", RingColour::Black},
}};
constexpr std::array<RingKey, 3> kStationErrorKeys = {{
    {"Rcvr Congestion", RingColour::Yellow},
    {"Internal Error", RingColour::Red},
    {"Transmit Abort", RingColour::Fuchsia},
}};

constexpr std::array<std::string_view, 2> kFaultDomainChoices = {"Burst Errors", "Line Errors"};

struct FunctionalName {
  uint8_t bytes[6];
  const char* name;
};
constexpr std::array<FunctionalName, 4> kFunctionalNames = {{
    {{0xC0, 0x00, 0x00, 0x00, 0x00, 0x02}, "Ring Param Svr"},
    {{0xC0, 0x00, 0x00, 0x00, 0x00, 0x08}, "Ring Err Mon"},
    {{0xC0, 0x00, 0x00, 0x00, 0x00, 0x10}, "Ring Config Svr"},
    {{0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, "Ring Broadcast"},
}};

constexpr const char* kOverflowLabel = "OVERFLOW      ";
constexpr uint8_t kRingActiveMonitor = 0x01, kRingFormerActiveMonitor = 0x02, kRingMissedPoll = 0x04;

uint16_t VendorOf(const TraceSession& session, const AddressKey& address) {
  const int32_t node = session.tables.StationTree.Find(address);
  if (node >= 0) return session.tables.StationTree[node].VendorIndex;
  return session.vendors.Lookup(address);
}

}  // namespace

std::string DlcStationText(const AddressKey& address, uint16_t vendorIndex, const VendorTable& vendors,
                           const DlcErrorOptions& options) {
  std::string hex = MacText(address);
  if (options.showStationByOui && vendorIndex != 0) {
    std::string_view vendor = vendors.Name(vendorIndex);
    if (!vendor.empty()) return std::string(vendor) + hex.substr(6);
  }
  return hex;
}

// ---- Ethernet ----------------------------------------------------------------------

EthernetErrors BuildEthernetErrors(const TraceSession& session, const DlcErrorOptions& options) {
  const AnalysisTables& t = session.tables;
  const GlobalStats& s = t.Stats;
  EthernetErrors out;
  out.frameErrors = {{
      {"Bad FCS", "Frames that have an incorrect Frame Checksum (FCS)", CountText(s.CrcErrors)},
      {"Runt/Short", "Frames shorter than 64 bytes", CountText(s.Runts)},
      {"Long/Jabber", "Frames longer than 1518 bytes", CountText(s.OversizeFrames)},
      {"Fragment", "Runt/short frames with a FCS error", CountText(s.Fragments)},
  }};

  // The five stations most likely to be colliding, highest retransmit ratio first; a
  // station whose ratio equals a listed one goes above it.
  struct Slot {
    int32_t station = -1;
    double ratio = 0;
  };
  std::array<Slot, 5> slots{};
  for (int32_t i : t.StationTree.InOrder()) {
    const StationNode& n = t.StationTree[i];
    if ((n.Role & 1) == 0 || n.PostCollisionFrames <= 0 || n.FramesSent < 10) continue;
    const double ratio = double(n.PostCollisionFrames) / double(n.FramesSent);
    for (size_t k = 0; k < slots.size(); ++k) {
      if (slots[k].ratio <= ratio) {
        for (size_t m = slots.size() - 1; m > k; --m) slots[m] = slots[m - 1];
        slots[k] = {i, ratio};
        break;
      }
    }
  }

  out.notes.push_back("Notes");
  for (size_t k = 0; k < slots.size(); ++k) {
    if (slots[k].station < 0) continue;
    const StationNode& n = t.StationTree[slots[k].station];
    CollisionRow& row = out.collisions[k];
    row.filled = true;
    row.address = n.Address;
    row.source = DlcStationText(n.Address, n.VendorIndex, session.vendors, options);
    row.transmits = n.FramesSent;
    row.retransmits = n.PostCollisionFrames;
    row.transmitsText = CountText(row.transmits);
    row.retransmitsText = CountText(row.retransmits);
    row.percent = int(RoundEven(double(row.retransmits) / double(row.transmits) * 100.0));
    if (row.transmits >= 50 && row.percent >= 10)
      out.notes.push_back("DLC source " + row.source + " is suspect for high collision rates when transmitting.");
  }
  if (s.Fragments == 0) {
    if (s.CrcErrors + s.Runts + s.OversizeFrames == 0)
      out.notes.push_back("No frame errors or collision fragments to analyze in trace file.");
    else
      out.notes.push_back("No collision fragments to analyze in trace file.");
  }
  return out;
}

const std::array<std::string_view, 4>& CollisionHeadings() {
  static constexpr std::array<std::string_view, 4> headings = {"DLC Source", "Transmits", "Retransmits",
                                                               "% Retransmitted"};
  return headings;
}

std::string EthernetErrorsCopyText(const EthernetErrors& errors) {
  std::string text(kFrameErrorSummaryCaption);
  text += '\n';
  for (const FrameErrorItem& item : errors.frameErrors) text += item.label + " \t" + item.count + "\n";
  text += kCollisionAnalysisCaption;
  text += '\n';
  for (size_t i = 0; i < CollisionHeadings().size(); ++i) {
    text += CollisionHeadings()[i];
    text += i + 1 < CollisionHeadings().size() ? '\t' : '\n';
  }
  for (const CollisionRow& row : errors.collisions)
    text += row.source + "\t" + row.transmitsText + "\t" + row.retransmitsText + "\t" + std::to_string(row.percent) +
            "%\n";
  for (const std::string& note : errors.notes) text += note + "\n";
  return text;
}

// ---- Token Ring ---------------------------------------------------------------------

std::string_view RingColourName(RingColour colour) {
  switch (colour) {
    case RingColour::Aqua: return "aqua";
    case RingColour::Teal: return "teal";
    case RingColour::Grey: return "grey";
    case RingColour::Yellow: return "yellow";
    case RingColour::Red: return "red";
    case RingColour::Fuchsia: return "fuchsia";
    default: return "black";
  }
}

const std::array<SoftErrorBoxText, 3>& SoftErrorBoxes() { return kBoxes; }

const std::array<LabelHint, 3>& SoftErrorColumnHints() {
  static const std::array<LabelHint, 3> hints = {{
      {"Total", "Total errors reported"},
      {"Stations", "Total stations reporting error"},
      {"Reporting Station/NAUN/Count", "Station reporting the error, its upstream neighbor, & error count"},
  }};
  return hints;
}

std::string_view RingMapPanelText() { return "Downstream Neighbors are Clockwise"; }
const std::array<RingKey, 4>& RingPollKeys() { return kRingPollKeys; }
const std::array<RingKey, 3>& StationErrorKeys() { return kStationErrorKeys; }
const std::array<std::string_view, 2>& FaultDomainChoices() { return kFaultDomainChoices; }

TokenRingErrors BuildTokenRingErrors(const TraceSession& session, const DlcErrorOptions& options) {
  const AnalysisTables& t = session.tables;
  TokenRingErrors out;
  std::array<int, kSoftErrorKindCount> rowOfKind{};
  for (size_t r = 0; r < kSoftErrors.size(); ++r) {
    const SoftErrorText& e = kSoftErrors[r];
    SoftErrorRow& row = out.rows[r];
    row.kind = e.kind;
    row.box = e.box;
    row.label = e.label;
    row.hint = e.hint;
    row.copyLabel = e.copyLabel;
    rowOfKind[e.kind] = int(r);
  }

  int64_t totalReported = 0;
  for (int64_t v : t.SoftErrorTotals) totalReported += v;
  if (t.MacFrames == 0) {
    out.notes.push_back("No Media Access Control (MAC) frames in trace to analyze.");
  } else if (totalReported == 0) {
    out.notes.push_back("No Media Access Control (MAC) error report frames in trace to analyze.");
  } else {
    for (int32_t i : t.StationTree.InOrder()) {
      const StationNode& n = t.StationTree[i];
      if (n.SoftErrorKinds == 0) continue;
      int neighbours = 0;
      for (int32_t m = n.FirstMacInfo; m >= 0; m = t.MacInfos[size_t(m)].Next) ++neighbours;
      const bool multiple = neighbours > 1;
      if (multiple) ++out.multipleNeighbourStations;
      const std::string station = DlcStationText(n.Address, n.VendorIndex, session.vendors, options);
      std::array<bool, kSoftErrorKindCount> reported{};
      for (int32_t m = n.FirstMacInfo; m >= 0; m = t.MacInfos[size_t(m)].Next) {
        const TMACInfo& info = t.MacInfos[size_t(m)];
        const std::string naun = DlcStationText(info.Naun, info.NaunVendorIndex, session.vendors, options);
        for (int kind = 0; kind < kSoftErrorKindCount; ++kind) {
          const int64_t count = info.SoftErrors[size_t(kind)];
          if (count == 0) continue;
          reported[size_t(kind)] = true;
          out.rows[size_t(rowOfKind[size_t(kind)])].entries.push_back((multiple ? "*" : "") + station + "/" + naun +
                                                                      "/" + CountText(count));
        }
      }
      for (int kind = 0; kind < kSoftErrorKindCount; ++kind)
        if (reported[size_t(kind)]) ++out.rows[size_t(rowOfKind[size_t(kind)])].stations;
    }
    if (out.multipleNeighbourStations == 1)
      out.notes.push_back("1 station (marked by an *) has had multiple upstream neighbors.");
    else if (out.multipleNeighbourStations > 1)
      out.notes.push_back(std::to_string(out.multipleNeighbourStations) + " stations (marked by an *) " +
                          "have had multiple upstream neighbors.");
  }
  for (SoftErrorRow& row : out.rows) row.total = CountText(t.SoftErrorTotals[row.kind]);

  // The ring map.
  RingMap& map = out.ring;
  if (t.RingStations.empty()) map.message = "(There is no ring poll in the trace file)";
  else if (t.RingStations.size() == 1) map.message = "(There is only one station in the ring poll)";
  for (size_t k = 0; k < t.RingStations.size(); ++k) {
    RingMapStation station;
    station.position = int(k) + 1;
    if (k >= size_t(kRingMapMaxStations)) {
      station.overflow = true;
      station.label = kOverflowLabel;
      map.stations.push_back(std::move(station));
      break;
    }
    const RingStation& r = t.RingStations[k];
    station.address = r.Address;
    station.flags = r.Flags;
    station.seen = r.Seen;
    station.label = DlcStationText(r.Address, VendorOf(session, r.Address), session.vendors, options);
    for (const FunctionalName& f : kFunctionalNames)
      if (r.Address.length == 6 && std::equal(f.bytes, f.bytes + 6, r.Address.bytes.begin())) station.label = f.name;
    const RingKey& poll = (r.Flags & kRingMissedPoll)           ? kRingPollKeys[2]
                          : (r.Flags & kRingActiveMonitor)       ? kRingPollKeys[0]
                          : (r.Flags & kRingFormerActiveMonitor) ? kRingPollKeys[1]
                                                                 : kRingPollKeys[3];
    station.ringPollKey = poll.caption;
    station.ringPollColour = poll.colour;
    const int32_t node = t.StationTree.Find(r.Address);
    const uint16_t kinds = node >= 0 ? t.StationTree[node].SoftErrorKinds : 0;
    const RingKey* error = nullptr;
    if (kinds & (1u << kInternal)) error = &kStationErrorKeys[1];
    else if (kinds & (1u << kAbort)) error = &kStationErrorKeys[2];
    else if (kinds & (1u << kReceiverCongestion)) error = &kStationErrorKeys[0];
    if (error) {
      station.stationErrorKey = error->caption;
      station.stationErrorColour = error->colour;
    }
    map.stations.push_back(std::move(station));
  }
  for (int32_t i : t.StationTree.InOrder()) {
    const StationNode& n = t.StationTree[i];
    for (int32_t m = n.FirstMacInfo; m >= 0; m = t.MacInfos[size_t(m)].Next) {
      const TMACInfo& info = t.MacInfos[size_t(m)];
      if (info.SoftErrors[kBurst] == 0 && info.SoftErrors[kLine] == 0) continue;
      map.faultDomains.push_back({n.Address, info.Naun, info.SoftErrors[kBurst], info.SoftErrors[kLine]});
    }
  }
  return out;
}

std::string SoftErrorSummaryCopyText(const TokenRingErrors& errors) {
  std::string text = "\tTotal\tStations\tReporting Station/NAUN/Count\n";
  for (const CopyGroup& group : CopyGroups()) {
    text += group.heading;
    text += '\n';
    for (int r : group.rows) {
      const SoftErrorRow& row = errors.rows[size_t(r)];
      text += row.copyLabel + "\t" + row.total + "\t" + CountText(row.stations) + "\t" +
              (row.entries.empty() ? std::string() : row.entries.front()) + "\n";
      for (size_t e = 1; e < row.entries.size(); ++e) text += "\t\t\t" + row.entries[e] + "\n";
    }
  }
  return text;
}

}  // namespace korvane
