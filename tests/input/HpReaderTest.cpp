#include <gtest/gtest.h>

#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "support/TestSupport.h"
#include "writers/HpWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;  // the writers' default 09:30:00
constexpr size_t kFirstFrameRecord = 128 + 28;                   // after the header and "GRP0"

std::vector<ScenarioFrame> SomeFrames(size_t n, size_t size = 90) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 1500.25 + 3;
    f.bytes.resize(size + i % 7);
    for (size_t k = 0; k < f.bytes.size(); ++k) f.bytes[k] = uint8_t(k * 7 + i);
    f.bytes[0] = 0x00;
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

// Size of the frame record the writer lays out for an unsliced Ethernet frame.
size_t EthernetRecordSize(const ScenarioFrame& f) { return 8 + 24 + ((f.bytes.size() + 4 + 7) & ~size_t(3)); }

TEST(HpReader, EthernetFramesKeepTheirStoredCheckSequence) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[5].status = tools::kStatusCrcError;
  frames[9].status = tools::kStatusAlignmentError;  // the format has no such mark
  auto back = test::ReadFrames(tools::WriteHp(frames, {}), "office.eth");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::HpPreWin95);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  EXPECT_EQ(back.info.FileBandwidthBps, 10000000);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    ASSERT_EQ(seen.storedLength, f.bytes.size() + 4);
    ASSERT_EQ(seen.data.size(), f.bytes.size() + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    const bool bad = (f.status & tools::kStatusCrcError) != 0;
    uint32_t fcs = Crc32(f.bytes.data(), f.bytes.size());
    EXPECT_EQ(Le32(seen.data.data() + f.bytes.size()), bad ? ~fcs : fcs);
    EXPECT_EQ(seen.status, bad ? kCrcError : 0);
    // Nanoseconds become whole microseconds by integer division.
    EXPECT_DOUBLE_EQ(seen.timeStamp, kStartMicros + std::floor(f.timeUs + 1e-6));
  }
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
}

TEST(HpReader, StatusAboveSevenMarksABadFrame) {
  auto frames = SomeFrames(2);
  frames[1].status = tools::kStatusCrcError;
  for (uint8_t status : {7, 8, 0xFF}) {
    tools::HpOptions o;
    o.badFrameStatus = status;
    auto back = test::ReadFrames(tools::WriteHp(frames, o), "s.eth");
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_EQ(back.frames[0].status, 0);
    EXPECT_EQ(back.frames[1].status, status > 7 ? kCrcError : 0) << int(status);
  }
}

TEST(HpReader, InterfaceCodeGivesTopologyAndSpeed) {
  struct Case {
    uint32_t code;
    uint8_t topology;
    int64_t bps;
  };
  const Case cases[] = {{1, topology::Ethernet, 10000000},  {2, topology::Ethernet, 10000000},
                        {5, topology::Ethernet, 10000000},  {8, topology::Ethernet, 10000000},
                        {7, topology::Ethernet, 100000000}, {3, topology::TokenRing, 4000000},
                        {4, topology::TokenRing, 16000000}};
  for (const Case& c : cases) {
    tools::HpOptions o;
    o.interfaceCode = c.code;
    auto back = test::ReadFrames(tools::WriteHp(SomeFrames(3), o), "i.eth");
    ASSERT_FALSE(back.refused) << c.code << back.message;
    EXPECT_EQ(back.info.TopologyCode, c.topology) << c.code;
    EXPECT_EQ(back.info.FileBandwidthBps, c.bps) << c.code;
    EXPECT_EQ(back.frames.size(), 3u) << c.code;
  }
  for (uint32_t code : {0u, 6u, 9u}) {
    tools::HpOptions o;
    o.interfaceCode = code;
    auto back = test::ReadFrames(tools::WriteHp(SomeFrames(3), o), "i.eth");
    EXPECT_TRUE(back.refused) << code;
    EXPECT_EQ(back.info.TopologyCode, topology::Undetermined) << code;
  }
}

TEST(HpReader, TokenRingFramesAreTakenAsStored) {
  auto frames = tools::TokenRingScenario();
  frames[2].status = tools::kStatusCrcError;
  tools::HpOptions o;
  o.interfaceCode = 4;
  auto back = test::ReadFrames(tools::WriteHp(frames, o), "ring.trn");
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength);
    EXPECT_EQ(back.frames[i].storedLength, frames[i].bytes.size());
    EXPECT_EQ(back.frames[i].data, frames[i].bytes);
    EXPECT_EQ(back.frames[i].status, 0);  // the error mark counts on Ethernet only
  }
}

TEST(HpReader, StartAndTimeStampsAreLocalInEveryZone) {
  auto frames = SomeFrames(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {
      tools::HpOptions o;
      o.start.month = month;
      o.biasSeconds = TimeZoneBiasAt(EncodeDateTime(2024, month, 5, 9, 30, 0));
      auto back = test::ReadFrames(tools::WriteHp(frames, o), "z.eth");
      ASSERT_EQ(back.frames.size(), 3u);
      for (size_t i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(back.frames[i].timeStamp, kStartMicros + std::floor(frames[i].timeUs + 1e-6))
            << zone << month;
      EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, month, 5, 9, 30, 0), 1e-6) << zone << month;
      EXPECT_EQ(back.info.TimeZoneBias, o.biasSeconds);
      EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
    }
  }
}

TEST(HpReader, TimeOfDayWrapsAtLocalMidnight) {
  test::ScopedTimeZone zone("Europe/Berlin");
  auto frames = SomeFrames(2);
  frames[1].timeUs = 3.5e6;
  tools::HpOptions o;
  o.start = {2024, 1, 5, 23, 59, 58};
  o.biasSeconds = -3600;
  auto back = test::ReadFrames(tools::WriteHp(frames, o), "m.eth");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, 86398e6 + 3);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, 1.5e6);
}

TEST(HpReader, RecordsOfOtherTagsAreSkippedBySize) {
  auto frames = SomeFrames(4);
  tools::HpOptions o;
  o.frameTag = "FR30";
  o.extraRecords = {{0, "NOTE", Bytes(13, 0xAA)}, {2, "FR40", Bytes(100, 0x55)}, {2, "GRPX", {}},
                    {4, "TAIL", Bytes(8, 1)}};
  auto back = test::ReadFrames(tools::WriteHp(frames, o), "x.eth");
  ASSERT_EQ(back.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin())) << i;

  // Without the group record the frames follow the header directly.
  o.groupRecord = false;
  EXPECT_EQ(test::ReadFrames(tools::WriteHp(frames, o), "x.eth").frames.size(), 4u);
}

TEST(HpReader, SlicedFramesKeepTheWireLength) {
  auto frames = SomeFrames(3, 200);
  frames[1].bytes.resize(64);
  auto back = test::ReadFrames(tools::WriteHp(frames, {}), "sl.eth");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[1].storedLength, 64);
  EXPECT_EQ(back.frames[1].frameLength, frames[1].wireLength + 4);
  EXPECT_TRUE(back.info.SlicedPacketsSeen);
  EXPECT_EQ(back.frames[2].storedLength, frames[2].bytes.size() + 4);
  EXPECT_FALSE(test::ReadFrames(tools::WriteHp(SomeFrames(3), {}), "sl.eth").info.SlicedPacketsSeen);
}

TEST(HpReader, DamagedSizesEndTheReadWithTheFramesBefore) {
  auto frames = SomeFrames(5);
  tools::HpOptions o;
  o.extraRecords = {{3, "JUNK", Bytes(16, 0)}};
  const Bytes good = tools::WriteHp(frames, o);
  size_t junk = kFirstFrameRecord;
  for (size_t i = 0; i < 3; ++i) junk += EthernetRecordSize(frames[i]);
  ASSERT_EQ(std::string(good.begin() + long(junk), good.begin() + long(junk) + 4), "JUNK");
  ASSERT_EQ(test::ReadFrames(good, "d.eth").frames.size(), 5u);

  // A size of 0 or 1 word would not get past the record's own header.
  for (uint32_t words : {0u, 1u}) {
    Bytes file = good;
    PutLe32(&file[junk + 4], words);
    EXPECT_EQ(test::ReadFrames(file, "d.eth").frames.size(), 3u) << words;
  }
  // A size that reaches past the end of the file ends the read there.
  Bytes file = good;
  PutLe32(&file[junk + 4], 0x40000000);
  EXPECT_EQ(test::ReadFrames(file, "d.eth").frames.size(), 3u);

  // A stored length whose padded data passes 32768 bytes ends the read; 32768 is still read.
  file = good;
  PutLe32(&file[kFirstFrameRecord + 8 + 12], 32765);  // (32765 + 7) & ~3 = 32772
  EXPECT_EQ(test::ReadFrames(file, "d.eth").frames.size(), 0u);
  file = good;
  PutLe32(&file[kFirstFrameRecord + 8 + 12], 32761);  // exactly 32768: read, then the file ends
  auto back = test::ReadFrames(file, "d.eth");
  ASSERT_EQ(back.frames.size(), 1u);
  // The file holds only part of those bytes: the frame keeps what is there.
  EXPECT_EQ(back.frames[0].storedLength, file.size() - (kFirstFrameRecord + 32));
  EXPECT_TRUE(back.info.CutShort);
}

TEST(HpReader, TruncatedFilesKeepTheFramesBefore) {
  auto frames = SomeFrames(4, 70);
  const Bytes file = tools::WriteHp(frames, {});
  auto full = test::ReadFrames(file, "t.eth");
  ASSERT_EQ(full.frames.size(), 4u);
  size_t recordEnd = kFirstFrameRecord;
  size_t complete = 0;
  for (size_t cut = 140; cut < file.size(); ++cut) {
    while (complete < frames.size() && recordEnd + EthernetRecordSize(frames[complete]) <= cut)
      recordEnd += EthernetRecordSize(frames[complete++]);
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.eth");
    ASSERT_GE(back.frames.size(), complete) << cut;
    ASSERT_LE(back.frames.size(), complete + 1) << cut;
    for (size_t i = 0; i < complete; ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data) << cut;
    if (back.frames.size() > complete) {
      // A frame cut inside its data is handed over with the bytes present, no more.
      const auto& last = back.frames.back();
      const size_t present = std::min<size_t>(cut - (recordEnd + 32), full.frames[complete].storedLength);
      ASSERT_EQ(last.storedLength, present) << cut;
      ASSERT_TRUE(std::equal(last.data.begin(), last.data.end(), full.frames[complete].data.begin())) << cut;
    }
  }
}

}  // namespace
}  // namespace korvane
