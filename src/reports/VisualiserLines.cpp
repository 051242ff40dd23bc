#include "reports/VisualiserLines.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "analysis/FrameAnalyser.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {

constexpr uint16_t kFin = 0x01, kSyn = 0x02, kRst = 0x04, kPsh = 0x08, kUrg = 0x20;

enum Column { kPacket, kSize, kDelta, kCumulativeTime, kBytes, kSent, kReceived, kColumnCount };

constexpr std::array<VisualiserColumnInfo, kColumnCount> kColumns = {{
    {"Packet", "00000001"},
    {"Size", " 00002"},
    {"dTime", " 0,000.000003"},
    {"cTime", " 00,000.000004"},
    {"cBytes", " 000000005"},
    {"sBytes", " 000000006"},
    {"rBytes", " 000000007"},
}};

std::array<bool, kColumnCount> Switched(const VisualiserColumns& c) {
  return {c.ShowPacketNumber, c.ShowPacketSize, c.ShowDeltaTime, c.ShowCumulativeTime, c.ShowCumulativeBytesTogether,
          c.ShowCumulativeBytesSeparate, c.ShowCumulativeBytesSeparate};
}

std::string Num(int64_t value) { return std::to_string(value); }

bool IsIpKind(uint8_t kind) { return kind <= transport::IpUnknown; }
bool IsIpxKind(uint8_t kind) { return kind >= transport::Ncp && kind <= transport::IpxUnknown; }

std::string RoleWord(const TPacket& p, uint8_t kind) {
  if (kind == transport::Tcp || kind == transport::NetBios) return {};
  const bool spx = kind == transport::Spx || kind == transport::SpxII;
  if (p.Flags & packet_flag::Request) return spx ? "Data; " : "Cmd; ";
  if (p.Flags & packet_flag::Reply) return spx ? "Ack; " : "Rep; ";
  return {};
}

std::string NetworkText(const TPacket& p, uint8_t kind) {
  if (IsIpKind(kind)) {
    if (p.FragmentOffset > 0)
      return "IP Frag Len=" + Num(p.NetLength) + " Off=" + Num(p.FragmentOffset) + " TTL=" + Num(p.Ttl) + "; ";
    return "IP Len=" + Num(p.NetLength) + " TTL=" + Num(p.Ttl) + "; ";
  }
  if (IsIpxKind(kind)) return "IPX Len=" + Num(p.NetLength) + " Hops=" + Num(p.Ttl) + "; ";
  return {};
}

std::string TcpText(const TPacket& p, int64_t acknowledgedFrame) {
  const int64_t payload = int64_t(p.NetLength) - p.NetHeaderLength - p.TransportHeaderLength;
  std::string text = "TCP ";
  if (p.TcpFlags & kFin) text += "FIN ";
  if (payload <= 0 && (p.TcpFlags & kSyn)) {
    text += "SYN ";
    if (p.Mss != 0) text += "(MSS=" + Num(p.Mss) + ") ";
  }
  if (p.TcpFlags & kRst) text += "RST ";
  if (p.TcpFlags & kPsh) text += "PSH ";
  if (p.TcpFlags & kUrg) text += "URG ";
  if (payload <= 0) {
    text += "Ack=" + Num(p.Acknowledge) + " ";
    if (acknowledgedFrame > 0) text += "(Pkt " + Num(acknowledgedFrame) + ") ";
    return text + "Seq=" + Num(p.Sequence) + " Win=" + Num(p.Window) + "; ";
  }
  return text + "Seq=" + Num(p.Sequence) + " Len=" + Num(payload) + " Win=" + Num(p.Window);
}

std::string TransportText(const TPacket& p, uint8_t kind, int64_t acknowledgedFrame) {
  if (IsIpKind(kind) && p.FragmentOffset > 0) return {};  // a later fragment carries no transport header
  const std::string name(TransportKindName(kind));
  switch (kind) {
    case transport::Tcp: return TcpText(p, acknowledgedFrame);
    case transport::Udp: return "UDP Len=" + Num(std::max<int64_t>(int64_t(p.NetLength) - p.NetHeaderLength, 0));
    case transport::Ncp: return "NCP Seq=" + Num(p.Sequence);
    case transport::PBurst: case transport::Spx: case transport::SpxII:
      return name + " Seq=" + Num(p.Sequence) + " Ack=" + Num(p.Acknowledge);
    case transport::Icmp: {
      // ICMP packets keep their type in the low byte of Window and the code in the high byte.
      const auto type = uint8_t(p.Window & 0xFF), code = uint8_t(p.Window >> 8);
      std::string text = name;
      if (std::string_view message = IcmpMessageName(type, code); !message.empty()) text += " " + std::string(message);
      if (type == 0 || type == 8) text += " Seq=" + Num(p.Sequence);
      return text;
    }
    default: return name;
  }
}

std::string PacketBurstText(const Diagnostic& d) {
  std::string text = "NCP Command ";
  if (d.Function == 1) text += "Read ";
  else if (d.Function == 2) text += "Write ";
  if (d.Number == 0) return text + "requesting PBurst sequence " + Num(d.Extra);
  return text + "requesting " + Num(d.Number) + " PBurst pkt(s)";
}

// Reporting station of each ICMP report line: the sender of the ICMP frame with the
// report's frame number, found in one pass over the ICMP streams.
void FillIcmpReporters(const TraceSession& session, std::vector<std::pair<int64_t, size_t>> reports,
                       std::vector<VisualiserLine>& lines, const StreamListOptions& addresses) {
  if (reports.empty()) return;
  std::sort(reports.begin(), reports.end());
  const AnalysisTables& t = session.tables;
  std::vector<bool> found(reports.size(), false);
  for (size_t station = 0; station < t.NetStationTree.size(); ++station) {
    const NetStationNode& node = t.NetStationTree[int32_t(station)];
    for (int32_t peer = node.FirstNetPeer; peer >= 0; peer = t.NetPeers[size_t(peer)].Next) {
      for (int32_t s = t.NetPeers[size_t(peer)].FirstStream; s >= 0; s = t.Streams[size_t(s)].Next) {
        if (t.Streams[size_t(s)].Kind != transport::Icmp) continue;
        for (int32_t at = t.Streams[size_t(s)].FirstPacket; at >= 0; at = t.PacketList[size_t(at)].Next) {
          const int64_t frame = t.PacketList[size_t(at)].FrameNumber;
          auto match = std::lower_bound(reports.begin(), reports.end(), std::make_pair(frame, size_t(0)));
          for (; match != reports.end() && match->first == frame; ++match) {
            const auto k = size_t(match - reports.begin());
            if (found[k]) continue;
            found[k] = true;
            lines[match->second].Detail += NetAddressText(session, node.Address, addresses);
          }
        }
      }
    }
  }
}

}  // namespace

std::vector<VisualiserColumnInfo> VisualiserColumnInfos(const VisualiserColumns& columns) {
  std::vector<VisualiserColumnInfo> out;
  const auto on = Switched(columns);
  for (int c = 0; c < kColumnCount; ++c)
    if (on[size_t(c)]) out.push_back(kColumns[size_t(c)]);
  return out;
}

uint16_t BytesPerPixel(uint16_t lengthPosition) {
  return uint16_t(15 - std::clamp<uint16_t>(lengthPosition, 1, 10));
}

int BarLength(uint16_t frameLength, uint16_t bytesPerPixel) {
  const int per = std::max<int>(bytesPerPixel, 1);
  return (int(frameLength) + per) / per;
}

int64_t TickGapPixels(double elapsedMicros, uint16_t tickSpacingMs) {
  if (tickSpacingMs == 0 || !(elapsedMicros > 0)) return 0;
  const double units = std::min(std::floor(elapsedMicros / (tickSpacingMs * 500.0)), 1e15);
  return units > 1 ? int64_t(units) : 0;
}

int64_t RulerMarkCount(int64_t gapPixels) { return std::max<int64_t>(gapPixels, 0) / 2; }

RulerMark RulerMarkAt(int64_t k, uint16_t tickSpacingMs) {
  RulerMark m;
  m.Offset = 2 * k;
  m.Length = k % 5 == 0 ? 10 : 5;
  if (k % 10 == 0) m.Label = CountText(k * tickSpacingMs) + " ms";
  return m;
}

std::string DiagnosticText(const Diagnostic& d) {
  switch (d.Kind) {
    case DiagnosticKind::LowTtl: return "Low TTL";
    case DiagnosticKind::LowStartingMss: return "Low Starting MSS";
    case DiagnosticKind::IdleTooLong:
      return "Idle Too Long (" + NumberText(d.Value, 0) + " secs from Pkt " + Num(d.Packet) + ")";
    case DiagnosticKind::LowWindow: return "Low Window";
    case DiagnosticKind::StuckWindow:
      return "Window Stuck at " + Num(d.Number) + " (largest = " + Num(d.Extra) + ")";
    case DiagnosticKind::SlowAck: return "Slow Ack (" + NumberText(d.Value, 2) + " ms from Pkt " + Num(d.Packet) + ")";
    case DiagnosticKind::LocallyRouted:
      return d.Packet > 0 ? "Locally Routed (Pkt " + Num(d.Packet) + ")" : "Locally Routed";
    case DiagnosticKind::TransportRetransmission: return "Transport Retransmission";
    case DiagnosticKind::FastRetransmission:
      return "Fast Transport Retransmission (" + NumberText(d.Value, 2) + " ms from pkt " + Num(d.Packet) + ")";
    case DiagnosticKind::PacketBurstRequest: return PacketBurstText(d);
    case DiagnosticKind::ServerBusy: return "Server Busy";
    case DiagnosticKind::ResetConnection: return "Reset Connection";
    case DiagnosticKind::MissingFragment: return "Missing Fragment";
    case DiagnosticKind::ZeroWindow: return "Zero Window";
    case DiagnosticKind::DlcCrcError: return "DLC CRC Error";
    case DiagnosticKind::IpChecksumError: return "IP Checksum Error";
    case DiagnosticKind::UdpChecksumError: return "UDP Checksum Error";
    case DiagnosticKind::TcpChecksumError: return "TCP Checksum Error";
    case DiagnosticKind::ShortPacket: return "Short Packet";
    case DiagnosticKind::LongPacket: return "Long Packet";
  }
  return {};
}

VisualiserDrawing DrawVisualiser(const TraceSession& session, const PacketDiagnosticsResult& judged,
                                 const VisualiserOptions& options) {
  VisualiserDrawing drawing;
  drawing.Columns = VisualiserColumnInfos(options.Columns);
  const auto on = Switched(options.Columns);
  const auto& packets = session.tables.PacketList;
  const uint16_t bytesPerPixel = BytesPerPixel(options.LengthPosition);
  auto kindOf = [&](int32_t stream) { return stream >= 0 ? session.tables.Streams[size_t(stream)].Kind : uint8_t(0); };
  const uint8_t forwardKind = kindOf(judged.ForwardStream), reverseKind = kindOf(judged.ReverseStream);

  bool started = false;
  double firstTime = 0, previousTime = 0;
  int64_t runningBytes = 0, runningSent = 0, runningReceived = 0;
  std::vector<std::pair<int64_t, size_t>> reports;
  drawing.Lines.reserve(judged.Packets.size());

  for (const DiagnosedPacket& d : judged.Packets) {
    const TPacket& p = packets[size_t(d.Packet)];
    const uint8_t kind = d.Forward ? forwardKind : reverseKind;
    const bool gap = IsGapMarker(p.Flags);
    const bool report = !gap && (p.Flags & packet_flag::IcmpReport) != 0;
    VisualiserLine& line = drawing.Lines.emplace_back();
    line.Packet = d.Packet;
    line.FrameNumber = p.FrameNumber;
    line.Forward = d.Forward;
    line.BarPixels = BarLength(p.FrameLength, bytesPerPixel);
    line.Colour = gap ? BarColour::Gap : report ? BarColour::Diagnostic : d.Forward ? BarColour::Send : BarColour::Receive;

    // Gap markers stand for no frame and report records sit out of time order: only real
    // packets move the clock and the byte counts on.
    if (!gap) {
      const double delta = started ? ElapsedMicros(previousTime, p.TimeStamp) : 0;
      if (!started) firstTime = p.TimeStamp;
      if (!report) {
        if (started) line.GapPixels = TickGapPixels(delta, options.TickSpacingMs);
        started = true;
        previousTime = p.TimeStamp;
        runningBytes += p.FrameLength;
        (d.Forward ? runningSent : runningReceived) += p.FrameLength;
      }
      const std::array<std::string, kColumnCount> texts = {
          Num(p.FrameNumber), Num(p.FrameLength), NumberText(delta / 1e6, 6),
          NumberText(ElapsedMicros(firstTime, p.TimeStamp) / 1e6, 6), Num(runningBytes), Num(runningSent),
          Num(runningReceived)};
      for (int c = 0; c < kColumnCount; ++c)
        if (on[size_t(c)]) line.Columns.push_back(texts[size_t(c)]);
    } else {
      // A gap marker stands for no frame: only the packet column shows the number of the
      // frame that revealed the gap.
      for (int c = 0; c < kColumnCount; ++c)
        if (on[size_t(c)]) line.Columns.push_back(c == kPacket ? Num(p.FrameNumber) : std::string());
    }

    if (gap) {
      line.Detail = "POSSIBLE MISSING OR FILTERED " + std::string(TransportKindName(kind)) + " PACKET(S)";
    } else if (report) {
      line.Detail = "ICMP from ";
      reports.emplace_back(p.FrameNumber, drawing.Lines.size() - 1);
    } else {
      line.Detail = RoleWord(p, kind) + NetworkText(p, kind) + TransportText(p, kind, d.AcknowledgedFrame);
    }

    std::string texts;
    for (const Diagnostic& x : judged.DiagnosticsOf(d)) texts += (texts.empty() ? "" : ", ") + DiagnosticText(x);
    if (texts.empty()) {
      if (line.Detail.ends_with("; ")) line.Detail.resize(line.Detail.size() - 2);
    } else {
      line.Diagnostics = " " + texts;
      drawing.Entries.push_back({"Pkt #" + Num(p.FrameNumber) + " " + texts, drawing.Lines.size() - 1});
    }
  }
  FillIcmpReporters(session, std::move(reports), drawing.Lines, options.Addresses);
  return drawing;
}

std::vector<std::string> VisualiserTextLines(const TraceSession& session, const MeasurementSelection& selection,
                                             const ProblemFinderSettings& settings, const VisualiserOptions& options) {
  const VisualiserDrawing drawing = DrawVisualiser(session, DiagnosePackets(session, selection, settings), options);
  std::vector<std::string> out;
  out.reserve(drawing.Lines.size());
  for (const VisualiserLine& line : drawing.Lines) {
    std::string text = line.Forward ? ">" : "<";
    for (const std::string& column : line.Columns) text += "\t" + column;
    text += "\t" + line.Detail + line.Diagnostics;
    out.push_back(std::move(text));
  }
  return out;
}

}  // namespace korvane
