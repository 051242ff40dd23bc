#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "support/TestSupport.h"
#include "writers/DataGlanceWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;  // the writers' default 09:30:00
constexpr double kPcTick = 0.83809534452;

std::vector<ScenarioFrame> SomeFrames(size_t n, size_t size = 100) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 2000.5 + 40;
    f.bytes.resize(size + i * 31);
    for (size_t k = 0; k < f.bytes.size(); ++k) f.bytes[k] = uint8_t(k * 5 + i);
    f.bytes[0] = 0x00;
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

// The ticks A, C, B of a frame's first block.
void PutTicks(uint8_t* block, uint64_t ticks) {
  PutLe16(block + 6, uint16_t(ticks >> 32));
  PutLe16(block + 10, uint16_t(ticks >> 16));
  PutLe16(block + 8, uint16_t(ticks));
}

TEST(DataGlanceReader, EthernetFramesAcrossContinuationBlocks) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[7].status |= tools::kStatusAlignmentError;
  auto back = test::ReadFrames(tools::WriteDataGlance(frames, {}), "office.dgc");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::DataGlance);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    ASSERT_EQ(seen.storedLength, f.bytes.size() + 4);
    ASSERT_EQ(seen.data.size(), f.bytes.size() + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    // The stored check sequence is handed over as it is, a bad one included.
    const bool bad = (f.status & tools::kStatusCrcError) != 0;
    uint32_t fcs = Crc32(f.bytes.data(), f.bytes.size());
    EXPECT_EQ(Le32(seen.data.data() + f.bytes.size()), bad ? ~fcs : fcs);
    uint16_t status = (bad ? kCrcError : 0) | ((f.status & tools::kStatusAlignmentError) ? kAlignmentError : 0);
    EXPECT_EQ(seen.status, status);
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 1.0);
  }
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
}

// A frame of `stored` bytes takes (stored + 1) / 88 continuation blocks: built here by
// hand, with continuation blocks that would pass for frames if the count were wrong.
TEST(DataGlanceReader, ContinuationBlockCount) {
  for (uint32_t stored : {60u, 86u, 87u, 88u, 89u, 174u, 175u, 176u, 300u}) {
    SCOPED_TRACE(stored);
    Bytes file(512, 0);
    file[130] = 3;
    Bytes payload(stored);
    for (size_t k = 0; k < stored; ++k) payload[k] = uint8_t(k * 3 + 1);
    const uint32_t continuations = (stored + 1) / 88;
    Bytes blocks((1 + continuations) * 128, 0);
    blocks[0] = 0x21;
    PutLe16(&blocks[2], uint16_t(stored));
    PutLe16(&blocks[4], uint16_t(stored));
    for (uint32_t k = 0; k <= continuations; ++k) {
      uint8_t* block = &blocks[k * 128];
      if (k > 0) {
        block[0] = 0x21;  // not a frame of its own
        PutLe16(block + 2, 70);
        PutLe16(block + 4, 70);
      }
      size_t from = k * 88;
      if (from < stored) std::memcpy(block + 40, payload.data() + from, std::min<size_t>(88, stored - from));
    }
    Bytes next(128, 0);
    next[0] = 0x21;
    PutLe16(&next[2], 64);
    PutLe16(&next[4], 64);
    std::memset(&next[40], 0xEE, 64);
    file.insert(file.end(), blocks.begin(), blocks.end());
    file.insert(file.end(), next.begin(), next.end());

    auto back = test::ReadFrames(file, "c.dgc");
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_EQ(back.frames[0].data, payload);
    EXPECT_EQ(back.frames[1].data, Bytes(64, 0xEE));
  }
}

TEST(DataGlanceReader, TimeStampCases) {
  test::ScopedTimeZone zone("UTC");
  auto frames = SomeFrames(4);
  tools::DataGlanceOptions o;
  o.clock = tools::DataGlanceClock::Coarse;
  Bytes file = tools::WriteDataGlance(frames, o);
  const size_t b1 = tools::DataGlanceBlockOffset(frames, 1, true);
  const size_t b2 = tools::DataGlanceBlockOffset(frames, 2, true);
  const size_t b3 = tools::DataGlanceBlockOffset(frames, 3, true);
  PutTicks(&file[b1], 2700000);  // one day of 32-ms ticks: still the coarse unit
  PutTicks(&file[b2], 2700001);  // above: the PC timer
  PutTicks(&file[b3], 1000);
  file[b3] |= 0x20;              // flagged: the PC timer whatever the count
  auto back = test::ReadFrames(file, "t.dgc");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, kStartMicros + std::nearbyint(frames[0].timeUs / 32000) * 32000);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, kStartMicros + 2700000.0 * 32000);
  EXPECT_NEAR(back.frames[2].timeStamp, kStartMicros + 2700001 * kPcTick, 1e-3);
  EXPECT_DOUBLE_EQ(back.frames[3].timeStamp, kStartMicros + std::nearbyint(1000 * kPcTick));

  // Ticks of 48 bits: A is the top word, then C, then B.
  PutTicks(&file[b3], (uint64_t(3) << 32) | (uint64_t(2) << 16) | 1);
  back = test::ReadFrames(file, "t.dgc");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_DOUBLE_EQ(back.frames[3].timeStamp,
                   kStartMicros + std::nearbyint(double((uint64_t(3) << 32) + (2 << 16) + 1) * kPcTick));
}

TEST(DataGlanceReader, TokenRingSecondsAndHundredths) {
  test::ScopedTimeZone zone("Europe/Berlin");
  auto frames = tools::TokenRingScenario();
  tools::DataGlanceOptions o;
  o.medium = 2;
  o.clock = tools::DataGlanceClock::TokenRing;
  o.biasSeconds = -3600;
  auto back = test::ReadFrames(tools::WriteDataGlance(frames, o), "ring.dgc");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), frames.size());
  bool sawBad = false;
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    EXPECT_EQ(seen.frameLength, frames[i].wireLength);
    EXPECT_EQ(seen.storedLength, frames[i].bytes.size());
    EXPECT_EQ(seen.data, frames[i].bytes);
    EXPECT_EQ(seen.status, 0);  // error marks count on Ethernet only
    sawBad = sawBad || frames[i].status != 0;
    EXPECT_DOUBLE_EQ(seen.timeStamp, kStartMicros + std::floor(frames[i].timeUs / 10000) * 10000);
  }
  // The flag of the PC timer wins on Token Ring too.
  Bytes file = tools::WriteDataGlance(frames, o);
  file[512] |= 0x20;
  PutTicks(&file[512], 5000);
  back = test::ReadFrames(file, "ring.dgc");
  ASSERT_FALSE(back.frames.empty());
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, kStartMicros + std::nearbyint(5000 * kPcTick));
  // Seconds beyond a day are taken modulo 86400.
  file = tools::WriteDataGlance(frames, o);
  PutTicks(&file[512], (uint64_t(25) << 32) | (86400 * 3 + 7));
  back = test::ReadFrames(file, "ring.dgc");
  ASSERT_FALSE(back.frames.empty());
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, 7e6 + 250000);
}

TEST(DataGlanceReader, StartIsLocalInEveryZone) {
  auto frames = SomeFrames(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {
      tools::DataGlanceOptions o;
      o.start.month = month;
      o.biasSeconds = TimeZoneBiasAt(EncodeDateTime(2024, month, 5, 9, 30, 0));
      auto back = test::ReadFrames(tools::WriteDataGlance(frames, o), "z.dgc");
      ASSERT_EQ(back.frames.size(), 3u);
      EXPECT_NEAR(back.frames[0].timeStamp, kStartMicros + frames[0].timeUs, 1.0) << zone << month;
      EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, month, 5, 9, 30, 0), 1e-6) << zone << month;
      EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros)) << zone << month;
    }
  }
}

TEST(DataGlanceReader, EmptyBlocksArePassedOver) {
  auto frames = SomeFrames(7);
  tools::DataGlanceOptions o;
  o.emptyBlockEvery = 2;
  auto back = test::ReadFrames(tools::WriteDataGlance(frames, o), "e.dgc");
  ASSERT_EQ(back.frames.size(), 7u);
  for (size_t i = 0; i < 7; ++i)
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin())) << i;
}

TEST(DataGlanceReader, HeaderMediumAndName) {
  const Bytes good = tools::WriteDataGlance(SomeFrames(2), {});
  EXPECT_FALSE(test::ReadFrames(good, "g.dgc").refused);
  EXPECT_TRUE(test::ReadFrames(good, "g.cap").refused);  // recognised by name and contents together
  for (uint8_t flags : {1, 4, 5, 0x0C}) {
    Bytes file = good;
    file[131] = flags;
    EXPECT_FALSE(test::ReadFrames(file, "g.dgc").refused) << int(flags);
  }
  for (uint8_t flags : {2, 3, 6, 7}) {
    Bytes file = good;
    file[131] = flags;
    EXPECT_TRUE(test::ReadFrames(file, "g.dgc").refused) << int(flags);
  }
  Bytes fddi = good;
  fddi[130] = 1;
  auto back = test::ReadFrames(fddi, "g.dgc");
  EXPECT_TRUE(back.refused);
  EXPECT_EQ(back.info.TopologyCode, topology::Fddi);
}

TEST(DataGlanceReader, StoredLengthAboveTheFrameLimit) {
  auto frames = SomeFrames(2);
  frames[0].bytes.resize(40000, 0x77);
  frames[0].wireLength = 40000;
  auto back = test::ReadFrames(tools::WriteDataGlance(frames, {}), "big.dgc");
  ASSERT_EQ(back.frames.size(), 2u);
  const auto& big = back.frames[0];
  EXPECT_EQ(big.storedLength, 32768);
  EXPECT_EQ(big.frameLength, 32768);
  // Blocks are copied while k * 88 + 1 stays below 32768 - 89: up to block 371.
  const size_t copied = 372 * 88;
  ASSERT_EQ(big.data.size(), 32768u);
  EXPECT_TRUE(std::equal(big.data.begin(), big.data.begin() + long(copied), frames[0].bytes.begin()));
  EXPECT_TRUE(std::all_of(big.data.begin() + long(copied), big.data.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(frames[1].bytes.begin(), frames[1].bytes.end(), back.frames[1].data.begin()));
}

TEST(DataGlanceReader, TruncatedFilesKeepTheWholeFramesBefore) {
  auto frames = SomeFrames(4, 80);  // 84 to 177 stored bytes: one to three blocks each
  const Bytes file = tools::WriteDataGlance(frames, {});
  auto full = test::ReadFrames(file, "t.dgc");
  ASSERT_EQ(full.frames.size(), 4u);
  for (size_t cut = 140; cut < file.size(); ++cut) {
    size_t whole = 0;
    while (whole < frames.size() && tools::DataGlanceBlockOffset(frames, whole + 1, true) <= cut) ++whole;
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.dgc");
    // The whole frames, and one whose continuation the file ends inside, with its bytes present.
    ASSERT_GE(back.frames.size(), whole) << cut;
    ASSERT_LE(back.frames.size(), whole + 1) << cut;
    for (size_t i = 0; i < whole; ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data) << cut;
    if (back.frames.size() > whole) {
      const auto& last = back.frames.back().data;
      ASSERT_TRUE(back.info.CutShort) << cut;
      ASSERT_LE(last.size(), full.frames[whole].data.size()) << cut;
      ASSERT_TRUE(std::equal(last.begin(), last.end(), full.frames[whole].data.begin())) << cut;
    }
  }
}

}  // namespace
}  // namespace korvane
