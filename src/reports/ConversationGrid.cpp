#include "reports/ConversationGrid.h"

#include <algorithm>
#include <cmath>

#include "analysis/FrameAnalyser.h"
#include "measure/ConversationMeasurement.h"
#include "reports/Formatters.h"
#include "reports/StationStats.h"
#include "reports/StreamList.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, kGridShownColumns> kSortEntries = {
    "A - Low Svr-to-Clt Thput Checked", "B - Slow Response Time Checked", "C - Busy Network or Svr Checked",
    "D - Inefficient Client Checked", "E - # of Transport Retransmissions", "F - # of Pkts In/Out Router Port",
    "G - # of TCP Zero Windows", "H - # of TCP Resets", "I - # of ICMP Error Reports", "Client", "Server",
    "Protocol/Application", "Packets", "Bytes", "Duration", "Response Time", "Clt -> Svr Throughput",
    "Clt <- Svr Throughput"};
constexpr std::array<std::string_view, 3> kPacketsBytesEntries = {"Client <-> Server", "Client -> Server",
                                                                  "Client <- Server"};

constexpr double kMinimumDuration = 100000;  // microseconds of conversation for a throughput
constexpr int64_t kMinimumSamples = 4;
constexpr uint16_t kFtpControlPort = 21;

bool IpxFamily(uint8_t kind) {
  return kind == transport::Ncp || kind == transport::Spx || kind == transport::SpxII || kind == transport::PBurst;
}
bool RetransmittingKind(uint8_t kind) { return kind == transport::Tcp || IpxFamily(kind); }
bool ChattyKind(uint8_t kind) {
  return kind == transport::Tcp || kind == transport::Udp || (kind >= transport::Ncp && kind <= transport::Smb) ||
         kind == transport::PBurst;
}

// KBytes per second of a throughput run, or nothing with too few packets or too short a time.
bool Enough(int64_t count, double duration) { return count >= kMinimumSamples && duration >= kMinimumDuration; }
double KBytesPerSecond(const MeasurementResults& r) { return double(r.SampleBytes) / (r.Duration / 1000000) / 1000; }
std::string ThroughputCell(int64_t count, const MeasurementResults& r) {
  return Enough(count, r.Duration) ? " " + NumberText(KBytesPerSecond(r), 3, 1) : "-";
}

std::string HoursMinutesSeconds(double micros) {
  const std::string text = TimeOfDayText(std::max(0.0, micros));
  return text.substr(0, text.rfind('.'));
}

// A network address key as hexadecimal digits (the grid's hidden key columns).
std::string KeyText(const AddressKey& key) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < key.length; ++i) {
    text += kDigits[key.bytes[i] >> 4];
    text += kDigits[key.bytes[i] & 15];
  }
  return text;
}

std::string KeyName(const TraceSession& session, const AddressKey& key, const ConversationGridOptions& options) {
  if (options.smartNames)
    if (const std::string* name = session.tables.Names.Find(key)) return *name;
  if (key.length == 4) return IpText(key);
  return IpxAddressText(key, options.ipxByOui, false, session.vendors);
}

std::string HardwareText(const TraceSession& session, int32_t netStation) {
  const AnalysisTables& t = session.tables;
  if (netStation < 0) return "UNKNOWN";
  const int32_t mac = t.NetStationTree[netStation].MacStation;
  if (mac < 0) return "UNKNOWN";
  return StationDisplayName(session, t.StationTree[mac], StationNameOptions{false, true});
}

std::string ProtocolText(const TraceSession& session, const TTransHead& stream, bool request) {
  const std::string kind(TransportKindName(stream.Kind));
  const uint16_t clientPort = request ? stream.SourcePort : stream.DestPort;
  const uint16_t serverPort = request ? stream.DestPort : stream.SourcePort;
  auto portName = [&](uint16_t port) {
    std::string name;
    session.ports.Lookup(port, &name);
    return name;
  };
  if (stream.Kind == transport::Tcp || stream.Kind == transport::Udp)
    return kind + "/" + portName(clientPort) + "<->" + portName(serverPort);
  if (stream.Kind == transport::Icmp) return kind + " Echo (Ping)";
  if (stream.Kind < transport::Ncp) return kind;
  if (stream.Kind <= transport::IpxUnknown)
    return "IPX (Socket " + IpxSocketName(clientPort) + "<->" + IpxSocketName(serverPort) + ")/" + kind;
  return {};
}

struct Counters {
  int64_t retransmits = 0, localRouting = 0, zeroWindows = 0, resets = 0, icmpErrors = 0;
  void Add(const MeasurementResults& r) {
    retransmits += r.RetransmitCount;
    localRouting += r.LocalRoutingCount;
    zeroWindows += r.ZeroWindowCount;
    resets += r.ResetCount;
    icmpErrors += r.IcmpErrorCount;
  }
};

class GridFill {
 public:
  GridFill(const TraceSession& session, const ProblemFinderSettings& settings, const ConversationGridOptions& options,
           ConversationGrid& grid)
      : s_(session), t_(session.tables), settings_(settings), options_(options), grid_(grid), partners_(t_) {}

  void Conversation(int32_t station, int32_t conversation) {
    for (int32_t k = t_.NetPeers[size_t(conversation)].FirstStream; k >= 0; k = t_.Streams[size_t(k)].Next)
      Stream(station, conversation, k);
  }

 private:
  bool On(ProblemCheck check) const { return settings_.IsEnabled(check); }
  uint16_t Threshold(ProblemThreshold t) const { return settings_.Threshold(t); }
  void Mark(GridRow& row, int column, int64_t& total) {
    row.cells[size_t(column)] = std::string(kGridMark);
    ++total;
  }
  void Stream(int32_t station, int32_t conversation, int32_t streamIndex);

  const TraceSession& s_;
  const AnalysisTables& t_;
  const ProblemFinderSettings& settings_;
  const ConversationGridOptions& options_;
  ConversationGrid& grid_;
  const PartnerStreamIndex partners_;  // every stream's partner, found once for the whole grid
};

void GridFill::Stream(int32_t station, int32_t conversation, int32_t streamIndex) {
  const TTransHead& stream = t_.Streams[size_t(streamIndex)];
  if (stream.FirstPacket < 0) return;
  const TPacket& first = t_.PacketList[size_t(stream.FirstPacket)];
  if (first.Flags & packet_flag::GroupAddressed) return;

  // Run 1: latency over the whole trace.
  MeasurementSelection sel;
  sel.SourceStation = station;
  sel.ForwardConversation = conversation;
  sel.ForwardStream = streamIndex;
  sel.StartFrame = 1;
  sel.EndFrame = s_.info.FramesRead;
  sel.LatencyMode = true;
  MeasurementResults r;
  ConversationMeasurement(s_, sel, r, &partners_);
  double duration = r.Duration;
  const uint16_t status = r.MeasurementStatus;
  if (status != measurement_status::Ok && status != measurement_status::OneWay &&
      status != measurement_status::BareAcksOnly)
    return;
  const bool request = (first.Flags & packet_flag::Request) != 0;
  const PartnerLookup back = partners_.Of(streamIndex);
  const bool oneWay = back.OneWay();
  if (!request && !(oneWay && (first.Flags & packet_flag::Reply))) return;

  const AddressKey& source = t_.NetStationTree[station].Address;
  const AddressKey& partnerAddress = t_.NetPeers[size_t(conversation)].DestAddress;
  const int32_t partner = t_.NetStationTree.Find(partnerAddress);
  GridRow row;
  row.clientKey = request ? source : partnerAddress;
  row.serverKey = request ? partnerAddress : source;
  row.sourceStation = station;
  row.conversation = conversation;
  row.stream = streamIndex;
  row.cells[18] = KeyText(row.clientKey);
  row.cells[19] = KeyText(row.serverKey);
  row.cells[9] = KeyName(s_, row.clientKey, options_);
  row.cells[10] = KeyName(s_, row.serverKey, options_);
  row.cells[20] = HardwareText(s_, station);
  row.cells[21] = HardwareText(s_, partner);
  row.cells[11] = ProtocolText(s_, stream, request);

  // Response time and the marks it drives.
  row.cells[15] = "-";
  if (r.PairCount > 0 && request) {
    const double average = r.LatencySum / double(r.PairCount) / 1000;
    row.cells[15] = " " + NumberText(average, 3, 5);
    if (r.PairCount >= kMinimumSamples) {
      if (On(ProblemCheck::CSSlowResponseTime) && average >= Threshold(ProblemThreshold::CSSlowResponseTime))
        Mark(row, 1, grid_.totals.B);
      const uint16_t sensitivity = Threshold(ProblemThreshold::CSBusyNetwork);
      const double factor = sensitivity <= 1 ? 30 : (sensitivity == 2 ? 10 : 5);
      if (On(ProblemCheck::CSBusyNetwork) && (r.LatencyMin * factor < average * 1000 || r.FlaggedPacketSeen))
        Mark(row, 2, grid_.totals.C);
    }
  }

  // Run 2: throughput of the stream's own direction.
  sel.LatencyMode = false;
  sel.ThroughputMode = true;
  sel.SampleWindow = 4;
  ConversationMeasurement(s_, sel, r, &partners_);
  duration = std::max(duration, r.Duration);
  if (request) row.cells[16] = ThroughputCell(r.FwdCount, r);
  else row.cells[17] = ThroughputCell(r.RevCount, r);

  // Run 3: throughput of the partner's stream back. A conversation without that stream
  // has nothing to measure there: the reverse direction counts as empty.
  int64_t pa = 0, ba = 0;
  Counters counters;
  bool reverseMeasured = false;
  if (!oneWay) {
    pa = r.FwdCount;
    ba = r.FwdBytes;
    counters.Add(r);
    if (back.Stream >= 0) {
      sel.SourceStation = partner;
      sel.ForwardConversation = back.ReturnConversation;
      sel.ForwardStream = back.Stream;
      ConversationMeasurement(s_, sel, r, &partners_);
      duration = std::max(duration, r.Duration);
      reverseMeasured = true;
    } else {
      r = MeasurementResults{};
    }
  }
  if (oneWay || reverseMeasured) counters.Add(r);

  // Packets and bytes by the selector.
  const int64_t pb = r.FwdCount, bb = r.SampleBytes;
  const int64_t ownPackets = oneWay ? pb : pa, ownBytes = oneWay ? bb : ba;
  const int64_t otherPackets = oneWay ? 0 : pb, otherBytes = oneWay ? 0 : bb;
  const int64_t c2sPackets = request ? ownPackets : otherPackets, c2sBytes = request ? ownBytes : otherBytes;
  const int64_t s2cPackets = request ? otherPackets : ownPackets, s2cBytes = request ? otherBytes : ownBytes;
  switch (options_.packetsBytes) {
    case PacketsBytes::Both:
      row.cells[12] = CountText(pa + pb);
      row.cells[13] = CountText(ba + bb);
      break;
    case PacketsBytes::ClientToServer:
      row.cells[12] = CountText(c2sPackets);
      row.cells[13] = CountText(c2sBytes);
      break;
    case PacketsBytes::ServerToClient:
      row.cells[12] = CountText(s2cPackets);
      row.cells[13] = CountText(s2cBytes);
      break;
  }

  // Counter columns.
  GridTotals& totals = grid_.totals;
  const uint8_t kind = stream.Kind;
  if (RetransmittingKind(kind) && counters.retransmits != 0) {
    totals.E += counters.retransmits;
    if (((kind == transport::Ncp || kind == transport::PBurst) && On(ProblemCheck::NCPTransportRetransmission)) ||
        ((kind == transport::Spx || kind == transport::SpxII) && On(ProblemCheck::SPXTransportRetransmission)) ||
        (kind == transport::Tcp && On(ProblemCheck::TCPTransportRetransmission)))
      row.cells[4] = CountText(counters.retransmits);
  }
  if (RetransmittingKind(kind) && counters.localRouting != 0) {
    totals.F += counters.localRouting;
    if ((IpxFamily(kind) && On(ProblemCheck::IPXLocalRouting)) ||
        (kind == transport::Tcp && On(ProblemCheck::IPLocalRouting)))
      row.cells[5] = CountText(counters.localRouting);
  }
  if (kind == transport::Tcp && On(ProblemCheck::TCPZeroWindow) && counters.zeroWindows != 0) {
    totals.G += counters.zeroWindows;
    row.cells[6] = CountText(counters.zeroWindows);
  }
  if (kind == transport::Tcp && On(ProblemCheck::TCPResetConnection) && counters.resets != 0) {
    totals.H += counters.resets;
    row.cells[7] = CountText(counters.resets);
  }
  if (On(ProblemCheck::ICMP) && counters.icmpErrors != 0) {
    totals.I += counters.icmpErrors;
    row.cells[8] = CountText(counters.icmpErrors);
  }

  // Server-to-client throughput and the marks it drives.
  if (request) row.cells[17] = reverseMeasured ? ThroughputCell(r.FwdCount, r) : "-";
  else row.cells[16] = ThroughputCell(r.RevCount, r);
  if (request && reverseMeasured && stream.SourcePort != kFtpControlPort && stream.DestPort != kFtpControlPort &&
      Enough(r.FwdCount, r.Duration)) {
    if (On(ProblemCheck::CSLowThroughput) &&
        std::nearbyint(KBytesPerSecond(r)) <= Threshold(ProblemThreshold::CSLowThroughput))
      Mark(row, 0, totals.A);
    const double ratio = double(pa) / double(r.FwdCount);
    if (On(ProblemCheck::CSInefficientClient) && ChattyKind(kind) && r.FwdCount + r.RevCount > 0) {
      const double averageSize = double(r.FwdBytes + r.RevBytes) / double(r.FwdCount + r.RevCount);
      const uint16_t sensitivity = Threshold(ProblemThreshold::CSInefficientClient);
      const double ratioLimit = sensitivity <= 1 ? 1.25 : (sensitivity == 2 ? 1.5 : 2.0);
      const double sizeLimit = sensitivity <= 1 ? 100 : (sensitivity == 2 ? 200 : 500);
      if (averageSize <= sizeLimit && ratio >= 1.0 && ratio <= ratioLimit) Mark(row, 3, totals.D);
    }
  }
  row.cells[14] = HoursMinutesSeconds(duration);
  grid_.rows.push_back(std::move(row));
}

}  // namespace

bool TraceHasNetworkStations(const TraceSession& session) { return session.tables.NetStationTree.size() > 0; }
bool TraceHasIpxStations(const TraceSession& session) { return session.tables.IpxStationCount > 0; }

std::array<std::string, kGridShownColumns> ConversationGridHeadings(PacketsBytes packetsBytes) {
  static constexpr std::array<std::string_view, 3> kPackets = {"Pkts Clt<->Svr", "Pkts Clt->Svr", "Pkts Clt<-Svr"};
  static constexpr std::array<std::string_view, 3> kBytes = {"Bytes Clt<->Svr", "Bytes Clt->Svr", "Bytes Clt<-Svr"};
  const size_t mode = size_t(packetsBytes);
  return {"A", "B", "C", "D", "E", "F", "G", "H", "I", "Client", "Server", "Protocol/Application",
          std::string(kPackets[mode]), std::string(kBytes[mode]), "Duration", "Resp Time (ms)", "Clt->Svr Thput*",
          "Clt<-Svr Thput*"};
}

const std::array<std::string_view, kGridShownColumns>& GridSortEntries() { return kSortEntries; }
const std::array<std::string_view, 3>& PacketsBytesEntries() { return kPacketsBytesEntries; }

std::string ConversationCountLabel(size_t rows) {
  if (rows > 1) return CountText(int64_t(rows)) + " Conversations Analyzed";
  if (rows == 1) return "1 Conversation Analyzed";
  return {};
}

ConversationGrid BuildConversationGrid(const TraceSession& session, const ProblemFinderSettings& settings,
                                       const ConversationGridOptions& options, const GridProgress& progress) {
  ConversationGrid grid;
  grid.headings = ConversationGridHeadings(options.packetsBytes);
  const AnalysisTables& t = session.tables;
  if (!TraceHasNetworkStations(session)) {
    grid.noIpTraffic = true;
    return grid;
  }
  GridFill fill(session, settings, options, grid);
  bool going = true;
  for (int32_t station : t.NetStationTree.InOrder()) {
    if (!going) break;
    if ((t.NetStationTree[station].Role & 1) == 0) continue;
    for (int32_t c = t.NetStationTree[station].FirstNetPeer; c >= 0 && going; c = t.NetPeers[size_t(c)].Next) {
      fill.Conversation(station, c);
      if (progress) going = progress(grid.rows.size());
    }
  }
  grid.countLabel = ConversationCountLabel(grid.rows.size());
  const GridTotals& n = grid.totals;
  grid.boxes[0] = {"A = Low Server to Client Throughput - " + CountText(n.A), "B = Slow Response Time - " + CountText(n.B),
                   "C = Busy Network or Server - " + CountText(n.C), "D = Inefficient Client - " + CountText(n.D)};
  grid.boxes[1] = {"E = # of Transport Retransmissions - " + CountText(n.E),
                   "F = # of Pkts In/Out Same Router Port - " + CountText(n.F),
                   "G = # of TCP Zero Windows - " + CountText(n.G), "H = # of TCP Resets - " + CountText(n.H)};
  grid.boxes[2] = {"I = # of ICMP Error Reports - " + CountText(n.I), "", "* Throughput in KBytes/Second",
                   "- = Insufficient Data"};
  return grid;
}

void UpdateGridNames(const TraceSession& session, ConversationGrid& grid, const ConversationGridOptions& options) {
  for (GridRow& row : grid.rows) {
    row.cells[9] = KeyName(session, row.clientKey, options);
    row.cells[10] = KeyName(session, row.serverKey, options);
  }
}

bool GridColumnSortsAsText(int column) { return column <= 3 || (column >= 9 && column <= 11) || column == 14; }

void SortConversationGrid(ConversationGrid& grid, int column, bool ascending) {
  if (column < 0 || column >= kGridShownColumns) return;
  stats_text::SortRows(grid.rows, size_t(column), GridColumnSortsAsText(column), ascending);
}

namespace {
// Shown columns left..right of one row, tab-separated, a mark as "X", ending the line.
template <class Cells>
void AppendGridLine(std::string& out, const Cells& cells, int left, int right) {
  for (int c = left; c <= right; ++c) {
    if (c > left) out += '\t';
    out += cells[size_t(c)] == kGridMark ? std::string("X") : std::string(cells[size_t(c)]);
  }
  out += '\n';
}
}  // namespace

std::string ConversationGridSelectionText(const ConversationGrid& grid, int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, kGridShownColumns - 1);
  bottom = std::min(bottom, int(grid.rows.size()) - 1);
  std::string out;
  for (int r = top; r <= bottom && left <= right; ++r) AppendGridLine(out, grid.rows[size_t(r)].cells, left, right);
  return out;
}

std::string ConversationGridText(const ConversationGrid& grid) {
  if (grid.noIpTraffic) return std::string(kNoIpTrafficText) + "\n";
  std::string out;
  AppendGridLine(out, grid.headings, 0, kGridShownColumns - 1);
  for (const GridRow& row : grid.rows) AppendGridLine(out, row.cells, 0, kGridShownColumns - 1);
  for (const auto& box : grid.boxes)
    for (const std::string& text : box) out += text + '\n';
  return out;
}

}  // namespace korvane
