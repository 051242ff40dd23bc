#include "reports/ProtocolTable.h"

#include <algorithm>
#include <cmath>

#include "input/TraceTypes.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, kProtocolTableColumns> kHeadings = {
    "Protocol",        "Packet Count",      "Packet Percent",   "Ave Pkt Size (Bytes)",
    "Broadcast Count", "Broadcast Percent", "Encapsulation(s)"};

std::string TwoDecimalPercent(double value) { return PointText(value, 2) + "%"; }

// A number shown without decimals: nearest integer, halves away from zero.
int64_t Nearest(double value) { return int64_t(value < 0 ? std::ceil(value - 0.5) : std::floor(value + 0.5)); }

struct Band {
  const char* label;
  int first, last;  // bucket range, inclusive
  ChartColour colour;
};

constexpr ChartColour kMagenta{255, 0, 255}, kLime{0, 255, 0}, kAqua{0, 255, 255}, kBlue{0, 0, 255},
    kYellow{255, 255, 0}, kMaroon{128, 0, 0};

constexpr std::array<Band, 6> kEthernetBands = {{
    {"18 to 64 -", 0, 0, kMagenta},
    {"64 to 255 -", 1, 1, kLime},
    {"256 to 511 -", 2, 2, kAqua},
    {"512 to 1023 -", 3, 4, kBlue},
    {"1024 to 1518 -", 5, 6, kYellow},
    {"Greater than 1518 -", 7, 7, kMaroon},
}};
constexpr std::array<Band, 6> kTokenRingBands = {{
    {" Less than 64 -", 0, 0, kMagenta},
    {"64 to 255 -", 1, 1, kLime},
    {"256 to 511 -", 2, 2, kAqua},
    {"512 to 1023 -", 3, 4, kBlue},
    {"1024 to 4097 -", 5, 16, kYellow},
    {"Greater than 4097 -", 17, 71, kMaroon},
}};

void FillPercents(std::vector<ChartPoint>& points) {
  int64_t total = 0;
  for (const ChartPoint& p : points) total += p.value;
  for (ChartPoint& p : points) p.percent = total > 0 ? double(p.value) * 100.0 / double(total) : 0.0;
}

}  // namespace

const std::array<std::string_view, kProtocolTableColumns>& ProtocolTableHeadings() { return kHeadings; }

std::vector<ProtocolRow> BuildProtocolTable(const AnalysisTables& tables) {
  const GlobalStats& s = tables.Stats;
  const int64_t totalFrames = s.FramesAnalysed;
  const int64_t groupFrames = s.BroadcastFrames + s.MulticastFrames;
  std::vector<ProtocolRow> rows;
  for (int c = 0; c < kProtocolCategoryCount; ++c) {
    const ProtocolStats& p = tables.ProtocolTable[size_t(c)];
    if (p.Frames <= 0) continue;
    ProtocolRow row;
    row.category = uint8_t(c);
    row.cells[0] = std::string(ProtocolCategoryName(uint8_t(c)));
    row.cells[1] = CountText(p.Frames);
    row.cells[2] = TwoDecimalPercent(totalFrames > 0 ? double(p.Frames) * 100.0 / double(totalFrames) : 0.0);
    row.cells[3] = CountText(Nearest(double(p.Bytes) / double(p.Frames)));
    row.cells[4] = CountText(p.GroupFrames);
    row.cells[5] = TwoDecimalPercent(groupFrames > 0 ? double(p.GroupFrames) * 100.0 / double(groupFrames) : 0.0);
    std::string encapsulations;
    for (int e = 0; e < kEncapsulationCount; ++e) {
      if ((p.Encapsulations & (1u << e)) == 0) continue;
      if (!encapsulations.empty()) encapsulations += ", ";
      encapsulations += EncapsulationName(uint8_t(e));
    }
    row.cells[6] = encapsulations;
    rows.push_back(std::move(row));
  }
  return rows;
}

void SortProtocolRows(std::vector<ProtocolRow>& rows, int column, bool ascending) {
  if (column < 0 || column >= kProtocolTableColumns) return;
  const bool asText = column == 0 || column == 6;
  std::stable_sort(rows.begin(), rows.end(), [&](const ProtocolRow& a, const ProtocolRow& b) {
    const std::string& x = a.cells[size_t(column)];
    const std::string& y = b.cells[size_t(column)];
    int order;
    if (asText) {
      order = CompareText(x, y);
    } else {
      const double u = NumberOfCell(x), v = NumberOfCell(y);
      order = u < v ? -1 : (u > v ? 1 : 0);
    }
    return ascending ? order < 0 : order > 0;
  });
}

CellSelection SelectAllProtocolCells(const std::vector<ProtocolRow>& rows) {
  return CellSelection{0, 0, kProtocolTableColumns - 1, int(rows.size()) - 1};
}

std::string ProtocolTableCopyText(const std::vector<ProtocolRow>& rows, const CellSelection& selection) {
  const int left = std::max(selection.left, 0), right = std::min(selection.right, kProtocolTableColumns - 1);
  const int top = std::max(selection.top, 0), bottom = std::min(selection.bottom, int(rows.size()) - 1);
  std::string text;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      if (c > left) text += '\t';
      text += rows[size_t(r)].cells[size_t(c)];
    }
    text += '\n';
  }
  return text;
}

std::vector<ChartPoint> FrameSizeSeries(const AnalysisTables& tables, uint8_t topologyCode) {
  const auto& bands = topologyCode == topology::TokenRing ? kTokenRingBands : kEthernetBands;
  std::vector<ChartPoint> points;
  for (const Band& band : bands) {
    int64_t count = 0;
    for (int k = band.first; k <= band.last; ++k) count += tables.SizeBuckets[size_t(k)];
    if (count == 0) continue;
    points.push_back({band.label, count, 0.0, band.colour});
  }
  FillPercents(points);
  return points;
}

std::string_view PacketClassName(PacketClass packetClass) {
  switch (packetClass) {
    case PacketClass::Broadcast: return "Broadcast";
    case PacketClass::NonBroadcast: return "Non-Broadcast";
    default: return "All";
  }
}

std::string ProtocolChartTitle(PacketClass packetClass) {
  return "Protocol Distribution - " + std::string(PacketClassName(packetClass)) + " Packets";
}

std::vector<ChartPoint> ProtocolSeries(const AnalysisTables& tables, PacketClass packetClass) {
  std::vector<ChartPoint> points;
  for (int c = 0; c < kProtocolCategoryCount; ++c) {
    const ProtocolStats& p = tables.ProtocolTable[size_t(c)];
    int64_t value = p.Frames;
    if (packetClass == PacketClass::Broadcast) value = p.GroupFrames;
    else if (packetClass == PacketClass::NonBroadcast) value = p.Frames - p.GroupFrames;
    if (value == 0) continue;
    points.push_back({std::string(ProtocolCategoryName(uint8_t(c))) + " -", value, 0.0,
                      ProtocolCategoryColour(uint8_t(c))});
  }
  FillPercents(points);
  return points;
}

ChartColour ProtocolCategoryColour(uint8_t category) {
  static constexpr std::array<ChartColour, kProtocolCategoryCount> kColours = {{
      {255, 0, 0},      // Appletalk: red
      {192, 220, 192},  // ARP/RARP: pale green
      {255, 255, 0},    // BPDU: yellow
      {0, 255, 0},      // DECnet: lime
      {0, 0, 255},      // IP: blue
      {128, 0, 128},    // IPX: purple
      {0, 0, 0},        // ISO: black
      {128, 0, 0},      // LAT: maroon
      {0, 128, 0},      // LAVC: green
      {128, 128, 0},    // NetBIOS-LLC: olive
      {0, 0, 128},      // NetBIOS-IP: navy
      {0, 128, 128},    // NetBIOS-IPX: teal
      {128, 128, 128},  // SNA: grey
      {192, 192, 192},  // XNS: silver
      {255, 0, 255},    // VINES: fuchsia
      {0, 255, 255},    // MAC: aqua
      {255, 255, 255},  // Other: white
  }};
  return category < kColours.size() ? kColours[category] : kColours.back();
}

}  // namespace korvane
