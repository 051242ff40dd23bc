#include <gtest/gtest.h>

#include <cmath>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/SnifferDecompressor.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;  // the writers' default 09:30:00

std::vector<ScenarioFrame> SomeFrames(size_t n, size_t size = 100) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 1234.5 + 17;
    f.bytes.resize(size + i % 40);
    for (size_t k = 0; k < f.bytes.size(); ++k) f.bytes[k] = uint8_t(k * 13 + i);
    f.bytes[0] = 0x00;  // individual destination
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

void ExpectEthernetFrame(const test::SeenFrame& seen, const ScenarioFrame& f) {
  ASSERT_EQ(seen.storedLength, f.bytes.size() + 4);
  EXPECT_EQ(seen.frameLength, f.wireLength + 4);
  ASSERT_GE(seen.data.size(), f.bytes.size());
  EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
  EXPECT_EQ((seen.status & kCrcError) != 0, (f.status & tools::kStatusCrcError) != 0);
}

TEST(SnifferDosReader, EthernetFramesRoundTripWithCheckSequence) {
  auto frames = tools::OfficeLanScenario();
  ASSERT_GT(frames.size(), 100u);
  tools::SnifferDosOptions options;
  auto back = test::ReadFrames(tools::WriteSnifferDos(frames, options), "office.enc");
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    ExpectEthernetFrame(seen, frames[i]);
    EXPECT_DOUBLE_EQ(seen.timeStamp, std::nearbyint((kStartMicros + frames[i].timeUs) / 15.0) * 15.0);
    if (seen.frameLength == seen.storedLength) {
      uint32_t expected = 0;
      if (frames[i].bytes.size() >= 60 && !(seen.status & kCrcError))
        expected = Crc32(frames[i].bytes.data(), frames[i].bytes.size());
      EXPECT_EQ(Le32(seen.data.data() + frames[i].bytes.size()), expected);
    }
  }
  EXPECT_EQ(back.info.FileBandwidthBps, 10000000);
}

TEST(SnifferDosReader, CompressedBodyReadsLikeThePlainOne) {
  auto frames = tools::OfficeLanScenario();
  tools::SnifferDosOptions plain;
  tools::SnifferDosOptions packed;
  packed.compressed = true;
  Bytes compressed = tools::WriteSnifferDos(frames, packed);
  Bytes uncompressed = tools::WriteSnifferDos(frames, plain);
  EXPECT_LT(compressed.size(), uncompressed.size());
  auto a = test::ReadFrames(uncompressed, "a.enc");
  auto b = test::ReadFrames(compressed, "b.enc");
  EXPECT_TRUE(b.info.SnifferCompressed);
  ASSERT_EQ(a.frames.size(), b.frames.size());
  for (size_t i = 0; i < a.frames.size(); ++i) {
    EXPECT_EQ(a.frames[i].data, b.frames[i].data) << i;
    EXPECT_EQ(a.frames[i].timeStamp, b.frames[i].timeStamp) << i;
  }
  // The interface record before the compressed stream still gives the line speed.
  EXPECT_EQ(b.info.FileBandwidthKnown, 10000000);
}

TEST(SnifferDosReader, TimeUnits) {
  auto frames = SomeFrames(5);
  frames[4].timeUs = 3600e6 * 3 + 0.5;  // hours into the capture
  struct Case {
    uint8_t unit;
    double micro;  // microseconds per tick
  } cases[] = {{2, 15}, {3, 0.5}, {4, 2}, {5, 1}, {0, 15}};
  for (const Case& c : cases) {
    tools::SnifferDosOptions o;
    o.timeUnit = c.unit;
    auto back = test::ReadFrames(tools::WriteSnifferDos(frames, o), "t.enc");
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_NEAR(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs, c.micro / 2 + 1e-6)
          << "unit " << int(c.unit) << " frame " << i;
  }
  tools::SnifferDosOptions pc;
  pc.timeUnit = 1;
  auto back = test::ReadFrames(tools::WriteSnifferDos(frames, pc), "t.enc");
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_NEAR(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs, 0.5);
  // An unknown unit keeps the stamp where it was: nothing moves.
  tools::SnifferDosOptions unknown;
  unknown.timeUnit = 6;
  back = test::ReadFrames(tools::WriteSnifferDos(frames, unknown), "t.enc");
  for (const auto& f : back.frames) EXPECT_EQ(f.timeStamp, 0);
}

TEST(SnifferDosReader, TokenRingUsesThePcTimerByDefaultAndAddsNoCheckSequence) {
  auto frames = SomeFrames(4);
  tools::SnifferDosOptions o;
  o.network = 0;
  o.timeUnit = 0;
  auto back = test::ReadFrames(tools::WriteSnifferDos(frames, o), "ring.trc");
  ASSERT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(back.frames[i].storedLength, frames[i].bytes.size());
    EXPECT_EQ(back.frames[i].data, frames[i].bytes);
    EXPECT_NEAR(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs, 0.5);
  }
}

TEST(SnifferDosReader, RecordTypesAndSkippedRecords) {
  auto frames = SomeFrames(6);
  for (uint16_t type : {4, 5, 12}) {
    tools::SnifferDosOptions o;
    o.frameRecordType = type;
    o.extraRecords = {{2, 6, Bytes(33, 0xEE)}, {2, 8, Bytes(3, 1)}, {4, 17, Bytes(0)}, {5, 2, Bytes(7, 9)}};
    for (bool compressed : {false, true}) {
      o.compressed = compressed;
      auto back = test::ReadFrames(tools::WriteSnifferDos(frames, o), "r.enc");
      ASSERT_EQ(back.frames.size(), frames.size()) << type << compressed;
      for (size_t i = 0; i < frames.size(); ++i) ExpectEthernetFrame(back.frames[i], frames[i]);
    }
  }
}

TEST(SnifferDosReader, SlicedFramesAndStatusBits) {
  auto frames = SomeFrames(3);
  frames[1].wireLength = 1500;
  frames[2].status = tools::kStatusAlignmentError;
  auto back = test::ReadFrames(tools::WriteSnifferDos(frames, {}), "s.enc");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_TRUE(back.info.SlicedPacketsSeen);
  EXPECT_EQ(back.frames[1].frameLength, 1504);
  EXPECT_EQ(back.frames[1].storedLength, frames[1].bytes.size() + 4);
  // The bytes after the stored frame hold nothing from earlier frames.
  for (size_t k = frames[1].bytes.size(); k < back.frames[1].data.size(); ++k) EXPECT_EQ(back.frames[1].data[k], 0);
  EXPECT_EQ(back.frames[2].status, kAlignmentError);
}

TEST(SnifferDosReader, OversizedFrameRecordEndsTheData) {
  auto frames = SomeFrames(3);
  Bytes file = tools::WriteSnifferDos(frames, {});
  // Third frame record: grow its length field to the first unusable value.
  size_t at = 41 + 6 + 8;  // after the version and interface records
  for (int i = 0; i < 2; ++i) at += 6 + Le16(&file[at + 2]);
  PutLe16(&file[at + 2], 32783);
  auto back = test::ReadFrames(file, "o.enc");
  EXPECT_EQ(back.frames.size(), 2u);
}

// Every truncation of a trace reads a prefix of its frames, never more, never garbage.
void ExpectPrefixOnTruncation(const Bytes& file, const std::vector<test::SeenFrame>& full, const char* name) {
  for (size_t cut = 40; cut < file.size(); ++cut) {
    Bytes part(file.begin(), file.begin() + long(cut));
    auto back = test::ReadFrames(part, name);
    ASSERT_LE(back.frames.size(), full.size()) << cut;
    for (size_t i = 0; i + 1 < back.frames.size(); ++i) ASSERT_EQ(back.frames[i].data, full[i].data) << cut;
  }
}

TEST(SnifferDosReader, TruncatedFilesKeepTheFramesBefore) {
  auto frames = SomeFrames(8, 64);
  for (bool compressed : {false, true}) {
    tools::SnifferDosOptions o;
    o.compressed = compressed;
    o.blockInput = 200;
    Bytes file = tools::WriteSnifferDos(frames, o);
    auto full = test::ReadFrames(file, "t.enc");
    ASSERT_EQ(full.frames.size(), frames.size());
    ExpectPrefixOnTruncation(file, full.frames, "t.enc");
  }
}

TEST(SnifferDosReader, UndecodableBlockEndsTheRead) {
  auto frames = SomeFrames(20, 200);
  tools::SnifferDosOptions o;
  o.compressed = true;
  o.blockInput = 1000;
  Bytes file = tools::WriteSnifferDos(frames, o);
  // Find the second block and turn its first command into a reference before the block.
  size_t first = 41 + 6 + 8;
  size_t second = first + 2 + (Le16(&file[first]) & 0x7FFF);
  ASSERT_LT(second + 4, file.size());
  ASSERT_EQ(Le16(&file[second]) & 0x8000, 0);
  PutLe16(&file[second + 2], 0x8000);
  file[second + 4] = 0xF0;
  file[second + 5] = 0xFF;
  auto back = test::ReadFrames(file, "bad.enc");
  auto good = test::ReadFrames(tools::WriteSnifferDos(frames, o), "good.enc");
  EXPECT_LT(back.frames.size(), good.frames.size());
  for (size_t i = 0; i + 1 < back.frames.size(); ++i) EXPECT_EQ(back.frames[i].data, good.frames[i].data);
}

TEST(SnifferDecompressor, CommandsExpandAsDefined) {
  std::vector<uint8_t> out;
  // flags: literal, run (cmd 0), run (cmd 1), copy (cmd 3..15), copy (cmd 2)
  const uint8_t block[] = {
      0x00, 0x78,        // flag word, bits 15..: 0 1 1 1 1
      'A',               // literal
      0x02, 'B',         // 2 + 3 = 5 x 'B'
      0x11, 0x01, 'C',   // 1 + 16 + 19 = 36 x 'C'
      0x43, 0x02,        // copy 4 bytes from 3 + 32 + 3 = 38 back
      0x20, 0x00, 0x04,  // copy 4 + 16 = 20 bytes from 3 back (overlapping)
  };
  ASSERT_TRUE(ExpandSnifferBlock(block, sizeof block, out));
  std::string expected = "A" + std::string(5, 'B') + std::string(36, 'C');
  expected += expected.substr(expected.size() - 38, 4);
  std::string tail = expected.substr(expected.size() - 3);
  for (int i = 0; i < 20; ++i) expected += tail[i % 3];
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST(SnifferDecompressor, RejectsDamagedBlocks) {
  std::vector<uint8_t> out;
  const uint8_t before[] = {0x00, 0x80, 0x30, 0x00};  // reference before the start
  EXPECT_FALSE(ExpandSnifferBlock(before, sizeof before, out));
  const uint8_t missing[] = {0x00, 0x80, 0x11};  // operands cut off
  EXPECT_FALSE(ExpandSnifferBlock(missing, sizeof missing, out));
  const uint8_t oddFlags[] = {0x00};
  EXPECT_FALSE(ExpandSnifferBlock(oddFlags, sizeof oddFlags, out));
  // Runs that would exceed the output limit.
  std::vector<uint8_t> huge = {0xFF, 0xFF};
  for (int i = 0; i < 16; ++i) huge.insert(huge.end(), {0x1F, 0xFF, 'x'});
  EXPECT_FALSE(ExpandSnifferBlock(huge.data(), huge.size(), out));
}

TEST(SnifferDecompressor, CompressorRoundTrip) {
  std::vector<std::vector<uint8_t>> inputs;
  inputs.push_back({});
  inputs.push_back(std::vector<uint8_t>(5000, 0));
  std::vector<uint8_t> mixed;
  uint32_t x = 1;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245 + 12345;
    mixed.push_back(i % 700 < 300 ? uint8_t(x >> 24) : uint8_t(i % 7));
  }
  inputs.push_back(mixed);
  for (const auto& input : inputs) {
    auto packed = tools::CompressSnifferBlock(input.data(), input.size());
    std::vector<uint8_t> out;
    ASSERT_TRUE(ExpandSnifferBlock(packed.data(), packed.size(), out));
    EXPECT_EQ(out, input);
  }
}

}  // namespace
}  // namespace korvane
