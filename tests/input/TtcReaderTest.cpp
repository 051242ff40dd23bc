#include <gtest/gtest.h>

#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "support/TestSupport.h"
#include "writers/TtcWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;  // the writers' default 09:30:00

std::vector<ScenarioFrame> SomeFrames(size_t n, size_t size = 80) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 3000;
    f.bytes.resize(size + i % 9);
    for (size_t k = 0; k < f.bytes.size(); ++k) f.bytes[k] = uint8_t(k * 11 + i);
    f.bytes[0] = 0x00;
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

ScenarioFrame FrameOf(size_t size, uint8_t fill) {
  ScenarioFrame f;
  f.bytes.assign(size, fill);
  f.bytes[0] = 0x00;
  f.wireLength = uint32_t(size);
  return f;
}

void ExpectSynthesisedEthernet(const test::SeenFrame& seen, const ScenarioFrame& f) {
  ASSERT_EQ(seen.storedLength, f.bytes.size() + 4);
  EXPECT_EQ(seen.frameLength, f.bytes.size() + 4);
  ASSERT_EQ(seen.data.size(), f.bytes.size() + 4);
  EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
  uint32_t expected = 0;
  if (f.bytes.size() >= 60 && !(seen.status & kCrcError)) expected = Crc32(f.bytes.data(), f.bytes.size());
  EXPECT_EQ(Le32(seen.data.data() + f.bytes.size()), expected);
}

TEST(TtcReader, FireBerdEthernetWithSynthesisedCheckSequence) {
  auto frames = tools::OfficeLanScenario();
  frames[4].status |= tools::kStatusAlignmentError;
  auto back = test::ReadFrames(tools::WriteTtc(frames, {}), "office.pkt");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::FireBerd);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    ExpectSynthesisedEthernet(seen, frames[i]);
    uint16_t status = ((frames[i].status & tools::kStatusCrcError) ? kCrcError : 0) |
                      ((frames[i].status & tools::kStatusAlignmentError) ? kAlignmentError : 0);
    EXPECT_EQ(seen.status, status);
    EXPECT_DOUBLE_EQ(seen.timeStamp, std::nearbyint((kStartMicros + frames[i].timeUs) / 1000) * 1000);
  }
  EXPECT_FALSE(back.info.SlicedPacketsSeen);
}

TEST(TtcReader, FireBerdTopologyFromTheFirstFrame) {
  struct Case {
    Bytes start;
    uint8_t topology;
  };
  const Case cases[] = {
      {{0x00, 0x40, 0x00}, topology::Ethernet},  {{0x01, 0x00, 0x5E}, topology::Ethernet},
      {{0xFF, 0xFF, 0xFF}, topology::Ethernet},  {{0x10, 0x00, 0x5A}, topology::Ethernet},
      {{0x10, 0x00, 0x5D}, topology::Ethernet},  {{0x10, 0x00, 0xE0}, topology::Ethernet},
      {{0x10, 0x40, 0x5A}, topology::TokenRing}, {{0x10, 0x00, 0x5B}, topology::TokenRing},
      {{0x18, 0x40, 0x00}, topology::TokenRing}, {{0xF0, 0x00, 0x5A}, topology::TokenRing}};
  for (const Case& c : cases) {
    auto frames = SomeFrames(3);
    std::copy(c.start.begin(), c.start.end(), frames[0].bytes.begin());
    auto back = test::ReadFrames(tools::WriteTtc(frames, {}), "fb.cap");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.TopologyCode, c.topology) << int(c.start[0]) << ' ' << int(c.start[1]);
    ASSERT_EQ(back.frames.size(), 3u);
    // Token Ring lengths are the record's, with no room for a check sequence.
    EXPECT_EQ(back.frames[1].frameLength, frames[1].bytes.size() + (c.topology == topology::Ethernet ? 4 : 0));
  }
}

TEST(TtcReader, TokenRingFramesAsStored) {
  auto frames = tools::TokenRingScenario();
  tools::TtcOptions o;
  o.tokenRing = true;
  for (bool netLens : {false, true}) {
    o.netLens = netLens;
    auto back = test::ReadFrames(tools::WriteTtc(frames, o), netLens ? "ring.t04" : "ring.pkt");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.DetectedFormat, netLens ? fmt_id::NetLens : fmt_id::FireBerd);
    EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
    ASSERT_EQ(back.frames.size(), frames.size());
    bool sawLong = false;
    for (size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      // The 1514-byte rule holds on Token Ring as well.
      const size_t size = frames[i].bytes.size(), kept = std::min<size_t>(size, 1514);
      sawLong = sawLong || size > 1514;
      EXPECT_EQ(back.frames[i].frameLength, size);
      EXPECT_EQ(back.frames[i].storedLength, kept);
      EXPECT_EQ(back.frames[i].data, Bytes(frames[i].bytes.begin(), frames[i].bytes.begin() + long(kept)));
      EXPECT_EQ(back.frames[i].status, 0);
    }
    EXPECT_TRUE(sawLong);
  }
}

TEST(TtcReader, NetLensTopologyFromTheName) {
  auto frames = SomeFrames(5);
  frames[2].status = tools::kStatusCrcError;
  tools::TtcOptions o;
  o.netLens = true;
  const Bytes file = tools::WriteTtc(frames, o);
  auto back = test::ReadFrames(file, "spider.s04");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::NetLens);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) ExpectSynthesisedEthernet(back.frames[i], frames[i]);
  EXPECT_EQ(back.frames[2].status, kCrcError);

  // The same bytes named for Token Ring are Token Ring; any other name is not recognised.
  back = test::ReadFrames(file, "SPIDER.T04");
  ASSERT_FALSE(back.refused);
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  EXPECT_EQ(back.frames[0].frameLength, frames[0].bytes.size());
  EXPECT_TRUE(test::ReadFrames(file, "spider.cap").refused);
  // A header frame count of 100000 or more is not this format.
  Bytes many = file;
  PutLe32(&many[22], 100000);
  EXPECT_TRUE(test::ReadFrames(many, "spider.s04").refused);
}

TEST(TtcReader, FramesAbove1514BytesAreSliced) {
  for (bool tokenRing : {false, true}) {
    SCOPED_TRACE(tokenRing);
    std::vector<ScenarioFrame> frames = {FrameOf(1600, 0x31), FrameOf(1514, 0x32), FrameOf(1515, 0x33),
                                         FrameOf(60, 0x34)};
    tools::TtcOptions o;
    o.netLens = true;
    o.tokenRing = tokenRing;
    auto back = test::ReadFrames(tools::WriteTtc(frames, o), tokenRing ? "big.t04" : "big.s04");
    ASSERT_EQ(back.frames.size(), 4u);
    EXPECT_EQ(back.frames[0].storedLength, 1514);
    EXPECT_EQ(back.frames[0].frameLength, 1600);  // the record length, no room added
    EXPECT_EQ(back.frames[1].storedLength, tokenRing ? 1514 : 1518);
    EXPECT_EQ(back.frames[1].frameLength, tokenRing ? 1514 : 1518);
    EXPECT_EQ(back.frames[2].storedLength, 1514);
    EXPECT_EQ(back.frames[2].frameLength, 1515);
    EXPECT_TRUE(std::equal(back.frames[0].data.begin(), back.frames[0].data.end(), frames[0].bytes.begin()));
    // Every byte of the record was consumed: the next record is in step.
    EXPECT_EQ(back.frames[3].data[5], 0x34);
    EXPECT_TRUE(back.info.SlicedPacketsSeen);
  }
}

TEST(TtcReader, HeaderFrameCountEndsTheRead) {
  auto frames = SomeFrames(10);
  for (bool netLens : {false, true}) {
    tools::TtcOptions o;
    o.netLens = netLens;
    const char* name = netLens ? "n.s04" : "n.pkt";
    o.frameCount = 4;
    EXPECT_EQ(test::ReadFrames(tools::WriteTtc(frames, o), name).frames.size(), 4u) << netLens;
    o.frameCount = 0;  // no count: the end of the file
    EXPECT_EQ(test::ReadFrames(tools::WriteTtc(frames, o), name).frames.size(), 10u) << netLens;
    o.frameCount = 50;
    EXPECT_EQ(test::ReadFrames(tools::WriteTtc(frames, o), name).frames.size(), 10u) << netLens;
  }
}

TEST(TtcReader, TimeIsAThirtyTwoBitMillisecondCount) {
  auto frames = SomeFrames(2);
  Bytes file = tools::WriteTtc(frames, {});
  PutLe32(&file[76 + 6], 0x00010002);
  auto back = test::ReadFrames(file, "t.pkt");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, 65538000.0);
}

TEST(TtcReader, DamagedAndTruncatedFiles) {
  auto frames = SomeFrames(5, 64);
  tools::TtcOptions o;
  o.netLens = true;
  const Bytes file = tools::WriteTtc(frames, o);
  auto full = test::ReadFrames(file, "d.s04");
  ASSERT_EQ(full.frames.size(), 5u);

  // A record length above 32768 ends the read; 32768 itself is read (here: cut short).
  size_t third = 26;
  for (size_t i = 0; i < 2; ++i) third += 10 + frames[i].bytes.size();
  Bytes file2 = file;
  PutLe16(&file2[third], 32769);
  EXPECT_EQ(test::ReadFrames(file2, "d.s04").frames.size(), 2u);
  PutLe16(&file2[third], 0);  // an empty record moves on by its header
  auto back = test::ReadFrames(file2, "d.s04");
  EXPECT_GE(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[2].storedLength, 4);

  // A file cut anywhere holds the records that are whole, and one cut inside its bytes
  // with the bytes present.
  for (size_t cut = 140; cut < file.size(); ++cut) {
    size_t whole = 0, end = 26;
    while (whole < frames.size() && end + 10 + frames[whole].bytes.size() <= cut) end += 10 + frames[whole++].bytes.size();
    auto part = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "d.s04");
    const bool inBytes = cut > end + 10;
    ASSERT_EQ(part.frames.size(), whole + (inBytes ? 1 : 0)) << cut;
    for (size_t i = 0; i < whole; ++i) ASSERT_EQ(part.frames[i].data, full.frames[i].data) << cut;
    if (inBytes) {
      ASSERT_EQ(part.frames.back().storedLength, cut - end - 10) << cut;
      ASSERT_TRUE(std::equal(part.frames.back().data.begin(), part.frames.back().data.end(), frames[whole].bytes.begin()));
    }
    ASSERT_EQ(part.info.CutShort, cut != end) << cut;
  }
}

}  // namespace
}  // namespace korvane
