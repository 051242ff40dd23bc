// tcpdump files are recognised and named, so that opening one says plainly that it is
// not analysed; their records are not read.
#include "input/Endian.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

// The magic at offset 0, as a little-endian value: the byte order of the file and
// whether its records carry the longer, modified record header.
constexpr uint32_t kPcapMagic = 0xA1B2C3D4;                // native order
constexpr uint32_t kPcapMagicSwapped = 0xD4C3B2A1;         // swapped order
constexpr uint32_t kPcapModifiedMagic = 0xA1B2CD34;        // modified kind, native order
constexpr uint32_t kPcapModifiedMagicSwapped = 0x34CDB2A1; // modified kind, swapped order
constexpr uint16_t kPcapMinimumMajorVersion = 2;
constexpr size_t kPcapHeaderSize = 24;
constexpr size_t kPcapRecordHeaderSize = 16;

ProbeVerdict ProbeTcpdump(const ProbeInput& in, TraceFileInfo& info) {
  const uint32_t magic = Le32(in.h.data());
  bool swapped, extended;
  switch (magic) {
    case kPcapMagic: swapped = false; extended = false; break;
    case kPcapMagicSwapped: swapped = true; extended = false; break;
    case kPcapModifiedMagic: swapped = false; extended = true; break;
    case kPcapModifiedMagicSwapped: swapped = true; extended = true; break;
    default: return ProbeVerdict::Miss;
  }
  info.PcapSwapped = swapped;
  info.PcapExtended = extended;
  auto u16 = [&](const uint8_t* p) { return swapped ? Be16(p) : Le16(p); };
  auto u32 = [&](const uint8_t* p) { return swapped ? Be32(p) : Le32(p); };
  ByteSource& source = in.source;
  uint8_t header[kPcapHeaderSize];
  if (source.ReadAt(0, header, kPcapHeaderSize) != kPcapHeaderSize || u16(header + 4) < kPcapMinimumMajorVersion)
    return ProbeVerdict::NotRecognised;
  if (magic == kPcapMagic) {
    // Files of the modified kind that kept the plain magic show in their second record:
    // a captured length beyond the snapshot length, or two zero lengths.
    uint8_t record[kPcapRecordHeaderSize];
    if (source.ReadAt(kPcapHeaderSize, record, kPcapRecordHeaderSize) == kPcapRecordHeaderSize) {
      int64_t second = int64_t(kPcapHeaderSize + kPcapRecordHeaderSize) + int64_t(u32(record + 8));
      if (source.ReadAt(second, record, kPcapRecordHeaderSize) == kPcapRecordHeaderSize) {
        uint32_t caplen = u32(record + 8), wirelen = u32(record + 12);
        if (caplen > u32(header + 16) || (caplen == 0 && wirelen == 0)) info.PcapExtended = true;
      }
    }
  }
  return ProbeVerdict::Match;
}

// The 32-bit link type at offset 20.
HeaderTopology TcpdumpHeader(const HeaderInput& in, TraceFileInfo& info) {
  HeaderTopology t;
  uint8_t h[kPcapHeaderSize];
  if (in.source.ReadAt(0, h, kPcapHeaderSize) != kPcapHeaderSize) return t;
  uint32_t link = info.PcapSwapped ? Be32(h + 20) : Le32(h + 20);
  if (link == 1) t.topology = topology::Ethernet;
  else if (link == 6) t.topology = topology::TokenRing;
  return t;
}

}  // namespace

constinit const FormatEntry kTcpdumpEntry{fmt_id::Tcpdump, "tcpdump", {".dmp"}, ProbeTcpdump, TcpdumpHeader};

}  // namespace korvane
