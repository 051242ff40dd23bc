#include <gtest/gtest.h>

#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;

std::vector<ScenarioFrame> Numbered(size_t n) { return test::NumberedFrames(n, 1000.25, 70); }

TEST(NetXRayReader, VersionTwoRoundTrip) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[3].status = tools::kStatusCrcError;
  auto back = test::ReadFrames(tools::WriteNetXRay(frames, {}), "office.cap");
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    EXPECT_EQ(seen.frameLength, frames[i].wireLength + 4);
    EXPECT_EQ(seen.storedLength, frames[i].bytes.size() + 4);
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), seen.data.begin()));
    EXPECT_NEAR(seen.timeStamp, kStartMicros + frames[i].timeUs, 0.51);
    EXPECT_EQ(seen.status & 0x3, 0x1);  // direction mark
    EXPECT_EQ((seen.status & kCrcError) != 0, (frames[i].status & tools::kStatusCrcError) != 0);
  }
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
}

TEST(NetXRayReader, StartTimeIsLocalInEveryZone) {
  auto frames = Numbered(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {  // standard and daylight time
      tools::NetXRayOptions o;
      o.start.month = month;
      o.biasSeconds = TimeZoneBiasAt(EncodeDateTime(2024, month, 5, 9, 30, 0));
      auto back = test::ReadFrames(tools::WriteNetXRay(frames, o), "z.cap");
      ASSERT_EQ(back.frames.size(), 3u);
      EXPECT_NEAR(back.frames[0].timeStamp, kStartMicros, 0.51) << zone << month;
      EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, month, 5, 9, 30, 0), 1e-6) << zone << month;
      EXPECT_EQ(back.info.TimeZoneBias, o.biasSeconds);
    }
  }
}

TEST(NetXRayReader, VersionOneAndTicksOfTheType2Clock) {
  test::ScopedTimeZone zone("UTC");
  auto frames = Numbered(5);
  frames[2].status = tools::kStatusCrcError;
  tools::NetXRayOptions o;
  o.version2 = false;
  o.ticksType2 = true;
  auto back = test::ReadFrames(tools::WriteNetXRay(frames, o), "v1.cap");
  ASSERT_EQ(back.frames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs, 1.0);
    EXPECT_EQ(back.frames[i].data.size(), frames[i].bytes.size() + 4);
  }
  EXPECT_NE(back.frames[2].status & kCrcError, 0);
  EXPECT_EQ(back.frames[1].status & kCrcError, 0);
}

TEST(NetXRayReader, RecordsHoldingTheCheckSequenceAreNeverSliced) {
  auto frames = Numbered(4);
  frames[1].bytes.resize(40);  // captured shorter than the wire length
  tools::NetXRayOptions o;
  o.recordsExcludeFcs = false;
  auto back = test::ReadFrames(tools::WriteNetXRay(frames, o), "fcs.cap");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_FALSE(back.info.SlicedPacketsSeen);
  for (const auto& f : back.frames) EXPECT_EQ(f.frameLength, f.storedLength);
  // The stored check sequence of a good frame is what the reader recomputes.
  EXPECT_EQ(Crc32(back.frames[0].data.data(), back.frames[0].data.size()), 0x2144DF1Cu);
}

TEST(NetXRayReader, EndOffsetKeptAtTwentyEightReadsEveryFrame) {
  auto frames = Numbered(10);
  tools::NetXRayOptions o;
  o.endOffsetAt28 = true;
  o.writeFrameCount = false;
  Bytes file = tools::WriteNetXRay(frames, o);
  EXPECT_EQ(test::ReadFrames(file, "t.cap").frames.size(), 10u);
  PutLe32(&file[28], 0);  // neither offset usable: the end of the file
  EXPECT_EQ(test::ReadFrames(file, "t.cap").frames.size(), 10u);
  PutLe32(&file[20], uint32_t(file.size() + 100));  // beyond the file: not usable either
  EXPECT_EQ(test::ReadFrames(file, "t.cap").frames.size(), 10u);
  // A usable end offset at 20 is honoured: it ends the read early.
  Bytes early = tools::WriteNetXRay(frames, {});
  PutLe32(&early[16], 0);
  PutLe32(&early[20], 128 + 40 + 70 + 1);
  EXPECT_EQ(test::ReadFrames(early, "t.cap").frames.size(), 2u);
}

TEST(NetXRayReader, HeaderFrameCountEndsTheRead) {
  Bytes file = tools::WriteNetXRay(Numbered(10), {});
  PutLe32(&file[16], 4);
  EXPECT_EQ(test::ReadFrames(file, "t.cap").frames.size(), 4u);
}

TEST(NetXRayReader, WrappedBufferReadsOldestFirstAndEachFrameOnce) {
  auto frames = Numbered(10);
  for (bool counted : {true, false}) {
    tools::NetXRayOptions o;
    o.wrapFirst = 6;
    o.writeFrameCount = counted;
    auto back = test::ReadFrames(tools::WriteNetXRay(frames, o), "wrap.cap");
    ASSERT_EQ(back.frames.size(), 10u) << counted;
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(back.frames[i].data[1], uint8_t(i)) << counted;
  }
}

TEST(NetXRayReader, NegativeFirstRecordIsRefused) {
  Bytes file = tools::WriteNetXRay(Numbered(2), {});
  PutLe32(&file[24], 0xFFFFFF00u);
  auto back = test::ReadFrames(file, "neg.cap");
  EXPECT_FALSE(back.tablesReady);
  EXPECT_TRUE(back.frames.empty());
}

TEST(NetXRayReader, TruncatedFilesKeepTheFramesBefore) {
  auto frames = Numbered(6);
  Bytes file = tools::WriteNetXRay(frames, {});
  auto full = test::ReadFrames(file, "t.cap");
  for (size_t cut = 40; cut < file.size(); ++cut) {
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.cap");
    ASSERT_LE(back.frames.size(), full.frames.size());
    for (size_t i = 0; i + 1 < back.frames.size(); ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data) << cut;
  }
}

}  // namespace
}  // namespace korvane
