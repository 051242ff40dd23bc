#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "input/Detect.h"
#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "support/TestSupport.h"
#include "writers/DominoWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;

std::vector<ScenarioFrame> Numbered(size_t n) { return test::NumberedFrames(n, 3200.0, 62, 7); }

double Stamp(double timeUs) { return kStartMicros + std::nearbyint(timeUs / 32.0) * 32.0; }

// Offset of the frame index (its frame count) and of its first entry.
size_t IndexOffset(const Bytes& file) { return Le32(&file[Le32(&file[78 + 16 + 4])]); }

TEST(DominoReader, EthernetFramesCarryTheirOwnCheckSequence) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[1].status = tools::kStatusCrcError;
  frames[4].bytes.resize(40);  // sliced
  tools::DominoOptions o;
  o.comment = "Office segment";
  o.extraFlags = {0, 0x40, 0x80, 1u << 28, 0x40 | 0x80};
  auto back = test::ReadFrames(tools::WriteDomino(frames, o), "office.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::Domino);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  EXPECT_EQ(back.info.Comment, "Office segment");
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
  ASSERT_EQ(back.frames.size(), frames.size());
  const uint16_t directions[] = {0, 1, 2, 2, 3};
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    const bool sliced = f.bytes.size() < f.wireLength;
    EXPECT_DOUBLE_EQ(seen.timeStamp, Stamp(f.timeUs));
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    EXPECT_EQ(seen.storedLength, sliced ? f.bytes.size() : f.bytes.size() + 4);
    EXPECT_EQ(seen.status & 0xFFFC, f.status ? kCrcError : 0);
    EXPECT_EQ(seen.status & 0x3, i < 5 ? directions[i] : 0);
    ASSERT_GE(seen.data.size(), f.bytes.size());
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    if (!sliced) {  // the stored check sequence is not recomputed
      uint32_t fcs = Crc32(f.bytes.data(), f.bytes.size());
      EXPECT_EQ(Le32(&seen.data[f.bytes.size()]), f.status ? ~fcs : fcs);
    }
  }
}

TEST(DominoReader, FrameLengthZeroMeansTheStoredLength) {
  auto frames = Numbered(3);
  for (bool zero : {true, false}) {
    tools::DominoOptions o;
    o.zeroFrameLength = zero;
    Bytes file = tools::WriteDomino(frames, o);
    EXPECT_EQ(Le16(&file[IndexOffset(file) + 4 + 6]), zero ? 0 : frames[0].wireLength + 4);
    auto back = test::ReadFrames(file, "z.cap");
    ASSERT_EQ(back.frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(back.frames[i].frameLength, frames[i].bytes.size() + 4);
  }
}

TEST(DominoReader, TokenRingProducts) {
  auto frames = tools::TokenRingScenario();
  frames[2].status = tools::kStatusCrcError;
  for (auto [product, interface] : {std::pair<uint16_t, uint16_t>{363, 0}, {739, 6}}) {
    for (bool linkView : {false, true}) {
      SCOPED_TRACE(product);
      tools::DominoOptions o;
      o.product = product;
      o.interface = interface;
      o.linkView = linkView;
      auto back = test::ReadFrames(tools::WriteDomino(frames, o), "ring.cap");
      ASSERT_FALSE(back.refused) << back.message;
      EXPECT_EQ(back.info.DetectedFormat, linkView ? fmt_id::LinkView : fmt_id::Domino);
      EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
      ASSERT_EQ(back.frames.size(), frames.size());
      for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength + 4) << i;
        EXPECT_EQ(back.frames[i].status, frames[i].status ? kCrcError : 0) << i;
        EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin()));
      }
    }
  }
}

TEST(DominoReader, LinkViewLengthAndCheckSequenceRules) {
  auto frames = Numbered(4);
  frames[1].status = tools::kStatusCrcError;
  frames[3].wireLength = 200;  // sliced
  // Product 739 on Ethernet stores frames without check sequence: the reader adds it.
  tools::DominoOptions o;
  o.linkView = true;
  o.product = 739;
  o.interface = 4;
  o.comment = "LinkView comment";
  auto back = test::ReadFrames(tools::WriteDomino(frames, o), "lv.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::LinkView);
  EXPECT_EQ(back.info.Comment, "LinkView comment");
  ASSERT_EQ(back.frames.size(), 4u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const auto& f = frames[i];
    EXPECT_EQ(back.frames[i].frameLength, f.bytes.size() + 4);
    EXPECT_EQ(back.frames[i].storedLength, f.bytes.size() + 4);
    EXPECT_EQ(Le32(&back.frames[i].data[f.bytes.size()]), f.status ? 0 : Crc32(f.bytes.data(), f.bytes.size()));
  }
  EXPECT_EQ(back.frames[3].frameLength, 204);
  EXPECT_EQ(back.frames[3].storedLength, frames[3].bytes.size());

  // The same product read as Domino: lengths as stored, no check sequence added.
  o.linkView = false;
  back = test::ReadFrames(tools::WriteDomino(frames, o), "dom.cap");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_EQ(back.frames[0].frameLength, frames[0].bytes.size() + 4);
  EXPECT_EQ(Le32(&back.frames[1].data[frames[1].bytes.size()]), ~Crc32(frames[1].bytes.data(), frames[1].bytes.size()));

  // Other Ethernet products keep their lengths; interface code 4 still has the check
  // sequence rewritten (0 for a bad frame), any other interface code leaves it stored.
  o.linkView = true;
  o.product = 880;
  back = test::ReadFrames(tools::WriteDomino(frames, o), "lv880.cap");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_EQ(back.info.FileBandwidthKnown, 100000000);
  EXPECT_EQ(back.frames[0].frameLength, frames[0].bytes.size() + 4);
  EXPECT_EQ(Le32(&back.frames[1].data[frames[1].bytes.size()]), 0u);
  o.interface = 9;
  back = test::ReadFrames(tools::WriteDomino(frames, o), "lv880.cap");
  ASSERT_EQ(back.frames.size(), 4u);
  EXPECT_EQ(Le32(&back.frames[1].data[frames[1].bytes.size()]), ~Crc32(frames[1].bytes.data(), frames[1].bytes.size()));
}

TEST(DominoReader, StartComesFromUnixSecondsAndTheHeaderClock) {
  auto frames = Numbered(2);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {
      for (int hour : {0, 23}) {  // near midnight the universal date differs from the local one
        tools::DominoOptions o;
        o.start.month = month;
        o.start.hour = hour;
        o.biasSeconds = TimeZoneBiasAt(EncodeDateTime(2024, month, 5, hour, 30, 0));
        auto back = test::ReadFrames(tools::WriteDomino(frames, o), "z.cap");
        ASSERT_EQ(back.frames.size(), 2u);
        EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, month, 5, hour, 30, 0), 1e-8) << zone << month << hour;
        EXPECT_EQ(back.info.TimeZoneBias, o.biasSeconds) << zone << month;
        EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, (hour * 3600.0 + 1800.0) * 1e6 + std::nearbyint(7 / 32.0) * 32);
      }
    }
  }
  // Without Unix seconds the date stays the file's own; the header clock still gives the time.
  tools::DominoOptions o;
  o.unixStart = false;
  auto back = test::ReadFrames(tools::WriteDomino(frames, o), "nostart.cap");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_NEAR(back.info.StartDateTime - std::floor(back.info.StartDateTime), 9.5 / 24.0, 1e-9);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, Stamp(frames[1].timeUs));
}

TEST(DominoReader, ChunkScanAndFrameIndex) {
  auto frames = Numbered(5);
  // "STOP" before "FRAM": no frame index, a trace without frames.
  tools::DominoOptions o;
  o.stopBeforeFrameIndex = true;
  auto back = test::ReadFrames(tools::WriteDomino(frames, o), "stop.cap");
  EXPECT_FALSE(back.refused);
  EXPECT_TRUE(back.tablesReady);
  EXPECT_TRUE(back.frames.empty());

  const Bytes good = tools::WriteDomino(frames, {});
  const size_t index = IndexOffset(good);
  auto readCount = [&](auto patch) {
    Bytes file = good;
    patch(file);
    return test::ReadFrames(file, "c.cap").frames.size();
  };
  // Neither tag: the scan runs to the end of the file.
  EXPECT_EQ(readCount([](Bytes& f) { std::memcpy(&f[78 + 16], "XXXX", 4); std::memcpy(&f[78 + 24], "YYYY", 4); }), 0u);
  // A pointer or an index beyond the file.
  EXPECT_EQ(readCount([](Bytes& f) { PutLe32(&f[78 + 20], 0xFFFFFFF0u); }), 0u);
  EXPECT_EQ(readCount([](Bytes& f) { PutLe32(&f[Le32(&f[78 + 20])], uint32_t(f.size())); }), 0u);
  // The frame count ends the read, also when more entries follow.
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[index], 3); }), 3u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[index], 0); }), 0u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[index], 0xFFFFFFFFu); }), 5u);
  // An entry whose bytes lie outside the file ends the read; one pointing back is read.
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[index + 4 + 2 * 20], uint32_t(f.size() + 5)); }), 2u);
  Bytes back2 = good;
  PutLe32(&back2[index + 4 + 3 * 20], Le32(&good[index + 4]));
  auto repeated = test::ReadFrames(back2, "b.cap");
  ASSERT_EQ(repeated.frames.size(), 5u);
  EXPECT_EQ(repeated.frames[3].data[1], 0);
}

TEST(DominoReader, TruncationAtEveryByteKeepsTheFramesBefore) {
  const Bytes file = tools::WriteDomino(Numbered(5), {});
  const auto full = test::ReadFrames(file, "t.cap");
  ASSERT_EQ(full.frames.size(), 5u);
  for (size_t cut = 40; cut < file.size(); ++cut) {
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.cap");
    ASSERT_LE(back.frames.size(), full.frames.size()) << cut;
    for (size_t i = 0; i < back.frames.size(); ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data) << cut;
  }
}

TEST(DominoReader, GarbageIndexNeverHangs) {
  const Bytes file = tools::WriteDomino(Numbered(4), {});
  uint32_t seed = 3;
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = file;
    for (size_t i = IndexOffset(file); i < damaged.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 24) < 60) damaged[i] = uint8_t(seed >> 16);
    }
    auto back = test::ReadFrames(damaged, "d.cap");
    EXPECT_LE(back.frames.size(), 4u);
    for (const auto& f : back.frames) EXPECT_LE(f.storedLength, kMaxFrameLength);
  }
}

TEST(DominoReader, HeaderStepReadsCodesAndProbesThroughTheReader) {
  tools::DominoOptions o;
  o.linkView = true;
  o.comment = std::string(45, 'c');
  Bytes file = tools::WriteDomino(Numbered(2), o);
  MemorySource source(file);
  TraceFileInfo info;
  HeaderResult h = ReadTraceHeader(fmt_id::LinkView, source, "lv.cap", info);
  EXPECT_EQ(h.topology, topology::Ethernet);
  EXPECT_EQ(h.bandwidthBps, 10000000);
  EXPECT_EQ(info.Comment, std::string(39, 'c'));
  // The probe read stops after one frame and keeps the topology the header gave.
  TraceFileInfo probeInfo;
  EXPECT_EQ(ProbeFirstFrame(fmt_id::LinkView, topology::Ethernet, source, "lv.cap", probeInfo), topology::Ethernet);
  // A product of another interface kind is not read.
  o.product = 359;
  o.interface = 15;
  auto back = test::ReadFrames(tools::WriteDomino(Numbered(2), o), "wan.cap");
  EXPECT_TRUE(back.refused);
  EXPECT_EQ(back.info.TopologyCode, 9);
  EXPECT_EQ(back.info.WanEncapsulation, 2);
}

}  // namespace
}  // namespace korvane
