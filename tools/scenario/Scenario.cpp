#include "Scenario.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace korvane::tools {

namespace {

constexpr int64_t kMs = 1000;
constexpr int64_t kSec = 1000 * kMs;

// SplitMix64: tiny, fast and identical on every platform, unlike the
// standard library distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// ---------------------------------------------------------------------------
// Shared medium: conversations are scripted independently, then merged and
// serialised so that no two frames overlap on the wire.

class Medium {
 public:
  Medium(double usPerByte, double overheadUs) : usPerByte_(usPerByte), overheadUs_(overheadUs) {}

  void Add(int64_t timeUs, Bytes bytes, uint16_t status = 0, uint32_t wireLength = 0) {
    ScenarioFrame frame;
    frame.wireLength = wireLength ? wireLength : static_cast<uint32_t>(bytes.size());
    frame.bytes = std::move(bytes);
    frame.status = status;
    pending_.push_back({timeUs, std::move(frame)});
  }

  std::vector<ScenarioFrame> Finish() {
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.time < b.time; });
    std::vector<ScenarioFrame> frames;
    frames.reserve(pending_.size());
    int64_t origin = pending_.empty() ? 0 : pending_.front().time;
    int64_t freeAt = origin;  // when the medium is idle again
    for (Pending& p : pending_) {
      int64_t start = std::max(p.time, freeAt);
      freeAt =
          start + static_cast<int64_t>(std::ceil(p.frame.wireLength * usPerByte_ + overheadUs_));
      p.frame.timeUs = static_cast<double>(start - origin);
      frames.push_back(std::move(p.frame));
    }
    pending_.clear();
    return frames;
  }

 private:
  struct Pending {
    int64_t time;
    ScenarioFrame frame;
  };
  double usPerByte_;
  double overheadUs_;
  std::vector<Pending> pending_;
};

// 10 Mbit/s Ethernet: 0.8 us per byte plus preamble, FCS and inter-frame gap.
Medium EthernetMedium() { return Medium(0.8, (8 + 4 + 12) * 0.8); }
// 16 Mbit/s Token Ring: 0.5 us per byte plus delimiters, FCS and token passing.
Medium TokenRingMedium() { return Medium(0.5, 12.0); }

// ---------------------------------------------------------------------------
// IP stations and framing

struct Station {
  Mac mac{};
  Ip4 ip{};
  uint8_t ttl = 128;       // initial TTL as seen on this segment
  uint16_t window = 8760;  // advertised TCP receive window
  // Token Ring: route designators from the local ring to this station's
  // ring, bridges in between. Empty for stations on the local ring.
  std::vector<uint16_t> route;
};

enum class Fault {
  kNone,
  kDropped,    // seen on the wire, discarded by the receiver, resent after a timeout
  kCorrupted,  // damaged on the wire (bad frame check sequence), resent after a timeout
};

constexpr int64_t kRetransmitTimeout = 200 * kMs;

class IpLan {
 public:
  IpLan(Medium& medium, bool tokenRing, Rng& rng)
      : medium_(medium), tokenRing_(tokenRing), rng_(rng) {}

  Rng& rng() { return rng_; }

  // Link framing for IP (or ARP) between two stations on this segment.
  Bytes Frame(const Station& from, const Mac& dstMac, const Station* to, uint16_t etherType,
              const Bytes& payload) const {
    if (!tokenRing_) return EthernetFrame(dstMac, from.mac, etherType, payload);
    Bytes rif;
    if (!from.route.empty()) {
      rif = TokenRingRif(from.route, 0x00, /*towardOriginator=*/true);
    } else if (to && !to->route.empty()) {
      rif = TokenRingRif(to->route);
    }
    return TokenRingSnapFrame(dstMac, from.mac, etherType, payload, rif);
  }

  uint16_t NextIpId(const Ip4& ip) {
    auto [it, inserted] =
        ipIds_.try_emplace(ip, static_cast<uint16_t>(0x1000 + rng_.Below(0x6000)));
    return it->second++;
  }

  uint16_t NextPort(const Ip4& ip) {
    auto [it, inserted] = ports_.try_emplace(ip, static_cast<uint16_t>(1025 + rng_.Below(40)));
    return it->second++;
  }

  // Sends an IPv4 packet from one station to another (or to a group MAC).
  void SendIp(int64_t t, const Station& from, const Station& to, uint8_t protocol,
              const Bytes& transport, Fault fault = Fault::kNone, const Mac* groupMac = nullptr,
              bool collideFirst = false) {
    const uint16_t flags = protocol == kIpProtoTcp ? kIpDontFragment : 0;
    Bytes ip = Ipv4Packet(from.ip, to.ip, protocol, from.ttl, NextIpId(from.ip), flags, transport);
    Bytes frame =
        Frame(from, groupMac ? *groupMac : to.mac, groupMac ? nullptr : &to, kEtherTypeIpv4, ip);
    if (collideFirst) {
      // The first attempt collided: only the start of the frame made it out.
      const size_t fragment = 32 + rng_.Below(17);
      medium_.Add(t, Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(fragment)),
                  kStatusCrcError);
      t += 60 + rng_.Below(120);
    }
    uint16_t status = 0;
    if (fault == Fault::kCorrupted) {
      // A single flipped bit, well clear of the headers of a data segment.
      frame[frame.size() > 100 ? frame.size() - 37 : frame.size() - 1] ^= 0x10;
      status = kStatusCrcError;
    }
    medium_.Add(t, std::move(frame), status);
  }

  // ARP exchange before the first packet between two stations. Returns the
  // time by which the sender knows the answer.
  int64_t Resolve(int64_t t, const Station& who, const Station& target) {
    if (!known_.insert({who.ip, target.ip}).second) return t;
    known_.insert({target.ip, who.ip});
    const uint16_t hw = tokenRing_ ? kArpHwIeee802 : kArpHwEthernet;
    Bytes request = ArpPacket(kArpRequest, who.mac, who.ip, Mac{}, target.ip, hw);
    Bytes reply = ArpPacket(kArpReply, target.mac, target.ip, who.mac, who.ip, hw);
    if (tokenRing_) {
      // Broadcast as a single-route explorer; the answer comes back on the
      // route the explorer took.
      Bytes rif = TokenRingRif({}, 0xC0);
      medium_.Add(t, TokenRingSnapFrame(kBroadcastMac, who.mac, kEtherTypeArp, request, rif));
    } else {
      medium_.Add(t, EthernetFrame(kBroadcastMac, who.mac, kEtherTypeArp, request));
    }
    const int64_t replyAt = t + 250 + rng_.Below(500);
    medium_.Add(replyAt, Frame(target, who.mac, &who, kEtherTypeArp, reply));
    return replyAt + 100 + rng_.Below(200);
  }

  void Forget(const Station& who, const Station& target) { known_.erase({who.ip, target.ip}); }

 private:
  Medium& medium_;
  bool tokenRing_;
  Rng& rng_;
  std::map<Ip4, uint16_t> ipIds_;
  std::map<Ip4, uint16_t> ports_;
  std::set<std::pair<Ip4, Ip4>> known_;
};

// ---------------------------------------------------------------------------
// TCP connection scripting

enum Side { kClient = 0, kServer = 1 };

class TcpFlow {
 public:
  TcpFlow(IpLan& lan, const Station& client, const Station& server, uint16_t clientPort,
          uint16_t serverPort, uint16_t mss)
      : lan_(lan), stations_{client, server}, ports_{clientPort, serverPort}, mss_(mss) {
    next_[kClient] = static_cast<uint32_t>(lan.rng().Next());
    next_[kServer] = static_cast<uint32_t>(lan.rng().Next());
  }

  // Three-way handshake started by `opener`; returns the time of the final ACK.
  int64_t Open(int64_t t, int64_t rttUs, Side opener = kClient) {
    const Side peer = Other(opener);
    Emit(opener, t, next_[opener], tcp_flags::kSyn, {}, Fault::kNone, mss_);
    ++next_[opener];
    acked_[peer] = next_[opener];
    t += rttUs / 2 + lan_.rng().Below(200);
    Emit(peer, t, next_[peer], tcp_flags::kSyn | tcp_flags::kAck, {}, Fault::kNone, mss_);
    ++next_[peer];
    acked_[opener] = next_[peer];
    t += rttUs / 2 + lan_.rng().Below(200);
    Emit(opener, t, next_[opener], tcp_flags::kAck, {});
    return t;
  }

  // One segment of application data. A faulted segment is never acknowledged
  // and goes out again after the retransmission timeout; the returned time is
  // that of the last transmission.
  int64_t Send(Side from, int64_t t, const Bytes& data, Fault fault = Fault::kNone) {
    const uint32_t seq = next_[from];
    Emit(from, t, seq, tcp_flags::kPsh | tcp_flags::kAck, data, fault);
    if (fault != Fault::kNone) {
      t += kRetransmitTimeout + lan_.rng().Below(30 * kMs);
      Emit(from, t, seq, tcp_flags::kPsh | tcp_flags::kAck, data);
    }
    next_[from] += static_cast<uint32_t>(data.size());
    acked_[Other(from)] = next_[from];
    return t;
  }

  // Pure acknowledgement of everything received so far.
  int64_t Ack(Side from, int64_t t) {
    Emit(from, t, next_[from], tcp_flags::kAck, {});
    return t;
  }

  // Streams `data` in full-sized segments, `gapUs` apart; the receiver
  // acknowledges every second segment. `lastFault` damages the final
  // segment, which is then resent after the retransmission timeout.
  // Returns the time of the final acknowledgement.
  int64_t Bulk(Side from, int64_t t, const Bytes& data, int64_t gapUs, Fault lastFault) {
    const Side to = Other(from);
    size_t offset = 0;
    int pendingSegments = 0;
    int64_t lastAck = t;
    while (offset < data.size()) {
      const size_t len = std::min<size_t>(mss_, data.size() - offset);
      const bool last = offset + len == data.size();
      const Bytes chunk(data.begin() + static_cast<std::ptrdiff_t>(offset),
                        data.begin() + static_cast<std::ptrdiff_t>(offset + len));
      const uint32_t seq = next_[from];
      const uint8_t flags = last ? (tcp_flags::kPsh | tcp_flags::kAck) : tcp_flags::kAck;
      const Fault fault = last ? lastFault : Fault::kNone;
      Emit(from, t, seq, flags, chunk, fault);
      next_[from] += static_cast<uint32_t>(len);
      offset += len;
      if (fault != Fault::kNone) {
        if (pendingSegments > 0) {
          // The receiver's delayed-ACK timer covers what did arrive.
          acked_[to] = seq;
          lastAck = Ack(to, t + 150 * kMs + lan_.rng().Below(20 * kMs));
        }
        t += kRetransmitTimeout + lan_.rng().Below(30 * kMs);
        Emit(from, t, seq, flags, chunk);
        pendingSegments = 2;
      } else {
        ++pendingSegments;
      }
      if (pendingSegments >= 2 || last) {
        acked_[to] = next_[from];
        lastAck = Ack(to, t + 120 + lan_.rng().Below(200));
        pendingSegments = 0;
      }
      t += gapUs + lan_.rng().Below(static_cast<uint32_t>(gapUs / 4 + 1));
    }
    return lastAck;
  }

  // Orderly release started by `first`; returns the time of the last ACK.
  int64_t Close(Side first, int64_t t, int64_t rttUs) {
    const Side peer = Other(first);
    Emit(first, t, next_[first], tcp_flags::kFin | tcp_flags::kAck, {});
    ++next_[first];
    acked_[peer] = next_[first];
    t += rttUs / 2 + lan_.rng().Below(300);
    Emit(peer, t, next_[peer], tcp_flags::kAck, {});
    t += 200 + lan_.rng().Below(800);
    Emit(peer, t, next_[peer], tcp_flags::kFin | tcp_flags::kAck, {});
    ++next_[peer];
    acked_[first] = next_[peer];
    t += rttUs / 2 + lan_.rng().Below(300);
    Emit(first, t, next_[first], tcp_flags::kAck, {});
    return t;
  }

  // The next segment sent on this connection is preceded by a collision
  // fragment.
  void CollideNext() { collideNext_ = true; }

 private:
  static Side Other(Side s) { return s == kClient ? kServer : kClient; }

  void Emit(Side from, int64_t t, uint32_t seq, uint8_t flags, const Bytes& payload,
            Fault fault = Fault::kNone, uint16_t mss = 0) {
    const Station& src = stations_[from];
    const Station& dst = stations_[Other(from)];
    TcpFields f;
    f.srcPort = ports_[from];
    f.dstPort = ports_[Other(from)];
    f.seq = seq;
    f.ack = (flags & tcp_flags::kAck) ? acked_[from] : 0;
    f.flags = flags;
    f.window = src.window;
    f.mss = mss;
    lan_.SendIp(t, src, dst, kIpProtoTcp, TcpSegment(src.ip, dst.ip, f, payload), fault, nullptr,
                collideNext_);
    collideNext_ = false;
  }

  IpLan& lan_;
  Station stations_[2];
  uint16_t ports_[2];
  uint16_t mss_;
  uint32_t next_[2] = {0, 0};   // next sequence number each side sends
  uint32_t acked_[2] = {0, 0};  // what each side has received from its peer
  bool collideNext_ = false;
};

// ---------------------------------------------------------------------------
// Application payloads

Bytes HtmlBody(size_t size, const std::string& title) {
  const std::string tail = "</body></html>\n";
  std::string s = "<html><head><title>" + title + "</title></head><body>\n<h1>" + title + "</h1>\n";
  for (int i = 1; s.size() < size; ++i) {
    s += "<p>Item " + std::to_string(i) +
         ": notices, schedules and figures for the branch office, updated weekly.</p>\n";
  }
  s.resize(size > tail.size() ? size - tail.size() : 0);
  s += tail;
  return Text(s);
}

Bytes BinaryBody(size_t size, Rng& rng) {
  Bytes out(size);
  for (size_t i = 0; i < size; i += 8) {
    uint64_t v = rng.Next();
    for (size_t k = 0; k < 8 && i + k < size; ++k) out[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  return out;
}

Bytes HttpRequest(const std::string& path, const std::string& host) {
  return Text("GET " + path + " HTTP/1.0\r\nHost: " + host +
              "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n"
              "Accept: */*\r\nConnection: close\r\n\r\n");
}

Bytes HttpResponse(const Bytes& body, const std::string& contentType) {
  return Concat(
      Text("HTTP/1.0 200 OK\r\nServer: Apache/1.3.6 (Unix)\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n"),
      body);
}

// NetBIOS name in first-level encoding (RFC 1002), as carried by NBNS.
Bytes NbnsName(const std::string& name, uint8_t suffix) {
  std::string padded = name;
  padded.resize(15, ' ');
  padded.push_back(static_cast<char>(suffix));
  Bytes out{0x20};
  for (char c : padded) {
    const auto b = static_cast<uint8_t>(c);
    out.push_back(static_cast<uint8_t>('A' + (b >> 4)));
    out.push_back(static_cast<uint8_t>('A' + (b & 0x0F)));
  }
  out.push_back(0);
  return out;
}

Bytes NbnsQuery(uint16_t id, const std::string& name) {
  Bytes out;
  PutU16(out, id);
  PutU16(out, 0x0110);  // name query, recursion desired, broadcast
  PutU16(out, 1);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, 0);
  PutBytes(out, NbnsName(name, 0x00));
  PutU16(out, 0x0020);  // NB
  PutU16(out, 0x0001);  // IN
  return out;
}

Bytes NbnsPositiveResponse(uint16_t id, const std::string& name, const Ip4& address) {
  Bytes out;
  PutU16(out, id);
  PutU16(out, 0x8500);  // response, authoritative, recursion desired
  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, 0);
  PutU16(out, 0);
  PutBytes(out, NbnsName(name, 0x00));
  PutU16(out, 0x0020);
  PutU16(out, 0x0001);
  PutU32(out, 300000);
  PutU16(out, 6);
  PutU16(out, 0x0000);  // B-node, unique name
  out.insert(out.end(), address.begin(), address.end());
  return out;
}

// NetBIOS Frames (NetBEUI) header carried in 802.2 UI frames; its fields are
// little-endian.
Bytes NetbiosFrame(uint8_t command, uint16_t xmitCorrelator, uint16_t respCorrelator,
                   const std::string& dest, const std::string& src) {
  Bytes out{0x2C, 0x00, 0xFF, 0xEF, command, 0x00, 0x00, 0x00};
  out.push_back(static_cast<uint8_t>(xmitCorrelator));
  out.push_back(static_cast<uint8_t>(xmitCorrelator >> 8));
  out.push_back(static_cast<uint8_t>(respCorrelator));
  out.push_back(static_cast<uint8_t>(respCorrelator >> 8));
  for (const std::string* name : {&dest, &src}) {
    std::string padded = *name;
    padded.resize(15, ' ');
    padded.push_back('\0');
    PutBytes(out, Text(padded));
  }
  return out;
}

constexpr uint8_t kNetbiosNameQuery = 0x0A;
constexpr uint8_t kNetbiosNameRecognized = 0x0E;
constexpr uint8_t kSapNetbios = 0xF0;
constexpr uint8_t kSapNetware = 0xE0;
constexpr uint8_t kLlcUi = 0x03;

struct RipRoute {
  Ip4 prefix;
  Ip4 mask;
  uint32_t metric;
};

// RIP version 2 response advertising routes through the sender.
Bytes Rip2Response(const std::vector<RipRoute>& routes) {
  Bytes out{2, 2, 0, 0};
  for (const auto& [prefix, mask, metric] : routes) {
    PutU16(out, 2);  // address family: IP
    PutU16(out, 0);  // route tag
    out.insert(out.end(), prefix.begin(), prefix.end());
    out.insert(out.end(), mask.begin(), mask.end());
    PutU32(out, 0);  // next hop: this router
    PutU32(out, metric);
  }
  return out;
}

// ---- NetWare -------------------------------------------------------------

constexpr uint8_t kIpxTypePep = 4;
constexpr uint8_t kIpxTypeRip = 1;
constexpr uint8_t kIpxTypeNcp = 17;
constexpr uint16_t kSocketNcp = 0x0451;
constexpr uint16_t kSocketSap = 0x0452;
constexpr uint16_t kSocketRip = 0x0453;

struct NetwareServer {
  std::string name;
  uint32_t internalNet;
  IpxAddress ncp;  // internal network, node 00-00-00-00-00-01, NCP socket
};

Bytes SapEntry(uint16_t serviceType, const std::string& name, const IpxAddress& address,
               uint16_t hops) {
  Bytes out;
  PutU16(out, serviceType);
  Bytes padded = Text(name);
  padded.resize(48, 0);
  PutBytes(out, padded);
  PutU32(out, address.network);
  out.insert(out.end(), address.node.begin(), address.node.end());
  PutU16(out, address.socket);
  PutU16(out, hops);
  return out;
}

Bytes SapGeneralResponse(const NetwareServer& server) {
  Bytes out;
  PutU16(out, 0x0002);
  PutBytes(out, SapEntry(0x0004, server.name, server.ncp, 1));  // file server
  IpxAddress printQueue = server.ncp;
  printQueue.socket = 0x8060;
  PutBytes(out, SapEntry(0x0047, server.name + "-PS", printQueue, 1));  // print server
  return out;
}

Bytes SapNearestQuery() { return {0x00, 0x03, 0x00, 0x04}; }

Bytes SapNearestResponse(const NetwareServer& server) {
  Bytes out;
  PutU16(out, 0x0004);
  PutBytes(out, SapEntry(0x0004, server.name, server.ncp, 1));
  return out;
}

Bytes IpxRip(uint16_t operation, uint32_t network, uint16_t hops, uint16_t ticks) {
  Bytes out;
  PutU16(out, operation);
  PutU32(out, network);
  PutU16(out, hops);
  PutU16(out, ticks);
  return out;
}

// NetWare Core Protocol request/reply headers.
Bytes NcpCreateConnection(uint8_t task) { return {0x11, 0x11, 0x00, 0xFF, task, 0xFF}; }

Bytes NcpRequest(uint8_t sequence, uint8_t connection, uint8_t task, uint8_t function) {
  return {0x22, 0x22, sequence, connection, task, 0x00, function};
}

Bytes NcpReply(uint8_t sequence, uint8_t connection, uint8_t task, const Bytes& data) {
  return Concat({0x33, 0x33, sequence, connection, task, 0x00, 0x00, 0x00}, data);
}

// "Get File Server Date and Time" reply: year since 1900, month, day,
// hour, minute, second, day of week.
Bytes NcpDateTime(uint8_t minute, uint8_t second) { return {124, 3, 5, 9, minute, second, 2}; }

constexpr uint8_t kNcpGetDateTime = 20;

// ---------------------------------------------------------------------------
// Office LAN

class OfficeLan {
 public:
  OfficeLan() : medium_(EthernetMedium()), rng_(0x0FF1CE), lan_(medium_, false, rng_) {
    router_ = {{0x00, 0x00, 0x0C, 0x3A, 0x21, 0x01}, {192, 168, 10, 1}, 255, 4128, {}};
    dns_ = {{0x08, 0x00, 0x20, 0x8E, 0x14, 0x5B}, {192, 168, 10, 2}, 255, 24820, {}};
    web_ = {{0x08, 0x00, 0x20, 0x9C, 0x77, 0xE2}, {192, 168, 10, 5}, 255, 24820, {}};
    ftp_ = {{0x00, 0x60, 0x08, 0xB2, 0x4C, 0x19}, {192, 168, 10, 6}, 64, 32120, {}};
    remoteWeb_ = {router_.mac, {203, 0, 113, 80}, 49, 16384, {}};
    const Mac clientMacs[] = {
        {0x00, 0xA0, 0xC9, 0x14, 0x3B, 0x71}, {0x00, 0x60, 0x97, 0x2C, 0x80, 0x0E},
        {0x00, 0x20, 0xAF, 0x5E, 0x19, 0xD4}, {0x00, 0x80, 0x5F, 0x9A, 0x42, 0x17},
        {0x00, 0x00, 0xC0, 0x61, 0x7B, 0x2A}, {0x08, 0x00, 0x09, 0x3F, 0xC2, 0x55},
        {0x00, 0x10, 0x4B, 0x86, 0x0D, 0xE9}, {0x00, 0xA0, 0x24, 0xB7, 0x66, 0x03},
    };
    for (uint8_t i = 0; i < 8; ++i) {
      clients_.push_back(
          {clientMacs[i], {192, 168, 10, static_cast<uint8_t>(101 + i)}, 128, 8760, {}});
    }
    netwareMac_ = {0x00, 0x00, 0x1B, 0x2E, 0x86, 0x30};
    netware_ = {"NW-OFFICE", 0xC0A80A07, {0xC0A80A07, {0, 0, 0, 0, 0, 1}, kSocketNcp}};
    latServerMac_ = {0x08, 0x00, 0x2B, 0x1D, 0x72, 0x4C};
  }

  std::vector<ScenarioFrame> Build() {
    NetwareAnnouncements(0);
    RouterRip(350 * kMs);
    RouterKeepalive(600 * kMs);
    int64_t t = Dns(900 * kMs, Client(1), "www.example.com", web_.ip);
    t = WebVisit(t + 3 * kMs, Client(1), web_, "www.example.com", 600,
                 {{"/", 5800, Fault::kNone, Fault::kNone}});
    WebVisit(t + 180 * kMs, Client(1), web_, "www.example.com", 600,
             {{"/downloads/tools.exe", 14000, Fault::kNone, Fault::kNone}});
    NetbiosNameLookup(2100 * kMs, Client(2), Client(3), "PC03", true);
    Ping(2600 * kMs, Client(3), router_, 4);
    FtpSession(3200 * kMs, Client(4));
    LatAnnouncement(5000 * kMs);
    t = Dns(6300 * kMs, Client(5), "www.example.org", remoteWeb_.ip);
    WebVisit(t + 2 * kMs, Client(5), remoteWeb_, "www.example.org", 38 * kMs,
             {{"/", 9000, Fault::kNone, Fault::kNone}});
    t = Dns(9400 * kMs, Client(6), "www.example.com", web_.ip);
    WebVisit(t + 2 * kMs, Client(6), web_, "www.example.com", 600,
             {{"/news.html", 24000, Fault::kNone, Fault::kDropped}});
    RouterKeepalive(10600 * kMs);
    WebVisit(12200 * kMs, Client(2), web_, "www.example.com", 600,
             {{"/index.html", 4200, Fault::kDropped, Fault::kNone}});
    WebVisit(14800 * kMs, Client(7), web_, "www.example.com", 600,
             {{"/staff/phone.html", 3200, Fault::kNone, Fault::kNone}}, /*collide=*/true);
    NetwareLogin(17500 * kMs, Client(8));
    SnapArp(19000 * kMs, Client(6), dns_);
    RouterKeepalive(20600 * kMs);
    NetbiosFramesLookup(21000 * kMs, Client(1), Client(4), "PC04");
    WebVisit(23500 * kMs, Client(1), web_, "www.example.com", 600,
             {{"/products.html", 11000, Fault::kNone, Fault::kNone},
              {"/prices.html", 2600, Fault::kNone, Fault::kNone}});
    LatAnnouncement(25000 * kMs);
    t = Dns(26000 * kMs, Client(3), "ftp.example.com", ftp_.ip);
    Ping(t + 500 * kMs, Client(3), ftp_, 2);
    WebVisit(28000 * kMs, Client(5), remoteWeb_, "www.example.org", 41 * kMs,
             {{"/favicon.ico", 1150, Fault::kNone, Fault::kNone}});
    RouterRip(30350 * kMs);
    RouterKeepalive(30600 * kMs);
    WebVisit(32000 * kMs, Client(4), web_, "www.example.com", 600,
             {{"/reports/q1.html", 16000, Fault::kNone, Fault::kNone}});
    NetbiosNameLookup(34000 * kMs, Client(7), Client(8), "PC08", false);
    return medium_.Finish();
  }

 private:
  struct Page {
    std::string path;
    size_t size;
    Fault requestFault;
    Fault lastSegmentFault;
  };

  Station& Client(int number) { return clients_.at(static_cast<size_t>(number - 1)); }

  // The first hop for an address: off-subnet traffic goes to the router.
  const Station& NextHop(const Station& target) const {
    return target.ip[0] == 192 && target.ip[1] == 168 ? target : router_;
  }

  int64_t Dns(int64_t t, const Station& client, const std::string& name, const Ip4& answer) {
    t = lan_.Resolve(t, client, dns_);
    const uint16_t port = lan_.NextPort(client.ip);
    const uint16_t id = static_cast<uint16_t>(1 + rng_.Below(0xFFF0));
    lan_.SendIp(t, client, dns_, kIpProtoUdp,
                UdpDatagram(client.ip, dns_.ip, port, 53, DnsQuery(id, name)));
    t += 900 + rng_.Below(2500);
    lan_.SendIp(t, dns_, client, kIpProtoUdp,
                UdpDatagram(dns_.ip, client.ip, 53, port, DnsResponseA(id, name, answer, 86400)));
    return t;
  }

  // One HTTP/1.0 connection per page.
  int64_t WebVisit(int64_t t, const Station& client, const Station& server, const std::string& host,
                   int64_t rtt, const std::vector<Page>& pages, bool collide = false) {
    t = lan_.Resolve(t, client, NextHop(server));
    for (const Page& page : pages) {
      TcpFlow flow(lan_, client, server, lan_.NextPort(client.ip), 80, 1460);
      t = flow.Open(t, rtt);
      if (collide) flow.CollideNext();
      collide = false;
      t = flow.Send(kClient, t + 150 + rng_.Below(300), HttpRequest(page.path, host),
                    page.requestFault);
      // Server think time before the first byte of the response.
      t += rtt / 2 + 3 * kMs + rng_.Below(9 * kMs);
      const bool binary = page.path.find(".html") == std::string::npos && page.path != "/";
      const Bytes body = binary ? BinaryBody(page.size, rng_) : HtmlBody(page.size, host);
      const Bytes response = HttpResponse(body, binary ? "application/octet-stream" : "text/html");
      t = flow.Bulk(kServer, t, response, rtt > 10 * kMs ? rtt / 4 : 1300, page.lastSegmentFault);
      t = flow.Close(kServer, t + 300 + rng_.Below(1000), rtt);
      t += 40 * kMs + rng_.Below(120 * kMs);  // reading before the next click
    }
    return t;
  }

  void FtpSession(int64_t t, const Station& client) {
    t = Dns(t, client, "ftp.example.com", ftp_.ip);
    t = lan_.Resolve(t + 2 * kMs, client, ftp_);
    const uint16_t controlPort = lan_.NextPort(client.ip);
    TcpFlow control(lan_, client, ftp_, controlPort, 21, 1460);
    t = control.Open(t, 500);
    const auto exchange = [&](int64_t thinkUs, const std::string& command,
                              const std::string& reply) {
      t = control.Send(kClient, t + thinkUs, Text(command));
      t = control.Send(kServer, t + 600 + rng_.Below(1500), Text(reply));
    };
    t = control.Send(kServer, t + 2 * kMs,
                     Text("220 ftp.example.com FTP server (Version 6.00) ready.\r\n"));
    t = control.Ack(kClient, t + 120 * kMs);
    exchange(900 * kMs, "USER anonymous\r\n",
             "331 Guest login ok, send your complete e-mail address as password.\r\n");
    exchange(1400 * kMs, "PASS guest@\r\n", "230 Guest login ok, access restrictions apply.\r\n");
    exchange(700 * kMs, "TYPE I\r\n", "200 Type set to I.\r\n");
    const uint16_t dataPort = lan_.NextPort(client.ip);
    const std::string portArg = std::to_string(client.ip[0]) + "," + std::to_string(client.ip[1]) +
                                "," + std::to_string(client.ip[2]) + "," +
                                std::to_string(client.ip[3]) + "," + std::to_string(dataPort >> 8) +
                                "," + std::to_string(dataPort & 0xFF);
    exchange(900 * kMs, "PORT " + portArg + "\r\n", "200 PORT command successful.\r\n");
    constexpr size_t kFileSize = 102400;
    exchange(1100 * kMs, "RETR pub/report.pdf\r\n",
             "150 Opening BINARY mode data connection for 'pub/report.pdf' (102400 bytes).\r\n");
    TcpFlow data(lan_, client, ftp_, dataPort, 20, 1460);
    t = data.Open(t + 400, 500, kServer);
    t = data.Bulk(kServer, t + 300, BinaryBody(kFileSize, rng_), 1300, Fault::kCorrupted);
    t = data.Close(kServer, t + 500, 500);
    t = control.Send(kServer, t + 800, Text("226 Transfer complete.\r\n"));
    t = control.Ack(kClient, t + 150 * kMs);
    exchange(2 * kSec, "QUIT\r\n", "221 Goodbye.\r\n");
    control.Close(kServer, t + 400, 500);
  }

  void Ping(int64_t t, const Station& client, const Station& target, int count) {
    t = lan_.Resolve(t, client, target);
    static constexpr std::string_view kPingData = "abcdefghijklmnopqrstuvwabcdefghi";
    const Bytes data = Text(kPingData);
    for (int i = 0; i < count; ++i) {
      const auto seq = static_cast<uint16_t>(0x0100 * (pingSeq_++ + 1));
      lan_.SendIp(t, client, target, kIpProtoIcmp, IcmpEcho(false, 0x0200, seq, data));
      lan_.SendIp(t + 350 + rng_.Below(400), target, client, kIpProtoIcmp,
                  IcmpEcho(true, 0x0200, seq, data));
      t += kSec + rng_.Below(3 * kMs);
    }
  }

  // NetBIOS over TCP/IP name query broadcast; answered or retried twice.
  void NetbiosNameLookup(int64_t t, const Station& client, const Station& owner,
                         const std::string& name, bool answered) {
    const Ip4 subnetBroadcast{192, 168, 10, 255};
    const Station everyone{kBroadcastMac, subnetBroadcast, 0, 0, {}};
    const uint16_t id = static_cast<uint16_t>(0x8000 + rng_.Below(0x1000));
    for (int attempt = 0; attempt < (answered ? 1 : 3); ++attempt) {
      lan_.SendIp(t, client, everyone, kIpProtoUdp,
                  UdpDatagram(client.ip, subnetBroadcast, 137, 137, NbnsQuery(id, name)),
                  Fault::kNone, &kBroadcastMac);
      t += 750 * kMs;
    }
    if (answered) {
      lan_.Resolve(t - 750 * kMs + 400, owner, client);
      lan_.SendIp(
          t - 750 * kMs + 1800, owner, client, kIpProtoUdp,
          UdpDatagram(owner.ip, client.ip, 137, 137, NbnsPositiveResponse(id, name, owner.ip)));
    }
  }

  // NetBEUI name query over 802.2 to the NetBIOS multicast address.
  void NetbiosFramesLookup(int64_t t, const Station& client, const Station& owner,
                           const std::string& name) {
    const Mac netbiosGroup{0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    const std::string self = "PC01";
    medium_.Add(t, Llc8023Frame(netbiosGroup, client.mac, kSapNetbios, kSapNetbios, kLlcUi,
                                NetbiosFrame(kNetbiosNameQuery, 0, 0x0021, name, self)));
    medium_.Add(t + 900 + rng_.Below(400),
                Llc8023Frame(client.mac, owner.mac, kSapNetbios, kSapNetbios, kLlcUi,
                             NetbiosFrame(kNetbiosNameRecognized, 0x0021, 0x0007, self, name)));
  }

  // An 802.3/SNAP-encapsulated ARP request (RFC 1042 style) answered in
  // Ethernet II framing.
  void SnapArp(int64_t t, const Station& who, const Station& target) {
    lan_.Forget(who, target);
    medium_.Add(t, SnapEthernetFrame(kBroadcastMac, who.mac, kEtherTypeArp,
                                     ArpPacket(kArpRequest, who.mac, who.ip, Mac{}, target.ip)));
    medium_.Add(t + 400 + rng_.Below(300),
                EthernetFrame(who.mac, target.mac, kEtherTypeArp,
                              ArpPacket(kArpReply, target.mac, target.ip, who.mac, who.ip)));
  }

  void RouterRip(int64_t t) {
    const Mac ripGroup{0x01, 0x00, 0x5E, 0x00, 0x00, 0x09};
    const Station group{ripGroup, {224, 0, 0, 9}, 0, 0, {}};
    Station sender = router_;
    sender.ttl = 1;  // link-local group
    const Bytes rip = Rip2Response({{{0, 0, 0, 0}, {0, 0, 0, 0}, 1},
                                    {{10, 20, 0, 0}, {255, 255, 0, 0}, 2},
                                    {{172, 16, 4, 0}, {255, 255, 252, 0}, 3}});
    lan_.SendIp(t, sender, group, kIpProtoUdp, UdpDatagram(router_.ip, group.ip, 520, 520, rip),
                Fault::kNone, &ripGroup);
  }

  // Ethernet configuration-test (loopback) keepalive a router sends to itself.
  void RouterKeepalive(int64_t t) {
    medium_.Add(
        t, EthernetFrame(router_.mac, router_.mac, 0x9000, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
  }

  // DEC LAT service announcement from a terminal server (multi-byte fields
  // little-endian, strings counted).
  void LatAnnouncement(int64_t t) {
    const Mac latGroup{0x09, 0x00, 0x2B, 0x00, 0x00, 0x0F};
    const auto counted = [](Bytes& out, std::string_view text) {
      out.push_back(static_cast<uint8_t>(text.size()));
      out.insert(out.end(), text.begin(), text.end());
    };
    // Message type (service announcement), circuit timer (80 ms), protocol
    // versions and ECO, message incarnation, change flags, receive frame
    // size (1500), multicast timer (60 s), node status (accepting), group codes.
    Bytes lat{0x28, 0x08, 0x05, 0x05, 0x05, 0x02, latSequence_++, 0x7F, 0xDC, 0x05, 60, 0x02};
    PutBytes(lat, {0x02, 0xFF, 0x00});
    counted(lat, "LATSRV");
    counted(lat, "DECserver 200 rack A");
    lat.push_back(1);     // one service
    lat.push_back(0xFF);  // rating
    counted(lat, "VAXDC");
    counted(lat, "Accounting VAX");
    lat.push_back(1);  // one service class
    lat.push_back(0x01);
    medium_.Add(t, EthernetFrame(latGroup, latServerMac_, 0x6004, lat));
  }

  IpxAddress Wire(const Mac& node, uint16_t socket) const { return {kIpxWireNet, node, socket}; }

  // Periodic SAP and RIP broadcasts from the NetWare server (raw 802.3).
  void NetwareAnnouncements(int64_t t) {
    medium_.Add(
        t, RawIpxFrame(kBroadcastMac, netwareMac_,
                       IpxPacket(kIpxTypePep, Wire(kBroadcastMac, kSocketSap),
                                 Wire(netwareMac_, kSocketSap), SapGeneralResponse(netware_))));
    medium_.Add(t + 12 * kMs, RawIpxFrame(kBroadcastMac, netwareMac_,
                                          IpxPacket(kIpxTypeRip, Wire(kBroadcastMac, kSocketRip),
                                                    Wire(netwareMac_, kSocketRip),
                                                    IpxRip(2, netware_.internalNet, 1, 2))));
  }

  // A NetWare client finding its server and opening a connection.
  void NetwareLogin(int64_t t, const Station& client) {
    const uint16_t clientSocket = 0x4003;
    const auto send = [&](int64_t at, const Mac& dstMac, const Mac& srcMac, uint8_t type,
                          const IpxAddress& dst, const IpxAddress& src, const Bytes& payload) {
      medium_.Add(at, RawIpxFrame(dstMac, srcMac, IpxPacket(type, dst, src, payload)));
    };
    send(t, kBroadcastMac, client.mac, kIpxTypePep, Wire(kBroadcastMac, kSocketSap),
         Wire(client.mac, clientSocket), SapNearestQuery());
    t += 700 + rng_.Below(400);
    send(t, client.mac, netwareMac_, kIpxTypePep, Wire(client.mac, clientSocket),
         Wire(netwareMac_, kSocketSap), SapNearestResponse(netware_));
    t += 2 * kMs;
    send(t, kBroadcastMac, client.mac, kIpxTypeRip, Wire(kBroadcastMac, kSocketRip),
         Wire(client.mac, clientSocket), IpxRip(1, netware_.internalNet, 0xFFFF, 0xFFFF));
    t += 500 + rng_.Below(300);
    send(t, client.mac, netwareMac_, kIpxTypeRip, Wire(client.mac, clientSocket),
         Wire(netwareMac_, kSocketRip), IpxRip(2, netware_.internalNet, 1, 2));
    const IpxAddress from = Wire(client.mac, clientSocket);
    t += 3 * kMs;
    send(t, netwareMac_, client.mac, kIpxTypeNcp, netware_.ncp, from, NcpCreateConnection(1));
    t += 800 + rng_.Below(400);
    constexpr uint8_t kConnection = 5;
    send(t, client.mac, netwareMac_, kIpxTypeNcp, from, netware_.ncp,
         NcpReply(0, kConnection, 1, {}));
    for (uint8_t seq = 1; seq <= 3; ++seq) {
      t += 400 * kMs + rng_.Below(200 * kMs);
      send(t, netwareMac_, client.mac, kIpxTypeNcp, netware_.ncp, from,
           NcpRequest(seq, kConnection, 1, kNcpGetDateTime));
      t += 600 + rng_.Below(400);
      send(t, client.mac, netwareMac_, kIpxTypeNcp, from, netware_.ncp,
           NcpReply(seq, kConnection, 1, NcpDateTime(30, static_cast<uint8_t>(17 + seq))));
    }
  }

  static constexpr uint32_t kIpxWireNet = 0x00001A2B;

  Medium medium_;
  Rng rng_;
  IpLan lan_;
  Station router_, dns_, web_, ftp_, remoteWeb_;
  std::vector<Station> clients_;
  Mac netwareMac_{};
  NetwareServer netware_;
  Mac latServerMac_{};
  uint8_t latSequence_ = 0x11;
  int pingSeq_ = 0;
};

// ---------------------------------------------------------------------------
// Token Ring

constexpr uint8_t kMacAmp = 0x05;
constexpr uint8_t kMacSmp = 0x06;
constexpr uint8_t kMacReportSoftError = 0x29;
constexpr uint8_t kSvUpstreamNeighbour = 0x02;
constexpr uint8_t kSvPhysicalDrop = 0x0B;
constexpr uint8_t kSvIsolatingErrors = 0x2D;
constexpr uint8_t kSvNonIsolatingErrors = 0x2E;
constexpr uint8_t kClassRingStation = 0x0;
constexpr uint8_t kClassErrorMonitor = 0x6;

class TokenRingLan {
 public:
  TokenRingLan() : medium_(TokenRingMedium()), rng_(0x7012E), lan_(medium_, true, rng_) {
    // Ring 1 (local) is joined to ring 2 by bridge 1.
    const std::vector<uint16_t> toRing2 = {RouteDesignator(1, 1), RouteDesignator(2, 0)};
    monitor_ = {{0x10, 0x00, 0x5A, 0x4C, 0x21, 0x07}, {10, 1, 1, 11}, 128, 8192, {}};
    ws2_ = {{0x10, 0x00, 0x5A, 0x6B, 0x0E, 0x33}, {10, 1, 1, 12}, 128, 8192, {}};
    ws3_ = {{0x40, 0x00, 0x00, 0x00, 0x10, 0x21}, {10, 1, 1, 21}, 128, 8192, {}};
    ws4_ = {{0x40, 0x00, 0x00, 0x00, 0x10, 0x22}, {10, 1, 1, 22}, 32, 8192, {}};
    aix_ = {{0x10, 0x00, 0x5A, 0xF1, 0x90, 0x02}, {10, 1, 1, 5}, 60, 16384, {}};
    remote_ = {{0x10, 0x00, 0x5A, 0x22, 0xC0, 0x9E}, {10, 1, 2, 30}, 60, 16384, toRing2};
    netwareMac_ = {0x40, 0x00, 0x00, 0x00, 0x20, 0x01};
    netware_ = {"NW-RING2", 0x0A000201, {0x0A000201, {0, 0, 0, 0, 0, 1}, kSocketNcp}};
  }

  std::vector<ScenarioFrame> Build() {
    // Ring poll order (downstream): monitor -> ws2 -> ws3 -> ws4 -> aix -> monitor.
    for (int64_t poll = 0; poll < 5; ++poll) RingPoll(300 * kMs + poll * 7 * kSec);
    SoftErrorReport(2100 * kMs, ws3_, ws2_, {1, 0, 2, 0, 0, 0}, {0, 0, 0, 0, 0, 0});
    SoftErrorReport(16300 * kMs, ws3_, ws2_, {3, 0, 1, 0, 1, 0}, {1, 0, 0, 0, 0, 0});
    SoftErrorReport(23700 * kMs, aix_, ws4_, {0, 0, 1, 0, 0, 0}, {0, 2, 0, 0, 0, 0});

    NetwareBroadcasts(50 * kMs);
    TelnetSession(1 * kSec, ws2_);
    Dns(4 * kSec, ws4_, "aix1.ring.example.com", aix_.ip);
    NetbiosLookup(5 * kSec, ws4_, monitor_, "WS04", "MONITOR");
    FileTransfer(6 * kSec, ws3_);
    Ping(9 * kSec, ws4_, remote_, 3);
    RemoteWeb(12 * kSec, monitor_);
    NetwareLogin(15 * kSec, ws3_);
    Dns(19 * kSec, ws2_, "www.ring.example.com", remote_.ip);
    NetbiosLookup(20 * kSec, ws2_, ws3_, "WS02", "WS03");
    NetwareBroadcasts(30050 * kMs);
    Dns(27 * kSec, monitor_, "print.ring.example.com", aix_.ip);
    return medium_.Finish();
  }

 private:
  static uint16_t RouteDesignator(uint16_t ring, uint8_t bridge) {
    return static_cast<uint16_t>(ring << 4 | (bridge & 0x0F));
  }

  // Wiring-closet drop number; here simply the last octet of the IP address.
  static Bytes PhysicalDrop(const Station& station) { return {0x00, 0x00, 0x01, station.ip[3]}; }

  void AddMac(int64_t t, uint8_t fc, const Mac& dst, const Mac& src, const Bytes& vector) {
    medium_.Add(t, TokenRingMacFrame(fc, dst, src, vector));
  }

  void RingPoll(int64_t t) {
    const Mac allStations{0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    const Station* order[] = {&monitor_, &ws2_, &ws3_, &ws4_, &aix_};
    constexpr size_t kCount = std::size(order);
    for (size_t i = 0; i < kCount; ++i) {
      const Station& station = *order[i];
      const Station& upstream = *order[(i + kCount - 1) % kCount];
      const uint8_t command = i == 0 ? kMacAmp : kMacSmp;
      const Bytes una(upstream.mac.begin(), upstream.mac.end());
      // Adapters send the physical drop number first, then the upstream neighbour.
      const Bytes vector =
          TokenRingMacVector(kClassRingStation, kClassRingStation, command,
                             {TokenRingMacSubvector(kSvPhysicalDrop, PhysicalDrop(station)),
                              TokenRingMacSubvector(kSvUpstreamNeighbour, una)});
      AddMac(t, kTokenRingFcMacExpress, allStations, station.mac, vector);
      t += 20 * kMs + rng_.Below(2 * kMs);  // stations wait before passing the poll on
    }
  }

  void SoftErrorReport(int64_t t, const Station& reporter, const Station& upstream,
                       const Bytes& isolating, const Bytes& nonIsolating) {
    const Mac errorMonitor{0xC0, 0x00, 0x00, 0x00, 0x00, 0x08};
    const Bytes una(upstream.mac.begin(), upstream.mac.end());
    const Bytes vector =
        TokenRingMacVector(kClassErrorMonitor, kClassRingStation, kMacReportSoftError,
                           {TokenRingMacSubvector(kSvIsolatingErrors, isolating),
                            TokenRingMacSubvector(kSvNonIsolatingErrors, nonIsolating),
                            TokenRingMacSubvector(kSvPhysicalDrop, PhysicalDrop(reporter)),
                            TokenRingMacSubvector(kSvUpstreamNeighbour, una)});
    AddMac(t, kTokenRingFcMac, errorMonitor, reporter.mac, vector);
  }

  void Dns(int64_t t, const Station& client, const std::string& name, const Ip4& answer) {
    t = lan_.Resolve(t, client, aix_);
    const uint16_t port = lan_.NextPort(client.ip);
    const uint16_t id = static_cast<uint16_t>(1 + rng_.Below(0xFFF0));
    lan_.SendIp(t, client, aix_, kIpProtoUdp,
                UdpDatagram(client.ip, aix_.ip, port, 53, DnsQuery(id, name)));
    lan_.SendIp(t + 1500 + rng_.Below(2000), aix_, client, kIpProtoUdp,
                UdpDatagram(aix_.ip, client.ip, 53, port, DnsResponseA(id, name, answer, 3600)));
  }

  void TelnetSession(int64_t t, const Station& client) {
    t = lan_.Resolve(t, client, aix_);
    TcpFlow flow(lan_, client, aix_, lan_.NextPort(client.ip), 23, 4056);
    t = flow.Open(t, 400);
    t = flow.Send(kServer, t + 3 * kMs,
                  Text("\r\nAIX Version 4\r\n(C) Copyrights by IBM\r\nlogin: "));
    t = flow.Ack(kClient, t + 150 * kMs);
    // Each keystroke is echoed by the host, then acknowledged.
    for (char c : std::string("ops\r")) {
      t = flow.Send(kClient, t + 180 * kMs + rng_.Below(120 * kMs), Bytes{static_cast<uint8_t>(c)});
      t = flow.Send(kServer, t + 400 + rng_.Below(300),
                    c == '\r' ? Text("\r\n") : Bytes{static_cast<uint8_t>(c)});
      t = flow.Ack(kClient, t + 150 * kMs);
    }
    t = flow.Send(kServer, t + 20 * kMs, Text("Password: "));
    t = flow.Ack(kClient, t + 150 * kMs);
    t = flow.Send(kClient, t + 900 * kMs, Text("secret\r"));
    t = flow.Send(kServer, t + 30 * kMs,
                  Text("\r\nLast login: Mon Mar  4 17:02:11 2024 on pts/0\r\n$ "));
    t = flow.Ack(kClient, t + 150 * kMs);
    for (char c : std::string("ls\r")) {
      t = flow.Send(kClient, t + 200 * kMs, Bytes{static_cast<uint8_t>(c)});
      t = flow.Send(kServer, t + 500, c == '\r' ? Text("\r\n") : Bytes{static_cast<uint8_t>(c)});
      t = flow.Ack(kClient, t + 150 * kMs);
    }
    t = flow.Send(kServer, t + 5 * kMs,
                  Text("backup.log  inventory.db  reports  smit.log  smit.script\r\n$ "));
    t = flow.Ack(kClient, t + 150 * kMs);
    for (char c : std::string("exit\r")) {
      t = flow.Send(kClient, t + 180 * kMs, Bytes{static_cast<uint8_t>(c)});
      t = flow.Send(kServer, t + 500, c == '\r' ? Text("\r\n") : Bytes{static_cast<uint8_t>(c)});
      t = flow.Ack(kClient, t + 150 * kMs);
    }
    flow.Close(kServer, t + 10 * kMs, 400);
  }

  // A file pulled over an FTP data connection (control channel omitted).
  void FileTransfer(int64_t t, const Station& client) {
    t = lan_.Resolve(t, client, aix_);
    TcpFlow data(lan_, client, aix_, lan_.NextPort(client.ip), 20, 4056);
    t = data.Open(t, 400, kServer);
    t = data.Bulk(kServer, t + 300, BinaryBody(36000, rng_), 2300, Fault::kNone);
    data.Close(kServer, t + 400, 400);
  }

  void Ping(int64_t t, const Station& client, const Station& target, int count) {
    t = lan_.Resolve(t, client, target);
    const Bytes data = Text("abcdefghijklmnopqrstuvwabcdefghi");
    for (uint16_t seq = 1; seq <= count; ++seq) {
      lan_.SendIp(t, client, target, kIpProtoIcmp, IcmpEcho(false, 0x0300, seq, data));
      lan_.SendIp(t + 1800 + rng_.Below(600), target, client, kIpProtoIcmp,
                  IcmpEcho(true, 0x0300, seq, data));
      t += kSec;
    }
  }

  // HTTP from a station on ring 1 to a host on ring 2: source routed.
  void RemoteWeb(int64_t t, const Station& client) {
    t = lan_.Resolve(t, client, remote_);
    TcpFlow flow(lan_, client, remote_, lan_.NextPort(client.ip), 80, 4056);
    t = flow.Open(t, 3 * kMs);
    t = flow.Send(kClient, t + 300, HttpRequest("/inventory/index.html", "www.ring.example.com"));
    t = flow.Bulk(kServer, t + 12 * kMs, HttpResponse(HtmlBody(9000, "Inventory"), "text/html"),
                  3 * kMs, Fault::kNone);
    flow.Close(kServer, t + kMs, 3 * kMs);
  }

  void NetbiosLookup(int64_t t, const Station& client, const Station& owner,
                     const std::string& self, const std::string& name) {
    const Mac netbiosFunctional{0xC0, 0x00, 0x00, 0x00, 0x00, 0x80};
    const uint16_t correlator = static_cast<uint16_t>(0x10 + rng_.Below(0x100));
    medium_.Add(t,
                TokenRingLlcFrame(netbiosFunctional, client.mac, kSapNetbios, kSapNetbios, kLlcUi,
                                  NetbiosFrame(kNetbiosNameQuery, 0, correlator, name, self),
                                  TokenRingRif({}, 0xC0)));
    medium_.Add(
        t + 1200 + rng_.Below(500),
        TokenRingLlcFrame(client.mac, owner.mac, kSapNetbios, kSapNetbios, kLlcUi,
                          NetbiosFrame(kNetbiosNameRecognized, correlator, 0x0031, self, name)));
  }

  // IPX over 802.2 (DSAP E0) from the server on ring 2.
  Bytes FromNetware(const Mac& dst, const Bytes& ipx, bool broadcast) const {
    const Bytes rif = broadcast ? TokenRingRif({RouteDesignator(2, 1), RouteDesignator(1, 0)}, 0xC0)
                                : TokenRingRif(remote_.route, 0x00, /*towardOriginator=*/true);
    return TokenRingLlcFrame(dst, netwareMac_, kSapNetware, kSapNetware, kLlcUi, ipx, rif);
  }

  Bytes ToNetware(const Mac& src, const Bytes& ipx, bool broadcast) const {
    const Bytes rif = broadcast ? TokenRingRif({}, 0xC0) : TokenRingRif(remote_.route);
    return TokenRingLlcFrame(broadcast ? kBroadcastMac : netwareMac_, src, kSapNetware, kSapNetware,
                             kLlcUi, ipx, rif);
  }

  // Source-route bridging is below IPX: both rings form one IPX network.
  IpxAddress Net(const Mac& node, uint16_t socket) const { return {0x0000A001, node, socket}; }

  void NetwareBroadcasts(int64_t t) {
    medium_.Add(
        t, FromNetware(kBroadcastMac,
                       IpxPacket(kIpxTypePep, Net(kBroadcastMac, kSocketSap),
                                 Net(netwareMac_, kSocketSap), SapGeneralResponse(netware_), 1),
                       true));
    medium_.Add(t + 9 * kMs, FromNetware(kBroadcastMac,
                                         IpxPacket(kIpxTypeRip, Net(kBroadcastMac, kSocketRip),
                                                   Net(netwareMac_, kSocketRip),
                                                   IpxRip(2, netware_.internalNet, 2, 3), 1),
                                         true));
  }

  void NetwareLogin(int64_t t, const Station& client) {
    const IpxAddress from = Net(client.mac, 0x4003);
    medium_.Add(t, ToNetware(client.mac,
                             IpxPacket(kIpxTypePep, Net(kBroadcastMac, kSocketSap), from,
                                       SapNearestQuery()),
                             true));
    t += 2 * kMs + rng_.Below(kMs);
    medium_.Add(t, FromNetware(client.mac,
                               IpxPacket(kIpxTypePep, from, Net(netwareMac_, kSocketSap),
                                         SapNearestResponse(netware_), 1),
                               false));
    t += 3 * kMs;
    medium_.Add(
        t, ToNetware(client.mac, IpxPacket(kIpxTypeNcp, netware_.ncp, from, NcpCreateConnection(1)),
                     false));
    t += 2 * kMs + rng_.Below(kMs);
    constexpr uint8_t kConnection = 9;
    medium_.Add(t, FromNetware(client.mac,
                               IpxPacket(kIpxTypeNcp, from, netware_.ncp,
                                         NcpReply(0, kConnection, 1, {}), 1),
                               false));
    for (uint8_t seq = 1; seq <= 2; ++seq) {
      t += 300 * kMs;
      medium_.Add(t, ToNetware(client.mac,
                               IpxPacket(kIpxTypeNcp, netware_.ncp, from,
                                         NcpRequest(seq, kConnection, 1, kNcpGetDateTime)),
                               false));
      t += 2 * kMs + rng_.Below(kMs);
      medium_.Add(t, FromNetware(client.mac,
                                 IpxPacket(kIpxTypeNcp, from, netware_.ncp,
                                           NcpReply(seq, kConnection, 1,
                                                    NcpDateTime(45, static_cast<uint8_t>(seq))),
                                           1),
                                 false));
    }
  }

  Medium medium_;
  Rng rng_;
  IpLan lan_;
  Station monitor_, ws2_, ws3_, ws4_, aix_, remote_;
  Mac netwareMac_{};
  NetwareServer netware_;
};

// ---------------------------------------------------------------------------
// Synthetic bulk load

class SyntheticLoadGenerator {
 public:
  explicit SyntheticLoadGenerator(uint32_t seed)
      : rng_(0x5EED0000ull ^ (uint64_t{seed} << 20) ^ seed) {
    const Ip4 zero{};
    tcpTemplate_ = EthernetFrame(Mac{}, Mac{}, kEtherTypeIpv4,
                                 Ipv4Packet(zero, zero, kIpProtoTcp, 128, 0, kIpDontFragment,
                                            TcpSegment(zero, zero, TcpFields{}, Filler(1460))));
    udpTemplate_ = EthernetFrame(Mac{}, Mac{}, kEtherTypeIpv4,
                                 Ipv4Packet(zero, zero, kIpProtoUdp, 128, 0, 0,
                                            UdpDatagram(zero, zero, 0, 0, Filler(1472))));
    ipxTemplate_ = RawIpxFrame(kBroadcastMac, Mac{},
                               IpxPacket(kIpxTypePep, {1, kBroadcastMac, kSocketSap},
                                         {1, Mac{}, kSocketSap}, Filler(kIpxMaxPayload)),
                               true);
    BuildHosts();
    BuildFlows();
  }

  void Next(ScenarioFrame& frame) {
    time_ += 1 + rng_.Below(150);
    frame.timeUs = static_cast<double>(time_);
    frame.status = 0;
    const uint32_t pick = rng_.Below(1000);
    if (pick < 400) {
      Tcp(frame, tcpFlows_[rng_.Below(kTcpFlows)], kClient, 0, tcp_flags::kAck);
    } else if (pick < 700) {
      Tcp(frame, tcpFlows_[rng_.Below(kTcpFlows)], kServer, 1460, tcp_flags::kAck);
    } else if (pick < 820) {
      Tcp(frame, tcpFlows_[rng_.Below(kTcpFlows)], rng_.Below(2) ? kClient : kServer,
          40 + rng_.Below(900), tcp_flags::kPsh | tcp_flags::kAck);
    } else if (pick < 960) {
      Udp(frame, udpFlows_[rng_.Below(kUdpFlows)], rng_.Below(2) ? kClient : kServer,
          18 + rng_.Below(rng_.Below(8) ? 300 : 1454));
    } else if (pick < 985) {
      Arp(frame);
    } else {
      Ipx(frame, 32 + rng_.Below(kIpxMaxPayload - 31));
    }
    frame.wireLength = static_cast<uint32_t>(frame.bytes.size());
  }

 private:
  struct Host {
    Mac mac;
    Ip4 ip;
  };
  struct Flow {
    uint32_t client;
    uint32_t server;
    uint16_t ports[2];
    uint32_t seq[2];
  };

  static constexpr uint32_t kClients = 600;
  static constexpr uint32_t kServers = 40;
  static constexpr uint32_t kTcpFlows = 4000;
  static constexpr uint32_t kUdpFlows = 800;
  static constexpr uint32_t kIpxMaxPayload = 546;

  static Bytes Filler(size_t size) {
    static constexpr std::string_view kText =
        "Quarterly sales figures by region; inventory counts; payroll batch 0412. ";
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(kText[i % kText.size()]);
    return out;
  }

  void BuildHosts() {
    static constexpr uint8_t kOuis[][3] = {
        {0x00, 0xA0, 0xC9}, {0x00, 0x60, 0x08}, {0x00, 0x60, 0x97}, {0x08, 0x00, 0x09},
        {0x00, 0x80, 0x5F}, {0x00, 0x00, 0xC0}, {0x00, 0x10, 0x4B}, {0x08, 0x00, 0x20}};
    for (uint32_t i = 0; i < kClients + kServers; ++i) {
      const auto& oui = kOuis[rng_.Below(std::size(kOuis))];
      const auto serial = static_cast<uint32_t>(rng_.Next());
      Host h{{oui[0], oui[1], oui[2], static_cast<uint8_t>(serial >> 16),
              static_cast<uint8_t>(serial >> 8), static_cast<uint8_t>(i)},
             {}};
      h.ip = i < kClients
                 ? Ip4{10, 1, static_cast<uint8_t>(i / 250), static_cast<uint8_t>(1 + i % 250)}
                 : Ip4{10, 2, 0, static_cast<uint8_t>(1 + i - kClients)};
      hosts_.push_back(h);
    }
  }

  void BuildFlows() {
    static constexpr uint16_t kTcpServices[] = {80, 80, 80, 80, 139, 139, 20, 21, 23, 25, 110, 443};
    static constexpr uint16_t kUdpServices[] = {53, 53, 137, 138, 161, 123, 514, 2049};
    for (uint32_t i = 0; i < kTcpFlows + kUdpFlows; ++i) {
      Flow f{};
      f.client = rng_.Below(kClients);
      f.server = kClients + rng_.Below(kServers);
      f.ports[kClient] = static_cast<uint16_t>(1024 + rng_.Below(4000));
      f.ports[kServer] = i < kTcpFlows ? kTcpServices[rng_.Below(std::size(kTcpServices))]
                                       : kUdpServices[rng_.Below(std::size(kUdpServices))];
      f.seq[0] = static_cast<uint32_t>(rng_.Next());
      f.seq[1] = static_cast<uint32_t>(rng_.Next());
      (i < kTcpFlows ? tcpFlows_ : udpFlows_).push_back(f);
    }
  }

  // Copies the first `length` template bytes (at least the Ethernet
  // minimum, zero padded) and fills in addresses and IPv4 header fields.
  void StartIpFrame(ScenarioFrame& frame, const Bytes& tpl, size_t ipLength, const Flow& f,
                    Side from) {
    const Host& src = hosts_[from == kClient ? f.client : f.server];
    const Host& dst = hosts_[from == kClient ? f.server : f.client];
    const size_t length = kEthernetHeaderLen + ipLength;
    Bytes& b = frame.bytes;
    b.assign(tpl.begin(),
             tpl.begin() + static_cast<std::ptrdiff_t>(std::max(length, kEthernetMinFrame)));
    if (length < kEthernetMinFrame)
      std::fill(b.begin() + static_cast<std::ptrdiff_t>(length), b.end(), 0);
    std::copy(dst.mac.begin(), dst.mac.end(), b.begin());
    std::copy(src.mac.begin(), src.mac.end(), b.begin() + 6);
    SetU16(b, 16, static_cast<uint16_t>(ipLength));
    SetU16(b, 18, ipId_++);
    std::copy(src.ip.begin(), src.ip.end(), b.begin() + 26);
    std::copy(dst.ip.begin(), dst.ip.end(), b.begin() + 30);
    SetU16(b, 24, 0);
    SetU16(b, 24, InternetChecksum(b.data() + kEthernetHeaderLen, kIpv4HeaderLen));
    SetU16(b, 34, f.ports[from]);
    SetU16(b, 36, f.ports[from == kClient ? kServer : kClient]);
  }

  void Tcp(ScenarioFrame& frame, Flow& f, Side from, uint32_t payload, uint8_t flags) {
    StartIpFrame(frame, tcpTemplate_, kIpv4HeaderLen + 20 + payload, f, from);
    Bytes& b = frame.bytes;
    const Side to = from == kClient ? kServer : kClient;
    const uint32_t seq = f.seq[from];
    const uint32_t ack = f.seq[to];
    for (int i = 0; i < 4; ++i) {
      b[38 + i] = static_cast<uint8_t>(seq >> (24 - 8 * i));
      b[42 + i] = static_cast<uint8_t>(ack >> (24 - 8 * i));
    }
    b[47] = flags;
    f.seq[from] += payload;
  }

  void Udp(ScenarioFrame& frame, const Flow& f, Side from, uint32_t payload) {
    StartIpFrame(frame, udpTemplate_, kIpv4HeaderLen + 8 + payload, f, from);
    SetU16(frame.bytes, 38, static_cast<uint16_t>(8 + payload));
    SetU16(frame.bytes, 40, 0);  // no checksum
  }

  void Arp(ScenarioFrame& frame) {
    const Host& who = hosts_[rng_.Below(kClients)];
    const Host& target = hosts_[kClients + rng_.Below(kServers)];
    frame.bytes = EthernetFrame(kBroadcastMac, who.mac, kEtherTypeArp,
                                ArpPacket(kArpRequest, who.mac, who.ip, Mac{}, target.ip));
  }

  void Ipx(ScenarioFrame& frame, uint32_t payload) {
    const Host& src = hosts_[rng_.Below(kClients + kServers)];
    const size_t ipxLength = kIpxHeaderLen + payload;
    const size_t length = kEthernetHeaderLen + ipxLength;
    Bytes& b = frame.bytes;
    b.assign(ipxTemplate_.begin(), ipxTemplate_.begin() + static_cast<std::ptrdiff_t>(
                                                              std::max(length, kEthernetMinFrame)));
    std::copy(src.mac.begin(), src.mac.end(), b.begin() + 6);
    SetU16(b, 12, static_cast<uint16_t>(ipxLength));
    SetU16(b, 16, static_cast<uint16_t>(ipxLength));
    std::copy(src.mac.begin(), src.mac.end(), b.begin() + 14 + 22);
  }

  Rng rng_;
  Bytes tcpTemplate_, udpTemplate_, ipxTemplate_;
  std::vector<Host> hosts_;
  std::vector<Flow> tcpFlows_, udpFlows_;
  int64_t time_ = 0;
  uint16_t ipId_ = 1;
};

}  // namespace

std::vector<ScenarioFrame> OfficeLanScenario() { return OfficeLan().Build(); }

std::vector<ScenarioFrame> TokenRingScenario() { return TokenRingLan().Build(); }

void GenerateSyntheticLoad(size_t frameCount, uint32_t seed,
                           const std::function<void(const ScenarioFrame&)>& sink) {
  SyntheticLoadGenerator generator(seed);
  ScenarioFrame frame;
  frame.bytes.reserve(1514);
  for (size_t i = 0; i < frameCount; ++i) {
    generator.Next(frame);
    sink(frame);
  }
}

std::vector<ScenarioFrame> SyntheticLoad(size_t frameCount, uint32_t seed) {
  std::vector<ScenarioFrame> frames;
  frames.reserve(frameCount);
  GenerateSyntheticLoad(frameCount, seed, [&](const ScenarioFrame& f) { frames.push_back(f); });
  return frames;
}

std::vector<ScenarioFrame> TcpConversationScenario(size_t packets, size_t idleAfter, double idleMicros) {
  const Mac clientMac{0x00, 0x60, 0x08, 0x11, 0x22, 0x33}, serverMac{0x00, 0xA0, 0x24, 0x44, 0x55, 0x66};
  const Ip4 client{10, 1, 1, 20}, server{10, 1, 1, 80};
  uint32_t clientSeq = 1000, serverSeq = 50000;
  std::vector<ScenarioFrame> frames;
  frames.reserve(packets);
  double t = 0;
  for (size_t i = 0; i < packets; ++i) {
    const bool fromClient = i == 0 || i == 2 || (i > 2 && i % 4 == 3) || (i > 2 && i % 4 == 2);
    TcpFields f;
    Bytes payload;
    if (i == 0) {
      f.flags = 0x02;  // SYN
      f.mss = 1460;
    } else if (i == 1) {
      f.flags = 0x12;  // SYN ACK
      f.mss = 1460;
    } else if (i == 2) {
      f.flags = 0x10;
    } else if (i % 4 == 3) {
      f.flags = 0x18;  // a request
      payload.assign(300, 'G');
    } else if (i % 4 == 2) {
      f.flags = 0x10;  // the client's ack
    } else {
      f.flags = 0x18;  // the server's data
      payload.assign(i % 4 == 0 ? 1460 : 700, 'D');
    }
    if (fromClient) {
      f.srcPort = 1030, f.dstPort = 80, f.seq = clientSeq, f.ack = serverSeq;
      clientSeq += uint32_t(payload.size()) + (i == 0 ? 1 : 0);
    } else {
      f.srcPort = 80, f.dstPort = 1030, f.seq = serverSeq, f.ack = clientSeq;
      serverSeq += uint32_t(payload.size()) + (i == 1 ? 1 : 0);
    }
    const Ip4& src = fromClient ? client : server;
    const Ip4& dst = fromClient ? server : client;
    const Bytes ip = Ipv4Packet(src, dst, 6, fromClient ? 128 : 64, uint16_t(i), 0x4000, TcpSegment(src, dst, f, payload));
    ScenarioFrame frame;
    frame.timeUs = t;
    frame.bytes = EthernetFrame(fromClient ? serverMac : clientMac, fromClient ? clientMac : serverMac, kEtherTypeIpv4, ip);
    frame.wireLength = uint32_t(frame.bytes.size());
    frames.push_back(std::move(frame));
    t += (idleAfter > 0 && i + 1 == idleAfter) ? idleMicros : 1000.0;
  }
  return frames;
}

}  // namespace korvane::tools
