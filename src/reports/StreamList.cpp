#include "reports/StreamList.h"

#include "analysis/FrameAnalyser.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {

constexpr std::array<std::string_view, 4> kHeadings = {"Source", "Destination", "Protocol/App", "Stream"};

constexpr uint8_t kFirstIpxKind = 8, kLastIpxKind = 21, kOtherKind = 22;

std::string PortText(const PortNames& ports, uint16_t port) {
  std::string name;
  ports.Lookup(port, &name);
  return name;
}

}  // namespace

const std::array<std::string_view, 4>& StreamListHeadings() { return kHeadings; }

std::string NetAddressText(const TraceSession& session, const AddressKey& address, const StreamListOptions& options) {
  if (address.length == 10) return IpxAddressText(address, options.ipxLowerByOui, false, session.vendors);
  return IpText(address);
}

std::string_view IcmpMessageName(uint8_t type, uint8_t code) {
  static constexpr std::array<std::string_view, 8> kUnreachable = {
      "Network Unreachable",  "Host Unreachable",
      "Protocol Unreachable", "Port Unreachable",
      "Fragmentation needed and Don't Fragment was set", "Source Route Failed",
      "Destination Network Unknown", "Destination Host Unknown"};
  static constexpr std::array<std::string_view, 4> kRedirect = {
      "Redirect Datagram for the Network", "Redirect Datagram for the Host",
      "Redirect Datagram for the Type of Service and Network", "Redirect Datagram for the Type of Service and Host"};
  static constexpr std::array<std::string_view, 2> kTimeExceeded = {"Time to Live Exceeded in Transit",
                                                                    "Fragment Reassembly Time Exceeded"};
  switch (type) {
    case 0: return "Echo Reply";
    case 3: return code < kUnreachable.size() ? kUnreachable[code] : std::string_view();
    case 4: return "Source Quench";
    case 5: return code < kRedirect.size() ? kRedirect[code] : std::string_view();
    case 6: return "Alternative Host Address";
    case 8: return "Echo";
    case 9: return "Router Advertisement";
    case 10: return "Router Selection";
    case 11: return code < kTimeExceeded.size() ? kTimeExceeded[code] : std::string_view();
    case 13: return "Timestamp";
    case 14: return "Timestamp Reply";
    case 15: return "Information Request";
    case 16: return "Information Reply";
    case 17: return "Address Mask Request";
    case 18: return "Address Mask Reply";
    case 30: return "Traceroute";
    case 32: return "Mobile Host Redirect";
    case 33: return "IPv6 Where-Are-You";
    case 34: return "IPv6 I-Am-Here";
    case 35: return "Mobile Registration Agent";
    case 36: return "Mobile Registration Reply";
    default: return {};
  }
}

std::string StreamAppText(const TraceSession& session, const TTransHead& stream, bool mirrored) {
  const uint16_t first = mirrored ? stream.DestPort : stream.SourcePort;
  const uint16_t second = mirrored ? stream.SourcePort : stream.DestPort;
  const std::string kind(TransportKindName(stream.Kind));
  if (stream.Kind >= kOtherKind) return "Other";
  if (stream.Kind >= kFirstIpxKind && stream.Kind <= kLastIpxKind)
    return "IPX (Socket " + IpxSocketName(first) + "<->" + IpxSocketName(second) + ")/" + kind;
  if (stream.Kind == transport::Tcp || stream.Kind == transport::Udp)
    return kind + "/" + PortText(session.ports, first) + "<->" + PortText(session.ports, second);
  if (stream.Kind == transport::Icmp && stream.FirstPacket >= 0 &&
      size_t(stream.FirstPacket) < session.tables.PacketList.size()) {
    // ICMP packets keep their type in the low byte of Window and the code in the high byte.
    const TPacket& p = session.tables.PacketList[size_t(stream.FirstPacket)];
    const auto type = uint8_t(p.Window & 0xFF), code = uint8_t(p.Window >> 8);
    std::string_view name = IcmpMessageName(type, code);
    if (name.empty()) return kind;
    std::string text = kind + "/" + std::string(name);
    if (type != 0 && type != 8) text += " (pkt " + std::to_string(p.FrameNumber) + ")";
    return text;
  }
  return kind;
}

std::vector<StreamEntry> BuildStreamList(const TraceSession& session, const StreamListOptions& options) {
  const AnalysisTables& t = session.tables;
  std::vector<StreamEntry> list;
  for (int32_t i : t.NetStationTree.InOrder()) {
    const NetStationNode& n = t.NetStationTree[i];
    if ((n.Role & 1) == 0) continue;
    const std::string source = NetAddressText(session, n.Address, options);
    int32_t destinationIndex = 0;
    for (int32_t p = n.FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next, ++destinationIndex) {
      const TNetPeer& peer = t.NetPeers[size_t(p)];
      const std::string destination = NetAddressText(session, peer.DestAddress, options);
      int32_t streamIndex = 0;
      for (int32_t k = peer.FirstStream; k >= 0; k = t.Streams[size_t(k)].Next, ++streamIndex) {
        StreamEntry e;
        e.sourceStation = i;
        e.peer = p;
        e.stream = k;
        e.destinationIndex = destinationIndex;
        e.streamIndex = streamIndex;
        e.source = source;
        e.destination = destination;
        e.app = StreamAppText(session, t.Streams[size_t(k)]);
        list.push_back(std::move(e));
      }
    }
  }
  return list;
}

std::optional<StreamEntry> FindStream(const std::vector<StreamEntry>& list, const std::string& source,
                                      const std::string& destination, int32_t streamIndex) {
  int32_t station = -1, peer = -1;
  for (const StreamEntry& e : list) {
    if (station < 0 && e.source == source) station = e.sourceStation;
    if (station >= 0 && e.sourceStation == station && peer < 0 && e.destination == destination) peer = e.peer;
    if (peer >= 0 && e.peer == peer && e.streamIndex == streamIndex) return e;
  }
  return std::nullopt;
}

}  // namespace korvane
