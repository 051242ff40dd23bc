#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "support/TestSupport.h"
#include "writers/LanWatchWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;
constexpr double kTickMicros = 54925.41649846272;
constexpr size_t kHeaderStepMinimum = 140;  // shorter files are refused before reading

std::vector<ScenarioFrame> Numbered(size_t n, size_t baseLength = 70) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 7777.0;
    f.bytes.assign(baseLength + i, uint8_t(0x10 + i));
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

Bytes Record(uint16_t wire, uint16_t stored, uint16_t high, uint16_t middle, uint16_t low, uint8_t flags = 0,
             uint8_t kind = 0) {
  Bytes r(12, 0);
  PutLe16(&r[0], wire);
  PutLe16(&r[2], stored);
  PutLe16(&r[4], middle);
  PutLe16(&r[6], high);
  PutLe16(&r[8], low);
  r[10] = flags;
  r[11] = kind;
  r.resize(12 + stored, 0x77);
  return r;
}

Bytes Header(uint8_t version = 4) {
  tools::LanWatchOptions o;
  o.version = version;
  return tools::WriteLanWatch({}, o);
}

TEST(LanWatchReader, EthernetFrameByFrame) {
  auto frames = tools::OfficeLanScenario();
  frames[1].status = tools::kStatusCrcError;
  frames[2].status = tools::kStatusAlignmentError;
  frames[3].status = tools::kStatusCrcError | tools::kStatusAlignmentError;
  for (uint8_t version : {3, 4, 9}) {
    SCOPED_TRACE(int(version));
    tools::LanWatchOptions o;
    o.version = version;
    auto back = test::ReadFrames(tools::WriteLanWatch(frames, o), "lan.dmp");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.DetectedFormat, fmt_id::LanWatch);
    EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& f = frames[i];
      const auto& seen = back.frames[i];
      EXPECT_EQ(seen.frameLength, f.wireLength + 4);
      EXPECT_EQ(seen.storedLength, f.bytes.size() + 4);
      ASSERT_EQ(seen.data.size(), f.bytes.size() + 4);
      EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
      const bool bad = f.status & tools::kStatusCrcError;
      const uint32_t fcs = f.bytes.size() >= 60 && !bad ? Crc32(f.bytes.data(), f.bytes.size()) : 0;
      EXPECT_EQ(Le32(&seen.data[f.bytes.size()]), fcs);
      uint16_t status = 0;
      if (bad) status |= kCrcError;
      if (f.status & tools::kStatusAlignmentError) status |= kAlignmentError;
      EXPECT_EQ(seen.status, status);
      // One count of the PC timer is 0.838 us; the writer rounds to the nearest count.
      EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 0.45);
    }
  }
}

TEST(LanWatchReader, TokenRingTakesLengthsAsStoredAndNoErrorFlags) {
  auto frames = tools::TokenRingScenario();
  frames[0].status = tools::kStatusCrcError | tools::kStatusAlignmentError;
  tools::LanWatchOptions o;
  o.tokenRing = true;
  auto back = test::ReadFrames(tools::WriteLanWatch(frames, o), "ring.dmp");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength) << i;
    EXPECT_EQ(back.frames[i].storedLength, frames[i].bytes.size()) << i;
    EXPECT_EQ(back.frames[i].data, frames[i].bytes) << i;
    EXPECT_EQ(back.frames[i].status, 0) << i;
  }
}

TEST(LanWatchReader, RecordsWithoutAFrameAreSkipped) {
  auto frames = Numbered(4);
  tools::LanWatchOptions o;
  o.noFrameBefore = {0, 2, 2, 4};
  auto back = test::ReadFrames(tools::WriteLanWatch(frames, o), "m.dmp");
  ASSERT_EQ(back.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin()));
  // Such a record is its header alone, whatever its length fields say.
  Bytes file = Header();
  Bytes marker = Record(500, 500, 0, 0, 0, 0, 0x80);
  marker.resize(12);
  Bytes frame = Record(70, 70, 0, 10, 0);
  file.insert(file.end(), marker.begin(), marker.end());
  file.insert(file.end(), frame.begin(), frame.end());
  for (int k = 0; k < 3; ++k) file.insert(file.end(), marker.begin(), marker.end());
  auto one = test::ReadFrames(file, "m.dmp");
  ASSERT_EQ(one.frames.size(), 1u);
  EXPECT_EQ(one.frames[0].storedLength, 74);
  EXPECT_EQ(one.frames[0].data[0], 0x77);
}

TEST(LanWatchReader, SlicedRecordsKeepTheirStoredBytes) {
  auto frames = Numbered(3, 400);
  frames[1].bytes.resize(64);
  auto back = test::ReadFrames(tools::WriteLanWatch(frames, {}), "s.dmp");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[1].frameLength, 401 + 4);
  EXPECT_EQ(back.frames[1].storedLength, 64);
  EXPECT_EQ(back.frames[1].data, frames[1].bytes);
  EXPECT_EQ(back.frames[2].storedLength, 402 + 4);
}

TEST(LanWatchReader, PcTimerUnitsAndTheDailyWrap) {
  Bytes file = Header();
  // 10 ticks and 1000 counts; the BIOS midnight count 0x1800B0 plus 3 ticks, which
  // lies past a day and is reduced; a full high word.
  for (const Bytes& r : {Record(70, 70, 0, 10, 1000), Record(70, 70, 0x18, 0x00B3, 0),
                         Record(70, 70, 0xFFFF, 0xFFFF, 0xFFFF)})
    file.insert(file.end(), r.begin(), r.end());
  auto back = test::ReadFrames(file, "t.dmp");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_NEAR(back.frames[0].timeStamp, 10 * kTickMicros + 1000 * 0.83809534452, 1e-6);
  EXPECT_NEAR(back.frames[1].timeStamp, 0x1800B3 * kTickMicros - 86400e6, 1e-3);
  EXPECT_LT(back.frames[1].timeStamp, 50000.0);
  EXPECT_GE(back.frames[2].timeStamp, 0.0);
  EXPECT_LT(back.frames[2].timeStamp, 86400e6);
  // Later in the day the writer's timer readings come back to the same time.
  tools::LanWatchOptions o;
  o.start = {2024, 3, 5, 23, 59, 58};
  auto frames = Numbered(2);
  frames[1].timeUs = 1.5e6;
  auto late = test::ReadFrames(tools::WriteLanWatch(frames, o), "late.dmp");
  ASSERT_EQ(late.frames.size(), 2u);
  EXPECT_NEAR(late.frames[0].timeStamp, 86398e6, 0.45);
  EXPECT_NEAR(late.frames[1].timeStamp, 86399.5e6, 0.45);
}

TEST(LanWatchReader, OversizedOrShortRecordsEndTheData) {
  Bytes file = Header();
  for (const Bytes& r : {Record(70, 70, 0, 1, 0), Record(70, 70, 0, 2, 0)}) file.insert(file.end(), r.begin(), r.end());
  Bytes big = Record(40000, 0, 0, 3, 0);
  PutLe16(&big[2], 32769);
  Bytes tooBig = file;
  tooBig.insert(tooBig.end(), big.begin(), big.end());
  tooBig.resize(tooBig.size() + 33000, 0);
  EXPECT_EQ(test::ReadFrames(tooBig, "b.dmp").frames.size(), 2u);
  // 32768 stored bytes are still a frame, clamped to the frame buffer.
  Bytes largest = file;
  Bytes r = Record(40000, 32768, 0, 3, 0);
  largest.insert(largest.end(), r.begin(), r.end());
  auto back = test::ReadFrames(largest, "l.dmp");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[2].frameLength, kMaxFrameLength);
  EXPECT_EQ(back.frames[2].storedLength, kMaxFrameLength);
}

TEST(LanWatchReader, TruncationAtEveryByteKeepsTheWholeRecordsBefore) {
  auto frames = Numbered(5);
  tools::LanWatchOptions o;
  o.noFrameBefore = {3};
  Bytes file = tools::WriteLanWatch(frames, o);
  auto full = test::ReadFrames(file, "t.dmp");
  ASSERT_EQ(full.frames.size(), 5u);
  size_t wholeRecords = 0, next = 20 + 12 + frames[0].bytes.size();
  for (size_t cut = kHeaderStepMinimum; cut < file.size(); ++cut) {
    SCOPED_TRACE(cut);
    while (wholeRecords < frames.size() && next <= cut) {
      ++wholeRecords;
      if (wholeRecords < frames.size()) next += 12 + frames[wholeRecords].bytes.size() + (wholeRecords == 3 ? 12 : 0);
    }
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.dmp");
    ASSERT_FALSE(back.refused);
    // The complete records, and a record cut inside its bytes with the bytes present.
    ASSERT_GE(back.frames.size(), wholeRecords);
    ASSERT_LE(back.frames.size(), wholeRecords + 1);
    for (size_t i = 0; i < wholeRecords; ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data);
    if (back.frames.size() > wholeRecords) {
      const auto& last = back.frames.back().data;
      ASSERT_LT(last.size(), full.frames[wholeRecords].data.size());
      ASSERT_TRUE(std::equal(last.begin(), last.end(), full.frames[wholeRecords].data.begin()));
      ASSERT_TRUE(back.info.CutShort);
    }
  }
}

TEST(LanWatchReader, GarbageRecordsNeverHangOrOverrun) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    Bytes file = Header(uint8_t(round % 6));
    const size_t size = 120 + random() % 4000;
    for (size_t i = 0; i < size; ++i) {
      uint32_t r = random();
      file.push_back(uint8_t(r % 3 == 0 ? r >> 8 : (r >> 8) % 4));
    }
    auto back = test::ReadFrames(file, "g.dmp");
    ASSERT_FALSE(back.refused);
    ASSERT_LE(back.frames.size(), size / 12 + 1);
    for (const auto& f : back.frames) ASSERT_LE(f.storedLength, kMaxFrameLength);
  }
}

}  // namespace
}  // namespace korvane
