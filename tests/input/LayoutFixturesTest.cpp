// Readers checked against files laid out byte by byte from each format's record layout, so that
// a field read wrongly cannot hide behind a writer that writes it the same wrong way. Every
// fixture holds a small header and a few records whose fields all differ from one another.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

// Appends fields in the order of a layout; offsets are checked with To().
class Layout {
 public:
  Layout& U8(uint32_t v) { b_.push_back(uint8_t(v)); return *this; }
  Layout& Le16(uint32_t v) { return U8(v).U8(v >> 8); }
  Layout& Le32(uint32_t v) { return Le16(v).Le16(v >> 16); }
  Layout& Be16(uint32_t v) { return U8(v >> 8).U8(v); }
  Layout& Be32(uint32_t v) { return Be16(v >> 16).Be16(v); }
  Layout& Be64(uint64_t v) { return Be32(uint32_t(v >> 32)).Be32(uint32_t(v)); }
  Layout& Text(const std::string& s) { b_.insert(b_.end(), s.begin(), s.end()); return *this; }
  Layout& Raw(const Bytes& v) { b_.insert(b_.end(), v.begin(), v.end()); return *this; }
  Layout& Fill(size_t n, uint8_t v = 0) { b_.insert(b_.end(), n, v); return *this; }
  // Zeros up to an absolute offset, which must not lie behind what is already laid out.
  Layout& To(size_t offset) {
    EXPECT_LE(b_.size(), offset);
    return Fill(offset - std::min(offset, b_.size()));
  }
  size_t Size() const { return b_.size(); }
  void PatchLe32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b_[at + size_t(i)] = uint8_t(v >> (8 * i));
  }
  Bytes Done() { return std::move(b_); }

 private:
  Bytes b_;
};

// Frame bytes told apart by their seed; an individual destination address comes first.
Bytes Payload(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t k = 0; k < n; ++k) b[k] = uint8_t(seed + k * 7);
  if (n) b[0] = 0x02;
  return b;
}

// IEEE 802.3 check sequence, worked out bit by bit here rather than taken from the reader.
uint32_t Crc32(const Bytes& b) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : b) {
    crc ^= byte;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The frame with the check sequence the reader writes after it: least significant byte first,
// zero for a frame marked bad or one shorter than 60 bytes.
Bytes WithFcs(Bytes frame, bool bad) {
  const uint32_t fcs = bad || frame.size() < 60 ? 0 : Crc32(frame);
  for (int i = 0; i < 4; ++i) frame.push_back(uint8_t(fcs >> (8 * i)));
  return frame;
}

struct Want {
  double timeStamp;
  uint16_t frameLength, storedLength, status;
  Bytes data;  // the leading bytes of Data the file decides
};

struct Built {
  Bytes file;
  std::vector<Want> frames;
};

constexpr uint16_t kCrc = kCrcError, kAlign = kAlignmentError;
constexpr double kPcTick = 0.83809534452;
constexpr uint32_t kUnixStart = 1700000000;  // 22:13:20 UTC, second 80000 of its day
constexpr double kUnixStartOfDay = 80000e6;

// DA-30: 78-byte header, the interface block, then records of two 32-bit values (the second
// the record length in words, header included) and a body.
Built Da30(bool ring) {
  const size_t first = 78 + 16 + (ring ? 112 : 152);
  Layout f;
  f.Text("EXRS").To(22).Le32(78)  // 22: interface block offset
      .To(30).Le32(uint32_t(first))  // 30: first record offset
      .To(78);
  f.Fill(4).Le16(ring ? 30 : 40).To(first);  // interface block: kind 40 Ethernet, 30 Token Ring
  std::vector<Want> want;
  auto record = [&](uint32_t flags, uint32_t time, Bytes frame, uint16_t status, double at) {
    const uint32_t words = uint32_t(8 + 28 + frame.size() + 3) / 4;
    f.Le32(0xAAAAAAAA).Le32(words);           // first value (not used), length in words
    f.Fill(8, 0x11).Le32(flags)                // body 8: flags
        .Fill(4, 0x22).Le32(time)              // body 16: time in 32 us units
        .Fill(4, 0x33).Le32(uint32_t(frame.size()))  // body 24: frame length
        .Raw(frame)                            // body 28: frame bytes
        .Fill(words * 4 - 36 - frame.size(), 0x44);
    want.push_back({at, uint16_t(frame.size()), uint16_t(frame.size()), ring ? uint16_t(0) : status, frame});
  };
  record(0x08, 1000, Payload(64, 1), kCrc, 32000);                      // bit 3 alone: bad
  record(0x18, 0xFFFFFFFE, Payload(61, 2), 0, 4294967293.0 * 32);      // negative time; bits 3+4
  record(0x10, 3000, Payload(100, 3), 0, 96000);                        // bit 4 alone
  f.Le32(0).Le32(0);                                                    // word count 0: the end
  f.Raw(Payload(40, 9));                                                // never read
  return {f.Done(), want};
}

// DataGLANce: 512-byte header, then frames in 128-byte blocks, 88 frame bytes from offset 40.
Built DataGlance(bool ring) {
  Layout f;
  f.To(130).U8(ring ? 2 : 3).U8(0)  // 130: medium 3 Ethernet, 2 Token Ring; 131: low bits 0
      .To(144).Le32(kUnixStart)  // 144: capture start, Unix seconds
      .To(512);
  std::vector<Want> want;
  auto frame = [&](uint8_t flags, uint8_t status, uint16_t stored, uint16_t length, uint16_t a,
                   uint16_t b, uint16_t c, uint16_t seen, double at) {
    const Bytes bytes = Payload(stored, uint8_t(want.size() * 40 + 5));
    Bytes first(bytes.begin(), bytes.begin() + std::min<long>(88, stored));
    first.resize(88, 0xEE);
    f.U8(flags).U8(status).Le16(stored).Le16(length).Le16(a).Le16(b).Le16(c)  // 0..11
        .Fill(28, 0x77)                                                         // 12..39
        .Raw(first);                                                            // 40: bytes 0..87
    for (size_t k = 1; k <= size_t(stored + 1) / 88; ++k) {  // continuation blocks
      Bytes more(88, 0xEE);
      for (size_t i = 0; i < 88 && k * 88 + i < stored; ++i) more[i] = bytes[k * 88 + i];
      f.Fill(40, 0x66).Raw(more);
    }
    want.push_back({at, length, stored, seen, bytes});
  };
  if (ring) {
    // Token Ring without the PC timer: seconds (C * 65536 + B) of the day, A in 10 ms; the
    // status byte is Ethernet's only.
    frame(0x01, 0x02, 60, 64, 12, 20000, 1, 0, 85536e6 + 120000);
    frame(0x21, 0x04, 100, 100, 0, 2, 1, 0, kUnixStartOfDay + 54927);  // PC timer: as on Ethernet
    frame(0x01, 0x00, 90, 90, 99, 0, 2, 0, 44672e6 + 990000);          // 131072 s: the next day
    return {f.Done(), want};
  }
  // T = (A * 65536 + C) * 65536 + B
  frame(0x01, 0x02, 60, 64, 0, 100, 0, kCrc, kUnixStartOfDay + 100 * 32000.0);  // 32 ms ticks
  f.Fill(128);                                                                    // an empty block
  frame(0x21, 0x04, 175, 300, 0, 2, 1, kAlign,                                   // PC timer, rounded
        kUnixStartOfDay + 54927);                                                 // 65538 ticks
  frame(0x01, 0x06, 87, 87, 0, 13025, 41, kCrc | kAlign,                          // 2700001 ticks:
        kUnixStartOfDay + 2700001 * kPcTick);                                     // the PC unit
  frame(0x01, 0x00, 64, 64, 0, 50, 0, 0, kUnixStartOfDay + 50 * 32000.0);
  return {f.Done(), want};
}

// Domino and LinkView PRO: 78-byte header, chunk headers up to "FRAM", and a frame index of
// 20-byte entries pointing at the frame bytes.
Built Winc(bool linkView) {
  Layout f;
  f.Text("WINC");
  if (linkView)
    f.U8('#').Text("LinkView PRO capture");  // comment from offset 5
  else
    f.Text("Domino capture");                // comment from offset 4
  f.To(54).Le32(0)                       // 54: capture start absent
      .U8(10).U8(20).U8(30)              // 58..60: 10:20:30
      .To(62).Le16(linkView ? 739 : 358)  // 62: product
      .Le16(4)                            // 64: interface 4
      .To(78);
  f.Text("NOTE").Le32(0);  // a chunk before the frame index pointer
  f.Text("FRAM").Le32(94);  // value: where the index pointer lies
  f.Le32(0);                // 94: the index pointer, filled in below
  const double start = (10 * 3600 + 20 * 60 + 30) * 1e6;
  struct Entry {
    uint32_t offset;
    uint16_t stored, length;
    uint32_t time, flags;
  };
  std::vector<Entry> entries;
  std::vector<Want> want;
  auto frame = [&](uint16_t stored, uint16_t length, uint32_t time, uint32_t flags, Want w) {
    Bytes bytes = Payload(stored, uint8_t(entries.size() * 50 + 3));
    entries.push_back({uint32_t(f.Size()), stored, length, time, flags});
    f.Raw(bytes).Fill(3, 0x99);
    w.timeStamp = start + time * 32.0;
    if (w.data.empty()) w.data = bytes;
    want.push_back(w);
  };
  if (!linkView) {
    frame(64, 0, 100, 0x08 | 0x40 | 0x80, {0, 64, 64, 0x0003, {}});  // length 0: the stored one
    frame(60, 200, 250, 0x00, {0, 200, 60, kCrc, {}});                // bits 3 and 4 clear: bad
    frame(70, 70, 400, 0x18 | 0x10000000, {0, 70, 70, 0x0002, {}});   // bit 28: direction B
  } else {
    // Product 739 stores no check sequence: 4 more on the wire, written after a frame stored
    // whole and counted as stored.
    const Bytes one = Payload(60, 3);
    frame(60, 0, 7, 0x08, {0, 64, 64, 0, WithFcs(one, false)});
    const Bytes two = Payload(66, 50 + 3);
    frame(66, 62, 9, 0x10, {0, 66, 66, 0, WithFcs(Bytes(two.begin(), two.begin() + 62), false)});
  }
  f.PatchLe32(94, uint32_t(f.Size()));
  f.Le32(uint32_t(entries.size()));
  for (const Entry& e : entries)
    f.Le32(e.offset).Le16(e.stored).Le16(e.length).Fill(4, 0x5A).Le32(e.time).Le32(e.flags);
  return {f.Done(), want};
}

// EtherPeek (version 7): 50-byte header, 16-byte packet headers with microseconds since 1904;
// version 6: 26-byte packet headers with a 32-bit time.
Built EtherPeek(int version) {
  Layout f;
  f.U8(uint32_t(version)).U8(0).Be32(50).Be32(3)  // 6: number of packets
      .Be32(version == 7 ? 0x12345678 : 0)            // 10: capture date (version 7: not used)
      .To(50);
  std::vector<Want> want;
  auto packet = [&](uint16_t length, uint16_t slice, uint8_t flags, uint64_t time, Want w) {
    const uint16_t stored = slice ? slice : length;
    const Bytes bytes = Payload(stored, uint8_t(want.size() * 30 + 7));
    if (version == 7)
      f.Be16(0xBEEF).Be16(length).Be16(slice).U8(flags).U8(0x55).Be64(time);
    else
      f.Be16(length).Be16(slice).U8(flags).U8(0x55).Be32(uint32_t(time)).Fill(16, 0x33);
    f.Raw(bytes).Fill(stored % 2, 0xCC);  // padded to an even count
    w.data = bytes;
    want.push_back(w);
  };
  if (version == 7) {
    const uint64_t first = (40000ull * 86400 + 36000) * 1000000 + 123456;  // 10:00:00.123456
    packet(64, 0, 0x02, first, {36000e6 + 123456, 64, 64, kCrc, {}});
    packet(1000, 61, 0x04, first + 2500, {36000e6 + 125956, 1000, 61, kAlign, {}});
    packet(70, 70, 0x06, first + 1000000, {36001e6 + 123456, 70, 70, kCrc | kAlign, {}});
  } else {
    // Version 6 stamps count milliseconds: the first gives the start seconds (stamp / 1000),
    // the later ones their difference from the one before.
    const uint32_t first = 3000000000u;  // 3000000 s: 34 days and 62400 s
    packet(64, 0, 0x02, first, {62400e6, 64, 64, kCrc, {}});
    packet(1000, 61, 0x04, first + 777, {62400e6 + 777e3, 1000, 61, kAlign, {}});
    packet(70, 70, 0x00, first + 5000, {62400e6 + 5000e3, 70, 70, 0, {}});
  }
  f.Fill(16, 0).Raw(Payload(64, 99));  // past the number of packets: never read
  return {f.Done(), want};
}

// HP: 128-byte header, then tagged records sized in words from the record's first byte.
Built Hp() {
  Layout f;
  f.Text("HPDATA0").To(12).Le32(kUnixStart)  // 12: capture start
      .To(24).Le32(1)                          // 24: interface 1, Ethernet
      .To(128);
  f.Text("GRP0").Le32(7).Fill(20, 0x47);  // skipped
  std::vector<Want> want;
  auto frame = [&](const char* tag, uint16_t stored, uint16_t length, uint8_t status,
                   uint32_t second, uint32_t nanos, Want w) {
    const Bytes bytes = Payload(stored, uint8_t(want.size() * 20 + 9));
    const size_t padded = (stored + 7u) & ~3u;
    f.Text(tag).Le32(uint32_t(8 + 24 + padded) / 4);
    f.Fill(8, 0x12).Le16(length).U8(0x34).U8(status)  // 8: length, 11: status
        .Le32(stored).Le32(kUnixStart + second).Le32(nanos)
        .Raw(bytes).Fill(padded - stored, 0xDD);
    w.timeStamp = kUnixStartOfDay + second * 1e6 + double(nanos / 1000);
    w.data = bytes;
    want.push_back(w);
  };
  frame("FR30", 60, 64, 8, 5, 1500999, {0, 64, 60, kCrc, {}});
  f.Text("NOTE").Le32(4).Text("FR30").Le32(9);  // an unknown tag, skipped by its size
  frame("FR50", 61, 1500, 7, 6, 999, {0, 1500, 61, 0, {}});
  frame("FR30", 64, 64, 0xFF, 7, 250000, {0, 64, 64, kCrc, {}});
  return {f.Done(), want};
}

// LANWatch (version 4): 16-byte header and 4 more bytes, then 12-byte record headers.
Built LanWatch(bool ring) {
  Layout f;
  f.Text("PKTDMP").U8(4).To(12).Le16(ring ? 0x0300 : 0x0000)  // 12: high byte 0 Ethernet, 3 Token Ring
      .To(16).Fill(4, 0x99);                  // the version 4 extra bytes
  std::vector<Want> want;
  auto record = [&](uint16_t length, uint16_t stored, uint16_t middle, uint16_t high, uint16_t low,
                    uint8_t errors, uint8_t noFrame, uint16_t status) {
    const Bytes bytes = Payload(stored, uint8_t(want.size() * 60 + 11));
    f.Le16(length).Le16(stored).Le16(middle).Le16(high).Le16(low).U8(errors).U8(noFrame);
    if (noFrame & 0x80) return;
    f.Raw(bytes);
    const double at = (high * 65536.0 + middle) * 54925.41649846272 + low * kPcTick;
    const bool whole = length == stored;
    if (ring) return want.push_back({at, length, stored, 0, bytes});  // no status, no check sequence
    want.push_back({at, uint16_t(length + 4), uint16_t(whole ? stored + 4 : stored), status,
                    whole ? WithFcs(bytes, status & kCrc) : bytes});
  };
  record(60, 60, 1, 0, 100, 0x02, 0x00, kCrc);   // bad: a zero check sequence
  record(5, 0, 0, 0, 1, 0x00, 0x80, 0);          // carries no frame
  record(100, 80, 2, 0, 0, 0x80, 0x00, kAlign);  // sliced: stores only what the file holds
  record(60, 60, 0, 1, 0, 0x00, 0x00, 0);        // an hour of timer ticks
  return {f.Done(), want};
}

// Observer (version 5): 113-byte header with the version after "=", then 44-byte record
// headers chained by their next-record offsets.
Built Observer(int version, uint32_t medium) {
  Layout f;
  f.Text("Observer Buffer Version=" + std::to_string(version)).To(113);
  std::vector<Want> want;
  size_t nextField = 0;
  auto record = [&](uint32_t wire, uint32_t captured, uint32_t flags, uint32_t millis, Want w) {
    if (nextField) f.PatchLe32(nextField, uint32_t(f.Size()));
    const Bytes bytes = Payload(captured, uint8_t(want.size() * 70 + 13));
    nextField = f.Size() + 12;
    f.Fill(12, 0x21).Le32(0)  // 12: next record, 0 for none
        .Fill(4, 0x22).Le32(medium)  // 20: the medium, read from the first record's place
        .Fill(4, 0x23).Le32(wire).Le32(flags).Le32(millis).Le32(captured)  // 28..43
        .Raw(bytes);
    w.timeStamp = millis * 1000.0;
    if (w.data.empty()) w.data = bytes;
    want.push_back(w);
  };
  if (version == 3) {  // Token Ring below version 4: the captured length, no check sequence
    record(100, 60, 0x02, 1500, {0, 60, 60, kCrc, {}});
    record(0, 80, 0x01, 1750, {0, 80, 80, kAlign, {}});
    return {f.Done(), want};
  }
  if (version == 6) {  // the lengths hold the check sequence, which is written afresh
    record(100, 60, 0x02, 1500, {0, 100, 60, kCrc, {}});
    const Bytes two = Payload(70, 70 + 13);
    record(70, 70, 0x00, 1750, {0, 70, 70, 0, WithFcs(Bytes(two.begin(), two.end() - 4), false)});
    const Bytes three = Payload(50, 140 + 13);
    record(50, 50, 0x02, 2000, {0, 50, 50, kCrc, WithFcs(Bytes(three.begin(), three.end() - 4), true)});
    return {f.Done(), want};
  }
  record(100, 60, 0x02, 1500, {0, 104, 60, kCrc, {}});  // wire length + 4 below version 6
  f.Fill(8, 0xF0);                                       // a gap the next offset steps over
  const Bytes two = Payload(56, 70 + 13);
  record(56, 56, 0x03, 1750, {0, 60, 60, kCrc | kAlign, WithFcs(two, true)});  // bad: stays 60
  const Bytes three = Payload(70, 140 + 13);
  record(70, 70, 0x01, 2000, {0, 74, 74, kAlign, WithFcs(three, false)});
  const size_t last = nextField;
  record(80, 80, 0, 2500, {0, 0, 0, 0, {}});  // laid out after a next offset of 0: never read
  f.PatchLe32(last, 0);
  want.pop_back();
  return {f.Done(), want};
}

// TTC: FireBerd 500 (76-byte header, count at 72) or NetLens/Spider (26-byte header, count at
// 22), then 10-byte record headers.
Built Ttc(bool fireBerd, bool ring = false) {
  Layout f;
  if (fireBerd)
    f.Text("ProbeApps").To(72).Le32(3);
  else
    f.Text("D").To(22).Le32(3);
  std::vector<Want> want;
  auto record = [&](uint16_t length, uint16_t flags, uint32_t millis, Want w) {
    const Bytes bytes = Payload(length, uint8_t(want.size() * 80 + 17));
    f.Le16(length).Le16(flags).Le16(0x4242).Le32(millis).Raw(bytes);
    w.timeStamp = millis * 1000.0;
    const bool whole = length <= 1514;
    w.data = whole ? WithFcs(bytes, flags & 0x0800) : Bytes(bytes.begin(), bytes.begin() + 1514);
    if (ring) {  // Token Ring: no room for a check sequence, no status
      if (whole) w.frameLength = w.storedLength = length;
      w.status = 0;
      w.data.resize(w.storedLength);
    }
    want.push_back(w);
  };
  // Both time halves alike, so that either order of the 16-bit halves reads the same.
  record(60, 0x0800, 0x00010001, {0, 64, 64, kCrc, {}});
  record(1600, 0x0400, 0x00020002, {0, 1600, 1514, kAlign, {}});  // stored as 1514
  record(100, 0x0000, 0x00030003, {0, 104, 104, 0, {}});
  f.Le16(60).Le16(0).Le16(0).Le32(9).Raw(Payload(60, 1));  // past the number of frames
  return {f.Done(), want};
}

struct Fixture {
  const char* name;
  Built (*build)();
  const char* file;
  TraceFormat format;
  uint8_t topology;
};

const Fixture kFixtures[] = {
    {"Da30", [] { return Da30(false); }, "trace.an1", fmt_id::Da30, topology::Ethernet},
    {"Da30Ring", [] { return Da30(true); }, "ring.an1", fmt_id::Da30, topology::TokenRing},
    {"DataGlance", [] { return DataGlance(false); }, "trace.dgc", fmt_id::DataGlance, topology::Ethernet},
    {"DataGlanceRing", [] { return DataGlance(true); }, "ring.dgc", fmt_id::DataGlance, topology::TokenRing},
    {"Domino", [] { return Winc(false); }, "trace.cap", fmt_id::Domino, topology::Ethernet},
    {"LinkView", [] { return Winc(true); }, "trace.cap", fmt_id::LinkView, topology::Ethernet},
    {"EtherPeek7", [] { return EtherPeek(7); }, "trace.pkt", fmt_id::EtherPeek, topology::Ethernet},
    {"TokenPeek6", [] { return EtherPeek(6); }, "trace.tpc", fmt_id::EtherPeek, topology::TokenRing},
    {"Hp", Hp, "trace.eth", fmt_id::HpPreWin95, topology::Ethernet},
    {"LanWatch", [] { return LanWatch(false); }, "trace.dmp", fmt_id::LanWatch, topology::Ethernet},
    {"LanWatchRing", [] { return LanWatch(true); }, "ring.dmp", fmt_id::LanWatch, topology::TokenRing},
    {"Observer5", [] { return Observer(5, 0); }, "trace.bfr", fmt_id::Observer, topology::Ethernet},
    {"Observer6", [] { return Observer(6, 0); }, "trace.bfr", fmt_id::Observer, topology::Ethernet},
    {"Observer3Ring", [] { return Observer(3, 1); }, "ring.bfr", fmt_id::Observer, topology::TokenRing},
    {"FireBerd", [] { return Ttc(true); }, "trace.pkt", fmt_id::FireBerd, topology::Ethernet},
    {"NetLens", [] { return Ttc(false); }, "trace.s04", fmt_id::NetLens, topology::Ethernet},
    {"NetLensRing", [] { return Ttc(false, true); }, "ring.t04", fmt_id::NetLens, topology::TokenRing},
};

void PrintTo(const Fixture& fixture, std::ostream* os) { *os << fixture.name; }

class LayoutFixture : public testing::TestWithParam<Fixture> {};

TEST_P(LayoutFixture, EveryFieldReadsAsLaidOut) {
  test::ScopedTimeZone zone("UTC");
  const Fixture& fx = GetParam();
  const Built built = fx.build();
  const auto back = test::ReadFrames(built.file, fx.file);
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fx.format);
  EXPECT_EQ(back.info.TopologyCode, fx.topology);
  ASSERT_EQ(back.frames.size(), built.frames.size());
  for (size_t i = 0; i < built.frames.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "frame " << i);
    const auto& seen = back.frames[i];
    const Want& want = built.frames[i];
    EXPECT_NEAR(seen.timeStamp, want.timeStamp, 1e-3);
    EXPECT_EQ(seen.frameLength, want.frameLength);
    EXPECT_EQ(seen.storedLength, want.storedLength);
    EXPECT_EQ(seen.status, want.status);
    ASSERT_GE(seen.data.size(), want.data.size());
    EXPECT_EQ(Bytes(seen.data.begin(), seen.data.begin() + long(want.data.size())), want.data);
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, LayoutFixture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace korvane
