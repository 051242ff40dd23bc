// Builders for raw frame bytes used by the scenario generators and tests.
//
// Every multi-byte protocol field is written in network (big-endian) order.
// IPv4 header checksums and TCP/UDP/ICMP checksums (including the IPv4
// pseudo-header for TCP and UDP) are computed, so the output decodes cleanly
// in any protocol decoder. Frames never carry a frame check sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::tools {

using Bytes = std::vector<uint8_t>;
using Mac = std::array<uint8_t, 6>;
using Ip4 = std::array<uint8_t, 4>;

constexpr Mac kBroadcastMac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint16_t kEtherTypeArp = 0x0806;
constexpr uint16_t kEtherTypeIpx = 0x8137;

constexpr uint8_t kIpProtoIcmp = 1;
constexpr uint8_t kIpProtoTcp = 6;
constexpr uint8_t kIpProtoUdp = 17;

// Smallest Ethernet frame without its 4-byte FCS.
constexpr size_t kEthernetMinFrame = 60;
constexpr size_t kEthernetHeaderLen = 14;
constexpr size_t kIpv4HeaderLen = 20;
constexpr size_t kIpxHeaderLen = 30;

// IPv4 "don't fragment" flag in the flags/fragment-offset word.
constexpr uint16_t kIpDontFragment = 0x4000;

// Token Ring access control for a frame (token bit set, priority 0) and the
// frame control values for LLC and MAC frames.
constexpr uint8_t kTokenRingAcFrame = 0x10;
constexpr uint8_t kTokenRingFcLlc = 0x40;
constexpr uint8_t kTokenRingFcMac = 0x00;
constexpr uint8_t kTokenRingFcMacExpress = 0x01;

namespace tcp_flags {
constexpr uint8_t kFin = 0x01;
constexpr uint8_t kSyn = 0x02;
constexpr uint8_t kRst = 0x04;
constexpr uint8_t kPsh = 0x08;
constexpr uint8_t kAck = 0x10;
}  // namespace tcp_flags

// ---- primitives -----------------------------------------------------------

void PutU8(Bytes& out, uint8_t value);
void PutU16(Bytes& out, uint16_t value);  // big-endian
void PutU32(Bytes& out, uint32_t value);  // big-endian
void PutBytes(Bytes& out, const Bytes& data);
void SetU16(Bytes& out, size_t offset, uint16_t value);  // big-endian, in place
uint16_t GetU16(const Bytes& data, size_t offset);       // big-endian

// 32-bit one's-complement accumulation of 16-bit big-endian words (an odd
// trailing byte is padded with zero). Chain calls through `sum`.
uint32_t OnesComplementAdd(const uint8_t* data, size_t length, uint32_t sum = 0);
// Folds an accumulated sum and returns its complement (the Internet checksum).
uint16_t FoldChecksum(uint32_t sum);
uint16_t InternetChecksum(const uint8_t* data, size_t length);

// ---- link layer -----------------------------------------------------------

// Appends zero bytes up to the 60-byte Ethernet minimum, as a NIC would.
Bytes PadToEthernetMinimum(Bytes frame);

Bytes EthernetFrame(const Mac& dst, const Mac& src, uint16_t etherType, const Bytes& payload,
                    bool pad = true);
// 802.3 frame with an 802.2 LLC header; the length field covers LLC + payload.
Bytes Llc8023Frame(const Mac& dst, const Mac& src, uint8_t dsap, uint8_t ssap, uint8_t control,
                   const Bytes& payload, bool pad = true);
// 802.3 + LLC AA AA 03 + SNAP (OUI 00-00-00 and the given type).
Bytes SnapEthernetFrame(const Mac& dst, const Mac& src, uint16_t type, const Bytes& payload,
                        bool pad = true);
// Novell "raw" 802.3: the IPX header (checksum FFFF) follows the length field.
Bytes RawIpxFrame(const Mac& dst, const Mac& src, const Bytes& ipxPacket, bool pad = true);

Bytes LlcHeader(uint8_t dsap, uint8_t ssap, uint8_t control);
Bytes SnapHeader(uint16_t type, uint32_t oui = 0);

// Token Ring routing information field. `broadcastBits` is the top three
// bits of the first byte (0x00 specifically routed, 0x80 all-routes, 0xC0
// single-route); `largestFrameBits` occupies 0x70 of the second byte;
// every route designator is ring number (12 bits) << 4 | bridge number.
Bytes TokenRingRif(const std::vector<uint16_t>& routeDesignators, uint8_t broadcastBits = 0x00,
                   bool towardOriginator = false, uint8_t largestFrameBits = 0x30);

// Generic Token Ring frame: AC, FC, dst, src, optional RIF, body. A non-empty
// RIF marks the frame as source routed (bit 0x80 of the first source byte).
Bytes TokenRingFrame(uint8_t ac, uint8_t fc, const Mac& dst, const Mac& src, const Bytes& rif,
                     const Bytes& body);
Bytes TokenRingLlcFrame(const Mac& dst, const Mac& src, uint8_t dsap, uint8_t ssap, uint8_t control,
                        const Bytes& payload, const Bytes& rif = {});
Bytes TokenRingSnapFrame(const Mac& dst, const Mac& src, uint16_t type, const Bytes& payload,
                         const Bytes& rif = {});
// Token Ring MAC frame: the body is a complete MAC major vector.
Bytes TokenRingMacFrame(uint8_t fc, const Mac& dst, const Mac& src, const Bytes& majorVector,
                        uint8_t ac = kTokenRingAcFrame);

// MAC major vector: 2-byte total length (including itself), class byte
// (destination class in the high nibble, source class in the low nibble),
// command byte, then the subvectors.
Bytes TokenRingMacVector(uint8_t dstClass, uint8_t srcClass, uint8_t command,
                         const std::vector<Bytes>& subvectors);
// MAC subvector: 1-byte length (including length and id), id, value.
Bytes TokenRingMacSubvector(uint8_t id, const Bytes& value);

// ---- network and transport layers -----------------------------------------

Bytes Ipv4Packet(const Ip4& src, const Ip4& dst, uint8_t protocol, uint8_t ttl, uint16_t id,
                 uint16_t flagsFragment, const Bytes& payload);

struct TcpFields {
  uint16_t srcPort = 0;
  uint16_t dstPort = 0;
  uint32_t seq = 0;
  uint32_t ack = 0;
  uint8_t flags = 0;
  uint16_t window = 8760;
  uint16_t mss = 0;  // non-zero adds a maximum segment size option
};

// TCP header + payload with the checksum over the IPv4 pseudo-header.
Bytes TcpSegment(const Ip4& src, const Ip4& dst, const TcpFields& fields, const Bytes& payload);
// UDP header + payload with the checksum over the IPv4 pseudo-header.
Bytes UdpDatagram(const Ip4& src, const Ip4& dst, uint16_t srcPort, uint16_t dstPort,
                  const Bytes& payload);
Bytes IcmpEcho(bool reply, uint16_t identifier, uint16_t sequence, const Bytes& data);

constexpr uint16_t kArpRequest = 1;
constexpr uint16_t kArpReply = 2;
constexpr uint16_t kArpHwEthernet = 1;
constexpr uint16_t kArpHwIeee802 = 6;
Bytes ArpPacket(uint16_t operation, const Mac& senderMac, const Ip4& senderIp, const Mac& targetMac,
                const Ip4& targetIp, uint16_t hardwareType = kArpHwEthernet);

// Encodes a dotted host name as DNS labels ("www.example.com" -> 3www7example3com0).
Bytes DnsName(const std::string& name);
// Standard recursive query for an A record.
Bytes DnsQuery(uint16_t id, const std::string& name);
// Response echoing the question with one A answer whose name is the
// compression pointer 0xC00C back to the question.
Bytes DnsResponseA(uint16_t id, const std::string& name, const Ip4& address, uint32_t ttl);

struct IpxAddress {
  uint32_t network = 0;
  Mac node{};
  uint16_t socket = 0;
};

// Novell IPX header (30 bytes, checksum FFFF) followed by the payload.
Bytes IpxPacket(uint8_t packetType, const IpxAddress& dst, const IpxAddress& src,
                const Bytes& payload, uint8_t transportControl = 0);

}  // namespace korvane::tools
