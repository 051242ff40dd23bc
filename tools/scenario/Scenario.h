// Deterministic capture scenarios for tests, demos and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "PacketBuilder.h"

namespace korvane::tools {

// Receive-status bits carried alongside a captured frame.
constexpr uint16_t kStatusCrcError = 0x8000;
constexpr uint16_t kStatusAlignmentError = 0x4000;

struct ScenarioFrame {
  double timeUs = 0;        // microseconds since the capture start (first frame near 0)
  Bytes bytes;              // from the first MAC byte (Ethernet: destination; Token Ring:
                            // access control), without any frame check sequence
  uint32_t wireLength = 0;  // length on the wire without check sequence; > bytes.size() = sliced
  uint16_t status = 0;      // kStatusCrcError / kStatusAlignmentError
};

// A small Ethernet office LAN (clients, router, DNS, web, FTP and NetWare
// servers) over roughly 35 seconds. Identical on every call.
std::vector<ScenarioFrame> OfficeLanScenario();

// A Token Ring segment with IP over SNAP, IPX, NetBIOS, source-routed
// traffic and ring-management MAC frames. Identical on every call.
std::vector<ScenarioFrame> TokenRingScenario();

// Bulk Ethernet traffic for throughput benchmarks: many hosts, a TCP/UDP mix
// and frame sizes from 60 to 1514 bytes. The same seed gives the same frames.
// Transport checksums are not valid; IPv4 header checksums are.
std::vector<ScenarioFrame> SyntheticLoad(size_t frameCount, uint32_t seed);

// Streaming form of SyntheticLoad for runs that should not hold every frame
// in memory: `sink` sees the frames one by one, in order. The frame passed to
// the sink is reused for the next call.
void GenerateSyntheticLoad(size_t frameCount, uint32_t seed,
                           const std::function<void(const ScenarioFrame&)>& sink);

// One TCP conversation between a client and a web server: the handshake, then the client's
// requests (every fourth packet) answered by full-size data segments and acks, `packets`
// frames in all, one millisecond apart. When idleAfter > 0, the pause after that many
// frames lasts idleMicros instead.
std::vector<ScenarioFrame> TcpConversationScenario(size_t packets, size_t idleAfter = 0, double idleMicros = 0);

}  // namespace korvane::tools
