// korvane-mkload: writes a busy office-LAN trace of any length for the benchmarks, as a
// Sniffer DOS file and as a snoop file holding the same frames.
//
// 200 stations on one Ethernet segment (180 clients, 20 servers, the last five also
// NetWare servers). About 73% of the frames are TCP (a few hundred connections open at
// once, each opened, used for request/response exchanges with bulk answers, occasional
// retransmissions, and closed; a new one takes the place of each closed one, about one
// per 800 frames), 16% UDP (name queries and 4 KB file reads sent as three IP
// fragments), 5% ICMP echo, 5% NetWare requests and replies over IPX, the rest ARP.
// The same arguments give the same files. Frames are written as they are made: memory
// stays small whatever the length.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

#include "writers/SnoopWriter.h"
#include "writers/TraceWriters.h"

using namespace korvane::tools;

namespace {

constexpr int kStations = 200;
constexpr int kClients = 180;
constexpr int kNetWareServers = 5;
constexpr int kOpenConnections = 320;
constexpr uint32_t kIpxNetwork = 0x0A010000;

struct Station {
  Mac mac{};
  Ip4 ip{};
};

struct Connection {
  int client = 0, server = 0;
  uint16_t clientPort = 0, serverPort = 0;
  uint32_t clientSeq = 0, serverSeq = 0;
  int framesLeft = 0;  // frames this connection still sends before it closes
  bool open = false;
  std::deque<ScenarioFrame> queue;
};

class OfficeLoad {
 public:
  explicit OfficeLoad(uint32_t seed) : rng_(seed) {
    for (int i = 0; i < kStations; ++i) {
      stations_[i].mac = {0x00, 0x60, 0x08, 0x10, uint8_t(i >> 8), uint8_t(i)};
      stations_[i].ip = {10, 1, uint8_t(1 + i / 250), uint8_t(1 + i % 250)};
    }
    for (auto& c : connections_) Start(c);
  }

  void Next(ScenarioFrame& frame) {
    time_ += -std::log(1.0 - Uniform()) * 150.0;  // about 6,700 frames a second
    const double pick = Uniform() * 100;
    std::deque<ScenarioFrame>* queue;
    if (pick < 73) {
      Connection& c = connections_[size_t(Pick(0, kOpenConnections - 1))];
      if (c.queue.empty()) Refill(c);
      queue = &c.queue;
    } else if (pick < 89) {
      if (udp_.empty()) Udp();
      queue = &udp_;
    } else if (pick < 94) {
      if (icmp_.empty()) Icmp();
      queue = &icmp_;
    } else if (pick < 99) {
      if (ipx_.empty()) Ipx();
      queue = &ipx_;
    } else {
      if (arp_.empty()) Arp();
      queue = &arp_;
    }
    frame = std::move(queue->front());
    queue->pop_front();
    frame.timeUs = time_;
  }

 private:
  double Uniform() { return std::uniform_real_distribution<double>(0, 1)(rng_); }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  int Client() { return Pick(0, kClients - 1); }
  int Server() {
    // A few busy servers take most of the connections.
    return Uniform() < 0.6 ? kClients + Pick(0, 3) : kClients + Pick(0, kStations - kClients - 1);
  }
  static Bytes Payload(size_t n) { return Bytes(n, 0x41); }
  static void Push(std::deque<ScenarioFrame>& q, Bytes bytes) {
    ScenarioFrame f;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    q.push_back(std::move(f));
  }
  Bytes Ip(int from, int to, uint8_t protocol, uint16_t flagsFragment, const Bytes& payload) {
    return EthernetFrame(stations_[to].mac, stations_[from].mac, kEtherTypeIpv4,
                         Ipv4Packet(stations_[from].ip, stations_[to].ip, protocol, 64, ++ipId_, flagsFragment, payload));
  }
  void Tcp(Connection& c, bool fromClient, uint8_t flags, size_t length, bool retransmit = false) {
    TcpFields f;
    f.srcPort = fromClient ? c.clientPort : c.serverPort;
    f.dstPort = fromClient ? c.serverPort : c.clientPort;
    uint32_t& seq = fromClient ? c.clientSeq : c.serverSeq;
    f.seq = retransmit ? seq - uint32_t(length) : seq;
    f.ack = fromClient ? c.serverSeq : c.clientSeq;
    f.flags = flags;
    if (flags & tcp_flags::kSyn) f.mss = 1460;
    const int from = fromClient ? c.client : c.server, to = fromClient ? c.server : c.client;
    Push(c.queue, Ip(from, to, kIpProtoTcp, kIpDontFragment,
                     TcpSegment(stations_[from].ip, stations_[to].ip, f, Payload(length))));
    if (!retransmit) seq += uint32_t(length) + ((flags & (tcp_flags::kSyn | tcp_flags::kFin)) ? 1 : 0);
  }

  void Start(Connection& c) {
    static constexpr uint16_t kPorts[] = {80, 80, 80, 139, 21, 20, 23, 25, 110, 119, 443, 515};
    c.client = Client();
    c.server = Server();
    c.clientPort = uint16_t(1024 + (nextPort_++ % 30000));
    c.serverPort = kPorts[Pick(0, int(std::size(kPorts)) - 1)];
    c.clientSeq = uint32_t(rng_());
    c.serverSeq = uint32_t(rng_());
    c.framesLeft = Pick(200, 1400);
    c.open = false;
  }

  // Queues the connection's next exchange: the opening handshake, a request and its answer,
  // or the closing one (after which a new connection takes its place).
  void Refill(Connection& c) {
    if (!c.open) {
      Tcp(c, true, tcp_flags::kSyn, 0);
      Tcp(c, false, tcp_flags::kSyn | tcp_flags::kAck, 0);
      Tcp(c, true, tcp_flags::kAck, 0);
      c.open = true;
      c.framesLeft -= 3;
      return;
    }
    if (c.framesLeft <= 0) {
      Tcp(c, true, tcp_flags::kFin | tcp_flags::kAck, 0);
      Tcp(c, false, tcp_flags::kFin | tcp_flags::kAck, 0);
      Tcp(c, true, tcp_flags::kAck, 0);
      Start(c);  // the queued frames close the old connection; the next refill opens the new one
      return;
    }
    Tcp(c, true, tcp_flags::kPsh | tcp_flags::kAck, size_t(Pick(60, 500)));
    const int segments = Pick(1, 4);
    for (int s = 0; s < segments; ++s) {
      const size_t length = s + 1 < segments && Uniform() < 0.5 ? 1460 : size_t(Pick(64, 700));
      Tcp(c, false, tcp_flags::kAck | (s + 1 == segments ? tcp_flags::kPsh : 0), length);
      if (Uniform() < 0.015) Tcp(c, false, tcp_flags::kAck, length, true);  // a retransmission
      if (s % 2 == 1 || s + 1 == segments) Tcp(c, true, tcp_flags::kAck, 0);
    }
    c.framesLeft -= int(c.queue.size());
  }

  void Udp() {
    const int client = Client();
    if (Uniform() < 0.7) {
      const int dns = kClients + 10;
      const uint16_t id = uint16_t(rng_());
      const uint16_t port = uint16_t(1024 + Pick(0, 30000));
      Push(udp_, Ip(client, dns, kIpProtoUdp, 0,
                    UdpDatagram(stations_[client].ip, stations_[dns].ip, port, 53, DnsQuery(id, "host.office.lan"))));
      Push(udp_, Ip(dns, client, kIpProtoUdp, 0,
                    UdpDatagram(stations_[dns].ip, stations_[client].ip, 53, port,
                                DnsResponseA(id, "host.office.lan", stations_[kClients + 1].ip, 3600))));
      return;
    }
    // A file read: a short request, then a 4 KB answer in three fragments.
    const int server = kClients + 11;
    Push(udp_, Ip(client, server, kIpProtoUdp, 0,
                  UdpDatagram(stations_[client].ip, stations_[server].ip, 1023, 2049, Payload(120))));
    const Bytes datagram = UdpDatagram(stations_[server].ip, stations_[client].ip, 2049, 1023, Payload(4096));
    const uint16_t id = ++ipId_;
    for (size_t offset = 0; offset < datagram.size(); offset += 1480) {
      const size_t length = std::min<size_t>(1480, datagram.size() - offset);
      const bool more = offset + length < datagram.size();
      const Bytes piece(datagram.begin() + long(offset), datagram.begin() + long(offset + length));
      Push(udp_, EthernetFrame(stations_[client].mac, stations_[server].mac, kEtherTypeIpv4,
                               Ipv4Packet(stations_[server].ip, stations_[client].ip, kIpProtoUdp, 64, id,
                                          uint16_t((more ? 0x2000 : 0) | (offset / 8)), piece)));
    }
  }

  void Icmp() {
    const int client = Client(), server = Server();
    const uint16_t sequence = ++icmpSequence_;
    Push(icmp_, Ip(client, server, kIpProtoIcmp, 0, IcmpEcho(false, 0x200, sequence, Payload(32))));
    Push(icmp_, Ip(server, client, kIpProtoIcmp, 0, IcmpEcho(true, 0x200, sequence, Payload(32))));
  }

  void Ipx() {
    const int client = Client(), server = kStations - 1 - Pick(0, kNetWareServers - 1);
    const IpxAddress c{kIpxNetwork, stations_[client].mac, 0x4003}, s{kIpxNetwork, stations_[server].mac, 0x0451};
    const uint8_t sequence = uint8_t(++ncpSequence_[client]);
    const uint8_t connection = uint8_t(1 + client);
    Push(ipx_, RawIpxFrame(stations_[server].mac, stations_[client].mac,
                           IpxPacket(17, s, c, Bytes{0x22, 0x22, sequence, connection, 1, 0x00, 72})));
    Bytes reply{0x33, 0x33, sequence, connection, 1, 0x00, 0x00, 0x00};
    reply.resize(8 + size_t(Pick(50, 500)), 0x42);
    Push(ipx_, RawIpxFrame(stations_[client].mac, stations_[server].mac, IpxPacket(17, c, s, reply)));
  }

  void Arp() {
    const int client = Client(), server = Server();
    Push(arp_, EthernetFrame(kBroadcastMac, stations_[client].mac, kEtherTypeArp,
                             ArpPacket(kArpRequest, stations_[client].mac, stations_[client].ip, Mac{},
                                       stations_[server].ip)));
    Push(arp_, EthernetFrame(stations_[client].mac, stations_[server].mac, kEtherTypeArp,
                             ArpPacket(kArpReply, stations_[server].mac, stations_[server].ip, stations_[client].mac,
                                       stations_[client].ip)));
  }

  std::mt19937 rng_;
  std::array<Station, kStations> stations_{};
  std::array<Connection, kOpenConnections> connections_;
  std::deque<ScenarioFrame> udp_, icmp_, ipx_, arp_;
  double time_ = 0;
  uint16_t ipId_ = 0, icmpSequence_ = 0;
  uint32_t nextPort_ = 0;
  std::array<uint8_t, kStations> ncpSequence_{};
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes a busy office-LAN trace as PREFIX.enc (Sniffer DOS) and PREFIX.snoop (snoop).",
               "korvane-mkload"};
  size_t frameCount = 1000000;
  uint32_t seed = 1;
  std::string prefix;
  app.add_option("FRAMES", frameCount, "number of frames")->required();
  app.add_option("PREFIX", prefix, "path of the files without their extension")->required();
  app.add_option("--seed", seed, "seed of the generator");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }

  std::ofstream sniffer(prefix + ".enc", std::ios::binary | std::ios::trunc);
  std::ofstream snoop(prefix + ".snoop", std::ios::binary | std::ios::trunc);
  auto put = [](std::ofstream& out, const Bytes& bytes, size_t from = 0) {
    out.write(reinterpret_cast<const char*>(bytes.data()) + from, std::streamsize(bytes.size() - from));
  };
  SnifferDosOptions options;
  options.timeUnit = 5;  // microseconds
  options.interfaceSpeed = 100000000;
  Bytes chunk = SnifferDosPreamble(options);
  const SnoopOptions snoopOptions;
  std::vector<ScenarioFrame> batch;
  bool snoopHeaderWritten = false;
  auto flushSnoop = [&] {
    // Each batch is written as a whole file; the file header is kept only once.
    put(snoop, WriteSnoop(batch, snoopOptions), snoopHeaderWritten ? 16 : 0);
    snoopHeaderWritten = true;
    batch.clear();
  };

  OfficeLoad load(seed);
  ScenarioFrame frame;
  for (size_t i = 0; i < frameCount; ++i) {
    load.Next(frame);
    AppendSnifferFrameRecord(chunk, frame, options);
    if (chunk.size() > (1 << 22)) {
      put(sniffer, chunk);
      chunk.clear();
    }
    batch.push_back(frame);
    if (batch.size() == 8192) flushSnoop();
  }
  flushSnoop();
  const Bytes end{3, 0, 0, 0, 0, 0};
  chunk.insert(chunk.end(), end.begin(), end.end());
  put(sniffer, chunk);
  if (!sniffer || !snoop) {
    std::cerr << "cannot write " << prefix << ".enc or .snoop\n";
    return 1;
  }
  return 0;
}
