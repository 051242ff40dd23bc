#include "settings/ProblemFinderSettings.h"

#include <algorithm>
#include <limits>

namespace korvane {
namespace {

constexpr std::array<ThresholdInfo, kProblemThresholdCount> kThresholds{{
    {"ThresholdCSBusyNetwork", 2, 1, 3, "Sensitivity", true},
    {"ThresholdCSInefficientClient", 2, 1, 3, "Sensitivity", true},
    {"ThresholdCSLowThroughput", 100, 1, 65535, "Kbytes/sec", false},
    {"ThresholdCSSlowResponseTime", 100, 1, 65535, "milliseconds", false},
    {"ThresholdIPLowTTL", 1, 1, 255, "", false},
    {"ThresholdNCPFastTransportRetransmission", 150, 1, 65535, "milliseconds", false},
    {"ThresholdSPXFastTransportRetransmission", 150, 1, 65535, "milliseconds", false},
    {"ThresholdTCPFastTransportRetransmission", 150, 1, 65535, "milliseconds", false},
    {"ThresholdTCPIdleTooLong", 300, 1, 65535, "seconds", false},
    {"ThresholdTCPLowMSS", 1024, 128, 65535, "", false},
    {"ThresholdTCPLowWindow", 10, 1, 99, "percent", false},
    {"ThresholdTCPSlowAck", 250, 1, 65535, "milliseconds", false},
    {"ThresholdTCPStuckWindow", 2000, 100, 50000, "milliseconds", false},
}};

constexpr int Uses(ProblemThreshold t) { return int(t); }
constexpr int kNoThreshold = -1;

// Texts several checks share.
constexpr std::string_view kChecksumCauses =
    "Faulty network interface card or driver, faulty router or switch memory, TCP/IP stack defect, checksum "
    "offloading on the capturing station.";
constexpr std::string_view kChecksumRemedy =
    "Locate the sending station and update its driver or replace its network interface card, check routers and "
    "switches on the path for hardware faults, disable checksum offloading on the capturing station when the errors "
    "appear only on its own frames.";

constexpr std::array<ProblemItemInfo, kProblemCheckCount> kItems{{
    {"C/S Busy Network or Server", "EnableCSBusyNetwork", "Busy Network or Server",
     "There is a moderate to high fluctuation in response time.  The higher the sensitivity, the higher the "
     "likelihood that this problem will be flagged.",
     "Busy server, bandwidth contention, congested switches or routers.",
     "Optimize application usage on the server or upgrade server platform, upgrade or segment highly utilized "
     "network segments between the client and server, check packet processing delay on switches and routers.",
     Uses(ProblemThreshold::CSBusyNetwork)},
    {"C/S Inefficient Client", "EnableCSInefficientClient", "Inefficient Client",
     "Clients that are \"chatty\" and utilize small average packet sizes.  The higher the sensitivity, the higher "
     "the likelihood that this problem will be flagged.",
     "Terminal-to-host applications, two-tier client/server applications, any application that operates on small "
     "amounts of data at a time.",
     "If these applications are generating a significant number of packets, you may want to optimize the "
     "application (if possible) to send or receive more data per packet rather than across several smaller packets "
     "or consider a three-tier client/server architecture.",
     Uses(ProblemThreshold::CSInefficientClient)},
    {"C/S Low Server to Client Thput (Kbytes/sec)", "EnableCSLowThroughput", "Low Server to Client Thput",
     "The throughput (Kbytes/sec) from the server is at or lower than the threshold.",
     "Busy server, network segments with low bandwidth, client is not using sliding window or packet burst protocol "
     "to recieve data.",
     "Optimize application usage on the server or upgrade server platform, upgrade low bandwidth segments between "
     "the client and server, re-architect the application to receive multiple packets per request.",
     Uses(ProblemThreshold::CSLowThroughput)},
    {"C/S Slow Server to Client Resp Time (ms)", "EnableCSSlowResponseTime", "Slow Server to Client Resp Time",
     "The average response time from the server is equal to or higher than the threshold.",
     "Busy server, network segments with low bandwidth, high round trip delay due to distance or highly latent "
     "networks such as frame relay.",
     "Optimize application usage on the server or upgrade server platform, upgrade low bandwidth segments between "
     "the client and server, consider point-to-point or cell relay for WANs.",
     Uses(ProblemThreshold::CSSlowResponseTime)},
    {"Ethernet CRC Frame Error", "EnableEthernetCRCError", "Ethernet CRC Frame Error",
     "The frame check sequence (CRC) of the frame does not match its contents.",
     "Faulty network interface card or transceiver, damaged or badly terminated cabling, electrical noise, duplex "
     "mismatch, faulty hub or switch port.",
     "Locate the sending station and test or replace its network interface card and cable, check connectors and "
     "patch panels, make both ends of the link use the same duplex setting, move the station to another hub or "
     "switch port.",
     kNoThreshold},
    {"Ethernet Oversized Frame", "EnableEthernetOversized", "Ethernet Oversized Frame",
     "The frame is longer than the Ethernet maximum of 1518 bytes.",
     "Faulty network interface card or driver, jabbering transceiver, VLAN tagged frames captured on an untagged "
     "port, station set to a larger MTU than the segment allows.",
     "Locate the sending station and update its driver or replace its network interface card, set the station's MTU "
     "to the segment's maximum, check the VLAN configuration of the switch port.",
     kNoThreshold},
    {"Ethernet Undersized Frame", "EnableEthernetUndersized", "Ethernet Undersized Frame",
     "The frame is shorter than the Ethernet minimum of 64 bytes.",
     "Collision fragments, faulty network interface card or driver, duplex mismatch, faulty hub or switch port.",
     "Check the segment for excessive collisions, make both ends of the link use the same duplex setting, update the "
     "sending station's driver or replace its network interface card, move the station to another hub or switch "
     "port.",
     kNoThreshold},
    {"ICMP Error Reports", "EnableICMP", "ICMP Error Reports",
     "A router or host reported an error about this traffic with ICMP, such as destination unreachable, redirect, "
     "source quench or time exceeded.",
     "Host, network or service unreachable, wrong routing tables or default gateway, routing loops, congested "
     "routers, packets sent with too small a TTL to reach their destination.",
     "Verify that the destination host and service are running, check the routing tables and default gateways of "
     "the stations and routers involved, look for routing loops, relieve congested routers, raise the initial TTL of "
     "the sending station.",
     kNoThreshold},
    {"IP Checksum Error", "EnableIPChecksumError", "IP Checksum Error",
     "The IP header checksum does not match the contents of the header.", kChecksumCauses, kChecksumRemedy,
     kNoThreshold},
    {"IP Local Routing (in/out same router port)", "EnableIPLocalRouting", "IP Local Routing (in/out same router port)",
     "The same IP packet was seen twice on this segment, into and out of the same router port, so the router sent "
     "it back onto the network it came from.",
     "Station using the wrong router as its default gateway, missing or wrong routes on the stations, station "
     "ignoring ICMP redirects, several IP subnets on one physical segment.",
     "Point the stations' default gateway at the router that leads to the destination, add the missing routes to "
     "the stations, make sure the stations accept ICMP redirects, give each IP subnet its own segment or router "
     "port.",
     kNoThreshold},
    {"IP Low TTL", "EnableIPLowTTL", "IP Low TTL",
     "The time-to-live (TTL) of an IP packet from the source station is at or below the threshold.",
     "Station set to a small initial TTL, path crossing many routers, routing loop.",
     "Raise the initial TTL of the sending station, shorten the path between the client and server, check the "
     "routing tables for loops.",
     Uses(ProblemThreshold::IPLowTTL)},
    {"IP Missing Fragment", "EnableIPMissingFragment", "IP Missing Fragment",
     "A fragment of an IP packet was seen without the other fragments needed to reassemble the packet.",
     "Fragments lost or discarded on the way, fragments taking different paths, trace started or ended in the middle "
     "of a fragmented packet, an MTU on the path smaller than the sending station's.",
     "Set the sending station's MTU to the smallest MTU on the path or enable path MTU discovery, check the links "
     "and routers on the path for errors and discards, capture the whole exchange.",
     kNoThreshold},
    {"IPX Local Routing (in/out same router port)", "EnableIPXLocalRouting",
     "IPX Local Routing (in/out same router port)",
     "The same IPX packet was seen twice on this segment, into and out of the same router port, so the router sent "
     "it back onto the network it came from.",
     "Station using the wrong router to reach the destination network, wrong network numbers bound on the router "
     "or servers, several IPX network numbers or frame types on one physical segment.",
     "Check the IPX network numbers and frame types bound on the routers and servers, make sure the stations learn "
     "the nearest router, give each IPX network its own segment or router port.",
     kNoThreshold},
    {"NCP Fast Retransmission (ms)", "EnableNCPFastTransportRetransmission", "NCP Fast Retransmission",
     "An NCP request was sent again sooner after the original than the threshold, before the server had a fair "
     "chance to reply.",
     "Client retransmission timeout set too low, client requester estimating the round trip too short, packets lost "
     "on a fast link.",
     "Raise the client's retransmission timeout, update the client requester, check the path for lost packets.",
     Uses(ProblemThreshold::NCPFastTransportRetransmission)},
    {"NCP Packet Burst Retransmit Requests", "EnableNCPPacketBurst", "NCP Packet Burst Retransmit Requests",
     "The receiver of an NCP packet burst asked for packets of the burst to be sent again.",
     "Packets of the burst lost or discarded, burst window too large for a switch, router or the receiving station, "
     "receive buffers of the station overrun, errors on the link.",
     "Reduce the packet burst window of the client, add receive buffers to the client or server, check switches and "
     "routers on the path for discards, check the link for errors.",
     kNoThreshold},
    {"NCP Server Busy Reply", "EnableNCPServerBusy", "NCP Server Busy Reply",
     "The server answered a request with a server busy reply, asking the client to try again later.",
     "Server short of packet receive buffers or service processes, overloaded server, slow disk subsystem.",
     "Raise the server's packet receive buffers and service processes, move load to other servers or upgrade "
     "server platform, check the server's disk subsystem.",
     kNoThreshold},
    {"NCP Transport Retransmission", "EnableNCPTransportRetransmission", "NCP Transport Retransmission",
     "An NCP request was sent again with the sequence number of an earlier request.",
     "Request or reply lost or damaged on the way, busy server slow to reply, congested links, switches or routers.",
     "Check the path between the client and server for errors and discards, relieve congested links, switches or "
     "routers, optimize application usage on the server or upgrade server platform.",
     kNoThreshold},
    {"SPX/SPX II Fast Retransmission (ms)", "EnableSPXFastTransportRetransmission", "SPX/SPX II Fast Retransmission",
     "An SPX or SPX II packet was sent again sooner after the original than the threshold, before the receiver had "
     "a fair chance to acknowledge it.",
     "Retransmission timeout of the sending station set too low, SPX timers tuned for a faster network, packets "
     "lost on a fast link.",
     "Raise the SPX retry and timeout settings of the sending station, update its SPX protocol stack, check the path "
     "for lost packets.",
     Uses(ProblemThreshold::SPXFastTransportRetransmission)},
    {"SPX/SPX II Transport Retransmission", "EnableSPXTransportRetransmission", "SPX/SPX II Transport Retransmission",
     "An SPX or SPX II packet was sent again with the sequence number of an earlier packet.",
     "Packet or acknowledgement lost or damaged on the way, busy receiving station, congested links, switches or "
     "routers.",
     "Check the path between the stations for errors and discards, relieve congested links, switches or routers, "
     "reduce the load on the receiving station or upgrade it.",
     kNoThreshold},
    {"TCP Checksum Error", "EnableTCPChecksumError", "TCP Checksum Error",
     "The TCP checksum does not match the contents of the segment.", kChecksumCauses, kChecksumRemedy, kNoThreshold},
    {"TCP Fast Retransmission (ms)", "EnableTCPFastTransportRetransmission", "TCP Fast Retransmission",
     "A TCP segment was sent again sooner after the original than the threshold, before the receiver had a fair "
     "chance to acknowledge it.",
     "Retransmission timer of the sending station set too low, TCP/IP stack estimating the round trip too short, "
     "acknowledgements lost or delayed.",
     "Update or tune the TCP/IP stack of the sending station, raise its minimum retransmission timeout, check the "
     "path for lost packets.",
     Uses(ProblemThreshold::TCPFastTransportRetransmission)},
    {"TCP Idle Too Long (seconds)", "EnableTCPIdleTooLong", "TCP Idle Too Long",
     "The time between two packets in the same direction of a TCP connection is longer than the threshold.",
     "User think time, application waiting on a slow server process or database, connections left open while "
     "unused, packets lost during the pause.",
     "Check the server application for slow processing, close connections the application no longer needs, tune the "
     "application's keepalive and timeout settings.",
     Uses(ProblemThreshold::TCPIdleTooLong)},
    {"TCP Low Starting MSS", "EnableTCPLowMSS", "TCP Low Starting MSS",
     "The TCP Maximum Segment Size (MSS) is at or below the threshold setting. ",
     "Station or router set to a small MTU, TCP/IP stack falling back to 536 bytes for remote networks, tunnels or "
     "dial-up links on the path.",
     "Raise the MTU of the station, enable path MTU discovery on the stations, check the MTU settings of routers and "
     "tunnels between the client and server.",
     Uses(ProblemThreshold::TCPLowMSS)},
    {"TCP Low Window (percent of max window)", "EnableTCPLowWindow", "TCP Low Window",
     "The TCP window advertised by the receiver has fallen below the threshold, a percentage of the largest window "
     "of the connection.",
     "Receiving application reading data slowly, receiving station short of memory or processor time, small receive "
     "buffers.",
     "Reduce the load on the receiving station or upgrade it, enlarge the station's TCP receive buffer, optimize the receiving "
     "application.",
     Uses(ProblemThreshold::TCPLowWindow)},
    {"TCP Reset Connection", "EnableTCPResetConnection", "TCP Reset Connection",
     "A TCP connection was reset (RST) instead of being closed normally.",
     "Connection request to a port where no application is listening, application aborting the connection, server "
     "or firewall dropping idle connections, station restarted during the connection.",
     "Verify that the server application is running and listening on the port, check the application and firewall "
     "logs for aborted connections, tune the idle timeouts of servers and firewalls.",
     kNoThreshold},
    {"TCP Slow Acknowledgement (ms)", "EnableTCPSlowAck", "TCP Slow Acknowledgement",
     "The acknowledgement of a TCP segment came later after the segment than the threshold.",
     "Busy receiving station, delayed acknowledgement timer, high round trip delay, congested links, switches or "
     "routers.",
     "Reduce the load on the receiving station or upgrade it, tune its delayed acknowledgement timer, upgrade low bandwidth "
     "segments between the client and server.",
     Uses(ProblemThreshold::TCPSlowAck)},
    {"TCP Transport Retransmission", "EnableTCPTransportRetransmission", "TCP Transport Retransmission",
     "A TCP segment was sent again with sequence numbers that had been sent before.",
     "Segment or acknowledgement lost or damaged on the way, busy receiving station, congested links, switches or "
     "routers.",
     "Check the path between the client and server for errors and discards, relieve congested links, switches or "
     "routers, reduce the load on the receiving station or upgrade it.",
     kNoThreshold},
    {"TCP Stuck Window (ms)", "EnableTCPStuckWindow", "TCP Stuck Window",
     "The TCP window advertised by the receiver stayed at the same size for at least the threshold.",
     "Receiving application not reading data, receiving station short of memory or processor time, application "
     "waiting on another resource.",
     "Check the receiving application for hangs or slow processing, reduce the load on the receiving station or upgrade it, enlarge "
     "the station's TCP receive buffer.",
     Uses(ProblemThreshold::TCPStuckWindow)},
    {"TCP Zero Window", "EnableTCPZeroWindow", "TCP Zero Window",
     "The receiver advertised a TCP window of zero, which stops the sender until the window opens again.",
     "Receiving application not reading data fast enough, receiving station short of memory or buffers, busy server "
     "or client.",
     "Optimize the receiving application, reduce the load on the receiving station or upgrade it, enlarge the station's TCP receive "
     "buffer.",
     kNoThreshold},
    {"UDP Checksum Error", "EnableUDPChecksumError", "UDP Checksum Error",
     "The UDP checksum does not match the contents of the datagram.", kChecksumCauses, kChecksumRemedy, kNoThreshold},
}};

}  // namespace

const std::array<ProblemItemInfo, kProblemCheckCount>& ProblemItems() { return kItems; }

const std::array<ThresholdInfo, kProblemThresholdCount>& ProblemThresholds() { return kThresholds; }

std::string_view SensitivityWord(uint16_t value) {
  switch (value) {
    case 1: return "Low";
    case 2: return "Medium";
    case 3: return "High";
    default: return {};
  }
}

void ProblemFinderSettings::SetThreshold(ProblemThreshold t, long long value) {
  const ThresholdInfo& info = kThresholds[size_t(t)];
  Thresholds[size_t(t)] = uint16_t(std::clamp<long long>(value, info.minimum, info.maximum));
}

void ProblemFinderSettings::RestoreDefault(ProblemThreshold t) {
  Thresholds[size_t(t)] = kThresholds[size_t(t)].defaultValue;
}

void ProblemFinderSettings::RestoreAllDefaults() {
  EnableAll(true);
  for (int t = 0; t < kProblemThresholdCount; ++t) RestoreDefault(ProblemThreshold(t));
}

void ProblemFinderSettings::EnableAll(bool on) { Enabled.fill(on); }

void ProblemFinderSettings::Load(const KeyValueStore& store) {
  RestoreAllDefaults();
  for (int i = 0; i < kProblemCheckCount; ++i) {
    if (auto on = StoredBool(store, kProblemFinderSection, kItems[size_t(i)].enableValueName)) Enabled[size_t(i)] = *on;
  }
  for (int t = 0; t < kProblemThresholdCount; ++t) {
    if (auto value = StoredInteger(store, kProblemFinderSection, kThresholds[size_t(t)].valueName,
                                   std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max())) {
      SetThreshold(ProblemThreshold(t), *value);
    }
  }
}

void ProblemFinderSettings::Save(KeyValueStore& store) const {
  for (int i = 0; i < kProblemCheckCount; ++i)
    StoreBool(store, kProblemFinderSection, kItems[size_t(i)].enableValueName, Enabled[size_t(i)]);
  for (int t = 0; t < kProblemThresholdCount; ++t)
    StoreInteger(store, kProblemFinderSection, kThresholds[size_t(t)].valueName, Thresholds[size_t(t)]);
}

}  // namespace korvane
