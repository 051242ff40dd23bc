// The DLC Error Expert page as data: for Ethernet the frame error summary, the collision
// fragment analysis and the notes; for Token Ring the soft-error summary, its notes and
// the ring map's stations in ring order with their labels and key colours. The page draws
// these; korvane-cli prints the copy texts.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"

namespace korvane {

struct DlcErrorOptions {
  bool showStationByOui = true;  // "Show Station by OUI", checked at start
};

// A station as the page shows it: the vendor's name and the address's last six hex
// digits when asked for and the vendor is known, otherwise the 12 hex digits.
std::string DlcStationText(const AddressKey& address, uint16_t vendorIndex, const VendorTable& vendors,
                           const DlcErrorOptions& options);

// ---- Ethernet ----------------------------------------------------------------------

struct FrameErrorItem {
  std::string label;  // "Bad FCS", "Runt/Short", "Long/Jabber", "Fragment"
  std::string hint;
  std::string count;
};

struct CollisionRow {
  bool filled = false;
  AddressKey address;
  std::string source;  // station text
  int64_t transmits = 0, retransmits = 0;
  std::string transmitsText, retransmitsText;  // empty for an empty row
  int percent = 0;                              // the row's gauge
};

struct EthernetErrors {
  std::array<FrameErrorItem, 4> frameErrors;
  std::array<CollisionRow, 5> collisions;  // highest retransmit ratio first
  std::vector<std::string> notes;          // the notes box; its first line is "Notes"
};

// The captions of the Ethernet panel's two boxes and the headings of the collision table, as
// the page shows them and the copied text repeats them.
inline constexpr std::string_view kFrameErrorSummaryCaption = "Frame Error Summary";
inline constexpr std::string_view kCollisionAnalysisCaption = "Collision Fragment Analysis";
// "DLC Source", "Transmits", "Retransmits", "% Retransmitted".
const std::array<std::string_view, 4>& CollisionHeadings();

EthernetErrors BuildEthernetErrors(const TraceSession& session, const DlcErrorOptions& options = {});
// The copy button's text, one item per line.
std::string EthernetErrorsCopyText(const EthernetErrors& errors);

// ---- Token Ring: soft-error summary ------------------------------------------------

enum class SoftErrorBox { FaultDomain, RingWide, StationSpecific };

struct SoftErrorRow {
  uint8_t kind = 0;        // SoftErrorKind
  SoftErrorBox box = SoftErrorBox::FaultDomain;
  std::string label;       // as on the page ("Burst Error", "Rcvr Congestion", ...)
  std::string hint;
  std::string copyLabel;   // as in the copied text ("Receiver Congestion", ...)
  std::string total;       // SoftErrorTotals, thousands separators
  int64_t stations = 0;    // stations that reported this kind
  std::vector<std::string> entries;  // "[*]station/NAUN/count"
};

struct SoftErrorBoxText {
  SoftErrorBox box;
  std::string_view caption;  // "Fault Domain", "Ring Wide", "Station Specific"
  std::string_view hint;
};

struct LabelHint {
  std::string_view label, hint;
};

// ---- Token Ring: ring map ---------------------------------------------------------

enum class RingColour { Black, Aqua, Teal, Grey, Yellow, Red, Fuchsia };
std::string_view RingColourName(RingColour colour);  // "black", "aqua", ...

struct RingMapStation {
  int position = 0;     // 1-based place on the ring, downstream clockwise
  bool overflow = false;  // the 181st place, standing for every station not drawn
  AddressKey address;
  std::string label;    // station text, or the functional address's name
  uint8_t flags = 0;    // RingStations flags
  uint8_t seen = 0;
  // "ID Station by" Ring Poll: "Active Monitor", "Ex-Active Monitor", "Deinserted",
  // "Standby Monitor".
  std::string ringPollKey;
  RingColour ringPollColour = RingColour::Black;
  // "ID Station by" Station Errors: "Internal Error", "Transmit Abort", "Rcvr Congestion",
  // or empty (black) for none of them.
  std::string stationErrorKey;
  RingColour stationErrorColour = RingColour::Black;
};

// A fault-domain report: errors a station reported between itself and its upstream neighbour.
struct FaultDomainReport {
  AddressKey reporter, naun;
  int64_t burstErrors = 0, lineErrors = 0;
};

struct RingMap {
  std::vector<RingMapStation> stations;  // at most 180 drawn, then the "OVERFLOW" place
  std::string message;                   // shown instead of / over the map; may be empty
  std::vector<FaultDomainReport> faultDomains;
};

struct TokenRingErrors {
  std::array<SoftErrorRow, kSoftErrorKindCount> rows;  // in the order of the page
  std::vector<std::string> notes;
  int64_t multipleNeighbourStations = 0;
  RingMap ring;
};

TokenRingErrors BuildTokenRingErrors(const TraceSession& session, const DlcErrorOptions& options = {});
// The Soft Error Summary's copied text.
std::string SoftErrorSummaryCopyText(const TokenRingErrors& errors);

// Fixed texts of the Token Ring panel, for the window.
const std::array<SoftErrorBoxText, 3>& SoftErrorBoxes();
// The hints of "Total", "Stations" and "Reporting Station/NAUN/Count".
const std::array<LabelHint, 3>& SoftErrorColumnHints();
std::string_view RingMapPanelText();  // "Downstream Neighbors are Clockwise"
// The keys of the two "ID Station by" choices, with their colours.
struct RingKey {
  std::string_view caption;
  RingColour colour;
};
const std::array<RingKey, 4>& RingPollKeys();
const std::array<RingKey, 3>& StationErrorKeys();
// "Burst Errors", "Line Errors": the fault-domain choice.
const std::array<std::string_view, 2>& FaultDomainChoices();

inline constexpr int kRingMapMaxStations = 180;

}  // namespace korvane
