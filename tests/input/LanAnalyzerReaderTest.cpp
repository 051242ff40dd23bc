#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "scenario/PcapWriter.h"
#include "support/TestSupport.h"
#include "writers/LanAnalyzerWriter.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;

std::vector<ScenarioFrame> Numbered(size_t n) { return test::NumberedFrames(n, 1500.5, 64); }

std::vector<size_t> PacketOffsets(const Bytes& file, size_t* cyclicBody = nullptr) {
  std::vector<size_t> offsets;
  for (size_t at = 0; at + 4 <= file.size(); at += 4 + Le16(&file[at + 2])) {
    if (Le16(&file[at]) == 0x1005) offsets.push_back(at);
    if (Le16(&file[at]) == 0x1009 && cyclicBody) *cyclicBody = at + 4;
  }
  return offsets;
}

TEST(LanAnalyzerReader, EthernetFramesWithCheckSequenceAndErrors) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[2].status = tools::kStatusCrcError;
  frames[5].status = tools::kStatusAlignmentError;
  frames[7].bytes.resize(40);  // sliced: captured shorter than on the wire
  auto back = test::ReadFrames(tools::WriteLanAnalyzer(frames, {}), "office.tr1");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  EXPECT_EQ(back.info.CyclicStopFrame, 0);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = frames[i];
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 0.5);
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    EXPECT_EQ(seen.storedLength, f.bytes.size() + 4);
    ASSERT_GE(seen.data.size(), f.bytes.size());
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    const bool bad = f.status != 0;
    EXPECT_EQ(seen.status, bad ? kCrcError | kAlignmentError : 0);
    if (f.bytes.size() < f.wireLength) {
      // No check sequence for a sliced frame: the room after the stored bytes stays empty.
      EXPECT_EQ(Le32(&seen.data[f.bytes.size()]), 0u);
    } else {
      uint32_t expected = bad ? 0 : Crc32(f.bytes.data(), f.bytes.size());
      EXPECT_EQ(Le32(&seen.data[f.bytes.size()]), expected);
    }
  }
}

TEST(LanAnalyzerReader, TokenRingGetsNeitherCheckSequenceNorErrorFlags) {
  auto frames = tools::TokenRingScenario();
  frames[1].status = tools::kStatusCrcError;
  tools::LanAnalyzerOptions o;
  o.tokenRing = true;
  auto back = test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "ring.tr1");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.frames[i].status, 0);
    EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength + 4);
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.end(), back.frames[i].data.begin()));
    EXPECT_EQ(Le32(&back.frames[i].data[frames[i].bytes.size()]), 0u);
  }
  // Board 228 is Token Ring as well; an unknown board leaves the topology open.
  o.boardType = 228;
  EXPECT_EQ(test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "r.tr1").info.TopologyCode, topology::TokenRing);
  o.boardType = 300;
  EXPECT_TRUE(test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "r.tr1").refused);
}

TEST(LanAnalyzerReader, SummaryGivesTheStartAndTheZoneBias) {
  auto frames = Numbered(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {
      tools::LanAnalyzerOptions o;
      o.start.month = month;
      o.start.hour = 23;
      o.start.minute = 59;
      o.start.second = 58;
      auto back = test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "z.tr1");
      ASSERT_EQ(back.frames.size(), 3u);
      const double start = EncodeDateTime(2024, month, 5, 23, 59, 58);
      EXPECT_NEAR(back.info.StartDateTime, start, 1e-8) << zone << month;
      EXPECT_EQ(back.info.TimeZoneBias, TimeZoneBiasAt(start)) << zone << month;
      // The counter is a local time of day; it does not depend on the zone.
      EXPECT_NEAR(back.frames[2].timeStamp, (86400.0 - 2) * 1e6 + frames[2].timeUs, 0.5) << zone;
    }
  }
}

TEST(LanAnalyzerReader, CounterFromTheCaptureStartIsTakenAsIs) {
  tools::LanAnalyzerOptions o;
  o.countFromMidnight = false;
  auto frames = Numbered(4);
  frames[3].timeUs = 5.0 * 86400e6;  // beyond 32 bits of half microseconds
  auto back = test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "t.tr1");
  ASSERT_EQ(back.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(back.frames[i].timeStamp, frames[i].timeUs, 0.5);
}

TEST(LanAnalyzerReader, WrappedCyclicBufferReadsOldestFirst) {
  auto frames = Numbered(10);
  tools::LanAnalyzerOptions o;
  o.version2 = true;
  o.wrapFirst = 6;
  Bytes file = tools::WriteLanAnalyzer(frames, o);
  auto back = test::ReadFrames(file, "wrap.tr1");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.CyclicStopFrame, 10);
  ASSERT_EQ(back.frames.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(back.frames[i].data[1], uint8_t(i));
    EXPECT_NEAR(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs, 0.5);
  }
  // A buffer that did not wrap ends at the wrap offset too.
  o.wrapFirst = 0;
  back = test::ReadFrames(tools::WriteLanAnalyzer(frames, o), "nowrap.tr1");
  ASSERT_EQ(back.frames.size(), 10u);
  EXPECT_EQ(back.frames[9].data[1], 9);
}

TEST(LanAnalyzerReader, AnalyserStopsAtTheCyclicFrameCountOfVersion2Only) {
  auto frames = Numbered(8);
  tools::LanAnalyzerOptions o;
  o.version2 = true;
  o.wrapFirst = 3;
  o.staleRecords = 2;  // leftovers of an earlier pass between the newest and the oldest frames
  Bytes file = tools::WriteLanAnalyzer(frames, o);
  // The leftovers lie before the oldest packet: reading stops at the cyclic record's count, for
  // whatever takes the frames.
  EXPECT_EQ(test::ReadFrames(file, "c.tr1").frames.size(), 8u);
  auto session = test::Analyse(file, "c.tr1");
  EXPECT_EQ(session->info.FramesRead, 8);
  EXPECT_EQ(session->info.CyclicStopFrame, 8);

  o.cyclicFrameCount = 5;
  EXPECT_EQ(test::Analyse(tools::WriteLanAnalyzer(frames, o), "c.tr1")->info.FramesRead, 5);

  // Version 1: the cyclic record's count does not stop the analysis.
  tools::LanAnalyzerOptions v1;
  v1.cyclicFrameCount = 3;
  auto linear = test::Analyse(tools::WriteLanAnalyzer(frames, v1), "l.tr1");
  EXPECT_EQ(linear->info.FramesRead, 8);
  EXPECT_EQ(linear->info.CyclicStopFrame, 0);
}

TEST(LanAnalyzerReader, WrapOffsetsThatWouldCycleAreNotFollowed) {
  auto frames = Numbered(9);
  tools::LanAnalyzerOptions o;
  o.version2 = true;
  o.wrapFirst = 4;
  const Bytes good = tools::WriteLanAnalyzer(frames, o);
  size_t cyclic = 0;
  const auto packets = PacketOffsets(good, &cyclic);
  ASSERT_EQ(packets.size(), 9u);
  const uint32_t first = Le32(&good[cyclic + 4]);
  ASSERT_EQ(first, packets[5]);  // frames 4..8 first, then 0..3

  auto readCount = [&](auto patch) {
    Bytes file = good;
    patch(file);
    return test::ReadFrames(file, "g.tr1").frames.size();
  };
  // Continue offset at the first packet, beyond it, or inside the header records: the
  // buffer ends at the wrap instead of reading packets again.
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 12], first); }), 4u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 12], uint32_t(packets[7])); }), 4u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 12], 0); }), 4u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 12], uint32_t(f.size() + 10)); }), 4u);
  // A wrap offset between records is never met: the file is read to its end.
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 16], uint32_t(packets[6] + 3)); }), 4u);
  // A first-packet offset past the end: the file was cut before the oldest packet.
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 4], uint32_t(f.size() + 1)); }), 0u);
  EXPECT_EQ(readCount([&](Bytes& f) { PutLe32(&f[cyclic + 4], 0xFFFFFFFFu); }), 0u);
  // One inside the header records cannot be a packet: the buffer is read as it lies.
  for (uint32_t bogus : {0u, 12u}) {
    Bytes file = good;
    PutLe32(&file[cyclic + 4], bogus);
    auto back = test::ReadFrames(file, "g.tr1");
    ASSERT_EQ(back.frames.size(), 9u) << bogus;
    EXPECT_EQ(back.frames[0].data[1], 4);
    EXPECT_EQ(back.frames[8].data[1], 3);
  }
}

TEST(LanAnalyzerReader, RecordsThatEndTheData) {
  auto frames = Numbered(6);
  const Bytes good = tools::WriteLanAnalyzer(frames, {});
  const auto packets = PacketOffsets(good);
  ASSERT_EQ(packets.size(), 6u);
  auto readCount = [&](size_t record, uint16_t type, uint16_t length) {
    Bytes file = good;
    PutLe16(&file[packets[record]], type);
    PutLe16(&file[packets[record] + 2], length);
    return test::ReadFrames(file, "e.tr1").frames.size();
  };
  const uint16_t length = Le16(&good[packets[3] + 2]);
  EXPECT_EQ(readCount(3, 0x1004, length), 3u);  // another record type is not a frame
  EXPECT_EQ(readCount(3, 0x1005, 32801), 3u);   // longer than any packet record
  EXPECT_EQ(readCount(3, 0x1005, 31), 3u);      // shorter than the descriptor
  // A stored length beyond the record keeps only the bytes the record holds.
  Bytes file = good;
  PutLe16(&file[packets[1] + 4 + 6], 5000);
  auto back = test::ReadFrames(file, "s.tr1");
  ASSERT_EQ(back.frames.size(), 6u);
  EXPECT_EQ(back.frames[1].storedLength, frames[1].bytes.size());
  EXPECT_EQ(back.frames[2].data, test::ReadFrames(good, "g.tr1").frames[2].data);
}

TEST(LanAnalyzerReader, TruncationAtEveryByteKeepsTheFramesBefore) {
  auto frames = Numbered(5);
  for (bool version2 : {false, true}) {
    tools::LanAnalyzerOptions o;
    o.version2 = version2;
    o.wrapFirst = version2 ? 2 : 0;
    const Bytes file = tools::WriteLanAnalyzer(frames, o);
    const auto full = test::ReadFrames(file, "t.tr1");
    ASSERT_EQ(full.frames.size(), 5u);
    for (size_t cut = 40; cut < file.size(); ++cut) {
      auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.tr1");
      ASSERT_LE(back.frames.size(), full.frames.size()) << cut;
      for (size_t i = 0; i + 1 < back.frames.size(); ++i)
        ASSERT_EQ(back.frames[i].data, full.frames[i].data) << cut << ' ' << version2;
    }
  }
}

TEST(LanAnalyzerReader, GarbageAfterTheHeaderNeverHangs) {
  Bytes file = tools::WriteLanAnalyzer(Numbered(2), {});
  const auto packets = PacketOffsets(file);
  uint32_t seed = 7;
  for (int round = 0; round < 200; ++round) {
    Bytes damaged = file;
    for (size_t i = packets[0]; i < damaged.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 24) < 40) damaged[i] = uint8_t(seed >> 16);
    }
    auto back = test::ReadFrames(damaged, "d.tr1");
    EXPECT_LE(back.frames.size(), 2u);
  }
}

// Cross-check against an independent implementation: a pcap written here is converted
// by editcap and read by both tshark and Korvane. editcap lays the file out as the
// analyser does (ten header records, board type 226 or 227 at summary offset 188, frame
// length with the check sequence, stored length without it). Where it differs, the
// frames are not touched: its packet counter starts at 0 at the first packet instead of
// counting the time of day (tshark puts it on local midnight of the summary's date, so
// both give the same time of day under UTC), and every packet carries error word 0x0008
// (bit 0 clear: a good frame).
TEST(LanAnalyzerReaderCrossCheck, ReadsWhatEditcapWroteFrameForFrame) {
  if (!test::HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
  const fs::path dir = fs::temp_directory_path() / ("korvane_lanz_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  test::ScopedTimeZone zone("UTC");  // editcap and tshark inherit it
  for (bool tokenRing : {false, true}) {
    SCOPED_TRACE(tokenRing ? "Token Ring" : "Ethernet");
    auto frames = tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario();
    frames[4].bytes.resize(frames[4].bytes.size() - 7);  // one sliced frame
    const fs::path pcap = dir / "source.pcap", converted = dir / "converted.tr1", back = dir / "back.pcap";
    ASSERT_TRUE(tools::WritePcap(pcap, frames, tokenRing ? tools::kLinkTypeTokenRing : tools::kLinkTypeEthernet));
    ASSERT_EQ(test::Shell("editcap -F lanalyzer " + pcap.string() + " " + converted.string()), 0);
    ASSERT_EQ(test::Shell("tshark -r " + converted.string() + " -F pcap -w " + back.string() + " 2>/dev/null"), 0);
    auto peer = test::ParsePcap(test::Slurp(back));
    ASSERT_EQ(peer.size(), frames.size());

    auto ours = test::ReadFrames(test::Slurp(converted), converted.string());
    ASSERT_FALSE(ours.refused) << ours.message;
    EXPECT_EQ(ours.info.TopologyCode, tokenRing ? topology::TokenRing : topology::Ethernet);
    ASSERT_EQ(ours.frames.size(), peer.size());
    for (size_t i = 0; i < peer.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& mine = ours.frames[i];
      const auto& theirs = peer[i];
      EXPECT_EQ(mine.frameLength, theirs.wireLength + 4);
      EXPECT_EQ(mine.storedLength, theirs.bytes.size() + 4);
      ASSERT_GE(mine.data.size(), theirs.bytes.size());
      EXPECT_TRUE(std::equal(theirs.bytes.begin(), theirs.bytes.end(), mine.data.begin()));
      EXPECT_NEAR(mine.timeStamp, double(theirs.epochMicros % 86400000000), 0.5);
      EXPECT_EQ(mine.status, 0);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korvane
