#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "support/TestSupport.h"
#include "writers/ObserverWriter.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr size_t kHeader = 113;
constexpr size_t kRecordHeader = 44;
constexpr double kStartMillis = (9 * 3600.0 + 30 * 60.0) * 1e3;

std::vector<ScenarioFrame> Numbered(size_t n) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 2500.6;
    f.bytes.assign(64 + 5 * i, uint8_t(0x20 + i));
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

// A file of raw records, for the cases the writer would never produce.
struct RawRecord {
  uint32_t wire = 0;
  uint32_t captured = 0;
  uint32_t flags = 0;
  uint32_t millis = 1000;
};

Bytes RawFile(int version, uint32_t medium, const std::vector<RawRecord>& records) {
  tools::ObserverOptions o;
  o.version = version;
  Bytes file = tools::WriteObserver({}, o);
  for (size_t i = 0; i < records.size(); ++i) {
    const RawRecord& r = records[i];
    const size_t at = file.size();
    Bytes header(kRecordHeader, 0);
    PutLe32(&header[12], i + 1 < records.size() ? uint32_t(at + kRecordHeader + r.captured) : 0);
    PutLe32(&header[20], medium);
    PutLe32(&header[28], r.wire);
    PutLe32(&header[32], r.flags);
    PutLe32(&header[36], r.millis);
    PutLe32(&header[40], r.captured);
    file.insert(file.end(), header.begin(), header.end());
    for (uint32_t k = 0; k < r.captured; ++k) file.push_back(uint8_t(0x30 + k));
  }
  // Detection and the header step look at the first 140 bytes.
  if (file.size() < 140) file.resize(140, 0);
  return file;
}

double ExpectedTime(const ScenarioFrame& f) { return std::nearbyint(kStartMillis + f.timeUs / 1000.0) * 1000.0; }

// Ethernet with lengths that leave the check sequence out (version 4 and 5) or count it
// (6 and later): the frame comes back the same, padded to 64 bytes unless marked bad.
void ExpectEthernetFrames(const test::ReadBack& back, const std::vector<ScenarioFrame>& frames) {
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    const bool bad = (f.status & tools::kStatusCrcError) != 0;
    const size_t padded = bad ? f.bytes.size() + 4 : std::max<size_t>(f.bytes.size() + 4, 64);
    EXPECT_EQ(seen.frameLength, padded);
    EXPECT_EQ(seen.storedLength, padded);
    EXPECT_EQ(seen.status, f.status);
    EXPECT_DOUBLE_EQ(seen.timeStamp, ExpectedTime(f));
    ASSERT_EQ(seen.data.size(), padded);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    EXPECT_TRUE(std::all_of(seen.data.begin() + long(f.bytes.size()), seen.data.end() - 4, [](uint8_t b) { return b == 0; }));
    const uint32_t fcs = Le32(&seen.data[padded - 4]);
    EXPECT_EQ(fcs, bad ? 0u : Crc32(seen.data.data(), padded - 4));
  }
}

TEST(ObserverReader, EthernetFrameByFrameInBothLengthConventions) {
  test::ScopedTimeZone zone("Europe/Berlin");
  auto frames = tools::OfficeLanScenario();
  frames[3].status = tools::kStatusCrcError;
  frames[7].status = tools::kStatusAlignmentError;
  frames[9].status = tools::kStatusCrcError | tools::kStatusAlignmentError;
  frames[11].bytes.resize(42);  // an unpadded short frame: back to the minimum size
  frames[11].wireLength = 42;
  frames[12].bytes.resize(42);  // a bad short one keeps its length
  frames[12].wireLength = 42;
  frames[12].status = tools::kStatusCrcError;
  for (int version : {4, 5, 6, 9}) {
    SCOPED_TRACE(version);
    tools::ObserverOptions o;
    o.version = version;
    auto back = test::ReadFrames(tools::WriteObserver(frames, o), "office.bfr");
    EXPECT_EQ(back.info.DetectedFormat, fmt_id::Observer);
    EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
    ExpectEthernetFrames(back, frames);
    EXPECT_FALSE(back.info.SlicedPacketsSeen);
  }
}

TEST(ObserverReader, TokenRingFrameByFrame) {
  auto frames = tools::TokenRingScenario();
  frames[2].status = tools::kStatusCrcError;
  for (int version : {3, 5, 7}) {
    SCOPED_TRACE(version);
    tools::ObserverOptions o;
    o.version = version;
    o.medium = 1;
    auto back = test::ReadFrames(tools::WriteObserver(frames, o), "ring.bfr");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& seen = back.frames[i];
      // Token Ring lengths are the captured bytes: no check sequence room, no 64-byte minimum.
      EXPECT_EQ(seen.frameLength, frames[i].bytes.size());
      EXPECT_EQ(seen.storedLength, frames[i].bytes.size());
      EXPECT_EQ(seen.data, frames[i].bytes);
      EXPECT_EQ(seen.status, frames[i].status);
      EXPECT_DOUBLE_EQ(seen.timeStamp, ExpectedTime(frames[i]));
    }
  }
}

TEST(ObserverReader, LengthsByVersionAndTopology) {
  struct Case {
    int version;
    bool tokenRing;
    uint32_t wire, captured, flags;
    uint16_t frameLength, storedLength;
  } cases[] = {
      {3, true, 100, 80, 0, 80, 80},    // up to version 3 only the captured bytes count
      {3, false, 100, 80, 0, 84, 84},
      {2, false, 0, 70, 0, 74, 74},
      {4, true, 100, 80, 0, 80, 80},    // sliced Token Ring: the captured bytes
      {5, false, 100, 80, 0, 104, 80},  // sliced Ethernet, check sequence left out
      {6, false, 100, 80, 0, 100, 80},  // sliced Ethernet, check sequence counted
      {4, true, 90, 90, 0, 90, 90},     // whole Token Ring frame
      {6, false, 90, 90, 0, 90, 90},    // whole Ethernet frame with its check sequence
      {8, false, 90, 90, 0, 90, 90},
      {5, false, 90, 90, 0, 94, 94},    // whole Ethernet frame without
      {5, true, 0, 0, 0, 4, 4},         // an empty Token Ring record
      {5, false, 56, 56, 0, 64, 64},    // works out at 60: padded to 64 ...
      {5, false, 56, 56, 2, 60, 60},    // ... unless marked bad
      {5, false, 56, 56, 1, 64, 64},    // an alignment error alone does not prevent it
      {3, false, 40, 40, 0, 64, 64},
      {6, false, 60, 60, 0, 64, 64},
      {3, true, 30, 30, 0, 30, 30},     // Token Ring has no minimum
      {5, false, 100, 120, 0, 104, 104},  // more captured than the wire had: the frame's worth
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "version " << c.version << (c.tokenRing ? " TR" : " Eth") << " wire "
                                      << c.wire << " captured " << c.captured << " flags " << c.flags);
    auto back = test::ReadFrames(RawFile(c.version, c.tokenRing ? 1 : 0, {{c.wire, c.captured, c.flags}}), "l.bfr");
    ASSERT_EQ(back.frames.size(), 1u);
    const auto& seen = back.frames[0];
    EXPECT_EQ(seen.frameLength, c.frameLength);
    EXPECT_EQ(seen.storedLength, c.storedLength);
    EXPECT_EQ(back.info.SlicedPacketsSeen, c.frameLength > c.storedLength);
    const size_t kept = std::min<size_t>({c.captured, seen.data.size()});
    for (size_t k = 0; k < kept && k + 4 < c.frameLength; ++k) ASSERT_EQ(seen.data[k], uint8_t(0x30 + k)) << k;
  }
}

TEST(ObserverReader, VersionIsTheDigitAfterTheFirstEqualsSign) {
  // An Ethernet record of 100 bytes on the wire and captured: 100 long from version 6 on,
  // 104 below.
  auto lengthWith = [](const std::string& text) {
    Bytes file = RawFile(5, 0, {{100, 100, 0}});
    std::fill_n(file.begin(), 40, 0);
    std::copy(text.begin(), text.end(), file.begin());
    auto back = test::ReadFrames(file, "v.bfr");
    return back.frames.empty() ? 0 : back.frames[0].frameLength;
  };
  EXPECT_EQ(lengthWith("ObserverPktBufferVersion=7.00"), 100);
  EXPECT_EQ(lengthWith("ObserverPktBufferVersion=5.00"), 104);
  EXPECT_EQ(lengthWith("Observer v=6=3"), 100);
  EXPECT_EQ(lengthWith("Observer v=3=6"), 104);
  EXPECT_EQ(lengthWith("ObserverPktBufferVersion 6.00"), 104);  // no "=": the oldest layout
  EXPECT_EQ(lengthWith("ObserverPktBufferVersion=x6.00"), 104);
  EXPECT_EQ(lengthWith("Observer" + std::string(23, ' ') + "=6"), 100);  // "=" as the 32nd character
  EXPECT_EQ(lengthWith("Observer" + std::string(24, ' ') + "=6"), 104);  // beyond the version text
}

TEST(ObserverReader, RecordsAreFollowedByTheirChain) {
  auto frames = Numbered(6);
  for (bool pointsAtEnd : {false, true}) {
    tools::ObserverOptions o;
    o.gapAfterRecord = 13;
    o.lastPointsAtEnd = pointsAtEnd;
    auto back = test::ReadFrames(tools::WriteObserver(frames, o), "chain.bfr");
    ASSERT_EQ(back.frames.size(), 6u) << pointsAtEnd;
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(back.frames[i].data[1], 0x20 + i);
  }
}

TEST(ObserverReader, ChainEndsAtZeroOutsideTheFileOrPointingBack) {
  tools::ObserverOptions o;
  o.gapAfterRecord = 3;
  const auto frames = Numbered(6);
  const Bytes good = tools::WriteObserver(frames, o);
  std::vector<size_t> at;
  for (size_t offset = kHeader; offset != 0 && at.size() < 10; offset = Le32(&good[offset + 12])) at.push_back(offset);
  ASSERT_EQ(at.size(), 6u);
  struct Case {
    const char* what;
    uint32_t next;
  } cases[] = {
      {"zero", 0},
      {"the end of the file", uint32_t(good.size())},
      {"beyond the file", 0xFFFFFFF0u},
      {"back to the first record", uint32_t(at[0])},
      {"to itself", uint32_t(at[2])},
      {"into its own header", uint32_t(at[2] + 20)},
  };
  for (const auto& c : cases) {
    Bytes file = good;
    PutLe32(&file[at[2] + 12], c.next);
    auto back = test::ReadFrames(file, "chain.bfr");
    EXPECT_EQ(back.frames.size(), 3u) << c.what;
  }
}

TEST(ObserverReader, TruncationAtEveryByteGivesAPrefix) {
  tools::ObserverOptions o;
  Bytes file = tools::WriteObserver(Numbered(4), o);
  auto full = test::ReadFrames(file, "t.bfr");
  ASSERT_EQ(full.frames.size(), 4u);
  size_t previous = 0;
  for (size_t cut = 140; cut < file.size(); ++cut) {
    auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.bfr");
    ASSERT_LE(back.frames.size(), full.frames.size()) << cut;
    ASSERT_GE(back.frames.size(), previous) << cut;
    previous = back.frames.size();
    for (size_t i = 0; i < back.frames.size(); ++i) {
      const auto& part = back.frames[i];
      const auto& whole = full.frames[i];
      EXPECT_EQ(part.frameLength, whole.frameLength) << cut;
      if (i + 1 < back.frames.size()) {
        ASSERT_EQ(part.data, whole.data) << cut << " frame " << i;
      } else {
        ASSERT_LE(part.data.size(), whole.data.size()) << cut;
        // The bytes present, without the check sequence the whole frame was given.
        const size_t present = std::min(part.data.size(), whole.data.size() - 4);
        EXPECT_TRUE(std::equal(part.data.begin(), part.data.begin() + long(present), whole.data.begin())) << cut;
      }
    }
  }
  EXPECT_EQ(previous, 4u);
}

TEST(ObserverReader, CorruptedBytesNeverHangOrReadOutside) {
  uint32_t seed = 777;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (uint32_t medium : {0u, 1u}) {
    tools::ObserverOptions o;
    o.medium = medium;
    const Bytes good = tools::WriteObserver(Numbered(4), o);
    for (int round = 0; round < 400; ++round) {
      Bytes file = good;
      for (int k = 0; k < 1 + round % 4; ++k) file[next() % file.size()] = uint8_t(next());
      auto back = test::ReadFrames(file, "fuzz.bfr");
      EXPECT_LE(back.frames.size(), (file.size() - kHeader) / kRecordHeader);
      for (const auto& f : back.frames) EXPECT_LE(f.storedLength, kMaxFrameLength);
    }
  }
}

}  // namespace
}  // namespace korvane
