#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "support/TestSupport.h"
#include "writers/DigitechWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;  // the writers' default 09:30:00
constexpr size_t kPage = 65536;
constexpr double kTick = 0.838096536007;

std::vector<ScenarioFrame> SomeFrames(size_t n, size_t size = 100) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 2500 + 11;
    f.bytes.resize(size + i % 5);
    for (size_t k = 0; k < f.bytes.size(); ++k) f.bytes[k] = uint8_t(k * 3 + i);
    f.bytes[0] = 0x00;
    f.bytes[1] = uint8_t(i);  // tells the frames apart
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

// Reads a buffer straight through the reading loop with a topology set beforehand, as a
// full read after the header step would.
struct Direct {
  TraceFileInfo info;
  std::vector<test::SeenFrame> frames;
  bool ready = false;
};
Direct ReadDirect(const Bytes& bytes, uint8_t topologyCode, bool probe = false) {
  Direct out;
  MemorySource source(bytes);
  out.info.CurrentFileName = "direct.dat";
  out.info.DetectedFormat = fmt_id::Digitech;
  out.info.TopologyCode = topologyCode;
  auto frame = std::make_unique<CapturedFrame>();
  test::RecordingSink sink(*frame);
  ReadProgress progress;
  out.ready = ReadTraceFile(source, out.info, *frame, sink, progress, probe).tablesReady;
  out.frames = std::move(sink.frames);
  return out;
}

std::vector<int> Order(const std::vector<test::SeenFrame>& frames) {
  std::vector<int> order;
  for (const auto& f : frames) order.push_back(f.data.size() > 1 ? f.data[1] : -1);
  return order;
}

std::vector<int> Iota(int n) {
  std::vector<int> v(size_t(n), 0);
  for (int i = 0; i < n; ++i) v[size_t(i)] = i;
  return v;
}

TEST(DigitechReader, EthernetFramesAcrossPages) {
  auto frames = tools::OfficeLanScenario();
  frames[3].status |= tools::kStatusAlignmentError;
  tools::DigitechOptions o;
  o.framesPerPage = 60;
  tools::DigitechLayout layout;
  const Bytes file = tools::WriteDigitech(frames, o, &layout);
  ASSERT_FALSE(file.empty());
  ASSERT_GT(layout.pageOfFrame.back(), 3u);
  auto back = test::ReadFrames(file, "office.dat");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::Digitech);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  EXPECT_FALSE(back.info.ReaderRejected);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    // The stored length runs 4 bytes past the block; nothing is synthesised there.
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    ASSERT_EQ(seen.storedLength, f.bytes.size() + 4);
    ASSERT_EQ(seen.data.size(), f.bytes.size() + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    EXPECT_EQ(Le32(seen.data.data() + f.bytes.size()), 0u);
    const bool bad = (f.status & tools::kStatusCrcError) != 0;
    uint16_t status = (bad ? kCrcError : 0) | ((f.status & tools::kStatusAlignmentError) ? kAlignmentError : 0);
    EXPECT_EQ(seen.status, status);
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 1.0);
  }
  // Topology bits 7 are Ethernet as well.
  o.kind = 7;
  auto seven = test::ReadFrames(tools::WriteDigitech(SomeFrames(3), o), "seven.dat");
  ASSERT_FALSE(seven.refused);
  EXPECT_EQ(seven.info.TopologyCode, topology::Ethernet);
  EXPECT_EQ(seven.frames.size(), 3u);
}

TEST(DigitechReader, TokenRingFrames) {
  auto frames = tools::TokenRingScenario();
  tools::DigitechOptions o;
  o.kind = 6 | 0x20;  // bits above the low five are not topology
  auto back = test::ReadFrames(tools::WriteDigitech(frames, o), "ring.dat");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    EXPECT_EQ(seen.storedLength, frames[i].bytes.size() + 4);
    EXPECT_EQ(seen.frameLength, frames[i].wireLength + 4);
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), seen.data.begin()));
    EXPECT_EQ(Le32(seen.data.data() + frames[i].bytes.size()), 0u);
    EXPECT_EQ((seen.status & kCrcError) != 0, (frames[i].status & tools::kStatusCrcError) != 0);
  }
}

TEST(DigitechReader, FileNameAndSizeDecideDetection) {
  const Bytes file = tools::WriteDigitech(SomeFrames(2), {});
  ASSERT_EQ(file.size(), 2 * kPage);
  EXPECT_FALSE(test::ReadFrames(file, "b.dat").refused);
  EXPECT_TRUE(test::ReadFrames(file, "b.cap").refused);
  EXPECT_TRUE(test::ReadFrames(Bytes(file.begin(), file.end() - 1), "b.dat").refused);
}

TEST(DigitechReader, ProbeTakesTheTopologyOfTheFirstFrameRecord) {
  auto frames = SomeFrames(4);
  // Records of other types before the first frame are passed over by the probe.
  tools::DigitechOptions o;
  o.extraRecords = {{0, 7, Bytes(30, 6)}, {0, 131, Bytes(3, 5)}};
  tools::DigitechLayout layout;
  Bytes file = tools::WriteDigitech(frames, o, &layout);
  auto back = test::ReadFrames(file, "p.dat");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  EXPECT_EQ(back.frames.size(), 4u);

  // The first frame record decides even when later ones would be supported.
  for (uint8_t kind : {0, 3, 4, 8, 31}) {
    Bytes odd = file;
    odd[layout.offsetOfFrame[0] + 1] = kind;
    back = test::ReadFrames(odd, "p.dat");
    EXPECT_TRUE(back.refused) << int(kind);
    EXPECT_EQ(back.info.TopologyCode, topology::Undetermined) << int(kind);
    // A full read passes such records over.
    auto direct = ReadDirect(odd, topology::Ethernet);
    EXPECT_EQ(Order(direct.frames), (std::vector<int>{1, 2, 3})) << int(kind);
  }
  Bytes ring = file;
  ring[layout.offsetOfFrame[0] + 1] = 6;
  EXPECT_EQ(test::ReadFrames(ring, "p.dat").info.TopologyCode, topology::TokenRing);
  auto probe = ReadDirect(ring, topology::Undetermined, true);
  EXPECT_EQ(probe.info.TopologyCode, topology::TokenRing);
  EXPECT_EQ(probe.frames.size(), 1u);
}

TEST(DigitechReader, BuffersWithoutReadablePagesAreRejected) {
  const Bytes good = tools::WriteDigitech(SomeFrames(3), {});
  auto patched = [&](uint16_t count, uint16_t first, uint16_t last) {
    Bytes file = good;
    PutLe16(&file[40], count);
    PutLe16(&file[42], first);
    PutLe16(&file[44], last);
    return file;
  };
  struct Case {
    uint16_t count, first, last;
    bool rejected;
  };
  const Case cases[] = {{1, 1, 0, true},   // last page 0
                        {0, 2, 1, true},   // no pages, and the count is kept when the first is not 1
                        {1, 0, 1, true},   // page 0 is the header
                        {0, 1, 1, false},  // first page 1: the count is last - first + 1
                        {9, 1, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << ' ' << c.first << ' ' << c.last);
    const Bytes file = patched(c.count, c.first, c.last);
    auto back = test::ReadFrames(file, "r.dat");
    EXPECT_EQ(back.refused, c.rejected);
    EXPECT_EQ(back.info.ReaderRejected, c.rejected);
    auto direct = ReadDirect(file, topology::Ethernet);
    EXPECT_EQ(direct.info.ReaderRejected, c.rejected);
    EXPECT_EQ(direct.frames.size(), c.rejected ? 0u : 3u);
  }
}

TEST(DigitechReader, WrappedBufferReadsOldestPagesFirst) {
  auto frames = SomeFrames(14);
  tools::DigitechOptions o;
  o.pageCount = 5;
  o.wrapFirstPage = 3;
  o.framesPerPage = 4;
  tools::DigitechLayout layout;
  Bytes file = tools::WriteDigitech(frames, o, &layout);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(layout.pageOfFrame, (std::vector<uint32_t>{3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 1, 1}));
  // Page 2 is outside the buffer: stale records there are never read.
  std::memcpy(&file[2 * kPage], &file[layout.offsetOfFrame[0]], 200);
  std::memcpy(&file[2 * kPage + 200], &file[layout.offsetOfFrame[0]], 200);
  auto back = test::ReadFrames(file, "w.dat");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(Order(back.frames), Iota(14));

  // A page count above 4096 is capped; pages past the end of the file hold nothing.
  o.pageCount = 3;
  o.wrapFirstPage = 2;
  o.framesPerPage = 6;
  Bytes big = tools::WriteDigitech(frames, o, &layout);
  ASSERT_FALSE(big.empty());
  PutLe16(&big[40], 60000);
  back = test::ReadFrames(big, "w.dat");
  EXPECT_EQ(Order(back.frames), Iota(14));

  // A first page above 4096 cannot be entered: nothing is read, and nothing hangs.
  PutLe16(&big[42], 4097);
  EXPECT_TRUE(ReadDirect(big, topology::Ethernet).frames.empty());
}

TEST(DigitechReader, FrameCountsThatDisagreeWithThePages) {
  auto frames = SomeFrames(12);
  tools::DigitechOptions o;
  o.framesPerPage = 4;
  const Bytes good = tools::WriteDigitech(frames, o);
  ASSERT_EQ(good.size(), 4 * kPage);
  auto count = [&](Bytes& file, int page, uint16_t value) { PutLe16(&file[8238 + 2 * (page - 1)], value); };

  // Too many on page 1: its bytes run out first, then page 2 follows; nothing twice.
  Bytes file = good;
  count(file, 1, 9);
  auto back = ReadDirect(file, topology::Ethernet);
  EXPECT_EQ(Order(back.frames), Iota(12));
  // Too few on page 2: the rest of that page is left unread.
  file = good;
  count(file, 2, 1);
  EXPECT_EQ(Order(ReadDirect(file, topology::Ethernet).frames), (std::vector<int>{0, 1, 2, 3, 4, 8, 9, 10, 11}));
  // The sum of the counts ends the read.
  file = good;
  count(file, 3, 2);
  EXPECT_EQ(ReadDirect(file, topology::Ethernet).frames.size(), 10u);
  // No frames at all, or pages with counts but no records: the read ends.
  file = good;
  for (int p = 1; p <= 3; ++p) count(file, p, 0);
  EXPECT_TRUE(ReadDirect(file, topology::Ethernet).frames.empty());
  file = good;
  std::fill(file.begin() + long(kPage), file.end(), 0);
  EXPECT_TRUE(ReadDirect(file, topology::Ethernet).frames.empty());
  // An empty page in the middle is passed over.
  file = good;
  count(file, 2, 0);
  EXPECT_EQ(Order(ReadDirect(file, topology::Ethernet).frames), (std::vector<int>{0, 1, 2, 3, 8, 9, 10, 11}));
}

TEST(DigitechReader, TimeStampsFromPcTimerTicks) {
  auto frames = SomeFrames(7);
  // The second frame is never held back; later ones are while less than 60 s back.
  const double at[] = {100e6, 95e6, 94e6, 94.5e6, 102e6, 41e6, 103e6};
  for (size_t i = 0; i < 7; ++i) frames[i].timeUs = at[i];
  tools::DigitechOptions o;
  o.start = {2024, 3, 5, 0, 0, 0};
  tools::DigitechLayout layout;
  Bytes file = tools::WriteDigitech(frames, o, &layout);
  auto back = test::ReadFrames(file, "t.dat");
  ASSERT_EQ(back.frames.size(), 7u);
  EXPECT_NEAR(back.frames[0].timeStamp, 100e6, 1);
  EXPECT_NEAR(back.frames[1].timeStamp, 95e6, 1);
  EXPECT_NEAR(back.frames[2].timeStamp, 95e6, 1);  // 1 s earlier than the previous: held
  EXPECT_NEAR(back.frames[3].timeStamp, 95e6, 1);  // later than 94 s, yet earlier than the 95 s held
  EXPECT_NEAR(back.frames[4].timeStamp, 102e6, 1);
  EXPECT_NEAR(back.frames[5].timeStamp, 41e6, 1);  // 61 s earlier: taken as it is
  EXPECT_NEAR(back.frames[6].timeStamp, 103e6, 1);

  // Counts beyond one day of ticks drop the whole days and use the second unit.
  const uint64_t day = 103090814976ull;
  const uint64_t ticks = 2 * day + 1000000;
  PutLe32(&file[layout.offsetOfFrame[0] + 5], uint32_t(ticks >> 16));
  PutLe16(&file[layout.offsetOfFrame[0] + 9], uint16_t(ticks));
  back = test::ReadFrames(file, "t.dat");
  ASSERT_FALSE(back.frames.empty());
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, 1000000 * 0.838096003219);
  PutLe32(&file[layout.offsetOfFrame[0] + 5], uint32_t(day >> 16));
  PutLe16(&file[layout.offsetOfFrame[0] + 9], uint16_t(day));
  back = test::ReadFrames(file, "t.dat");
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, double(day) * kTick);  // exactly one day: the first unit
}

TEST(DigitechReader, LargeAndDamagedRecords) {
  auto frames = SomeFrames(3);
  frames[1].bytes.resize(40000, 0x66);
  frames[1].wireLength = 40000;
  tools::DigitechLayout layout;
  const Bytes file = tools::WriteDigitech(frames, {}, &layout);
  ASSERT_FALSE(file.empty());
  auto back = test::ReadFrames(file, "l.dat");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[1].storedLength, 32768);
  EXPECT_EQ(back.frames[1].frameLength, 32768);
  EXPECT_TRUE(std::equal(back.frames[1].data.begin(), back.frames[1].data.end() - 4, frames[1].bytes.begin()));
  EXPECT_EQ(back.frames[2].data[1], 2);

  // A frame record too short for its length word ends the read.
  for (uint16_t block : {0, 1}) {
    Bytes bad = file;
    PutLe16(&bad[layout.offsetOfFrame[1] + 2], block);
    EXPECT_EQ(ReadDirect(bad, topology::Ethernet).frames.size(), 1u) << block;
  }
}

TEST(DigitechReader, TruncatedBuffersKeepTheWholeRecordsBefore) {
  auto frames = SomeFrames(8, 70);
  tools::DigitechOptions o;
  o.framesPerPage = 3;
  tools::DigitechLayout layout;
  const Bytes file = tools::WriteDigitech(frames, o, &layout);
  ASSERT_EQ(layout.pageOfFrame[3], 2u);
  // Page 3 is left out, so that the buffer ends inside page 2's records.
  const size_t pageTwo = 2 * kPage;
  Bytes two(file.begin(), file.begin() + long(3 * kPage));
  PutLe16(&two[40], 2);
  PutLe16(&two[44], 2);
  size_t end = layout.offsetOfFrame[5] + 12 + 2 + frames[5].bytes.size();
  for (size_t cut = pageTwo; cut <= end; ++cut) {
    size_t whole = 3;
    while (whole < 6 && layout.offsetOfFrame[whole] + 14 + frames[whole].bytes.size() <= cut) ++whole;
    auto back = test::ReadFrames(Bytes(two.begin(), two.begin() + long(cut)), "t.dat");
    ASSERT_EQ(Order(back.frames), Iota(int(whole))) << cut;
  }
}

// A buffer laid out byte by byte: one page of one Ethernet frame recorded with a bad check
// sequence, whose four bytes are the file's and stay as recorded.
TEST(DigitechLayout, ARecordedCheckSequenceIsKeptAsItStands) {
  Bytes file(2 * 65536, 0);
  file[0] = 3;     // buffer signature, byte 0
  file[1] = 0x94;  // buffer signature, byte 1
  PutLe16(&file[40], 1);    // page count
  PutLe16(&file[42], 1);    // first page
  PutLe16(&file[44], 1);    // last page
  PutLe16(&file[8238], 1);  // frames in page 1
  uint8_t* r = &file[65536];  // page 1
  r[0] = 130;                 // record type: a frame
  r[1] = 5;                   // low five bits: Ethernet
  PutLe16(r + 2, 2 + 64);     // data block: the frame length word and 64 frame bytes
  r[4] = 0x01;                // flags: bit 0 check sequence error
  PutLe32(r + 5, 0);          // time, high part
  PutLe16(r + 9, 1000);       // time, low 16 bits: 1000 ticks
  PutLe16(r + 12, 64);        // the block's leading value: the frame length
  for (int i = 0; i < 60; ++i) r[14 + i] = uint8_t(i == 0 ? 0x02 : i);  // the frame
  const uint8_t recorded[4] = {0xDE, 0xAD, 0xBE, 0xEF};                 // its bad check sequence
  std::memcpy(r + 14 + 60, recorded, 4);

  const auto back = test::ReadFrames(file, "layout.dat");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), 1u);
  const auto& f = back.frames[0];
  EXPECT_EQ(f.frameLength, 64);
  EXPECT_EQ(f.storedLength, 2 + 64 + 2);  // the block length + 2
  EXPECT_EQ(f.status, kCrcError);
  EXPECT_NEAR(f.timeStamp, 1000 * 0.838096536007, 1e-6);
  ASSERT_EQ(f.data.size(), 64u);
  EXPECT_TRUE(std::equal(recorded, recorded + 4, f.data.begin() + 60));
}

}  // namespace
}  // namespace korvane
