#include "input/Detect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "input/Endian.h"
#include "input/ReadLoop.h"

namespace korvane {

std::string UpperCased(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

namespace {

using Sample = std::array<uint8_t, kHeaderSampleSize>;

bool BeginsWith(const Sample& h, std::string_view text) {
  return std::memcmp(h.data(), text.data(), text.size()) == 0;
}

bool Contains(const Sample& h, std::string_view text) {
  return std::search(h.begin(), h.end(), text.begin(), text.end()) != h.end();
}

bool NameHas(const std::string& upperName, std::string_view text) {
  return upperName.find(text) != std::string::npos;
}

// Rule 4: the tcpdump magics. Returns 17, 26, or 255 when the magic is not one of them.
TraceFormat DetectTcpdump(ByteSource& source, const Sample& h, TraceFileInfo& info) {
  uint32_t magic = Le32(h.data());
  bool swapped, extended;
  switch (magic) {
    case 0xA1B2C3D4: swapped = false; extended = false; break;
    case 0xD4C3B2A1: swapped = true; extended = false; break;
    case 0xA1B2CD34: swapped = false; extended = true; break;
    case 0x34CDB2A1: swapped = true; extended = true; break;
    default: return 255;
  }
  info.PcapSwapped = swapped;
  info.PcapExtended = extended;
  auto u16 = [&](const uint8_t* p) { return swapped ? Be16(p) : Le16(p); };
  auto u32 = [&](const uint8_t* p) { return swapped ? Be32(p) : Le32(p); };
  uint8_t header[24];
  if (source.ReadAt(0, header, 24) != 24 || u16(header + 4) < 2) return fmt_id::NotRecognised;
  if (magic == 0xA1B2C3D4) {
    uint8_t record[16];
    if (source.ReadAt(24, record, 16) == 16) {
      int64_t second = 24 + 16 + int64_t(u32(record + 8));
      if (source.ReadAt(second, record, 16) == 16) {
        uint32_t caplen = u32(record + 8), wirelen = u32(record + 12);
        if (caplen > u32(header + 16) || (caplen == 0 && wirelen == 0)) info.PcapExtended = true;
      }
    }
  }
  return fmt_id::Tcpdump;
}

}  // namespace

DetectResult DetectTraceFormat(const std::string& path, TraceFileInfo& info) {
  auto file = FileSource::Open(path);
  if (!file) {
    info.SampleTrace = info.SnifferCompressed = info.PcapSwapped = info.PcapExtended = false;
    return {fmt_id::NotRecognised, true, false};
  }
  return DetectTraceFormat(*file, path, info);
}

DetectResult DetectTraceFormat(ByteSource& source, std::string_view path, TraceFileInfo& info) {
  info.SampleTrace = info.SnifferCompressed = info.PcapSwapped = info.PcapExtended = false;
  DetectResult result;
  int64_t size = source.Size();
  if (size < kMinimumTraceSize) {
    result.tooSmall = true;
    return result;
  }
  Sample h{};
  size_t want = size_t(std::min<int64_t>(size, kHeaderSampleSize));
  if (source.ReadAt(0, h.data(), want) != want) {
    result.couldNotOpen = true;
    return result;
  }
  const std::string n = UpperCased(path);
  info.SampleTrace = NameHas(n, ".KVD");
  TraceFormat& f = result.format;

  if (info.SampleTrace) {
    f = fmt_id::SnifferDos;
  } else if (BeginsWith(h, "TRS") || BeginsWith(h, "KVX")) {
    f = fmt_id::SnifferDos;
    info.SnifferCompressed = (h[35] & 1) != 0;
  } else if (TraceFormat t = DetectTcpdump(source, h, info); t != 255) {
    f = t;
  } else if (Le16(h.data()) == 0x1001 || Le16(h.data()) == 0x1007) {
    f = fmt_id::LanAnalyzer;
  } else if (Contains(h, std::string_view("\x1A\x00", 2)) && (h[40] == 1 || h[40] == 3) &&
             NameHas(n, ".CAP")) {
    f = fmt_id::LanDesk;
  } else if (BeginsWith(h, "EXRS")) {
    f = fmt_id::Da30;
  } else if (BeginsWith(h, "PKTDMP")) {
    f = fmt_id::LanWatch;
  } else if (Contains(h, "HPDATA0")) {
    f = fmt_id::HpPreWin95;
  } else if (h[130] >= 1 && h[130] <= 3 &&
             ((h[131] & 7) == 0 || (h[131] & 7) == 1 || (h[131] & 7) == 4 || (h[131] & 7) == 5) &&
             NameHas(n, ".DGC")) {
    f = fmt_id::DataGlance;
  } else if (h[0] == 'D' && int32_t(Le32(h.data() + 22)) < 100000 &&
             (NameHas(n, ".S04") || NameHas(n, ".T04"))) {
    f = fmt_id::NetLens;
  } else if (Contains(h, "ProbeApps")) {
    f = fmt_id::FireBerd;
  } else if (BeginsWith(h, "RTSS")) {
    f = fmt_id::NetMon1;
  } else if (BeginsWith(h, "GMBU")) {
    f = fmt_id::NetMon2;
  } else if (NameHas(n, ".DAT") && size >= 131072 && h[0] == 3 && h[1] == 0x94) {
    f = fmt_id::Digitech;
  } else if (Contains(h, "Observer")) {
    f = fmt_id::Observer;
  } else if ((NameHas(n, ".PKT") || NameHas(n, ".TPC")) && (h[0] == 6 || h[0] == 7)) {
    f = fmt_id::EtherPeek;
  } else if (BeginsWith(h, "snoop")) {
    uint8_t record[24] = {};
    source.ReadAt(16, record, 24);
    int64_t difference = int64_t(Be32(record + 8)) - int64_t(Be32(record + 4));
    f = difference > 27 ? fmt_id::Shomiti : fmt_id::Snoop;
  } else if (BeginsWith(h, "WINC")) {
    f = Contains(h, "LinkView PRO") ? fmt_id::LinkView : fmt_id::Domino;
  } else if (BeginsWith(h, "XCP")) {
    f = fmt_id::NetXRay;
  }
  return result;
}

namespace {

constexpr int64_t kHeaderStepMinimum = 50;
constexpr size_t kHeaderStepRead = 140;

struct Topo {
  uint8_t topology = topology::Undetermined;
  int64_t bps = 0;
};

Topo SnifferDosHeader(ByteSource& source, const uint8_t* h, TraceFileInfo& info) {
  Topo t;
  switch (h[32]) {
    case 0: t.topology = topology::TokenRing; break;
    case 1: case 3: t.topology = topology::Ethernet; break;
    case 2: t.topology = topology::SnifferNet2; break;
    case 7: t.topology = topology::Wan; break;
    case 9: t.topology = topology::Fddi; break;
    default: break;
  }
  int64_t position = 41;
  const int64_t size = source.Size();
  while (position + 6 <= size) {
    uint8_t header[6];
    if (source.ReadAt(position, header, 6) != 6) break;
    uint16_t type = Le16(header);
    uint16_t length = Le16(header + 2);  // only the low 16 bits of the length count
    position += 6;
    if (type == 7) {
      uint8_t body[8] = {};
      source.ReadAt(position, body, 8);
      uint32_t speed = Le32(body), framing = Le32(body + 4);
      if (t.topology == topology::TokenRing)
        t.bps = speed != 0 ? 16000000 : 4000000;
      else
        t.bps = speed == 100000000 ? 100000000 : 10000000;
      if (framing == 0) info.WanEncapsulation = 1;
      else if (framing == 1) info.WanEncapsulation = 0;
      else if (framing == 2) info.WanEncapsulation = 7;
      position += length;
    } else if (type == 6 || (type >= 8 && type <= 11) || (type >= 13 && type <= 17)) {
      position += length;
    } else {
      break;  // type 3 and every other type end the scan
    }
  }
  return t;
}

Topo NetXRayHeader(ByteSource& source, TraceFileInfo& info) {
  Topo t;
  uint8_t h[156] = {};
  if (source.ReadAt(0, h, sizeof h) < 128) return t;
  switch (Le32(h + 44)) {
    case 0: t.topology = topology::Ethernet; break;
    case 1: t.topology = topology::TokenRing; break;
    case 2: t.topology = topology::Fddi; break;
    case 3:
      t.topology = topology::Wan;
      info.WanEncapsulation = uint8_t(Le16(h + 84));
      break;
    default: break;
  }
  uint32_t speed = Le32(h + 60);
  if (speed > 1000000000u) t.bps = 10000000;
  else if (speed < 10000) t.bps = int64_t(speed) * 1000000;
  else t.bps = speed;
  return t;
}

Topo NetMonHeader(ByteSource& source, TraceFileInfo& info) {
  Topo t;
  uint8_t h[128] = {};
  if (source.ReadAt(0, h, 128) != 128) return t;
  uint32_t offset = Le32(h + 40), length = Le32(h + 44);
  if (length > 0 && offset < uint64_t(source.Size())) {
    std::string comment(std::min<uint32_t>(length, kCommentMax - 1), '\0');
    size_t got = source.ReadAt(offset, reinterpret_cast<uint8_t*>(comment.data()), comment.size());
    comment.resize(got);
    SetComment(info, comment);
  }
  switch (h[6]) {
    case 1: t.topology = topology::Ethernet; break;
    case 2: t.topology = topology::TokenRing; break;
    case 3: t.topology = topology::Fddi; break;
    default: break;
  }
  return t;
}

Topo LanAnalyzerHeader(ByteSource& source) {
  Topo t;
  int64_t position = 0;
  uint8_t header[4];
  for (int i = 0; i < 6; ++i) {
    if (source.ReadAt(position, header, 4) != 4) return t;
    position += 4 + Le16(header + 2);
  }
  if (source.ReadAt(position, header, 4) != 4) return t;
  uint8_t board[2];
  if (Le16(header + 2) < 190 || source.ReadAt(position + 4 + 188, board, 2) != 2) return t;
  uint16_t type = Le16(board);
  if (type == 226) t.topology = topology::Ethernet;
  else if (type == 227 || type == 228) t.topology = topology::TokenRing;
  return t;
}

Topo FireBerdHeader(ByteSource& source) {
  Topo t;
  uint8_t record[10];
  if (source.ReadAt(76, record, 10) != 10) return t;
  uint8_t first[3] = {};
  size_t length = std::min<size_t>(Le16(record), 3);
  source.ReadAt(86, first, length);
  if ((first[0] & 0x10) == 0 || first[0] == 0xFF ||
      (first[0] == 0x10 && first[1] == 0x00 && (first[2] == 0x5A || first[2] == 0x5D || first[2] == 0xE0)))
    t.topology = topology::Ethernet;
  else
    t.topology = topology::TokenRing;
  return t;
}

Topo Da30Header(ByteSource& source) {
  Topo t;
  uint8_t h[78];
  if (source.ReadAt(0, h, 78) != 78) return t;
  uint8_t block[16];
  if (source.ReadAt(Le32(h + 22), block, 16) != 16) return t;
  uint16_t kind = Le16(block + 4);
  if (kind == 30) t.topology = topology::TokenRing;
  else if (kind == 40) t.topology = topology::Ethernet;
  return t;
}

Topo DominoHeader(ByteSource& source, TraceFormat format, TraceFileInfo& info) {
  Topo t;
  uint8_t h[78];
  if (source.ReadAt(0, h, 78) != 78) return t;
  if (format == fmt_id::Domino)
    SetComment(info, std::string_view(reinterpret_cast<const char*>(h + 4), 40));
  else
    SetComment(info, std::string_view(reinterpret_cast<const char*>(h + 5), 39));
  uint16_t product = Le16(h + 62), interface = Le16(h + 64);
  switch (product) {
    case 739:
      if (interface == 4) t = {topology::Ethernet, 10000000};
      else if (interface == 6) t.topology = topology::TokenRing;
      break;
    case 358: t = {topology::Ethernet, 10000000}; break;
    case 363: t.topology = topology::TokenRing; break;
    case 880: case 984: t = {topology::Ethernet, 100000000}; break;
    case 313: t.topology = 3; break;
    case 359: t.topology = 9; break;
    case 360: t.topology = 10; break;
    case 361: t.topology = 11; break;
    case 747: t.topology = 13; break;
    case 855: t.topology = 14; break;
    case 378: case 938: t.topology = 15; break;
    case 940: t.topology = 16; break;
    case 335: case 939: t.topology = 17; break;
    case 941: t.topology = 18; break;
    default: break;
  }
  if (t.topology == 6 || (t.topology >= 8 && t.topology <= 11)) {
    switch (interface) {
      case 240: info.WanEncapsulation = 0; break;
      case 0: case 14: info.WanEncapsulation = 1; break;
      case 15: info.WanEncapsulation = 2; break;
      case 333: info.WanEncapsulation = 3; break;
      case 305: info.WanEncapsulation = 4; break;
      case 11: info.WanEncapsulation = 5; break;
      case 12: info.WanEncapsulation = 6; break;
      case 278: info.WanEncapsulation = 7; break;
      default: break;
    }
  }
  return t;
}

Topo TcpdumpHeader(ByteSource& source, const TraceFileInfo& info) {
  Topo t;
  uint8_t h[24];
  if (source.ReadAt(0, h, 24) != 24) return t;
  uint32_t link = info.PcapSwapped ? Be32(h + 20) : Le32(h + 20);
  if (link == 1) t.topology = topology::Ethernet;
  else if (link == 6) t.topology = topology::TokenRing;
  return t;
}

}  // namespace

HeaderResult ReadTraceHeader(TraceFormat format, const std::string& path, TraceFileInfo& info) {
  info.Comment.clear();
  info.WanEncapsulation = 8;
  int error = 0;
  auto file = FileSource::Open(path, &error);
  if (!file) {
    HeaderResult r;
    r.unreadable = error != EACCES;  // a refused access leaves the flag clear
    info.FileBandwidthKnown = 0;
    info.FileBandwidthBps = 0;
    return r;
  }
  return ReadTraceHeader(format, *file, path, info);
}

HeaderResult ReadTraceHeader(TraceFormat format, ByteSource& source, std::string_view path,
                             TraceFileInfo& info) {
  info.Comment.clear();
  info.WanEncapsulation = 8;
  HeaderResult r;
  Topo t;
  uint8_t h[kHeaderStepRead] = {};
  const std::string n = UpperCased(path);
  if (source.Size() < kHeaderStepMinimum) {
    // too short to say anything
  } else if (source.ReadAt(0, h, kHeaderStepRead); source.Failed()) {
    // Only a failed read makes the file unreadable: a file shorter than the window
    // leaves the rest of it zero.
    r.unreadable = true;
  } else {
    switch (format) {
      case fmt_id::EtherPeek:
        t.topology = n.find(".PKT") != std::string::npos ? topology::Ethernet : topology::TokenRing;
        break;
      case fmt_id::HpPreWin95:
        switch (Le32(h + 24)) {
          case 1: case 2: case 5: case 8: t = {topology::Ethernet, 10000000}; break;
          case 3: t = {topology::TokenRing, 4000000}; break;
          case 4: t = {topology::TokenRing, 16000000}; break;
          case 7: t = {topology::Ethernet, 100000000}; break;
          default: break;
        }
        break;
      case fmt_id::DataGlance:
        if (h[130] == 1) t.topology = topology::Fddi;
        else if (h[130] == 2) t.topology = topology::TokenRing;
        else if (h[130] == 3) t.topology = topology::Ethernet;
        break;
      case fmt_id::LanDesk:
        if (Le16(h + 40) == 1) t.topology = topology::Ethernet;
        else if (Le16(h + 40) == 3) t.topology = topology::TokenRing;
        break;
      case fmt_id::NetMon1: case fmt_id::NetMon2: t = NetMonHeader(source, info); break;
      case fmt_id::NetXRay: t = NetXRayHeader(source, info); break;
      case fmt_id::SnifferDos: t = SnifferDosHeader(source, h, info); break;
      case fmt_id::Observer:
        switch (Le32(h + 133)) {
          case 0: t.topology = topology::Ethernet; break;
          case 1: t.topology = topology::TokenRing; break;
          case 2: t.topology = topology::Fddi; break;
          default: break;
        }
        break;
      case fmt_id::LanAnalyzer: t = LanAnalyzerHeader(source); break;
      case fmt_id::LanWatch:
        if ((h[13]) <= 1) t.topology = topology::Ethernet;
        else if (h[13] == 3) t.topology = topology::TokenRing;
        break;
      case fmt_id::Snoop: case fmt_id::Shomiti:
        switch (h[15]) {
          case 0: case 4: t = {topology::Ethernet, 10000000}; break;
          case 2: t.topology = topology::TokenRing; break;
          case 8: t.topology = topology::Fddi; break;
          case 10: t = {topology::Ethernet, 100000000}; break;
          default: break;
        }
        break;
      case fmt_id::Tcpdump: t = TcpdumpHeader(source, info); break;
      case fmt_id::FireBerd: t = FireBerdHeader(source); break;
      case fmt_id::NetLens:
        if (n.find(".S04") != std::string::npos) t.topology = topology::Ethernet;
        else if (n.find(".T04") != std::string::npos) t.topology = topology::TokenRing;
        break;
      case fmt_id::Da30: t = Da30Header(source); break;
      case fmt_id::Domino: case fmt_id::LinkView:
        t = DominoHeader(source, format, info);
        if (t.topology != topology::Undetermined) ProbeFirstFrame(format, t.topology, source, path, info);
        break;
      case fmt_id::Digitech:
        t.topology = ProbeFirstFrame(format, topology::Undetermined, source, path, info);
        break;
      default: break;
    }
  }
  r.topology = t.topology;
  r.bandwidthBps = t.bps;
  info.FileBandwidthKnown = t.bps;
  if (t.bps == 0) {
    if (t.topology == topology::Ethernet) t.bps = 10000000;
    else if (t.topology == topology::TokenRing) t.bps = 16000000;
    else if (t.topology == topology::Fddi) t.bps = 100000000;
  }
  info.FileBandwidthBps = t.bps;
  r.bandwidthBps = t.bps;
  return r;
}

}  // namespace korvane
