#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "support/TestSupport.h"
#include "writers/EtherPeekWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;
constexpr size_t kFileHeader = 50;
constexpr size_t kHeaderStepMinimum = 140;  // shorter files are refused before reading

std::vector<ScenarioFrame> Numbered(size_t n, size_t baseLength = 70) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 2500.0 + 17.0;
    f.bytes.assign(baseLength + i, uint8_t(i + 1));
    f.bytes[0] = 0;
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

Bytes WithFcs(const ScenarioFrame& f) {
  Bytes b = f.bytes;
  uint32_t fcs = Crc32(b.data(), b.size());
  if (f.status & tools::kStatusCrcError) fcs = ~fcs;
  for (int k = 0; k < 4; ++k) b.push_back(uint8_t(fcs >> (8 * k)));
  return b;
}

uint16_t ExpectedStatus(const ScenarioFrame& f) {
  uint16_t s = 0;
  if (f.status & tools::kStatusCrcError) s |= kCrcError;
  if (f.status & tools::kStatusAlignmentError) s |= kAlignmentError;
  return s;
}

TEST(EtherPeekReader, VersionSevenEthernetFrameByFrame) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[2].status = tools::kStatusCrcError;
  frames[5].status = tools::kStatusAlignmentError;
  frames[7].status = tools::kStatusCrcError | tools::kStatusAlignmentError;
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, {}), "office.pkt");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::EtherPeek);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    // The records hold the check sequence; nothing is synthesised.
    EXPECT_EQ(seen.frameLength, frames[i].wireLength + 4);
    EXPECT_EQ(seen.storedLength, frames[i].bytes.size() + 4);
    EXPECT_EQ(seen.data, WithFcs(frames[i]));
    EXPECT_EQ(seen.status, ExpectedStatus(frames[i]));
    EXPECT_NEAR(seen.timeStamp, kStartMicros + frames[i].timeUs, 0.51);
  }
  EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, 3, 5, 9, 30, 0), 1e-9);
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
}

TEST(EtherPeekReader, VersionSixMillisecondStampsFromTheCaptureDate) {
  test::ScopedTimeZone zone("UTC");
  auto frames = Numbered(6);
  for (size_t i = 0; i < frames.size(); ++i) frames[i].timeUs = double(i) * 1250000.0 + 3000.0;
  frames[1].status = tools::kStatusCrcError;
  tools::EtherPeekOptions o;
  o.version = 6;
  o.start = {2023, 11, 20, 14, 5, 9};
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "v6.PKT");
  ASSERT_EQ(back.frames.size(), frames.size());
  const double start = (14 * 3600.0 + 5 * 60.0 + 9.0) * 1e6;
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(back.frames[i].timeStamp, start + frames[i].timeUs);
    EXPECT_EQ(back.frames[i].data, WithFcs(frames[i]));
    EXPECT_EQ(back.frames[i].status, ExpectedStatus(frames[i]));
  }
  EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2023, 11, 20, 14, 5, 9), 1e-9);
}

TEST(EtherPeekReader, TokenPeekFileUsesTheSameLayout) {
  auto frames = tools::TokenRingScenario();
  frames[1].status = tools::kStatusCrcError;
  for (uint8_t version : {6, 7}) {
    SCOPED_TRACE(int(version));
    tools::EtherPeekOptions o;
    o.version = version;
    o.tokenRing = true;
    auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "ring.tpc");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength) << i;
      EXPECT_EQ(back.frames[i].data, frames[i].bytes) << i;
      EXPECT_EQ(back.frames[i].status, ExpectedStatus(frames[i])) << i;
    }
  }
}

TEST(EtherPeekReader, OddSlicesConsumeTheirPaddingByte) {
  auto frames = Numbered(8, 61);  // 61, 62, 63 ... bytes: every other record is odd
  for (uint8_t version : {6, 7}) {
    SCOPED_TRACE(int(version));
    tools::EtherPeekOptions o;
    o.version = version;
    o.recordsHoldFcs = false;
    Bytes file = tools::WriteEtherPeek(frames, o);
    size_t expectedSize = kFileHeader;
    for (const auto& f : frames) expectedSize += (version == 7 ? 16 : 26) + f.bytes.size() + (f.bytes.size() & 1);
    ASSERT_EQ(file.size(), expectedSize);
    auto back = test::ReadFrames(file, "odd.pkt");
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(back.frames[i].storedLength, frames[i].bytes.size()) << i;
      EXPECT_EQ(back.frames[i].data, frames[i].bytes) << i;
    }
  }
}

TEST(EtherPeekReader, SlicedPacketsAndExplicitSliceLengths) {
  auto frames = Numbered(5, 200);
  tools::EtherPeekOptions o;
  o.sliceLimit = 64;
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "slice.pkt");
  ASSERT_EQ(back.frames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(back.frames[i].storedLength, 64);
    EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength + 4);
    EXPECT_TRUE(std::equal(back.frames[i].data.begin(), back.frames[i].data.end(), frames[i].bytes.begin()));
  }
  // A whole packet may also state its slice length instead of 0.
  o = {};
  o.sliceZeroWhenWhole = false;
  auto explicitSlices = test::ReadFrames(tools::WriteEtherPeek(frames, o), "slice.pkt");
  ASSERT_EQ(explicitSlices.frames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(explicitSlices.frames[i].data, WithFcs(frames[i]));
}

TEST(EtherPeekReader, PacketCountEndsTheRead) {
  auto frames = Numbered(10);
  Bytes file = tools::WriteEtherPeek(frames, {});
  PutBe32(&file[6], 4);
  EXPECT_EQ(test::ReadFrames(file, "n.pkt").frames.size(), 4u);
  // Without a count the records are read to the end of the file.
  PutBe32(&file[6], 0);
  EXPECT_EQ(test::ReadFrames(file, "n.pkt").frames.size(), 10u);
  // A count larger than the file holds ends at the end of the data.
  PutBe32(&file[6], 1000);
  EXPECT_EQ(test::ReadFrames(file, "n.pkt").frames.size(), 10u);
}

TEST(EtherPeekReader, VersionSevenReadAheadForTheStart) {
  test::ScopedTimeZone zone("UTC");
  auto frames = Numbered(4);
  const double t1 = frames[1].timeUs, t2 = frames[2].timeUs;
  // A first stamp later than the next packet, or more than a day before it: the start
  // comes from the next packet, and the first two frames share its time.
  for (int64_t shift : {int64_t(10) * 1000000, -int64_t(2) * 86400 * 1000000}) {
    SCOPED_TRACE(shift);
    tools::EtherPeekOptions o;
    o.firstStampShiftUs = shift;
    auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "ahead.pkt");
    ASSERT_EQ(back.frames.size(), 4u);
    EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, kStartMicros + t1);
    EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, kStartMicros + t1);
    EXPECT_DOUBLE_EQ(back.frames[2].timeStamp, kStartMicros + t2);
    EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, 3, 5, 9, 30, 0), 1e-6);
    EXPECT_EQ(back.frames[0].data, WithFcs(frames[0]));  // the read-ahead left the position alone
  }
  // An hour before the next packet is plausible: the first packet gives the start.
  tools::EtherPeekOptions o;
  o.firstStampShiftUs = -int64_t(3600) * 1000000;
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "ahead.pkt");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, kStartMicros + frames[0].timeUs - 3600e6);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, kStartMicros + t1);
  // A file of one packet has nothing to read ahead.
  o.firstStampShiftUs = int64_t(10) * 1000000;
  auto single = test::ReadFrames(tools::WriteEtherPeek({frames[0]}, o), "one.pkt");
  ASSERT_EQ(single.frames.size(), 1u);
  EXPECT_DOUBLE_EQ(single.frames[0].timeStamp, kStartMicros + frames[0].timeUs + 10e6);
}

TEST(EtherPeekReader, CalendarFrom1904AndTheLocalZone) {
  auto frames = Numbered(3);
  struct Case {
    tools::CaptureStart start;
  } cases[] = {{{1904, 1, 1, 0, 0, 0}}, {{2000, 2, 29, 23, 59, 59}}, {{2100, 3, 1, 12, 0, 0}},
               {{2024, 1, 15, 8, 0, 0}}, {{2024, 7, 15, 8, 0, 0}}, {{1999, 12, 31, 23, 0, 0}}};
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (const Case& c : cases) {
      const auto& s = c.start;
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(s.year) + "-" + std::to_string(s.month));
      tools::EtherPeekOptions o;
      o.start = s;
      auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "cal.pkt");
      ASSERT_EQ(back.frames.size(), 3u);
      const double local = EncodeDateTime(s.year, s.month, s.day, s.hour, s.minute, s.second);
      EXPECT_NEAR(back.info.StartDateTime, local, 1e-9);
      EXPECT_EQ(back.info.TimeZoneBias, TimeZoneBiasAt(local));
      // Stamps are local time: the zone changes the bias, never the time of day.
      EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, (s.hour * 3600.0 + s.minute * 60 + s.second) * 1e6 + 17.0);
    }
  }
  test::ScopedTimeZone berlin("Europe/Berlin");
  tools::EtherPeekOptions winter, summer;
  winter.start.month = 1;
  summer.start.month = 7;
  EXPECT_EQ(test::ReadFrames(tools::WriteEtherPeek(frames, winter), "w.pkt").info.TimeZoneBias, -3600);
  EXPECT_EQ(test::ReadFrames(tools::WriteEtherPeek(frames, summer), "s.pkt").info.TimeZoneBias, -7200);
}

TEST(EtherPeekReader, DifferencesCarryOnPastMidnight) {
  auto frames = Numbered(3);
  frames[1].timeUs = 1.5e6;
  frames[2].timeUs = 2.0e6;
  tools::EtherPeekOptions o;
  o.start = {2024, 3, 5, 23, 59, 59};
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "late.pkt");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, 86400.5e6);
  EXPECT_DOUBLE_EQ(back.frames[2].timeStamp - back.frames[1].timeStamp, 0.5e6);
}

TEST(EtherPeekReader, LengthsAboveTheFrameBufferAreClamped) {
  auto frames = Numbered(1, 100);
  frames[0].bytes.assign(40000, 0xAB);
  frames[0].wireLength = 40000;
  tools::EtherPeekOptions o;
  o.recordsHoldFcs = false;
  frames.push_back(Numbered(2)[1]);
  auto back = test::ReadFrames(tools::WriteEtherPeek(frames, o), "big.pkt");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_EQ(back.frames[0].frameLength, kMaxFrameLength);
  EXPECT_EQ(back.frames[0].storedLength, kMaxFrameLength);
  EXPECT_EQ(back.frames[1].data, frames[1].bytes);  // the excess was skipped, not lost in step
}

TEST(EtherPeekReader, DetectionNeedsTheNameAndVersion) {
  Bytes file = tools::WriteEtherPeek(Numbered(2), {});
  EXPECT_EQ(test::ReadFrames(file, "dir.PKT/trace").frames.size(), 2u);
  EXPECT_TRUE(test::ReadFrames(file, "trace.cap").refused);
  file[0] = 5;
  EXPECT_TRUE(test::ReadFrames(file, "trace.tpc").refused);
}

TEST(EtherPeekReader, TruncationAtEveryByteKeepsAPrefix) {
  auto frames = Numbered(5);
  frames[2].bytes.resize(71);  // an odd record in the middle
  frames[2].wireLength = 71;
  for (uint8_t version : {6, 7}) {
    tools::EtherPeekOptions o;
    o.version = version;
    o.recordsHoldFcs = false;
    Bytes file = tools::WriteEtherPeek(frames, o);
    auto full = test::ReadFrames(file, "t.pkt");
    ASSERT_EQ(full.frames.size(), frames.size());
    for (size_t cut = kHeaderStepMinimum; cut < file.size(); ++cut) {
      SCOPED_TRACE(std::to_string(version) + "/" + std::to_string(cut));
      auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.pkt");
      ASSERT_LE(back.frames.size(), full.frames.size());
      for (size_t i = 0; i < back.frames.size(); ++i) {
        const auto& got = back.frames[i].data;
        const auto& want = full.frames[i].data;
        if (i + 1 < back.frames.size()) {
          ASSERT_EQ(got, want);
        } else {  // the last record keeps the bytes that were there, and claims no more
          ASSERT_LE(got.size(), want.size());
          ASSERT_TRUE(std::equal(got.begin(), got.end(), want.begin()));
          if (got.size() < want.size()) {
            ASSERT_TRUE(back.info.CutShort);
          }
        }
      }
    }
  }
}

TEST(EtherPeekReader, GarbageRecordsNeverHangOrOverrun) {
  std::mt19937 random(7);
  Bytes header = tools::WriteEtherPeek({}, {});
  for (int round = 0; round < 200; ++round) {
    Bytes file = header;
    file[0] = round % 2 ? 6 : 7;
    PutBe32(&file[6], uint32_t(random() % 50));
    size_t size = 100 + random() % 3000;  // the header step needs 140 bytes
    for (size_t i = 0; i < size; ++i) file.push_back(uint8_t(random()));
    auto back = test::ReadFrames(file, "g.pkt");
    ASSERT_FALSE(back.refused);
    // Every record consumes at least its header.
    ASSERT_LE(back.frames.size(), size / 16 + 1);
    for (const auto& f : back.frames) ASSERT_LE(f.storedLength, kMaxFrameLength);
  }
}

}  // namespace
}  // namespace korvane
