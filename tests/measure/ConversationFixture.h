// Conversations built straight into the analysis tables, so that every packet field a
// measurement reads is chosen by the test.
#pragma once
#include <memory>

#include "analysis/FrameAnalyser.h"
#include "analysis/TraceSession.h"
#include "measure/TableChains.h"

namespace korvane::testing {

struct Pkt {
  int64_t frame = 0;
  double time = 0;  // microseconds
  uint32_t flags = 0;
  uint32_t seq = 0, ack = 0;
  int payload = 0;
  uint16_t tcpFlags = 0;
  uint16_t length = 0;  // FrameLength; 0 = 64 + payload
  uint16_t ipId = 0;
  uint16_t window = 0;
};

class ConversationTables {
 public:
  ConversationTables() { session_->info.TopologyCode = topology::Ethernet; session_->info.LineSpeedMbps = 10; }
  TraceSession& session() { return *session_; }
  AnalysisTables& tables() { return session_->tables; }

  int32_t Station(uint8_t last) {
    const uint8_t ip[4] = {10, 0, 0, last};
    return chains_.Station(AddressKey::From(ip, 4));
  }
  int32_t Peer(int32_t from, int32_t to) { return chains_.Peer(from, to); }
  int32_t Stream(int32_t peer, uint8_t kind, uint16_t sourcePort = 0, uint16_t destPort = 0) {
    return chains_.Stream(peer, kind, sourcePort, destPort);
  }
  TPacket& Add(int32_t stream, const Pkt& k) {
    TPacket r;
    r.FrameNumber = k.frame;
    r.TimeStamp = k.time;
    r.Flags = k.flags;
    r.Sequence = k.seq;
    r.Acknowledge = k.ack;
    r.NetHeaderLength = 20;
    r.TransportHeaderLength = 20;
    r.NetLength = uint16_t(40 + k.payload);
    r.TcpFlags = k.tcpFlags;
    r.FrameLength = k.length ? k.length : uint16_t(64 + k.payload);
    r.IpId = k.ipId;
    r.Window = k.window;
    session_->info.FramesRead = std::max(session_->info.FramesRead, k.frame);
    return tables().PacketList[size_t(chains_.Add(stream, r))];
  }

 private:
  std::unique_ptr<TraceSession> session_ = std::make_unique<TraceSession>();
  TableChains chains_{*session_};
};

}  // namespace korvane::testing
