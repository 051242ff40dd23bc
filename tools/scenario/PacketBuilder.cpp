#include "PacketBuilder.h"

#include <stdexcept>
#include <utility>

namespace korvane::tools {

namespace {

constexpr uint8_t kLlcUi = 0x03;
constexpr uint8_t kSapSnap = 0xAA;

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

void PutMac(Bytes& out, const Mac& mac) { out.insert(out.end(), mac.begin(), mac.end()); }

void PutIp(Bytes& out, const Ip4& ip) { out.insert(out.end(), ip.begin(), ip.end()); }

uint16_t CheckedU16(size_t value, const char* what) {
  if (value > 0xFFFF) throw std::length_error(what);
  return static_cast<uint16_t>(value);
}

// Sum of the IPv4 pseudo-header used by TCP and UDP checksums.
uint32_t PseudoHeaderSum(const Ip4& src, const Ip4& dst, uint8_t protocol, size_t length) {
  uint32_t sum = OnesComplementAdd(src.data(), src.size());
  sum = OnesComplementAdd(dst.data(), dst.size(), sum);
  sum += protocol;
  sum += static_cast<uint32_t>(length);
  return sum;
}

Bytes EthernetHeader(const Mac& dst, const Mac& src, uint16_t typeOrLength) {
  Bytes out;
  out.reserve(kEthernetMinFrame);
  PutMac(out, dst);
  PutMac(out, src);
  PutU16(out, typeOrLength);
  return out;
}

Bytes Ieee8023Frame(const Mac& dst, const Mac& src, const Bytes& body, bool pad) {
  Bytes frame =
      Concat(EthernetHeader(dst, src, CheckedU16(body.size(), "802.3 body too long")), body);
  return pad ? PadToEthernetMinimum(std::move(frame)) : frame;
}

void PutIpxAddress(Bytes& out, const IpxAddress& address) {
  PutU32(out, address.network);
  PutMac(out, address.node);
  PutU16(out, address.socket);
}

}  // namespace

// ---- primitives -----------------------------------------------------------

void PutU8(Bytes& out, uint8_t value) { out.push_back(value); }

void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutU32(Bytes& out, uint32_t value) {
  PutU16(out, static_cast<uint16_t>(value >> 16));
  PutU16(out, static_cast<uint16_t>(value));
}

void PutBytes(Bytes& out, const Bytes& data) { out.insert(out.end(), data.begin(), data.end()); }

void SetU16(Bytes& out, size_t offset, uint16_t value) {
  out.at(offset) = static_cast<uint8_t>(value >> 8);
  out.at(offset + 1) = static_cast<uint8_t>(value);
}

uint16_t GetU16(const Bytes& data, size_t offset) {
  return static_cast<uint16_t>(data.at(offset) << 8 | data.at(offset + 1));
}

uint32_t OnesComplementAdd(const uint8_t* data, size_t length, uint32_t sum) {
  size_t i = 0;
  for (; i + 1 < length; i += 2) {
    sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    // Fold early so that very long inputs cannot overflow the accumulator.
    if (sum & 0x80000000u) sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (i < length) sum += static_cast<uint32_t>(data[i] << 8);
  return sum;
}

uint16_t FoldChecksum(uint32_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

uint16_t InternetChecksum(const uint8_t* data, size_t length) {
  return FoldChecksum(OnesComplementAdd(data, length));
}

// ---- link layer -----------------------------------------------------------

Bytes PadToEthernetMinimum(Bytes frame) {
  if (frame.size() < kEthernetMinFrame) frame.resize(kEthernetMinFrame, 0);
  return frame;
}

Bytes EthernetFrame(const Mac& dst, const Mac& src, uint16_t etherType, const Bytes& payload,
                    bool pad) {
  Bytes frame = Concat(EthernetHeader(dst, src, etherType), payload);
  return pad ? PadToEthernetMinimum(std::move(frame)) : frame;
}

Bytes LlcHeader(uint8_t dsap, uint8_t ssap, uint8_t control) { return {dsap, ssap, control}; }

Bytes SnapHeader(uint16_t type, uint32_t oui) {
  Bytes out = LlcHeader(kSapSnap, kSapSnap, kLlcUi);
  out.push_back(static_cast<uint8_t>(oui >> 16));
  out.push_back(static_cast<uint8_t>(oui >> 8));
  out.push_back(static_cast<uint8_t>(oui));
  PutU16(out, type);
  return out;
}

Bytes Llc8023Frame(const Mac& dst, const Mac& src, uint8_t dsap, uint8_t ssap, uint8_t control,
                   const Bytes& payload, bool pad) {
  return Ieee8023Frame(dst, src, Concat(LlcHeader(dsap, ssap, control), payload), pad);
}

Bytes SnapEthernetFrame(const Mac& dst, const Mac& src, uint16_t type, const Bytes& payload,
                        bool pad) {
  return Ieee8023Frame(dst, src, Concat(SnapHeader(type), payload), pad);
}

Bytes RawIpxFrame(const Mac& dst, const Mac& src, const Bytes& ipxPacket, bool pad) {
  return Ieee8023Frame(dst, src, ipxPacket, pad);
}

Bytes TokenRingRif(const std::vector<uint16_t>& routeDesignators, uint8_t broadcastBits,
                   bool towardOriginator, uint8_t largestFrameBits) {
  const size_t length = 2 + 2 * routeDesignators.size();
  if (length > 30) throw std::length_error("too many route designators");
  Bytes out;
  out.push_back(static_cast<uint8_t>((broadcastBits & 0xE0) | length));
  out.push_back(static_cast<uint8_t>((towardOriginator ? 0x80 : 0x00) | (largestFrameBits & 0x70)));
  for (uint16_t rd : routeDesignators) PutU16(out, rd);
  return out;
}

Bytes TokenRingFrame(uint8_t ac, uint8_t fc, const Mac& dst, const Mac& src, const Bytes& rif,
                     const Bytes& body) {
  Bytes out;
  out.reserve(2 + 12 + rif.size() + body.size());
  out.push_back(ac);
  out.push_back(fc);
  PutMac(out, dst);
  Mac source = src;
  if (!rif.empty()) source[0] |= 0x80;  // routing information indicator
  PutMac(out, source);
  PutBytes(out, rif);
  PutBytes(out, body);
  return out;
}

Bytes TokenRingLlcFrame(const Mac& dst, const Mac& src, uint8_t dsap, uint8_t ssap, uint8_t control,
                        const Bytes& payload, const Bytes& rif) {
  return TokenRingFrame(kTokenRingAcFrame, kTokenRingFcLlc, dst, src, rif,
                        Concat(LlcHeader(dsap, ssap, control), payload));
}

Bytes TokenRingSnapFrame(const Mac& dst, const Mac& src, uint16_t type, const Bytes& payload,
                         const Bytes& rif) {
  return TokenRingFrame(kTokenRingAcFrame, kTokenRingFcLlc, dst, src, rif,
                        Concat(SnapHeader(type), payload));
}

Bytes TokenRingMacFrame(uint8_t fc, const Mac& dst, const Mac& src, const Bytes& majorVector,
                        uint8_t ac) {
  return TokenRingFrame(ac, static_cast<uint8_t>(fc & 0x3F), dst, src, {}, majorVector);
}

Bytes TokenRingMacVector(uint8_t dstClass, uint8_t srcClass, uint8_t command,
                         const std::vector<Bytes>& subvectors) {
  Bytes out(4);
  out[2] = static_cast<uint8_t>((dstClass & 0x0F) << 4 | (srcClass & 0x0F));
  out[3] = command;
  for (const Bytes& sv : subvectors) PutBytes(out, sv);
  SetU16(out, 0, CheckedU16(out.size(), "MAC vector too long"));
  return out;
}

Bytes TokenRingMacSubvector(uint8_t id, const Bytes& value) {
  if (value.size() > 0xFD) throw std::length_error("MAC subvector too long");
  Bytes out{static_cast<uint8_t>(value.size() + 2), id};
  PutBytes(out, value);
  return out;
}

// ---- network and transport layers -----------------------------------------

Bytes Ipv4Packet(const Ip4& src, const Ip4& dst, uint8_t protocol, uint8_t ttl, uint16_t id,
                 uint16_t flagsFragment, const Bytes& payload) {
  Bytes out;
  out.reserve(kIpv4HeaderLen + payload.size());
  PutU8(out, 0x45);  // version 4, 5 words of header
  PutU8(out, 0x00);
  PutU16(out, CheckedU16(kIpv4HeaderLen + payload.size(), "IPv4 packet too long"));
  PutU16(out, id);
  PutU16(out, flagsFragment);
  PutU8(out, ttl);
  PutU8(out, protocol);
  PutU16(out, 0);
  PutIp(out, src);
  PutIp(out, dst);
  SetU16(out, 10, InternetChecksum(out.data(), kIpv4HeaderLen));
  PutBytes(out, payload);
  return out;
}

Bytes TcpSegment(const Ip4& src, const Ip4& dst, const TcpFields& fields, const Bytes& payload) {
  const size_t headerLen = fields.mss ? 24 : 20;
  Bytes out;
  out.reserve(headerLen + payload.size());
  PutU16(out, fields.srcPort);
  PutU16(out, fields.dstPort);
  PutU32(out, fields.seq);
  PutU32(out, fields.ack);
  PutU8(out, static_cast<uint8_t>(headerLen / 4 << 4));
  PutU8(out, fields.flags);
  PutU16(out, fields.window);
  PutU16(out, 0);  // checksum
  PutU16(out, 0);  // urgent pointer
  if (fields.mss) {
    PutU8(out, 2);  // kind: maximum segment size
    PutU8(out, 4);
    PutU16(out, fields.mss);
  }
  PutBytes(out, payload);
  uint32_t sum = PseudoHeaderSum(src, dst, kIpProtoTcp, out.size());
  SetU16(out, 16, FoldChecksum(OnesComplementAdd(out.data(), out.size(), sum)));
  return out;
}

Bytes UdpDatagram(const Ip4& src, const Ip4& dst, uint16_t srcPort, uint16_t dstPort,
                  const Bytes& payload) {
  Bytes out;
  out.reserve(8 + payload.size());
  PutU16(out, srcPort);
  PutU16(out, dstPort);
  PutU16(out, CheckedU16(8 + payload.size(), "UDP datagram too long"));
  PutU16(out, 0);
  PutBytes(out, payload);
  uint32_t sum = PseudoHeaderSum(src, dst, kIpProtoUdp, out.size());
  uint16_t checksum = FoldChecksum(OnesComplementAdd(out.data(), out.size(), sum));
  SetU16(out, 6, checksum == 0 ? 0xFFFF : checksum);  // zero means "no checksum"
  return out;
}

Bytes IcmpEcho(bool reply, uint16_t identifier, uint16_t sequence, const Bytes& data) {
  Bytes out;
  PutU8(out, reply ? 0 : 8);
  PutU8(out, 0);
  PutU16(out, 0);
  PutU16(out, identifier);
  PutU16(out, sequence);
  PutBytes(out, data);
  SetU16(out, 2, InternetChecksum(out.data(), out.size()));
  return out;
}

Bytes ArpPacket(uint16_t operation, const Mac& senderMac, const Ip4& senderIp, const Mac& targetMac,
                const Ip4& targetIp, uint16_t hardwareType) {
  Bytes out;
  PutU16(out, hardwareType);
  PutU16(out, kEtherTypeIpv4);
  PutU8(out, 6);
  PutU8(out, 4);
  PutU16(out, operation);
  PutMac(out, senderMac);
  PutIp(out, senderIp);
  PutMac(out, targetMac);
  PutIp(out, targetIp);
  return out;
}

Bytes DnsName(const std::string& name) {
  Bytes out;
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    const size_t labelLen = dot - start;
    if (labelLen == 0 || labelLen > 63) throw std::invalid_argument("bad DNS label in " + name);
    out.push_back(static_cast<uint8_t>(labelLen));
    out.insert(out.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
               name.begin() + static_cast<std::ptrdiff_t>(dot));
    start = dot + 1;
  }
  out.push_back(0);
  return out;
}

namespace {

Bytes DnsMessage(uint16_t id, uint16_t flags, const std::string& name, uint16_t answers) {
  Bytes out;
  PutU16(out, id);
  PutU16(out, flags);
  PutU16(out, 1);  // questions
  PutU16(out, answers);
  PutU16(out, 0);  // authority records
  PutU16(out, 0);  // additional records
  PutBytes(out, DnsName(name));
  PutU16(out, 1);  // type A
  PutU16(out, 1);  // class IN
  return out;
}

}  // namespace

Bytes DnsQuery(uint16_t id, const std::string& name) {
  return DnsMessage(id, 0x0100, name, 0);  // standard query, recursion desired
}

Bytes DnsResponseA(uint16_t id, const std::string& name, const Ip4& address, uint32_t ttl) {
  Bytes out = DnsMessage(id, 0x8180, name, 1);  // response, RD + RA, no error
  PutU16(out, 0xC00C);                          // name: pointer to the question
  PutU16(out, 1);
  PutU16(out, 1);
  PutU32(out, ttl);
  PutU16(out, 4);
  PutIp(out, address);
  return out;
}

Bytes IpxPacket(uint8_t packetType, const IpxAddress& dst, const IpxAddress& src,
                const Bytes& payload, uint8_t transportControl) {
  Bytes out;
  out.reserve(kIpxHeaderLen + payload.size());
  PutU16(out, 0xFFFF);
  PutU16(out, CheckedU16(kIpxHeaderLen + payload.size(), "IPX packet too long"));
  PutU8(out, transportControl);
  PutU8(out, packetType);
  PutIpxAddress(out, dst);
  PutIpxAddress(out, src);
  PutBytes(out, payload);
  return out;
}

}  // namespace korvane::tools
