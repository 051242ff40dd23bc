#include <gtest/gtest.h>

#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "support/TestSupport.h"
#include "writers/Da30Writer.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;

std::vector<ScenarioFrame> Numbered(size_t n) { return test::NumberedFrames(n, 2000.0, 61); }

// Offsets of the frame records, in file order.
std::vector<size_t> RecordOffsets(const Bytes& file) {
  std::vector<size_t> offsets;
  for (size_t at = Le32(&file[30]); at + 8 <= file.size() && Le32(&file[at + 4]) != 0; at += 4 * Le32(&file[at + 4]))
    offsets.push_back(at);
  return offsets;
}

TEST(Da30Reader, EthernetFramesAsStored) {
  auto frames = tools::OfficeLanScenario();
  frames[3].status = tools::kStatusCrcError;
  frames[6].bytes.resize(50);  // sliced
  auto back = test::ReadFrames(tools::WriteDa30(frames, {}), "office.an1");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    const bool sliced = f.bytes.size() < f.wireLength;
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 16.0);
    EXPECT_EQ(std::fmod(seen.timeStamp, 32.0), 0.0);
    // A record has one length: a sliced frame comes back as the bytes it holds.
    EXPECT_EQ(seen.frameLength, sliced ? f.bytes.size() : f.wireLength + 4);
    EXPECT_EQ(seen.storedLength, seen.frameLength);
    EXPECT_EQ(seen.status, f.status ? kCrcError : 0);
    ASSERT_GE(seen.data.size(), f.bytes.size());
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    if (!sliced) {  // the stored check sequence is handed over unchanged
      uint32_t fcs = Crc32(f.bytes.data(), f.bytes.size());
      EXPECT_EQ(Le32(&seen.data[f.bytes.size()]), f.status ? ~fcs : fcs);
    }
  }
}

TEST(Da30Reader, TokenRingFramesAndFlags) {
  auto frames = tools::TokenRingScenario();
  frames[0].status = tools::kStatusCrcError;
  tools::Da30Options o;
  o.tokenRing = true;
  auto back = test::ReadFrames(tools::WriteDa30(frames, o), "ring.an1");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(back.frames[i].status, 0) << i;  // error flags count on Ethernet only
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin())) << i;
  }
}

TEST(Da30Reader, CheckSequenceErrorNeedsBit3WithoutBit4) {
  auto frames = Numbered(4);
  Bytes file = tools::WriteDa30(frames, {});
  const auto records = RecordOffsets(file);
  ASSERT_EQ(records.size(), 4u);
  const uint32_t flags[] = {0x08, 0x18, 0x10, 0xF7};
  for (size_t i = 0; i < 4; ++i) PutLe32(&file[records[i] + 8 + 8], flags[i]);
  auto back = test::ReadFrames(file, "f.an1");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_EQ(back.frames[0].status, kCrcError);
  EXPECT_EQ(back.frames[1].status, 0);
  EXPECT_EQ(back.frames[2].status, 0);
  EXPECT_EQ(back.frames[3].status, 0);
}

TEST(Da30Reader, NegativeStampsFallOneUnitShort) {
  auto frames = Numbered(3);
  tools::Da30Options o;
  o.start.hour = 20;  // past 2^31 units of 32 us: the stamps read as negative
  auto late = test::ReadFrames(tools::WriteDa30(frames, o), "late.an1");
  ASSERT_EQ(late.frames.size(), 3u);
  const double base = 20 * 3600.0 * 1e6 + 30 * 60.0 * 1e6;
  for (size_t i = 0; i < 3; ++i) {
    const double units = std::nearbyint((base + frames[i].timeUs) / 32.0);
    ASSERT_GE(units, 2147483648.0);
    EXPECT_DOUBLE_EQ(late.frames[i].timeStamp, (units - 1) * 32.0) << i;
  }
  o.start.hour = 18;  // below: taken as is
  auto early = test::ReadFrames(tools::WriteDa30(frames, o), "early.an1");
  ASSERT_EQ(early.frames.size(), 3u);
  EXPECT_DOUBLE_EQ(early.frames[0].timeStamp, std::nearbyint((18 * 3600.0 + 1800.0) * 1e6 / 32.0) * 32.0);
}

TEST(Da30Reader, RecordsThatEndTheFile) {
  auto frames = Numbered(6);
  const Bytes good = tools::WriteDa30(frames, {});
  const auto records = RecordOffsets(good);
  ASSERT_EQ(records.size(), 6u);
  auto readCount = [&](uint32_t words) {
    Bytes file = good;
    PutLe32(&file[records[2] + 4], words);
    return test::ReadFrames(file, "e.an1").frames.size();
  };
  EXPECT_EQ(readCount(0), 2u);           // the end record
  EXPECT_EQ(readCount(1), 2u);           // shorter than its own header
  EXPECT_EQ(readCount(8), 2u);           // no room for the descriptor
  EXPECT_EQ(readCount(32797 / 4 + 3), 2u);  // a body of 32797 bytes or more
  EXPECT_EQ(readCount(0xFFFFFFFFu), 2u);
  // The longest body taken is 32796 bytes: a frame of 32768 bytes with its descriptor.
  auto big = Numbered(2);
  big[0].bytes.assign(32764, 0x5A);
  big[0].wireLength = 32764;
  auto longest = test::ReadFrames(tools::WriteDa30(big, {}), "b.an1");
  ASSERT_EQ(longest.frames.size(), 2u);
  EXPECT_EQ(longest.frames[0].frameLength, 32768);
  EXPECT_EQ(longest.frames[0].storedLength, 32768);
  big[0].bytes.push_back(0x5A);
  big[0].wireLength = 32765;
  EXPECT_EQ(test::ReadFrames(tools::WriteDa30(big, {}), "b.an1").frames.size(), 0u);
  // Without an end record the file ends at its last byte.
  tools::Da30Options o;
  o.endRecord = false;
  EXPECT_EQ(test::ReadFrames(tools::WriteDa30(frames, o), "n.an1").frames.size(), 6u);
  // A frame length beyond the record keeps only what the record holds.
  Bytes file = good;
  PutLe32(&file[records[1] + 8 + 24], 20000);
  auto back = test::ReadFrames(file, "l.an1");
  ASSERT_EQ(back.frames.size(), 6u);
  EXPECT_EQ(back.frames[1].frameLength, 20000);
  EXPECT_EQ(back.frames[1].storedLength, (Le32(&good[records[1] + 4]) * 4 - 8 - 28));
  EXPECT_EQ(back.frames[2].data, test::ReadFrames(good, "g.an1").frames[2].data);
}

TEST(Da30Reader, HeaderOffsetsLeadToBlockAndRecords) {
  auto frames = Numbered(3);
  tools::Da30Options o;
  o.interfaceGap = 100;
  o.recordGap = 13;  // records need not follow the block, nor be aligned to it
  auto back = test::ReadFrames(tools::WriteDa30(frames, o), "g.an1");
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[2].data[1], 2);
  // A first record inside the header: the file is refused as damaged.
  Bytes file = tools::WriteDa30(frames, {});
  PutLe32(&file[30], 40);
  back = test::ReadFrames(file, "h.an1");
  EXPECT_FALSE(back.tablesReady);
  EXPECT_TRUE(back.frames.empty());
  // One past the end: nothing to read.
  PutLe32(&file[30], uint32_t(file.size() + 8));
  back = test::ReadFrames(file, "h.an1");
  EXPECT_TRUE(back.tablesReady);
  EXPECT_TRUE(back.frames.empty());
}

TEST(Da30Reader, TruncationAtEveryByteKeepsTheFramesBefore) {
  const Bytes file = tools::WriteDa30(Numbered(5), {});
  const auto full = test::ReadFrames(file, "t.an1");
  ASSERT_EQ(full.frames.size(), 5u);
  for (size_t cut = 40; cut < file.size(); ++cut) {
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.an1");
    ASSERT_LE(back.frames.size(), full.frames.size()) << cut;
    for (size_t i = 0; i < back.frames.size(); ++i) {
      // The last frame may be cut short; it then holds a prefix of its bytes.
      const auto& d = back.frames[i].data;
      ASSERT_TRUE(std::equal(d.begin(), d.end(), full.frames[i].data.begin())) << cut;
      if (i + 1 < back.frames.size()) {
        ASSERT_EQ(d, full.frames[i].data) << cut;
      }
    }
  }
}

TEST(Da30Reader, GarbageRecordsNeverHang) {
  const Bytes file = tools::WriteDa30(Numbered(3), {});
  uint32_t seed = 11;
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = file;
    for (size_t i = Le32(&file[30]); i < damaged.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 24) < 30) damaged[i] = uint8_t(seed >> 16);
    }
    EXPECT_LE(test::ReadFrames(damaged, "d.an1").frames.size(), 3u);
  }
}

}  // namespace
}  // namespace korvane
