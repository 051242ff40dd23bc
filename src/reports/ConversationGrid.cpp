#include "reports/ConversationGrid.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>

#include "analysis/FrameAnalyser.h"
#include "measure/ConversationFigures.h"
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

std::string ThroughputCell(const std::optional<double>& kbytesPerSecond) {
  return kbytesPerSecond ? " " + NumberText(*kbytesPerSecond, 3, 1) : "-";
}

// The cells every row of one conversation shares, made once for the conversation: the
// names, keys and hardware of its two ends (the partner station is the conversation's, the
// same in every row's figures).
struct ConversationCells {
  ConversationCells(const TraceSession& session, const ConversationGridOptions& options, int32_t station,
                    int32_t conversation, int32_t partnerStation)
      : station(station),
        conversation(conversation),
        source(session.tables.NetStationTree[station].Address),
        partner(session.tables.NetPeers[size_t(conversation)].DestAddress),
        sourceName(KeyName(session, source, options)),
        partnerName(KeyName(session, partner, options)),
        sourceKey(KeyText(source)),
        partnerKey(KeyText(partner)),
        sourceHardware(HardwareText(session, station)),
        partnerHardware(HardwareText(session, partnerStation)) {}

  const int32_t station, conversation;
  const AddressKey& source;
  const AddressKey& partner;
  const std::string sourceName, partnerName, sourceKey, partnerKey, sourceHardware, partnerHardware;
};

// One grid row from the figures of one stream, its cells made in column order.
GridRow FormatRow(const TraceSession& session, const ConversationGridOptions& options, const ConversationCells& ends,
                  const StreamFigures& f) {
  const AnalysisTables& t = session.tables;
  GridRow row;
  row.clientKey = f.Request ? ends.source : ends.partner;
  row.serverKey = f.Request ? ends.partner : ends.source;
  row.sourceStation = ends.station;
  row.conversation = ends.conversation;
  row.stream = f.Stream;
  GridCells& cells = row.cells;
  for (size_t mark = 0; mark < f.Marks.size(); ++mark) cells.Append(f.Marks[mark] ? kGridMark : std::string_view());
  for (size_t c = 0; c < kGridCounters; ++c) cells.Append(f.CounterShown[c] ? CountText(f.Counters[c]) : std::string());
  cells.Append(f.Request ? ends.sourceName : ends.partnerName);
  cells.Append(f.Request ? ends.partnerName : ends.sourceName);
  cells.Append(ProtocolText(session, t.Streams[size_t(f.Stream)], f.Request));
  switch (options.packetsBytes) {
    case PacketsBytes::Both:
      cells.Append(CountText(f.ClientToServerPackets + f.ServerToClientPackets));
      cells.Append(CountText(f.ClientToServerBytes + f.ServerToClientBytes));
      break;
    case PacketsBytes::ClientToServer:
      cells.Append(CountText(f.ClientToServerPackets));
      cells.Append(CountText(f.ClientToServerBytes));
      break;
    case PacketsBytes::ServerToClient:
      cells.Append(CountText(f.ServerToClientPackets));
      cells.Append(CountText(f.ServerToClientBytes));
      break;
  }
  cells.Append(HoursMinutesSeconds(f.Duration));
  cells.Append(f.ResponseTimeMs ? " " + NumberText(*f.ResponseTimeMs, 3, 5) : "-");
  cells.Append(ThroughputCell(f.ClientToServerKBps));
  cells.Append(ThroughputCell(f.ServerToClientKBps));
  cells.Append(f.Request ? ends.sourceKey : ends.partnerKey);
  cells.Append(f.Request ? ends.partnerKey : ends.sourceKey);
  cells.Append(ends.sourceHardware);
  cells.Append(ends.partnerHardware);
  return row;
}

void AddToTotals(GridTotals& n, const StreamFigures& f) {
  n.A += f.Marks[0];
  n.B += f.Marks[1];
  n.C += f.Marks[2];
  n.D += f.Marks[3];
  n.E += f.Counters[size_t(GridCounter::Retransmissions)];
  n.F += f.Counters[size_t(GridCounter::LocalRouting)];
  n.G += f.Counters[size_t(GridCounter::ZeroWindows)];
  n.H += f.Counters[size_t(GridCounter::Resets)];
  n.I += f.Counters[size_t(GridCounter::IcmpErrors)];
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

void GridCells::Append(std::string_view cell) {
  if (appended_ == ends_.size()) return;  // a row has no room past its last column
  if (appended_ == 0) text_.reserve(160);  // most rows' text fits this at once
  text_ += cell;
  ends_[appended_++] = uint32_t(text_.size());
}

void GridCells::Set(size_t column, std::string_view cell) {
  const uint32_t from = column == 0 ? 0 : ends_[column - 1], to = ends_[column];
  text_.replace(from, to - from, cell);
  const uint32_t end = from + uint32_t(cell.size());
  for (size_t c = column + 1; c < ends_.size(); ++c) ends_[c] = ends_[c] - to + end;
  ends_[column] = end;
}

std::ostream& operator<<(std::ostream& out, const GridCells& cells) {
  for (size_t c = 0; c < cells.size(); ++c) out << (c == 0 ? "[" : "|") << cells[c];
  return out << "]";
}

std::string ConversationCountLabel(size_t rows) {
  if (rows > 1) return CountText(int64_t(rows)) + " Conversations Analyzed";
  if (rows == 1) return "1 Conversation Analyzed";
  return {};
}

namespace {
// Formats every measured stream as a grid row, in measuring order, handing each row to
// `visit` and adding its figures to the totals.
template <class Visit>
void FormatRows(const TraceSession& session, const ConversationGridOptions& options,
                const ConversationFigures& conversation, GridTotals& totals, Visit&& visit) {
  if (conversation.Rows.empty()) return;
  const ConversationCells ends(session, options, conversation.Station, conversation.Conversation,
                               conversation.Rows.front().PartnerStation);
  for (const StreamFigures& f : conversation.Rows) {
    visit(FormatRow(session, options, ends, f));
    AddToTotals(totals, f);
  }
}
template <class Visit>
GridTotals FormatRows(const TraceSession& session, const ConversationGridOptions& options,
                      const std::vector<ConversationFigures>& figures, Visit&& visit) {
  GridTotals totals;
  for (const ConversationFigures& conversation : figures) FormatRows(session, options, conversation, totals, visit);
  return totals;
}

std::array<std::vector<std::string>, 3> TotalBoxes(const GridTotals& n) {
  return {std::vector<std::string>{"A = Low Server to Client Throughput - " + CountText(n.A),
                                   "B = Slow Response Time - " + CountText(n.B),
                                   "C = Busy Network or Server - " + CountText(n.C),
                                   "D = Inefficient Client - " + CountText(n.D)},
          std::vector<std::string>{"E = # of Transport Retransmissions - " + CountText(n.E),
                                   "F = # of Pkts In/Out Same Router Port - " + CountText(n.F),
                                   "G = # of TCP Zero Windows - " + CountText(n.G),
                                   "H = # of TCP Resets - " + CountText(n.H)},
          std::vector<std::string>{"I = # of ICMP Error Reports - " + CountText(n.I), "",
                                   "* Throughput in KBytes/Second", "- = Insufficient Data"}};
}
}  // namespace

ConversationGrid BuildConversationGrid(const TraceSession& session, const ProblemFinderSettings& settings,
                                       const ConversationGridOptions& options, const GridProgress& progress,
                                       unsigned threads) {
  ConversationGrid grid;
  grid.headings = ConversationGridHeadings(options.packetsBytes);
  if (!TraceHasNetworkStations(session)) {
    grid.noIpTraffic = true;
    return grid;
  }
  const std::vector<ConversationFigures> figures =
      MeasureConversations(session, settings, threads, progress ? FiguresProgress(progress) : FiguresProgress{});
  size_t rows = 0;
  for (const ConversationFigures& conversation : figures) rows += conversation.Rows.size();
  grid.rows.reserve(rows);
  grid.totals = FormatRows(session, options, figures, [&](GridRow&& row) {
    row.cells.Seal();
    grid.rows.push_back(std::move(row));
  });
  grid.countLabel = ConversationCountLabel(grid.rows.size());
  grid.boxes = TotalBoxes(grid.totals);
  return grid;
}

void UpdateGridNames(const TraceSession& session, ConversationGrid& grid, const ConversationGridOptions& options) {
  for (GridRow& row : grid.rows) {
    row.cells.Set(9, KeyName(session, row.clientKey, options));
    row.cells.Set(10, KeyName(session, row.serverKey, options));
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
    out += GridCellText(cells[size_t(c)]);
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

void WriteConversationGridText(std::ostream& out, const TraceSession& session, const ProblemFinderSettings& settings,
                               const ConversationGridOptions& options, unsigned threads) {
  if (!TraceHasNetworkStations(session)) {
    out << kNoIpTrafficText << '\n';
    return;
  }
  std::string text;
  AppendGridLine(text, ConversationGridHeadings(options.packetsBytes), 0, kGridShownColumns - 1);
  GridTotals totals;
  // Rows are written while the other threads still measure the conversations after them,
  // and each conversation's figures are given back once written.
  const bool keepRows = false;
  MeasureConversations(
      session, settings, threads, {},
      [&](const ConversationFigures& conversation) {
        FormatRows(session, options, conversation, totals, [&](const GridRow& row) {
          AppendGridLine(text, row.cells, 0, kGridShownColumns - 1);
          if (text.size() >= (size_t(1) << 16)) {
            out.write(text.data(), std::streamsize(text.size()));
            text.clear();
          }
        });
      },
      keepRows);
  for (const auto& box : TotalBoxes(totals))
    for (const std::string& line : box) text += line + '\n';
  out.write(text.data(), std::streamsize(text.size()));
}

}  // namespace korvane
