// Network and transport decoding of IP and IPX frames: addresses, transport kind,
// ports, sequence numbers, checksums, and whether a packet goes to a server or back.
#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analysis/FrameAnalyser.h"
#include "input/Endian.h"

namespace korvane {

namespace {
constexpr uint16_t kSyn = 0x02, kAck = 0x10;

uint8_t IpKind(uint8_t protocol) {
  switch (protocol) {
    case 1: return transport::Icmp;
    case 2: return transport::Igmp;
    case 3: return transport::Ggp;
    case 6: return transport::Tcp;
    case 8: return transport::Egp;
    case 17: return transport::Udp;
    case 88: return transport::Igrp;
    default: return transport::IpUnknown;
  }
}

uint8_t IpxKind(uint8_t type, uint16_t dest, uint16_t source, uint16_t word, uint8_t connectionControl) {
  auto bySocket = [](uint16_t socket) -> int {
    if (socket == 0x0451) return transport::Ncp;
    if (socket == 0x0452) return transport::Sap;
    if (socket == 0x0453) return transport::Rip;
    if (socket == 0x0455) return transport::NetBios;
    if (socket >= 0x0550 && socket <= 0x0554) return transport::Smb;
    return -1;
  };
  switch (type) {
    case 0: case 4: {
      int kind = bySocket(source);
      if (kind < 0) kind = bySocket(dest);
      return kind < 0 ? transport::IpxUnknown : uint8_t(kind);
    }
    case 1: return transport::Rip;
    case 2: return transport::Echo;
    case 3: return transport::Error;
    case 5: return (connectionControl & 0x08) ? transport::SpxII : transport::Spx;
    case 17:
      if (word == 0x7777) return transport::PBurst;
      if (word == 0x1111 && dest >= 0x4001 && source >= 0x4001) return transport::LipEcho;
      return transport::Ncp;
    case 20: return transport::WanBroadcast;
    case 25: case 26: return transport::NetWareLite;
    default: return transport::IpxUnknown;
  }
}

// The words of `p` summed as 32-bit halves of little-endian 64-bit words, in a 64-bit
// total that cannot overflow for any frame.
uint64_t SumHalves(const uint8_t* p, size_t n) {
  uint64_t s = 0;
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    s += (w & 0xFFFFFFFFu) + (w >> 32);
  }
  return s;
}

#if defined(__x86_64__)
// The same, 32 bytes a step.
__attribute__((target("avx2"))) uint64_t SumHalvesWide(const uint8_t* p, size_t n) {
  const __m256i low = _mm256_set1_epi64x(0xFFFFFFFF);
  __m256i a = _mm256_setzero_si256(), b = _mm256_setzero_si256();
  for (; n >= 32; p += 32, n -= 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    a = _mm256_add_epi64(a, _mm256_and_si256(v, low));
    b = _mm256_add_epi64(b, _mm256_srli_epi64(v, 32));
  }
  alignas(32) uint64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_add_epi64(a, b));
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + SumHalves(p, n);
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

// One's-complement sum of 16-bit big-endian words (an odd last byte padded with zero),
// added to `sum`. The sum is taken in the machine's order eight bytes at a time and turned
// round at the end: a one's-complement sum does not depend on the byte order it is taken in.
uint32_t SumWords(const uint8_t* p, size_t n, uint32_t sum = 0) {
  const size_t whole = n & ~size_t(7);
#if defined(__x86_64__)
  uint64_t s = whole >= 64 && HaveAvx2() ? SumHalvesWide(p, whole) : SumHalves(p, whole);
#else
  uint64_t s = SumHalves(p, whole);
#endif
  p += whole;
  n -= whole;
  for (; n >= 2; p += 2, n -= 2) s += uint32_t(p[0]) | (uint32_t(p[1]) << 8);
  if (n) s += p[0];
  while (s >> 16) s = (s & 0xFFFF) + (s >> 16);
  uint64_t total = uint16_t((s >> 8) | (s << 8));  // back to network order
  total += sum;
  while (total >> 16) total = (total & 0xFFFF) + (total >> 16);
  return uint32_t(total);
}
}  // namespace

size_t FrameAnalyser::Available(size_t offset) const {
  // An Ethernet frame's last 4 bytes are its check sequence, never part of a packet.
  const size_t end = tokenRing_ || frame_->FrameLength < 4 ? frame_->FrameLength : frame_->FrameLength - 4u;
  const size_t present = std::min<size_t>(frame_->StoredLength, end);
  return offset < present ? present - offset : 0;
}

bool FrameAnalyser::DecodeIp(PacketInfo& p, uint32_t ip) {
  const uint8_t* h = frame_->Data.data() + ip;
  p.SourceNet = AddressKey::From(h + 12, 4);
  p.DestNet = AddressKey::From(h + 16, 4);
  p.Kind = IpKind(h[9]);
  p.NetHeaderLength = uint8_t((h[0] & 0x0F) * 4);
  p.NetLength = Be16(h + 2);
  p.IpId = Be16(h + 4);
  p.FragmentOffset = uint16_t((Be16(h + 6) & 0x1FFF) * 8);
  p.Ttl = h[8];
  const uint32_t headerLength = std::max<uint32_t>(p.NetHeaderLength, 20);
  const uint32_t t = ip + headerLength;  // transport header
  const uint8_t* x = frame_->Data.data() + t;

  // Checksums only over a datagram stored whole that ends at least 4 bytes before the frame's end.
  const bool whole = frame_->FrameLength == frame_->StoredLength && p.NetHeaderLength >= 20 &&
                     p.NetLength >= p.NetHeaderLength && uint64_t(ip) + p.NetLength + 4 <= frame_->FrameLength;
  if (whole) {
    uint32_t sum = SumWords(h, p.NetHeaderLength) + 0xFFFF - Be16(h + 10);  // the field counted as 0
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    if (uint16_t(~sum) != Be16(h + 10)) p.Flags |= packet_flag::IpChecksumError;
  }

  if (p.Kind == transport::Icmp) {
    p.IcmpType = x[0];
    p.Window = uint16_t(x[0] | (x[1] << 8));  // ICMP packets keep type and code here
    switch (p.IcmpType) {
      case 8: p.Flags |= packet_flag::Request; p.Sequence = Be16(x + 6); break;
      case 0: p.Flags |= packet_flag::Reply; p.Sequence = Be16(x + 6); break;
      case 3: case 4: case 5: case 9: case 11: case 12: case 14: case 16: case 18: case 34: case 36:
        p.Flags |= packet_flag::Reply;
        break;
      default: p.Flags |= packet_flag::Request; break;
    }
    // An error report: the reported datagram's IP header follows the 8-byte ICMP header.
    if (p.IcmpType == 3 || p.IcmpType == 4 || p.IcmpType == 5 || p.IcmpType == 11) {
      const size_t inner = t + 8;
      if (Available(inner) >= 28) {
        const uint8_t* r = frame_->Data.data() + inner;
        if (r[9] == 6 || r[9] == 17) {
          reported_.protocol = r[9];
          std::memcpy(reported_.source.data(), r + 12, 4);
          std::memcpy(reported_.destination.data(), r + 16, 4);
          reported_.sourcePort = Be16(r + 20);
          reported_.destPort = Be16(r + 22);
          p.InnerIpId = Be16(r + 4);
        }
      }
    }
    return true;
  }
  if (p.Kind != transport::Tcp && p.Kind != transport::Udp) return true;

  if (p.FragmentOffset > 0) {  // later fragments: the ports of their first fragment
    for (const IpIdEntry& e : ipIdCache_)
      if (e.used && e.ipId == p.IpId) {
        p.SourcePort = e.sourcePort;
        p.DestPort = e.destPort;
      }
    return true;
  }

  p.SourcePort = Be16(x);
  p.DestPort = Be16(x + 2);
  if (p.Kind == transport::Udp) p.TransportHeaderLength = 8;
  const uint16_t sp = p.SourcePort, dp = p.DestPort;
  if (sp >= 1024 && dp >= 1024) {
    if (ports_.IsNamed(dp)) p.Flags |= packet_flag::Request;
    else if (ports_.IsNamed(sp)) p.Flags |= packet_flag::Reply;
    else if (dp < sp) p.Flags |= packet_flag::Request;
    else if (dp > sp) p.Flags |= packet_flag::Reply;
  } else if (sp > dp) {
    p.Flags |= packet_flag::Request;
  } else if (sp < dp) {
    p.Flags |= packet_flag::Reply;
  }
  IpIdEntry& current = ipIdCache_[ipIdPosition_];
  if (!current.used || current.ipId != p.IpId) {
    ipIdPosition_ = (ipIdPosition_ + 1) % ipIdCache_.size();
    ipIdCache_[ipIdPosition_] = {p.IpId, sp, dp, true};
  }

  if (whole) {
    const bool tcp = p.Kind == transport::Tcp;
    uint32_t length = tcp ? uint32_t(p.NetLength - p.NetHeaderLength) : Be16(x + 4);
    const uint16_t stored = Be16(x + (tcp ? 16 : 6));
    // A UDP length beyond the datagram cannot be summed; such a datagram is left unchecked.
    if (length <= uint32_t(p.NetLength - p.NetHeaderLength) && length >= (tcp ? 20u : 8u) && (tcp || stored != 0)) {
      uint32_t sum = SumWords(h + 12, 8);
      sum += h[9];
      sum += length;
      sum = SumWords(x, length, sum);
      sum += 0xFFFF - stored;
      while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
      uint16_t computed = uint16_t(~sum);
      if (!tcp && computed == 0) computed = 0xFFFF;
      if (computed != stored) p.Flags |= tcp ? packet_flag::TcpChecksumError : packet_flag::UdpChecksumError;
    }
  }

  const uint8_t* payload = x + (p.Kind == transport::Udp ? 8 : (x[12] >> 4) * 4);
  if (sp == 137 || dp == 137) {
    p.Flags |= (x[8 + 2] & 0x80) ? packet_flag::Reply : packet_flag::Request;
  }
  if (sp == 161 || dp == 161) {
    uint8_t pdu = x[21];
    if (pdu == 0xA0 || pdu == 0xA1) p.Flags |= packet_flag::Request;
    else if (pdu == 0xA2) p.Flags |= packet_flag::Reply;
  }
  if (sp == 53 || dp == 53) {
    // DNS over TCP carries a 2-byte length before the message.
    const uint8_t* message = p.Kind == transport::Tcp ? payload + 2 : payload;
    if ((message[2] & 0x80) == 0) {
      p.Flags |= packet_flag::Request;
    } else {
      p.Flags |= packet_flag::Reply;
      size_t at = size_t(message - frame_->Data.data());
      size_t end = std::min<size_t>(ip + p.NetLength, ip + Available(ip));
      if (at < end) LearnDnsAnswers(tables_.Names, message, end - at);
    }
  }

  if (p.Kind == transport::Tcp) {
    p.Sequence = Be32(x + 4);
    p.Acknowledge = Be32(x + 8);
    p.TransportHeaderLength = uint8_t((x[12] >> 4) * 4);
    p.TcpFlags = x[13];
    p.Window = Be16(x + 14);
    if (p.TcpFlags & kSyn) {
      if ((p.TcpFlags & kAck) == 0 && dp > 1023 && sp != 20)
        tables_.ServerPortMap[dp >> 6] |= uint64_t(1) << (dp & 63);
      // The first option, when the header has options: a segment without them may carry data.
      if (p.TransportHeaderLength >= 24 && x[20] == 2) p.Mss = Be16(x + 22);
    }
  }
  return true;
}

bool FrameAnalyser::DecodeIpx(PacketInfo& p, uint32_t ipx, const AddressKey& sender) {
  const uint8_t* h = frame_->Data.data() + ipx;
  const uint8_t* payload = h + 30;
  p.DestNet = AddressKey::From(h + 6, 10);
  p.SourceNet = AddressKey::From(h + 18, 10);
  const uint16_t dest = Be16(h + 16), source = Be16(h + 28), word = Be16(h + 30);
  p.Kind = IpxKind(h[5], dest, source, word, h[30]);
  p.NetHeaderLength = 30;
  p.NetLength = Be16(h + 2);
  p.Ttl = h[4] & 0x0F;
  p.DestPort = dest;
  p.SourcePort = source;
  if (h[5] == 17 && word == 0x9999) p.Flags |= packet_flag::ServerBusyReply;
  const size_t available = Available(ipx + 30);

  switch (p.Kind) {
    case transport::Smb:
      if (source == 0x0550) p.Flags |= packet_flag::Reply;
      else if (source == 0x0552) p.Flags |= packet_flag::Request;
      p.Sequence = Be16(payload + 30);
      break;
    case transport::Ncp: {
      const uint16_t w = Be16(payload);
      if (w == 0x2222) {
        p.Flags |= packet_flag::Request;
        p.NcpFunction = payload[6];
        if (p.NcpFunction == 72) p.Flags |= packet_flag::NcpRead;
        if (p.NcpFunction == 73) p.Flags |= packet_flag::NcpWrite;
      } else if (w == 0x1111 || w == 0x5555) {
        p.Flags |= packet_flag::Request;
      } else if (w == 0x3333 || w == 0x9999) {
        p.Flags |= packet_flag::Reply;
      }
      if (p.Flags & (packet_flag::Request | packet_flag::Reply)) p.Sequence = payload[2];
      break;
    }
    case transport::PBurst:
      p.Sequence = Be16(payload + 20);
      p.Acknowledge = Be16(payload + 22);
      p.Flags |= p.Sequence == p.Acknowledge ? packet_flag::Request : packet_flag::Reply;
      // A burst packet too short to hold the header's last byte has none: what lies there
      // is the check sequence, or no byte of the frame at all.
      p.BurstLastByte = Available(ipx + 30 + 35) > 0 ? payload[35] : 0;
      if (payload[35] == 0 && Le32(payload + 28) == 0) {
        if (payload[36] == 1) p.Flags |= packet_flag::NcpRead;
        else if (payload[36] == 2) p.Flags |= packet_flag::NcpWrite;
      }
      break;
    case transport::Spx: case transport::SpxII:
      p.TransportHeaderLength = 12;
      p.Flags |= (payload[0] & 0x80) ? packet_flag::Reply : packet_flag::Request;
      p.SourcePort = Be16(payload + 2);
      p.DestPort = Be16(payload + 4);
      p.Sequence = Be16(payload + 6);
      p.Acknowledge = Be16(payload + 8);
      break;
    case transport::NetBios:
      if (payload[1] != 2 && payload[1] != 4) p.Flags |= (payload[0] & 0x80) ? packet_flag::Reply : packet_flag::Request;
      p.SourcePort = Le16(payload + 2);
      p.DestPort = Le16(payload + 4);
      p.Sequence = Le16(payload + 6);
      p.Acknowledge = Le16(payload + 14);
      if (payload[1] == 2 || payload[1] == 3) LearnNetBiosIpx(tables_.Names, payload, available, p.SourceNet);
      break;
    case transport::Sap:
      if (dest != 0x0452) {
        p.Flags |= packet_flag::Request;
      } else {
        p.Flags |= packet_flag::Reply;
        LearnSapEntries(tables_.Names, payload, available, p.NetLength, sender);
      }
      break;
    default: break;
  }
  return true;
}

void FrameAnalyser::DecodeNetwork(FrameFacts& f) {
  if (f.Category == category::NetBiosLlc) {
    const size_t llc = f.NetOffset - 4;
    LearnNetBiosLlc(tables_.Names, frame_->Data.data() + llc, Available(llc), f.Source);
    return;
  }
  const bool ip = f.Category == category::Ip || f.Category == category::NetBiosIp;
  const bool ipx = f.Category == category::Ipx || f.Category == category::NetBiosIpx;
  if ((!ip && !ipx) || f.NetOffset == 0) return;
  PacketInfo& p = f.Packet;
  if (f.GroupAddressed) p.Flags |= packet_flag::GroupAddressed;
  const uint32_t start = f.NetOffset - 1u;
  if (ip) DecodeIp(p, start);
  else DecodeIpx(p, start, f.Source);
  f.HasPacket = true;
}

}  // namespace korvane
